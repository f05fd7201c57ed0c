#include "tools/cvsp/Cvsp.h"

#include <stdlib.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "core/CSPException.h"
#include "package/ComponentSchema.h"
#include "package/Update.h"
#include "platform/files/HostFileRead.h"
#include "platform/machine.h"
#include "platform/text.h"
#include "tools/cvsp/CvspRun.h"
#include "tools/cvsp/HostFiles.h"
#include "tools/cvsp/Manifest.h"
#include "tools/cvsp/PackageCheck.h"

namespace fs = std::filesystem;

namespace cvsp {
namespace {

// A failure the engine reported, printed as "<title>: <text>".
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Package texts are 8-bit, Latin-1 for display.
std::string Show(const CSPString& text) { return Latin1ToUtf8(text); }

std::string Show(const CSPWString& text) {
  return machine::ToUtf8(std::u16string(text.GetString(), text.GetLength()));
}

std::string Show(const CSPDate& date) {
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d", date.GetYear(), date.GetMonth(), date.GetDay());
  return out;
}

// ---------------------------------------------------------------------------
// build and dump

struct Options {
  std::string input;
  std::string output;
  std::string machineDir;
  bool force = false;
  bool verbose = false;
  bool allowOutside = false;
};

void PrintFindings(const std::vector<Finding>& findings, std::ostream& err) {
  for (const Finding& finding : findings) err << FindingLine(finding) << "\n";
}

// The installer's own parse of the bytes, so that nothing the checks might
// miss is ever written as a working package.
bool InstallerAccepts(const CSPBuffer& package, std::string& refusal) {
  Update engine;
  engine.SetPackageData(package);
  if (engine.Parse()) return true;
  refusal = Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText());
  return false;
}

int Build(const Options& o, std::ostream& out, std::ostream& err) {
  std::string text, error;
  if (!machine::files::ReadHostFile(o.input, UINT32_MAX, text, error)) {
    throw ToolError("cannot read " + o.input + ": it " + error);
  }
  nlohmann::json manifest;
  try {
    manifest = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw ToolError(o.input + ": " + e.what());
  }
  PackageImage image;
  ReadManifest(manifest, fs::path(o.input).parent_path(), image, o.allowOutside);
  const std::vector<Finding> findings = CheckPackage(image.formatVersion, image.root);
  PrintFindings(findings, err);
  CSPBuffer package;
  EncodePackage(image, package);
  std::string refusal;
  const bool refused = !InstallerAccepts(package, refusal) || HasErrors(findings);
  if (refused && !HasErrors(findings))
    err << "error: the installer refuses it: " << refusal << "\n";
  if (refused && !o.force) {
    throw ToolError(o.output +
                    " not written: the installer would refuse this package "
                    "(--force writes it anyway)");
  }
  WriteAtomically(o.output, package.GetData(), package.GetSize());
  out << "wrote " << o.output << " (" << package.GetSize() << " bytes"
      << (refused ? "; the installer refuses it" : "") << ")\n";
  return 0;
}

// A file that is no package: the engine's own words, then what it is.
[[noreturn]] void NotAPackage(const Update& engine, const std::string& path) {
  if (engine.GetErrorTitle().GetLength() == 0)
    throw ToolError(path + " is too short for a package");
  std::string message = Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText());
  if (engine.GetErrorText() == "Unknown error") {
    message += "\ncvsp: " + path + " does not begin with \"CVSETUPPCKG:\": it is not a package";
  }
  throw EngineError(message);
}

int Dump(const std::string& path, const std::string& outputPath, std::ostream& out) {
  Update engine;
  engine.SetPackageData(ReadPackageFile(path));
  ComponentVariable root;
  if (!engine.DecodeRoot(root)) NotAPackage(engine, path);
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
    WriteAtomically(outputPath, text.data(), text.size());
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
  Staging() = default;
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  ~Staging() {
    // The scratch image goes only once nothing has it selected.
    kept.Restore();
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
    // A link would be staged as itself, pointing nowhere inside the image:
    // stage the file it leads to.
    const fs::path file = fs::canonical(hostPath, ec);
    if (!ec && fs::is_regular_file(file, ec)) {
      fs::create_hard_link(file, drive / "package.cvsp", ec);
      if (ec) fs::copy_file(file, drive / "package.cvsp", ec);
    }
    machine::SelectMachine(scratch);
    return u"C:\\package.cvsp";
  }

 private:
  KeptSelection kept;
  fs::path scratch;
};

void ReplaceAll(std::string& text, const std::string& find, const std::string& with) {
  for (size_t at = text.find(find); at != std::string::npos; at = text.find(find, at)) {
    text.replace(at, find.size(), with);
    at += with.size();
  }
}

// The header reader would call a manifest an invalid file; say what it is.
void RefuseManifestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[12] = {};
  if (!in.read(head, sizeof head) || std::memcmp(head, "CVSETUPPCKG:", sizeof head) != 0) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) ReadPackageFile(path);
  }
}

int Info(const std::string& path, const std::string& machineDir, std::ostream& out) {
  Staging staging;
  std::u16string windowsPath;
  if (machineDir.empty()) {
    RefuseManifestFile(path);
    windowsPath = staging.StageHostFile(path);
  } else {
    staging.SelectImage(machineDir);
    windowsPath = machine::FromUtf8(path);
  }
  Update engine;
  if (!engine.ReadPackageInfo(CSPWString(windowsPath.c_str()))) {
    std::string message = Show(engine.GetErrorTitle()) + ": " + Show(engine.GetErrorText());
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

// Each condition of a component in the order the engine tests them (the
// facts' order), then those that name no fact.
void PrintConditions(const ConditionsByName& filed, std::ostream& out) {
  std::vector<const UpdateCondition*> ordered;
  for (size_t f = 0; f < ComponentSchema::FactCount(); ++f) {
    if (const UpdateCondition* c = filed.Lookup(ComponentSchema::Facts()[f].name)) {
      ordered.push_back(c);
    }
  }
  for (uint32_t i = 0; i < filed.GetCount(); ++i) {
    if (ComponentSchema::FindFact(filed.GetKeyAt(i)) == nullptr) {
      ordered.push_back(&filed.GetValueAt(i));
    }
  }
  for (const UpdateCondition* condition : ordered) {
    out << "      " << DescribeCondition(*condition) << "\n";
  }
}

std::string FieldValue(const ComponentVariable& field) {
  switch (field.GetType()) {
    case VariableType::STRING:
      return "\"" + Show(field.GetText()) + "\"";
    case VariableType::ULONG:
      return std::to_string(field.GetULong());
    case VariableType::BINARY:
      return std::to_string(field.GetBytes().GetSize()) + " bytes";
    default:
      return TypeName(field.GetType());
  }
}

void PrintFields(const ComponentVariable& record, std::ostream& out) {
  for (uint32_t i = 0; i < record.GetChildCount(); ++i) {
    const ComponentVariable& field = *record.GetChildAt(i);
    if (field.GetName() == "TYPE") continue;
    std::string name = Show(field.GetName());
    out << "      " << name << std::string(name.size() < 18 ? 18 - name.size() : 1, ' ')
        << FieldValue(field) << "\n";
  }
}

void PrintComponent(const Update& engine, uint32_t index, bool verbose, std::ostream& out) {
  const UpdateComponent& component = *engine.GetComponent(index);
  const ComponentSchema::ComponentType* type = ComponentSchema::FindType(component.GetTypeCode());
  out << "  #" << index << " ";
  if (type != nullptr) {
    out << type->code << (verbose ? std::string("  ") + type->action : "") << "\n";
  } else {
    const ComponentVariable* typeNode = component.GetRecord().GetChild("TYPE");
    out << "\"" << (typeNode != nullptr ? Show(typeNode->GetText()) : "") << "\""
        << " (unknown type: does nothing)\n";
  }
  if (verbose) PrintFields(component.GetRecord(), out);
  if (const ConditionsByName* filed = engine.GetConditions(index)) PrintConditions(*filed, out);
}

void PrintSummary(const Update& engine, bool verbose, std::ostream& out) {
  out << "package:        " << Show(engine.GetVersionString()) << ", number "
      << engine.GetVersionNumber() << ", date " << Show(engine.GetVersionDate()) << "\n"
      << "format version: " << VersionText(engine.GetPackageVersion()) << "\n"
      << "update module:  "
      << (engine.HasUpdateModule() ? std::to_string(engine.GetUpdateModule().GetSize()) + " bytes"
                                   : std::string("none"))
      << "\n"
      << "components:     " << engine.GetComponentCount() << "\n";
  for (uint32_t i = 0; i < engine.GetComponentCount(); ++i) {
    PrintComponent(engine, i, verbose, out);
  }
  const CSPMap<uint32_t, ConditionsByName>& all = engine.GetAllConditions();
  for (uint32_t i = 0; i < all.GetCount(); ++i) {
    if (all.GetKeyAt(i) < engine.GetComponentCount()) continue;
    out << "  conditions for #" << all.GetKeyAt(i) << ", which does not exist (never used):\n";
    PrintConditions(all.GetValueAt(i), out);
  }
}

const int kWarnings = 3;

int Check(const Options& o, std::ostream& out, std::ostream& err) {
  const CSPBuffer bytes = ReadPackageFile(o.input);
  Update reader;
  reader.SetPackageData(bytes);
  ComponentVariable root;
  if (!reader.DecodeRoot(root)) NotAPackage(reader, o.input);
  const std::vector<Finding> findings = CheckPackage(reader.GetPackageVersion(), root);
  Update engine;
  engine.SetPackageData(bytes);
  if (!engine.Parse()) {
    err << Show(engine.GetErrorTitle()) << ": " << Show(engine.GetErrorText()) << "\n";
    PrintFindings(findings, err);
    return 1;
  }
  PrintSummary(engine, o.verbose, out);
  PrintFindings(findings, err);
  if (HasErrors(findings)) return 1;
  return findings.empty() ? 0 : kWarnings;
}

// ---------------------------------------------------------------------------
// fields

void PrintField(const ComponentSchema::Field& field, std::ostream& out) {
  std::string name = field.name;
  out << "    " << name << std::string(name.size() < 18 ? 18 - name.size() : 1, ' ')
      << TypeName(field.type) << std::string(8 - TypeName(field.type).size(), ' ') << field.meaning
      << "\n";
}

int Fields(std::ostream& out) {
  out << "Every component is a MAP in COMPONENTS with \"TYPE\" (STRING, one of the codes below),\n"
         "\"OPTIONS\" and the fields of its type. A missing field, or one of another type, makes\n"
         "the installer refuse the whole package.\n\n";
  PrintField(ComponentSchema::OptionsField(), out);
  for (size_t i = 0; i < ComponentSchema::TypeCount(); ++i) {
    const ComponentSchema::ComponentType& type = ComponentSchema::Types()[i];
    out << "\n  " << type.code << "  " << type.action << "\n";
    for (size_t f = 0; f < type.fieldCount; ++f) PrintField(type.fields[f], out);
  }
  out << "\nA condition is a MAP in CONDITIONS with all of these fields; a component runs\n"
         "only when every condition filed under its INDEX holds.\n\n";
  for (size_t f = 0; f < ComponentSchema::ConditionFieldCount(); ++f) {
    PrintField(ComponentSchema::ConditionFields()[f], out);
  }
  out << "\nFacts a condition can NAME (a number fact takes VALUE_TYPE 1, a text fact 2;\n"
         "any other NAME matches nothing and the condition is ignored):\n\n";
  for (size_t f = 0; f < ComponentSchema::FactCount(); ++f) {
    const ComponentSchema::Fact& fact = ComponentSchema::Facts()[f];
    std::string name = fact.name;
    out << "    " << name << std::string(18 - name.size(), ' ')
        << (fact.kind == UpdateCondition::kNumberTest ? "number  " : "text    ") << fact.values
        << "\n";
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Command line

int Dispatch(CLI::App& app, const Options& o, std::ostream& out, std::ostream& err) {
  if (*app.get_subcommand("build")) return Build(o, out, err);
  if (*app.get_subcommand("dump")) return Dump(o.input, o.output, out);
  if (*app.get_subcommand("info")) return Info(o.input, o.machineDir, out);
  if (*app.get_subcommand("fields")) return Fields(out);
  return Check(o, out, err);
}

void Describe(CLI::App& app, Options& o) {
  app.require_subcommand(1, 1);
  app.footer(
      "Exit status: 0 done; 1 failed or the installer would refuse the package (the reason on\n"
      "standard error); 2 usage error; 3 check found only warnings.");
  CLI::App* build = app.add_subcommand("build", "Write a package from a JSON manifest");
  build->add_option("MANIFEST", o.input, "JSON manifest of the package")->required();
  build->add_option("-o,--output", o.output, "package file to write")->required();
  build->add_flag("--force", o.force,
                  "write the package even when the installer would refuse it (to test installers)");
  build->add_flag("--allow-outside", o.allowOutside,
                  "let BINARY \"file\" paths lead outside the manifest's folder and through "
                  "symbolic links");
  CLI::App* dump = app.add_subcommand("dump", "Print a package as a manifest that build accepts");
  dump->add_option("FILE", o.input, "package file")->required();
  dump->add_option("-o,--output", o.output,
                   "write the manifest here, with large binary values beside it");
  CLI::App* info = app.add_subcommand("info", "Show a package's header information");
  info->add_option("FILE", o.input, "package file")->required();
  info->add_option("--machine", o.machineDir,
                   "read FILE as a Windows path inside this machine image");
  CLI::App* check = app.add_subcommand(
      "check", "Parse a package as the installer does, list its components and conditions");
  check->add_option("FILE", o.input, "package file")->required();
  check->add_flag("-v,--verbose", o.verbose, "show each component's fields");
  app.add_subcommand("fields", "List the fields of every component type and of a condition");
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
    return Dispatch(app, options, out, err);
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
