#include "tools/cvsp/CvspRun.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "iis/IISHelper.h"
#include "package/Update.h"
#include "platform/machine.h"
#include "platform/text.h"
#include "platform/win.h"
#include "system/RegKey.h"
#include "tools/cvsp/HostFiles.h"

namespace cvsp {
namespace {

const char16_t kProductKey[] = u"Software\\Corvane\\Quaver";
const char16_t kProductName[] = u"IIS Quaver";

// Engine texts are 8-bit; widening is Latin-1.
std::string Show(const CSPString& text) {
  const CSPWString wide(text);
  return machine::ToUtf8(std::u16string(wide.GetString(), wide.GetLength()));
}

// The engine's log lines end with CR LF; the terminal wants LF.
std::string Lines(const CSPString& log) {
  std::string text = Show(log), out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

// Selects the image for the run and the one selected before afterwards.
class SelectedImage {
 public:
  explicit SelectedImage(const std::string& root) { machine::SelectMachine(root); }

 private:
  KeptSelection kept;  // constructed first: remembers the caller's image
};

// The engine with its log printed after every component.
class PrintingUpdate : public Update {
 public:
  explicit PrintingUpdate(std::ostream& out) : out(out) {}
  void StepProgress(int32_t count) override {
    steps += count;
    PrintNewLog();
  }
  void PrintNewLog() {
    if (log.GetLength() < printed) printed = 0;
    out << Lines(log.Mid(printed, log.GetLength() - printed)) << std::flush;
    printed = log.GetLength();
  }
  // The steps of Execute that only look: for --what-if.
  using Update::BuildFacts;
  using Update::ConnectIis;

  int32_t steps = 0;

 private:
  std::ostream& out;
  uint32_t printed = 0;
};

CSPBuffer ReadPackage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > UINT32_MAX) throw std::runtime_error(path + " is larger than 4 GiB");
  CSPBuffer data;
  data.Set(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return data;
}

uint32_t ModeOf(const std::string& mode) {
  if (mode == "isapi") return IISHelper::ConnectMetabase;
  if (mode == "pipeline") return IISHelper::ConnectAppHost;
  return 0;
}

// The installation registers the product before it runs the package; the
// engine needs the key to exist.
void EnsureProductKey() {
  RegKey key;
  if (!key.Create(kProductKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr)) {
    throw std::runtime_error("cannot create HKEY_LOCAL_MACHINE\\Software\\Corvane\\Quaver");
  }
}

// Every website of the server: numbered metabase keys, or the sites of
// the application host.
void AddAllSites(CSPList<CSPWString>& sites) {
  IISHelper iis;
  iis.Connect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
  CSPList<CSPWString> keys;
  if ((iis.GetConnections() & IISHelper::ConnectMetabase) != 0 && iis.OpenKey(u"/LM/W3SVC") &&
      iis.EnumKeys(keys, u"")) {
    for (uint32_t i = 0; i < keys.GetCount(); ++i) {
      const CSPWString& key = keys.GetAt(i);
      if (key.GetLength() != 0 && CSPWString(key.ToInt()) == key) sites.Add(key);
    }
    return;
  }
  CSPList<IISHelper::Site> found;
  if (iis.GetSites(found)) {
    for (uint32_t i = 0; i < found.GetCount(); ++i) sites.Add(found.GetAt(i).id);
  }
}

// The mode as Execute would settle it, without writing anything.
uint32_t ModeWithoutWriting(uint32_t given) {
  if (given != 0) return given;
  RegKey key;
  uint32_t stored = 0;
  if (key.Open(kProductKey, HKEY_LOCAL_MACHINE, KEY_READ) &&
      key.GetDwordValue(u"ExtensibilityMode", stored)) {
    return (stored & 3) != 0 ? (stored & 3) : IISHelper::ConnectMetabase;
  }
  return IISHelper::ConnectMetabase;
}

const char* const kOperators[] = {"never", "==", "!=", "<", ">", "<=", ">="};

std::string FactText(const Update::ConditionClass& fact) {
  return fact.kind == Update::ConditionClass::kNumberFact ? std::to_string(fact.numberValue)
                                                          : Show(fact.textValue);
}

// One line per component: whether it would run, and the condition that
// decides it.
void PrintWhatIf(PrintingUpdate& engine, std::ostream& out) {
  for (uint32_t i = 0; i < engine.GetComponentCount(); ++i) {
    const char* code = UpdateComponent::CodeName(engine.GetComponent(i)->GetTypeCode());
    out << "#" << i << " " << (code != nullptr ? code : "(no action)") << ": ";
    const ConditionsByName* filed = engine.GetConditions(i);
    std::string reasons;
    bool runs = true;
    for (uint32_t f = 0; runs && filed != nullptr && f < engine.facts.GetCount(); ++f) {
      const Update::ConditionClass& fact = engine.facts.GetAt(f);
      const UpdateCondition* condition = filed->Lookup(fact.name);
      if (condition == nullptr) continue;
      bool holds = fact.kind == Update::ConditionClass::kNumberFact
                       ? condition->TestNumber(fact.numberValue)
                       : condition->TestText(fact.textValue);
      std::string value = condition->GetValueType() == UpdateCondition::kNumberTest
                              ? std::to_string(condition->GetULongValue())
                              : Show(condition->GetStringValue());
      reasons += (reasons.empty() ? "" : ", ") + Show(fact.name) + " is " + FactText(fact) +
                 ", wants " + (condition->GetExecute() ? "" : "not ") +
                 kOperators[condition->GetOperator()] + " " + value;
      runs = holds;
    }
    out << (runs ? "runs" : "skipped");
    out << (reasons.empty() ? " (no conditions on the facts)" : " (" + reasons + ")") << "\n";
  }
}

int WhatIf(PrintingUpdate& engine, std::ostream& out, std::ostream& err) {
  engine.extensibilityMode = ModeWithoutWriting(engine.extensibilityMode);
  IISHelper iis;
  if (!engine.ConnectIis(iis)) {
    err << Show(engine.GetErrorTitle()) << ": " << Show(engine.GetErrorText()) << "\n";
    return 1;
  }
  engine.BuildFacts(iis);
  out << "mode: " << (engine.extensibilityMode == 2 ? "pipeline" : "isapi") << ", IIS "
      << iis.GetMajorVersion() << "\n";
  PrintWhatIf(engine, out);
  return 0;
}

void WriteUninstall(PrintingUpdate& engine, const std::string& path, std::ostream& out) {
  CSPBuffer package;
  if (!engine.WriteUninstallPackage(package, true)) {
    out << "no uninstall package: nothing to undo\n";
    return;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(package.GetData()), package.GetSize());
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
  out << "uninstall package: " << path << " (" << package.GetSize() << " bytes)\n";
}

int Summarise(PrintingUpdate& engine, bool succeeded, std::ostream& out) {
  uint32_t executed = 0, failed = 0;
  for (const char* c = engine.GetLog().GetString(); *c != '\0'; ++c) executed += *c == '\n';
  for (const char* c = engine.GetFailureLog().GetString(); *c != '\0'; ++c) failed += *c == '\n';
  out << "components: " << engine.GetComponentCount() << ", executed: " << executed
      << ", skipped: " << (engine.steps - int32_t(succeeded ? executed : executed - 1))
      << ", failed: " << failed << ", reverse components: " << engine.uninstallList.GetCount()
      << "\n";
  return succeeded ? 0 : 1;
}

}  // namespace

CLI::App* AddRunCommand(CLI::App& app, RunOptions& o) {
  CLI::App* run = app.add_subcommand("run", "Run a package on a machine image");
  run->add_option("PACKAGE", o.package, "package file")->required();
  run->add_option("--machine", o.machineDir, "the machine image to run on")->required();
  run->add_option("--product-dir", o.productDir, "the product directory, a Windows path")
      ->required();
  run->add_option("--mode", o.mode, "isapi or pipeline (default: the product key decides)")
      ->check(CLI::IsMember({"isapi", "pipeline"}));
  run->add_option("--sites", o.sites, "site IDs for per-website components (default: all)")
      ->delimiter(',');
  run->add_flag("--what-if", o.whatIf, "show which components would run, change nothing");
  run->add_option("--uninstall", o.uninstallFile, "write the uninstall package to this file");
  return run;
}

int RunPackage(const RunOptions& o, std::ostream& out, std::ostream& err) {
  SelectedImage image(o.machineDir);
  PrintingUpdate engine(out);
  engine.SetPackageData(ReadPackage(o.package));
  engine.basePath = CSPWString(machine::FromUtf8(o.productDir).c_str());
  engine.productKey = kProductKey;
  engine.productName = kProductName;
  engine.extensibilityMode = ModeOf(o.mode);
  if (!engine.Parse()) {
    err << Show(engine.GetErrorTitle()) << ": " << Show(engine.GetErrorText()) << "\n";
    return 1;
  }
  for (const std::string& site : o.sites)
    engine.sites.Add(CSPWString(machine::FromUtf8(site).c_str()));
  if (o.whatIf) return WhatIf(engine, out, err);
  EnsureProductKey();
  if (o.sites.empty()) AddAllSites(engine.sites);
  if (!engine.Execute()) {
    engine.PrintNewLog();
    engine.Rollback();
    out << "rolled back\n";
    Summarise(engine, false, out);
    err << Show(engine.GetErrorTitle()) << ": " << Show(engine.GetErrorText()) << "\n";
    return 1;
  }
  engine.PrintNewLog();
  if (!o.uninstallFile.empty()) WriteUninstall(engine, o.uninstallFile, out);
  return Summarise(engine, true, out);
}

}  // namespace cvsp
