// Helpers for the application-host configuration tests: a temporary server
// image with an applicationHost.config, COM references that release
// themselves, and short ways to read and write elements.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/apphost/AppHostServers.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {

inline constexpr char kAppHostFile[] =
    "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
inline constexpr char16_t kAppHostPath[] = u"MACHINE/WEBROOT/APPHOST";

// A COM reference released at the end of the scope.
template <typename T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // Takes a reference of its own to `p`.
  void assign(T* p) {
    if (p) p->AddRef();
    reset();
    p_ = p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A BSTR freed at the end of the scope.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text)
      : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  explicit Bstr(std::string_view utf8) : Bstr(std::u16string_view(machine::FromUtf8(utf8))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::string utf8() const {
    return b_ ? machine::ToUtf8(std::u16string_view(b_, SysStringLen(b_))) : std::string();
  }

 private:
  BSTR b_ = nullptr;
};

inline VARIANT Index(uint32_t index) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UI4;
  v.ulVal = index;
  return v;
}

inline VARIANT BoolVariant(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// Owns the BSTR of a text VARIANT.
class TextVariant {
 public:
  explicit TextVariant(std::string_view utf8) {
    VariantInit(&v_);
    v_.vt = VT_BSTR;
    const std::u16string wide = machine::FromUtf8(utf8);
    v_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~TextVariant() { VariantClear(&v_); }
  TextVariant(const TextVariant&) = delete;
  TextVariant& operator=(const TextVariant&) = delete;
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

inline std::optional<std::string> ReadTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A shared real file (fixtures/ or corpus/), read in place; nullopt when the
// shared folder is not there.
inline std::optional<std::string> SharedFile(const std::string& relative) {
  const char* shared = std::getenv("QUAVER_SHARED");
  const std::filesystem::path base = shared ? shared : "../shared";
  return ReadTextFile(base / relative);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of `after` that differ from `before` (same number of lines
// assumed), as "old -> new".
inline std::vector<std::string> ChangedLines(const std::string& before, const std::string& after) {
  const auto a = Lines(before);
  const auto b = Lines(after);
  std::vector<std::string> changed;
  for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
    const std::string left = i < a.size() ? a[i] : "<none>";
    const std::string right = i < b.size() ? b[i] : "<none>";
    if (left != right) changed.push_back(left + " -> " + right);
  }
  return changed;
}

// A small server: two sites, server-level modules and handlers in
// <location path="">, a website with handlers of its own. Four-space
// indentation, LF line ends.
inline constexpr char kSmallConfig[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- A small server for the tests. -->
<configuration>
    <configSections>
        <sectionGroup name="system.applicationHost">
            <section name="applicationPools" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="sites" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
        </sectionGroup>
        <sectionGroup name="system.webServer">
            <section name="defaultDocument" overrideModeDefault="Allow" />
            <section name="fastCgi" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="globalModules" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="handlers" overrideModeDefault="Deny" />
            <section name="isapiFilters" allowDefinition="MachineToApplication" overrideModeDefault="Deny" />
            <section name="modules" allowDefinition="MachineToApplication" overrideModeDefault="Deny" />
            <sectionGroup name="security">
                <section name="isapiCgiRestriction" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            </sectionGroup>
        </sectionGroup>
    </configSections>

    <system.applicationHost>
        <applicationPools>
            <add name="DefaultAppPool" />
            <add name="Classic .NET AppPool" managedPipelineMode="Classic" />
            <add name="Shop" managedRuntimeVersion="">
                <processModel identityType="SpecificUser" userName="shopuser" />
            </add>
            <applicationPoolDefaults>
                <processModel />
            </applicationPoolDefaults>
        </applicationPools>

        <sites>
            <site name="Default Web Site" id="1">
                <application path="/">
                    <virtualDirectory path="/" physicalPath="%SystemDrive%\inetpub\wwwroot" />
                </application>
                <bindings>
                    <binding protocol="http" bindingInformation="*:80:" />
                </bindings>
            </site>
            <site name="Shop" id="2">
                <application path="/" applicationPool="Shop">
                    <virtualDirectory path="/" physicalPath="C:\Sites\Shop" />
                </application>
                <bindings>
                    <binding protocol="http" bindingInformation="*:8080:" />
                </bindings>
            </site>
        </sites>
    </system.applicationHost>

    <system.webServer>
        <!-- Native modules of the server. -->
        <globalModules>
            <add name="StaticFileModule" image="%windir%\System32\inetsrv\static.dll" />
            <add name="IsapiModule" image="%windir%\System32\inetsrv\isapi.dll" />
        </globalModules>
        <isapiFilters>
            <filter name="Legacy" path="C:\Filters\legacy.dll" />
        </isapiFilters>
        <fastCgi>
            <application fullPath="C:\PHP\php-cgi.exe" />
        </fastCgi>
        <security>
            <isapiCgiRestriction notListedIsapisAllowed="false">
                <add path="C:\Filters\legacy.dll" allowed="true" groupId="Legacy" />
            </isapiCgiRestriction>
        </security>
    </system.webServer>

    <location path="" overrideMode="Allow">
        <system.webServer>
            <modules>
                <add name="StaticFileModule" lockItem="true" />
                <add name="IsapiModule" lockItem="true" />
            </modules>
            <handlers accessPolicy="Read, Script">
                <add name="ISAPI-dll" path="*.dll" verb="*" modules="IsapiModule" requireAccess="Execute" />
                <add name="StaticFile" path="*" verb="*" modules="StaticFileModule" />
            </handlers>
            <defaultDocument>
                <files>
                    <add value="index.htm" />
                </files>
            </defaultDocument>
        </system.webServer>
    </location>
    <location path="Shop">
        <system.webServer>
            <handlers>
                <add name="PHP" path="*.php" verb="GET,POST" modules="FastCgiModule" scriptProcessor="C:\PHP\php-cgi.exe" />
            </handlers>
        </system.webServer>
    </location>
</configuration>
)";

class AppHostTest : public TempMachineTest {
 public:
  void WriteConfig(std::string_view text) const { image.WriteHostFile(kAppHostFile, text); }
  std::string ReadConfig() const { return image.ReadHostFile(kAppHostFile); }

  static void NewManager(Ref<IAppHostWritableAdminManager>& manager) {
    ASSERT_EQ(apphost::CreateWritableAdminManager(IID_IAppHostWritableAdminManager,
                                                  reinterpret_cast<void**>(manager.out())),
              S_OK);
  }

  // From an admin manager or a configuration file.
  template <typename Source>
  static HRESULT Section(Source* manager, std::string_view name, std::u16string_view path,
                         Ref<IAppHostElement>& section) {
    Bstr sectionName(name);
    Bstr configPath(path);
    return manager->GetAdminSection(sectionName.get(), configPath.get(), section.out());
  }

  template <typename Source>
  static HRESULT SiteSection(Source* manager, std::string_view name, std::string_view site,
                             Ref<IAppHostElement>& section) {
    std::u16string path = kAppHostPath;
    if (!site.empty()) path += u"/" + machine::FromUtf8(site);
    return Section(manager, name, path, section);
  }

  static HRESULT Child(IAppHostElement* element, std::string_view name,
                       Ref<IAppHostElement>& child) {
    Bstr childName(name);
    return element->GetElementByName(childName.get(), child.out());
  }

  static HRESULT Property(IAppHostElement* element, std::string_view name,
                          Ref<IAppHostProperty>& property) {
    Bstr propertyName(name);
    return element->GetPropertyByName(propertyName.get(), property.out());
  }

  // The property's string value, or "<hr 0x...>" when it cannot be read.
  static std::string Text(IAppHostElement* element, std::string_view name) {
    Ref<IAppHostProperty> property;
    HRESULT hr = Property(element, name, property);
    Bstr value;
    if (SUCCEEDED(hr)) hr = property->get_StringValue(value.out());
    if (FAILED(hr)) {
      std::ostringstream failure;
      failure << "<hr 0x" << std::hex << static_cast<uint32_t>(hr) << ">";
      return failure.str();
    }
    return value.utf8();
  }

  static HRESULT SetText(IAppHostElement* element, std::string_view name, std::string_view value) {
    Ref<IAppHostProperty> property;
    const HRESULT hr = Property(element, name, property);
    if (FAILED(hr)) return hr;
    TextVariant text(value);
    return property->put_Value(text.get());
  }

  static HRESULT Entries(IAppHostElement* element, Ref<IAppHostElementCollection>& collection) {
    return element->get_Collection(collection.out());
  }

  // One attribute of every entry of the element's collection, in order.
  static std::vector<std::string> EntryTexts(IAppHostElement* element, std::string_view attribute) {
    std::vector<std::string> texts;
    Ref<IAppHostElementCollection> collection;
    DWORD count = 0;
    if (FAILED(Entries(element, collection)) || !collection ||
        FAILED(collection->get_Count(&count))) {
      return {"<no collection>"};
    }
    for (DWORD i = 0; i < count; ++i) {
      Ref<IAppHostElement> entry;
      if (FAILED(collection->get_Item(Index(i), entry.out()))) return {"<no entry>"};
      texts.push_back(Text(entry.get(), attribute));
    }
    return texts;
  }

  // The first entry whose attribute has the value.
  static HRESULT FindEntry(IAppHostElement* element, std::string_view attribute,
                           std::string_view value, Ref<IAppHostElement>& entry) {
    Ref<IAppHostElementCollection> collection;
    DWORD count = 0;
    HRESULT hr = Entries(element, collection);
    if (SUCCEEDED(hr) && !collection) hr = E_FAIL;
    if (SUCCEEDED(hr)) hr = collection->get_Count(&count);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < count; ++i) {
      hr = collection->get_Item(Index(i), entry.out());
      if (FAILED(hr)) return hr;
      if (Text(entry.get(), attribute) == value) return S_OK;
    }
    entry.reset();
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }

  // Creates an entry with the attributes given (name, value pairs) and adds it.
  static HRESULT AddEntry(IAppHostElement* element,
                          const std::vector<std::pair<std::string, std::string>>& attributes,
                          bool lock = false) {
    Ref<IAppHostElementCollection> collection;
    HRESULT hr = Entries(element, collection);
    if (FAILED(hr)) return hr;
    Ref<IAppHostElement> entry;
    Bstr defaultName(u"");
    hr = collection->CreateNewElement(defaultName.get(), entry.out());
    if (FAILED(hr)) return hr;
    for (const auto& [name, value] : attributes) {
      hr = SetText(entry.get(), name, value);
      if (FAILED(hr)) return hr;
    }
    if (lock) {
      Bstr lockItem(u"lockItem");
      hr = entry->SetMetadata(lockItem.get(), BoolVariant(true));
      if (FAILED(hr)) return hr;
    }
    return collection->AddElement(entry.get(), -1);
  }

  static HRESULT RemoveEntry(IAppHostElement* element, std::string_view attribute,
                             std::string_view value) {
    Ref<IAppHostElement> entry;
    const HRESULT hr = FindEntry(element, attribute, value, entry);
    return FAILED(hr) ? hr : entry->Clear();
  }

  static std::string Hex(HRESULT hr) {
    std::ostringstream text;
    text << "0x" << std::hex << static_cast<uint32_t>(hr);
    return text.str();
  }
};

}  // namespace quaver::test
