#include "tools/quaver-machine/AppHostReader.h"

#include <cstdio>
#include <pugixml.hpp>

#include "platform/apphost/ConfigDocument.h"
#include "platform/apphost/ConfigStore.h"
#include "platform/machine.h"
#include "platform/paths.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/text.h"
#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {
namespace {

constexpr char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";

class Text16 {
 public:
  explicit Text16(const std::string& utf8) {
    const std::u16string wide = machine::FromUtf8(utf8);
    bstr_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  explicit Text16(const std::u16string& wide)
      : bstr_(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()))) {}
  ~Text16() { SysFreeString(bstr_); }
  Text16(const Text16&) = delete;
  Text16& operator=(const Text16&) = delete;
  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

std::string Take(BSTR text) {
  std::string utf8 = text ? machine::ToUtf8(std::u16string_view(text, SysStringLen(text))) : "";
  SysFreeString(text);
  return utf8;
}

VARIANT Index(DWORD index) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_UI4;
  variant.ulVal = index;
  return variant;
}

void Collect(pugi::xml_node group, const std::string& prefix, std::vector<std::string>& names) {
  for (auto child : group.children()) {
    const std::string name = prefix + child.attribute("name").value();
    if (std::string_view(child.name()) == "section") names.push_back(name);
    if (std::string_view(child.name()) == "sectionGroup") Collect(child, name + "/", names);
  }
}

// The configuration file's bytes, or in `reason` why they cannot be read (a
// folder, a FIFO or device in its place). Returns the error that keeps the
// file from being opened at all: ERROR_FILE_NOT_FOUND when there is none,
// ERROR_ACCESS_DENIED for a link out of the image.
DWORD ReadConfigFile(std::string& bytes, std::string& shownPath, std::string& reason) {
  // The file the application host itself reads.
  const std::u16string path = apphost::ConfigStore::DefaultFilePath();
  machine::ResolvedPath resolved;
  if (const DWORD error = machine::ResolveWindowsPath(path, resolved)) return error;
  if (!resolved.exists) return ERROR_FILE_NOT_FOUND;
  shownPath = machine::ToUtf8(path);
  if (resolved.isDirectory) {
    reason = "it is a folder, not a file";
    return ERROR_SUCCESS;
  }
  try {
    bytes = machine::ReadWholeFile(resolved.host);
  } catch (const machine::MachineError& e) {
    reason = e.what();
  }
  return ERROR_SUCCESS;
}

// appcmd's report of a configuration it cannot read: the HRESULT and, for a
// file that cannot be read or is not a configuration file, why and where.
[[noreturn]] void FailToRead(const std::string& section, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(hr));
  std::string detail = "Cannot read " + section + ": " + HresultText(hr);
  std::string bytes, path, reason;
  apphost::ConfigDocument document;
  machine::XmlFault fault;
  if (ReadConfigFile(bytes, path, reason) == ERROR_SUCCESS) {
    if (!reason.empty()) {
      detail = "\nFilename: \\\\?\\" + path + "\nError: Cannot read configuration file (" + reason +
               ")\n";
    } else if (!document.Parse(bytes, fault)) {
      detail = "\nFilename: \\\\?\\" + path + "\nLine number: " + std::to_string(fault.line) +
               "\nError: " +
               (fault.wellFormed ? "Configuration file is not valid ("
                                 : "Configuration file is not well-formed XML (") +
               fault.description + ")\n";
    }
  }
  throw ToolFailure("ERROR ( hresult:" + std::string(code) + ", message:" + detail + " )");
}

}  // namespace

AppHostReader::AppHostReader() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) throw CommandError("cannot initialise COM");
  const HRESULT created =
      CoCreateInstance(CLSID_AppHostAdminManager, nullptr, CLSCTX_ALL, IID_IAppHostAdminManager,
                       reinterpret_cast<void**>(manager_.out()));
  if (FAILED(created)) {
    CoUninitialize();
    if (created == REGDB_E_CLASSNOTREG) {
      throw CommandError(
          "this image has no IIS application host (create it with --iis 7 or later)");
    }
    // A registry that cannot be read is no missing application host: say why.
    const std::string why = machine::registry::LastStoreError();
    throw CommandError(why.empty() ? "cannot create the application host: " + HresultText(created)
                                   : why);
  }
}

AppHostReader::~AppHostReader() {
  if (manager_) manager_->Release();
  *manager_.out() = nullptr;
  CoUninitialize();
}

Held<IAppHostElement> AppHostReader::Section(const std::string& name,
                                             const std::string& location) const {
  std::u16string path = kAppHostPath;
  if (!location.empty()) path += u"/" + machine::FromUtf8(location);
  Text16 sectionName(name);
  Text16 configPath(path);
  Held<IAppHostElement> section;
  const HRESULT hr = manager_->GetAdminSection(sectionName.get(), configPath.get(), section.out());
  if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) return {};
  if (FAILED(hr)) FailToRead(name, hr);
  return section;
}

std::vector<std::string> AppHostReader::DeclaredSections() {
  std::string bytes, path, reason;
  if (const DWORD error = ReadConfigFile(bytes, path, reason)) {
    FailToRead("configSections", HRESULT_FROM_WIN32(error));
  }
  apphost::ConfigDocument document;
  std::string error;
  if (!reason.empty()) FailToRead("configSections", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  if (!document.Parse(bytes, error)) {
    FailToRead("configSections", HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  }
  std::vector<std::string> names;
  for (auto sections : document.Root().children("configSections")) {
    Collect(sections, "", names);
  }
  return names;
}

std::string AppHostReader::Name(IAppHostElement* element) {
  BSTR name = nullptr;
  return SUCCEEDED(element->get_Name(&name)) ? Take(name) : std::string();
}

std::string AppHostReader::Text(IAppHostElement* element, const std::string& attribute,
                                const std::string& fallback) {
  Text16 name(attribute);
  Held<IAppHostProperty> property;
  BSTR value = nullptr;
  if (FAILED(element->GetPropertyByName(name.get(), property.out())) || !property ||
      FAILED(property->get_StringValue(&value))) {
    return fallback;
  }
  return Take(value);
}

bool AppHostReader::IsSet(IAppHostElement* element, const std::string& attribute) {
  Text16 name(attribute);
  Held<IAppHostProperty> property;
  if (FAILED(element->GetPropertyByName(name.get(), property.out())) || !property) return false;
  Text16 metadata(std::string("isDefaultValue"));
  VARIANT value;
  VariantInit(&value);
  const bool set = SUCCEEDED(property->GetMetadata(metadata.get(), &value)) &&
                   value.vt == VT_BOOL && value.boolVal == VARIANT_FALSE;
  VariantClear(&value);
  return set;
}

bool AppHostReader::Locked(IAppHostElement* element) {
  Text16 name(std::string("lockItem"));
  VARIANT value;
  VariantInit(&value);
  const bool locked = SUCCEEDED(element->GetMetadata(name.get(), &value)) && value.vt == VT_BOOL &&
                      value.boolVal == VARIANT_TRUE;
  VariantClear(&value);
  return locked;
}

Held<IAppHostElement> AppHostReader::Child(IAppHostElement* element, const std::string& name) {
  Text16 childName(name);
  Held<IAppHostElement> child;
  if (FAILED(element->GetElementByName(childName.get(), child.out()))) return {};
  return child;
}

std::vector<Held<IAppHostElement>> AppHostReader::Entries(IAppHostElement* element) {
  std::vector<Held<IAppHostElement>> entries;
  Held<IAppHostElementCollection> collection;
  DWORD count = 0;
  if (FAILED(element->get_Collection(collection.out())) || !collection ||
      FAILED(collection->get_Count(&count))) {
    return entries;
  }
  for (DWORD i = 0; i < count; ++i) {
    Held<IAppHostElement> entry;
    if (SUCCEEDED(collection->get_Item(Index(i), entry.out())) && entry) {
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

std::vector<std::string> AppHostReader::AttributeNames(IAppHostElement* element) {
  std::vector<std::string> names;
  Held<IAppHostPropertyCollection> properties;
  DWORD count = 0;
  if (FAILED(element->get_Properties(properties.out())) || !properties ||
      FAILED(properties->get_Count(&count))) {
    return names;
  }
  for (DWORD i = 0; i < count; ++i) {
    Held<IAppHostProperty> property;
    BSTR name = nullptr;
    if (SUCCEEDED(properties->get_Item(Index(i), property.out())) && property &&
        SUCCEEDED(property->get_Name(&name))) {
      names.push_back(Take(name));
    }
  }
  return names;
}

std::vector<Held<IAppHostElement>> AppHostReader::Children(IAppHostElement* element) {
  std::vector<Held<IAppHostElement>> children;
  Held<IAppHostChildElementCollection> collection;
  DWORD count = 0;
  if (FAILED(element->get_ChildElements(collection.out())) || !collection ||
      FAILED(collection->get_Count(&count))) {
    return children;
  }
  for (DWORD i = 0; i < count; ++i) {
    Held<IAppHostElement> child;
    if (SUCCEEDED(collection->get_Item(Index(i), child.out())) && child) {
      children.push_back(std::move(child));
    }
  }
  return children;
}

}  // namespace quaver_machine
