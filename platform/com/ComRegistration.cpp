#include "platform/com/ComRegistration.h"

namespace com {
namespace {

std::u16string GuidText(REFGUID guid) {
  char16_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

LSTATUS SetString(HKEY key, const char16_t* name, const std::u16string& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
}

// Creates the key and sets its values, given as name/value pairs (a null
// name is the default value).
LSTATUS WriteKey(const std::u16string& path,
                 std::initializer_list<std::pair<const char16_t*, std::u16string>> values) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (const auto& value : values) {
    if (status == ERROR_SUCCESS) status = SetString(key, value.first, value.second);
  }
  if (key != nullptr) RegCloseKey(key);
  return status;
}

LSTATUS DeleteTree(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return ERROR_SUCCESS;
  }
  char16_t name[256];
  for (;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    const LSTATUS status = DeleteTree(path + u"\\" + name);
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      return status;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

const std::u16string kClasses = u"Software\\Classes\\";

}  // namespace

LSTATUS RegisterServiceClass(REFCLSID clsid, const std::u16string& description,
                             const std::u16string& serviceName) {
  const std::u16string guid = GuidText(clsid);
  LSTATUS status =
      WriteKey(kClasses + u"CLSID\\" + guid, {{nullptr, description}, {u"AppID", guid}});
  if (status == ERROR_SUCCESS) {
    status = WriteKey(kClasses + u"AppID\\" + guid,
                      {{nullptr, description}, {u"LocalService", serviceName}});
  }
  return status;
}

LSTATUS RegisterInprocClass(REFCLSID clsid, const std::u16string& description,
                            const std::u16string& dllPath, const std::u16string& threadingModel) {
  const std::u16string key = kClasses + u"CLSID\\" + GuidText(clsid);
  LSTATUS status = WriteKey(key, {{nullptr, description}});
  if (status == ERROR_SUCCESS) {
    status = WriteKey(key + u"\\InprocServer32",
                      {{nullptr, dllPath}, {u"ThreadingModel", threadingModel}});
  }
  return status;
}

LSTATUS UnregisterClass(REFCLSID clsid) {
  const std::u16string guid = GuidText(clsid);
  const LSTATUS status = DeleteTree(kClasses + u"CLSID\\" + guid);
  if (status != ERROR_SUCCESS) return status;
  return DeleteTree(kClasses + u"AppID\\" + guid);
}

}  // namespace com
