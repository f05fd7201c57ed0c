#include "tools/cvsp/Cvsp.h"

#include <stdlib.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "core/CSPException.h"
#include "package/Update.h"
#include "platform/machine.h"
#include "platform/text.h"
#include "tools/cvsp/CvspRun.h"
#include "tools/cvsp/Manifest.h"

namespace fs = std::filesystem;

namespace cvsp {
namespace {

// A failure of the tool itself, printed as "cvsp: <text>".
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure the engine reported, printed as "<title>: <text>".
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Package texts are 8-bit, Latin-1 for display.
std::string Show(const CSPString& text) {
  std::u16string wide;
  for (uint32_t i = 0; i < text.GetLength(); ++i) {
    wide.push_back(static_cast<unsigned char>(text.GetString()[i]));
  }
  return machine::ToUtf8(wide);
}

std::string Show(const CSPWString& text) {
  return machine::ToUtf8(std::u16string(text.GetString(), text.GetLength()));
}

std::string Show(const CSPDate& date) {
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d", date.GetYear(), date.GetMonth(),
                date.GetDay());
  return out;
}

[[noreturn]] void EngineFailed(const Update& engine) {
  throw EngineError(Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText()));
}

CSPBuffer ReadPackageFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError("cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > UINT32_MAX) throw ToolError(path + " is larger than 4 GiB");
  CSPBuffer out;
  out.Set(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return out;
}

void WriteHostFile(const std::string& path, const void* data, size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  file.close();
  if (!file) throw ToolError("cannot write " + path);
}

// ---------------------------------------------------------------------------
// build and dump

int Build(const std::string& manifestPath, const std::string& outputPath, std::ostream& out) {
  std::ifstream in(manifestPath);
  if (!in) throw ToolError("cannot read " + manifestPath);
  nlohmann::json manifest;
  try {
    manifest = nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    throw ToolError(manifestPath + ": " + e.what());
  }
  PackageImage image;
  ReadManifest(manifest, fs::path(manifestPath).parent_path(), image);
  CSPBuffer package;
  EncodePackage(image, package);
  WriteHostFile(outputPath, package.GetData(), package.GetSize());
  out << "wrote " << outputPath << " (" << package.GetSize() << " bytes)\n";
  return 0;
}

int Dump(const std::string& path, const std::string& outputPath, std::ostream& out) {
  Update engine;
  engine.SetPackageData(ReadPackageFile(path));
  ComponentVariable root;
  if (!engine.DecodeRoot(root)) {
    if (engine.GetErrorTitle().GetLength() == 0) throw ToolError(path + " is not a package");
    EngineFailed(engine);
  }
  DumpOptions options;
  if (!outputPath.empty()) {
    // Large binary values go to files beside the manifest.
    fs::path manifest(outputPath);
    options.dataRef = manifest.stem().string() + ".data";
    options.dataDir = manifest.parent_path() / options.dataRef;
  }
  std::string text = DumpManifest(engine.GetPackageVersion(), root, options).dump(2) + "\n";
  if (outputPath.empty()) {
    out << text;
  } else {
    WriteHostFile(outputPath, text.data(), text.size());
  }
  return 0;
}

// ---------------------------------------------------------------------------
// info

// The header reader takes Windows paths. A host file is read through a
// throwaway machine image holding it as C:\package.cvsp; the selection the
// process had before is restored afterwards.
class Staging {
 public:
  Staging() {
    if (machine::CurrentMachine() != nullptr) previous = machine::CurrentMachine()->Root();
  }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  ~Staging() {
    try {
      if (previous.empty()) {
        machine::DeselectMachine();
      } else {
        machine::SelectMachine(previous);
      }
    } catch (const std::exception&) {
      // Restoring is best effort; the tool's own result stands.
    }
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
  }

  void SelectImage(const fs::path& root) { machine::SelectMachine(root); }

  // Returns the Windows path the host file can be read under.
  std::u16string StageHostFile(const std::string& hostPath) {
    std::string pattern = (fs::temp_directory_path() / "cvsp-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw ToolError("cannot create a temporary folder");
    scratch = pattern;
    machine::CreateImage(scratch);
    fs::path drive = scratch / "drive_c";
    fs::create_directories(drive);
    std::error_code ec;
    if (fs::is_regular_file(hostPath, ec)) {
      fs::create_hard_link(hostPath, drive / "package.cvsp", ec);
      if (ec) fs::copy_file(hostPath, drive / "package.cvsp", ec);
    }
    machine::SelectMachine(scratch);
    return u"C:\\package.cvsp";
  }

 private:
  fs::path previous;
  fs::path scratch;
};

void ReplaceAll(std::string& text, const std::string& find, const std::string& with) {
  for (size_t at = text.find(find); at != std::string::npos; at = text.find(find, at)) {
    text.replace(at, find.size(), with);
    at += with.size();
  }
}

int Info(const std::string& path, const std::string& machineDir, std::ostream& out) {
  Staging staging;
  std::u16string windowsPath;
  if (machineDir.empty()) {
    windowsPath = staging.StageHostFile(path);
  } else {
    staging.SelectImage(machineDir);
    windowsPath = machine::FromUtf8(path);
  }
  Update engine;
  if (!engine.ReadPackageInfo(CSPWString(windowsPath.c_str()))) {
    std::string message =
        Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText());
    // Messages name the staged copy; the user knows the file by its own name.
    if (machineDir.empty()) ReplaceAll(message, machine::ToUtf8(windowsPath), path);
    throw EngineError(message);
  }
  out << "version text:   " << Show(engine.GetVersionString()) << "\n"
      << "version number: " << engine.GetVersionNumber() << "\n"
      << "version date:   " << Show(engine.GetVersionDate()) << "\n"
      << "info:           " << Show(engine.GetInfo()) << "\n"
      << "format version: " << VersionText(engine.GetPackageVersion()) << "\n";
  return 0;
}

// ---------------------------------------------------------------------------
// check

std::string DescribeCondition(const UpdateCondition& condition) {
  static const char* const kOperators[] = {"never",     "==",        "!=", "<",
                                           ">",         "<=",        ">="};
  std::string text = Show(condition.GetName()) + " ";
  if (condition.GetValueType() == UpdateCondition::kNeverHolds ||
      condition.GetOperator() == 0) {
    return text + "(never holds: the component is skipped)";
  }
  text += kOperators[condition.GetOperator()];
  if (condition.GetValueType() == UpdateCondition::kNumberTest) {
    text += " " + std::to_string(condition.GetULongValue());
  } else {
    text += " \"" + Show(condition.GetStringValue()) + "\"";
  }
  return text + (condition.GetExecute() ? ", runs when it holds"
                                        : ", runs when it does not hold");
}

void PrintConditions(const ConditionsByName& filed, std::ostream& out) {
  for (uint32_t i = 0; i < filed.GetCount(); ++i) {
    out << "      if " << DescribeCondition(filed.GetValueAt(i)) << "\n";
  }
}

void PrintComponent(const Update& engine, uint32_t index, std::ostream& out) {
  const UpdateComponent& component = *engine.GetComponent(index);
  const char* code = UpdateComponent::CodeName(component.GetTypeCode());
  out << "  #" << index << " ";
  if (code != nullptr) {
    out << code << "\n";
  } else {
    const ComponentVariable* type = component.GetRecord().GetChild("TYPE");
    out << "\"" << (type != nullptr ? Show(type->GetText()) : "") << "\""
        << " (unknown type: does nothing)\n";
  }
  if (const ConditionsByName* filed = engine.GetConditions(index)) PrintConditions(*filed, out);
}

// The engine reports a refused component record with the general format
// message; the refused record is the one after those it kept.
[[noreturn]] void ComponentRefused(const Update& engine) {
  uint32_t index = engine.GetComponentCount();
  std::string type;
  Update reader;
  reader.SetPackageData(engine.GetPackageData());
  ComponentVariable root;
  if (reader.DecodeRoot(root)) {
    const ComponentVariable* list = root.GetChild("COMPONENTS");
    const ComponentVariable* record = list != nullptr ? list->GetListElement(index) : nullptr;
    const ComponentVariable* typeNode = record != nullptr ? record->GetChild("TYPE") : nullptr;
    if (typeNode != nullptr) type = Show(typeNode->GetText());
  }
  throw EngineError(Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText()) +
                    "\ncvsp: component #" +
                    std::to_string(index) + " (\"" + type +
                    "\") lacks a field its type needs, or has one of the wrong type");
}

int Check(const std::string& path, std::ostream& out) {
  Update engine;
  engine.SetPackageData(ReadPackageFile(path));
  if (!engine.Parse()) {
    if (engine.GetErrorTitle().GetLength() == 0) throw ToolError(path + " is not a package");
    // The component list was reached but not every record was kept.
    if (engine.GetErrorTitle() == "Update data error" &&
        engine.componentCount > engine.GetComponentCount()) {
      ComponentRefused(engine);
    }
    EngineFailed(engine);
  }
  out << "package:        " << Show(engine.GetVersionString()) << ", number "
      << engine.GetVersionNumber() << ", date " << Show(engine.GetVersionDate()) << "\n"
      << "format version: " << VersionText(engine.GetPackageVersion()) << "\n"
      << "update module:  "
      << (engine.HasUpdateModule() ? std::to_string(engine.GetUpdateModule().GetSize()) + " bytes"
                                   : std::string("none"))
      << "\n"
      << "components:     " << engine.GetComponentCount() << "\n";
  for (uint32_t i = 0; i < engine.GetComponentCount(); ++i) PrintComponent(engine, i, out);
  const CSPMap<uint32_t, ConditionsByName>& all = engine.GetAllConditions();
  for (uint32_t i = 0; i < all.GetCount(); ++i) {
    if (all.GetKeyAt(i) < engine.GetComponentCount()) continue;
    out << "  conditions for #" << all.GetKeyAt(i) << ", which does not exist (never used):\n";
    PrintConditions(all.GetValueAt(i), out);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Command line

struct Options {
  std::string input;
  std::string output;
  std::string machineDir;
};

int Dispatch(CLI::App& app, const Options& o, std::ostream& out) {
  if (*app.get_subcommand("build")) return Build(o.input, o.output, out);
  if (*app.get_subcommand("dump")) return Dump(o.input, o.output, out);
  if (*app.get_subcommand("info")) return Info(o.input, o.machineDir, out);
  return Check(o.input, out);
}

void Describe(CLI::App& app, Options& o) {
  app.require_subcommand(1, 1);
  CLI::App* build = app.add_subcommand("build", "Write a package from a JSON manifest");
  build->add_option("MANIFEST", o.input, "JSON manifest of the package")->required();
  build->add_option("-o,--output", o.output, "package file to write")->required();
  CLI::App* dump = app.add_subcommand("dump", "Print a package as a manifest that build accepts");
  dump->add_option("FILE", o.input, "package file")->required();
  dump->add_option("-o,--output", o.output,
                   "write the manifest here, with large binary values beside it");
  CLI::App* info = app.add_subcommand("info", "Show a package's header information");
  info->add_option("FILE", o.input, "package file")->required();
  info->add_option("--machine", o.machineDir,
                   "read FILE as a Windows path inside this machine image");
  CLI::App* check = app.add_subcommand("check", "Parse a package and list its components");
  check->add_option("FILE", o.input, "package file")->required();
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App app{"Builds, inspects and checks installation packages (.cvsp).", "cvsp"};
  Options options;
  Describe(app, options);
  RunOptions runOptions;
  AddRunCommand(app, runOptions);
  std::vector<std::string> argvStrings;
  argvStrings.push_back("cvsp");
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvStrings) argv.push_back(arg.data());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? 0 : 2;
  }
  try {
    if (*app.get_subcommand("run")) return RunPackage(runOptions, out, err);
    return Dispatch(app, options, out);
  } catch (const EngineError& e) {
    err << e.what() << "\n";
  } catch (const CSPSystemException& e) {
    err << "cvsp: " << Show(e.GetText()) << "\n";
  } catch (const std::exception& e) {
    err << "cvsp: " << e.what() << "\n";
  }
  return 1;
}

}  // namespace cvsp
