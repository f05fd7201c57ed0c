// Reverse components: what undoes each component, the roll-back that runs
// them at once and the uninstall package that keeps them for later.
#include "iis/IISHelper.h"
#include "package/ByteFormat.h"
#include "package/Update.h"

namespace {

struct ReverseRow {
  uint32_t forward;
  const char* reverse;
  const char* copied[2];
};

const ReverseRow kReverses[] = {
    {UpdateComponent::kCreateFile, "RFIL", {"PATH", "FILENAME"}},
    {UpdateComponent::kCreateSymbolicLink, "RFIL", {"PATH", "FILENAME"}},
    {UpdateComponent::kCreateDirectory, "RDIR", {"PATH"}},
    {UpdateComponent::kAddRegistryValue, "RREG", {"PATH", "REGNAME"}},
    {UpdateComponent::kCreateShortcut, "RSHC", {"SHORTCUT_FOLDER", "SHORTCUT_FILENAME"}},
    {UpdateComponent::kAddFilter, "IRFL", {"FILTERNAME"}},
    {UpdateComponent::kAddRestriction, "IRWR", {"NAME"}},
    {UpdateComponent::kAddGlobalModule, "IRGM", {"NAME"}},
    {UpdateComponent::kAddModule, "IRMD", {"NAME"}},
    {UpdateComponent::kAddHandler, "IRHD", {"NAME"}},
};
// "IASM" depends on its extension: "*" is a wildcard mapping.
const ReverseRow kWildcardMapping = {UpdateComponent::kAddScriptMapping, "IRWM", {"EXECUTABLE"}};
const ReverseRow kScriptMapping = {UpdateComponent::kAddScriptMapping, "IRSM", {"EXTENSION"}};

// Bits 0x04, 0x08 and 0x10 carry over, 0x02 is dropped and 0x01 is always
// set: a reverse component never stops a roll-back or an uninstallation.
uint32_t ReverseOptions(uint32_t forward) {
  return (forward & (UpdateComponent::kNoMessage | UpdateComponent::kPathsAsWritten |
                     UpdateComponent::kLeaveOut)) |
         UpdateComponent::kReportSuccess;
}

const char kMagic[] = "CVSETUPPCKG:";
const uint32_t kMagicLength = 12;

}  // namespace

bool UpdateComponent::MakeReverse(UpdateComponent& reverse) const {
  const ComponentVariable* options = record.GetChild("OPTIONS");
  if (options == nullptr) return false;
  const ReverseRow* row = nullptr;
  if (typeCode == kAddScriptMapping) {
    const ComponentVariable* extension = record.GetChild("EXTENSION");
    if (extension == nullptr) return false;
    row = extension->GetText() == "*" ? &kWildcardMapping : &kScriptMapping;
  }
  for (const ReverseRow& candidate : kReverses) {
    if (candidate.forward == typeCode) row = &candidate;
  }
  if (row == nullptr) return false;
  ComponentVariable map, typeNode, optionsNode;
  typeNode.SetString("TYPE", row->reverse);
  map.AddToMap(row->reverse, typeNode);
  for (const char* name : row->copied) {
    if (name == nullptr) continue;
    const ComponentVariable* child = record.GetChild(name);
    if (child == nullptr) return false;
    map.AddToMap(row->reverse, *child);
  }
  optionsNode.SetULong("OPTIONS", ReverseOptions(options->GetULong()));
  map.AddToMap(row->reverse, optionsNode);
  reverse.ParseRecord(map);
  reverse.basePath = basePath;
  return true;
}

void Update::Rollback() {
  IISHelper iis;
  iis.Connect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
  for (uint32_t i = uninstallList.GetCount(); i-- > 0;) uninstallList.GetAt(i).RunAlone(iis);
  // Not saved: the installation restores its own IIS backup afterwards.
  iis.Disconnect(IISHelper::ConnectMetabase | IISHelper::ConnectAppHost);
}

bool Update::WriteUninstallPackage(CSPBuffer& output, bool leaveOut) {
  if (uninstallList.GetCount() == 0) return false;
  ComponentVariable list;
  // Present even when every record is left out, so that the package reads.
  list.SetList("COMPONENTS", VariableType::MAP);
  for (uint32_t i = uninstallList.GetCount(); i-- > 0;) {
    const ComponentVariable& record = uninstallList.GetAt(i).GetRecord();
    const ComponentVariable* options = record.GetChild("OPTIONS");
    if (options == nullptr) return false;
    if (leaveOut && (options->GetULong() & UpdateComponent::kLeaveOut) != 0) continue;
    if (!list.AddToList("COMPONENTS", record)) return false;
  }
  ComponentVariable root, date, number, text;
  date.SetDate("VERSION_DATE", versionDate);
  number.SetULong("VERSION_NUMBER", versionNumber);
  text.SetString("VERSION_STRING", CSPString(versionString));
  root.SetMap("SETUP");
  for (const ComponentVariable* child : {&list, &date, &number, &text}) {
    if (!root.AddToMap("SETUP", *child)) return false;
  }
  CSPBuffer encoded;
  if (!root.Encode(encoded, true)) return false;
  unsigned char version[4];
  PackageBytes::PutU32(version, packageVersion);
  CSPBuffer package;
  if (!package.Set(kMagic, kMagicLength) || !package.Append(version, 4) ||
      !package.Append(encoded)) {
    return false;
  }
  return output.Set(package);
}
