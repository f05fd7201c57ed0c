// Actions on the registry below HKEY_LOCAL_MACHINE: "REGK" and "RREG". Key
// paths and value names are used as the package writes them.
#include "package/UpdateComponent.h"
#include "platform/win.h"
#include "system/RegKey.h"

namespace {

const uint32_t kKeyOnly = 0;
const uint32_t kStringValue = 1;
const uint32_t kNumberValue = 2;

CSPString KeyDescription(const CSPString& path, const CSPString& name) {
  return path + "\\" + name;
}

// The text stored in "DATA": up to its first zero byte, never past its end.
CSPString TextOf(const CSPBuffer& data) {
  const char* bytes = reinterpret_cast<const char*>(data.GetData());
  uint32_t length = 0;
  while (length < data.GetSize() && bytes[length] != '\0') ++length;
  CSPString text;
  text.Append(bytes, length);
  return text;
}

}  // namespace

bool UpdateComponent::RunAddRegistryValue() {
  const CSPString& path = Text("PATH");
  const CSPString& name = Text("REGNAME");
  logText = CSPString("ADD REGISTRY KEY: ") + KeyDescription(path, name);
  RegKey key;
  if (!key.Open(path, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS) &&
      !key.Create(path, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr)) {
    return Fail("Cannot open or create registry key.");
  }
  const CSPBuffer& data = record.GetChild("DATA")->GetBytes();
  const bool keep = (Options() & kKeepExisting) != 0;
  switch (Number("REGTYPE")) {
    case kKeyOnly: return true;
    case kStringValue: {
      CSPString existing;
      if (keep && key.GetStringValue(name, existing)) return true;
      if (!key.SetStringValue(name, TextOf(data))) return Fail("Cannot write registry data");
      return true;
    }
    case kNumberValue: {
      uint32_t existing = 0;
      if (keep && key.GetDwordValue(name, existing)) return true;
      // Fewer than four bytes hold no number: nothing may be read past them.
      if (data.GetSize() < 4) return Fail("Cannot write registry data");
      const unsigned char* bytes = data.GetData();
      uint32_t value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                       uint32_t(bytes[3]) << 24;
      if (!key.SetDwordValue(name, value)) return Fail("Cannot write registry data");
      return true;
    }
    default: return Fail("Uknown registry value type");
  }
}

// Never fails: what is not there is as good as removed.
bool UpdateComponent::RunRemoveRegistryValue() {
  const CSPString& path = Text("PATH");
  const CSPString& name = Text("REGNAME");
  logText = CSPString("REMOVE REGISTRY KEY: ") + KeyDescription(path, name);
  RegKey key;
  if (name.GetLength() != 0) {
    if (key.Open(path, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS)) key.DeleteValue(name);
  } else if (key.Attach(HKEY_LOCAL_MACHINE)) {
    key.DeleteSubKey(path);  // a key that still has subkeys stays
  }
  return true;
}
