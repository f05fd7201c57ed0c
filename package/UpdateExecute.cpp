// Execution of a parsed package: the extensibility mode, the IIS
// connection, the machine facts, the conditions of each component and the
// run of the components with their logs.
#include "iis/IISHelper.h"
#include "package/Update.h"
#include "platform/win.h"
#include "system/RegKey.h"

namespace {

const char kEngineError[] = "Update engine error";
const char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";

Update::ConditionClass NumberFact(const char* name, uint32_t value) {
  Update::ConditionClass fact;
  fact.name = name;
  fact.numberValue = value;
  fact.kind = Update::ConditionClass::kNumberFact;
  return fact;
}

Update::ConditionClass TextFact(const char* name, const char* value) {
  Update::ConditionClass fact;
  fact.name = name;
  fact.textValue = value;
  fact.kind = Update::ConditionClass::kTextFact;
  return fact;
}

}  // namespace

bool Update::SettleExtensibilityMode() {
  RegKey key;
  uint32_t stored = 0;
  if (key.Open(productKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS) &&
      key.GetDwordValue(u"ExtensibilityMode", stored)) {
    extensibilityMode = stored & 3;
    if (extensibilityMode == 0) extensibilityMode = IISHelper::ConnectMetabase;
    return true;
  }
  extensibilityMode = IISHelper::ConnectMetabase;
  if (!key.Open(productKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS)) {
    Fail(kEngineError, "Cannot access the product registry key.");
    return false;
  }
  if (!key.SetDwordValue(u"ExtensibilityMode", extensibilityMode)) {
    Fail(kEngineError, "Cannot set ExtensibilityMode value to the product registry key.");
    return false;
  }
  return true;
}

bool Update::ConnectIis(IISHelper& iis) {
  if (extensibilityMode == IISHelper::ConnectMetabase) {
    if (iis.Connect(IISHelper::ConnectMetabase)) return true;
    Fail("System error", "Cannot connect to IIS Metabase");
    return false;
  }
  if (extensibilityMode == IISHelper::ConnectAppHost) {
    if (!iis.Connect(IISHelper::ConnectAppHost)) {
      Fail("System error", "Cannot connect to IIS Application Host configuration");
      return false;
    }
    if (!iis.OpenConfigPath(kAppHostPath)) {
      Fail("System error", "Cannot open IIS Application Host configuration file");
      return false;
    }
    return true;
  }
  Fail("Setup error", "Invalid valid IIS connection mode was specified.");
  return false;
}

void Update::BuildFacts(const IISHelper& iis) {
  facts.RemoveAll(true);
  facts.Add(NumberFact("IISVERSION", iis.GetMajorVersion()));
  const char* model = extensibilityMode == IISHelper::ConnectAppHost
                          ? "PIPELINE"
                          : (iis.GetMajorVersion() < 7 ? "ISAPIX64" : "ISAPISYMLINK");
  facts.Add(TextFact("IISMODEL", model));
  facts.Add(TextFact("ARCHITECTURE", "X64"));
  facts.Add(TextFact("X86CORE", iis.GetMajorVersion() < 7 ? "NO" : "YES"));
  facts.Add(TextFact("SYMLINKX86", iis.GetMajorVersion() < 7 ? "NO" : "YES"));
  facts.Add(TextFact("SYMLINKX64", iis.GetMajorVersion() < 7 ? "NO" : "YES"));
}

bool Update::TestConditions(uint32_t index, bool& runs) {
  runs = true;
  const ConditionsByName* filed = conditions.Lookup(index);
  if (filed == nullptr || filed->GetCount() == 0) return true;
  for (uint32_t i = 0; i < facts.GetCount(); ++i) {
    const ConditionClass& fact = facts.GetAt(i);
    const UpdateCondition* condition = filed->Lookup(fact.name);
    if (condition == nullptr) continue;
    bool holds;
    if (fact.kind == ConditionClass::kNumberFact) {
      holds = condition->TestNumber(fact.numberValue);
    } else if (fact.kind == ConditionClass::kTextFact) {
      holds = condition->TestText(fact.textValue);
    } else {
      Fail("Internal error", "Invalid update condition value");
      return false;
    }
    if (!holds) {
      runs = false;
      return true;
    }
  }
  return true;
}

// The component's message decides the line, not its result: a failure
// excused by 0x01 shows as failed, one silenced by 0x04 as OK.
void Update::AppendLog(const UpdateComponent& component) {
  const CSPString& message = component.GetErrorText();
  log += component.GetLogText();
  if (message.GetLength() == 0) {
    log += "  OK\r\n";
    return;
  }
  CSPString line = component.GetLogText() + "  FAILED: " + message + "\r\n";
  log += "  FAILED: ";
  log += message;
  log += "\r\n";
  failureLog += line;
}

bool Update::RunComponents(IISHelper& iis) {
  for (uint32_t i = 0; i < components.GetCount(); ++i) {
    bool runs = true;
    if (!TestConditions(i, runs)) return false;
    if (runs) {
      UpdateComponent& component = components.GetAt(i);
      FilterPriorities copy(priorities);
      bool succeeded = component.Run(iis, sites, copy);
      AppendLog(component);
      if (!succeeded) {
        errorText = component.GetErrorText();
        errorTitle = kEngineError;
        return false;
      }
      UpdateComponent reverse;
      if (component.MakeReverse(reverse)) uninstallList.Add(reverse);
    }
    StepProgress(1);
  }
  return true;
}

bool Update::WriteVersion() {
  RegKey key;
  if (!key.Open(productKey, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS) ||
      !key.SetStringValue("Version", CSPString(versionString))) {
    Fail("System error", "Cannot access the registry");
    return false;
  }
  return true;
}

bool Update::Execute() {
  if (!parsed) {
    Fail(kEngineError, "Update package is not parsed");
    return false;
  }
  failureLog.Empty();
  log.Empty();
  uninstallList.RemoveAll(true);
  IISHelper iis;
  if (extensibilityMode == 0 && !SettleExtensibilityMode()) return false;
  if (!ConnectIis(iis)) return false;
  BuildFacts(iis);
  if (makeBackup) iis.Backup(productName + u" Backup");
  if (!RunComponents(iis)) return false;
  iis.Save(IISHelper::SaveAll);
  iis.Disconnect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
  return WriteVersion();
}
