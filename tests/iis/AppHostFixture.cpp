#include "tests/iis/AppHostFixture.h"

#include "platform/apphost/AppHostServers.h"
#include "platform/text.h"

namespace quaver::test {

const char kServerConfig[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!-- A server for the IISHelper tests. -->
<configuration>
    <configSections>
        <sectionGroup name="system.applicationHost">
            <section name="applicationPools" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="sites" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
        </sectionGroup>
        <sectionGroup name="system.webServer">
            <section name="defaultDocument" overrideModeDefault="Allow" />
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
        </applicationPools>
        <sites>
            <site name="Default Web Site" id="1">
                <application path="/">
                    <virtualDirectory path="/" physicalPath="%SystemDrive%\inetpub\wwwroot" />
                </application>
                <application path="/app">
                    <virtualDirectory path="/" physicalPath="C:\Apps\app" />
                </application>
            </site>
            <site name="Blog" id="2">
                <application path="/blog">
                    <virtualDirectory path="/" physicalPath="C:\Sites\Blog" />
                </application>
            </site>
            <site name="Shop" id="10">
                <application path="/">
                    <virtualDirectory path="/images" physicalPath="D:\Images" />
                    <virtualDirectory path="/" physicalPath="C:\Sites\Shop" />
                </application>
            </site>
        </sites>
    </system.applicationHost>

    <system.webServer>
        <globalModules>
            <add name="StaticFileModule" image="%windir%\System32\inetsrv\static.dll" />
            <add name="IsapiModule" image="%windir%\System32\inetsrv\isapi.dll" />
            <add name="FastCgiModule" image="%windir%\System32\inetsrv\iisfcgi.dll" />
        </globalModules>
        <isapiFilters>
            <filter name="Legacy" path="C:\Filters\legacy.dll" />
            <filter name="Compress" path="C:\Filters\compress.dll" />
        </isapiFilters>
        <security>
            <isapiCgiRestriction notListedIsapisAllowed="false">
                <add path="C:\Quaver\iquaver.dll" allowed="true" groupId="Quaver" description="IIS Quaver" />
                <add path="C:\Filters\legacy.dll" allowed="true" groupId="Legacy" />
                <add path="C:\Quaver\old\iquaver.dll" allowed="false" groupId="Quaver" description="IIS Quaver (old)" />
                <add path="C:\PHP\php-cgi.exe" allowed="true" />
            </isapiCgiRestriction>
        </security>
    </system.webServer>

    <location path="" overrideMode="Allow">
        <system.webServer>
            <modules>
                <add name="StaticFileModule" lockItem="true" />
                <add name="IsapiModule" />
            </modules>
            <handlers accessPolicy="Read, Script">
                <add name="PHP-cgi" path="*.php" verb="*" modules="CgiModule" scriptProcessor="C:\PHP\php-cgi.exe" />
                <add name="ISAPI-dll" path="*.dll" verb="*" modules="IsapiModule" requireAccess="Execute" />
                <add name="PHP-FastCGI" path="*.php" verb="GET,POST" modules="FastCgiModule" scriptProcessor="C:\PHP\php-cgi.exe" />
                <add name="BarePhp" path="php" verb="*" modules="FastCgiModule" scriptProcessor="C:\PHP\php-cgi.exe" />
                <add name="QuaverWildcard" path="*" verb="*" modules="IsapiModule" scriptProcessor="C:\Quaver\iquaver.dll" />
                <add name="StaticFile" path="*" verb="*" modules="StaticFileModule" requireAccess="Read" />
            </handlers>
        </system.webServer>
    </location>
    <location path="Shop">
        <system.webServer>
            <handlers>
                <add name="ShopPhp" path="*.php" verb="*" modules="FastCgiModule" scriptProcessor="C:\PHP7\php-cgi.exe" />
                <add name="ShopWildcard" path="*" verb="*" modules="IsapiModule" scriptProcessor="C:\Quaver\x64\iquaver.dll" />
            </handlers>
            <isapiFilters>
                <filter name="ShopFilter" path="C:\Filters\shop.dll" />
            </isapiFilters>
        </system.webServer>
    </location>
</configuration>
)xml";

namespace {

// A COM reference released at the end of the scope.
template <typename T>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (p_) p_->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }

 private:
  T* p_ = nullptr;
};

BSTR Text(const std::string& utf8) {
  const std::u16string wide = machine::FromUtf8(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Take(BSTR text) {
  std::string utf8 = text ? machine::ToUtf8(std::u16string_view(text, SysStringLen(text))) : "";
  SysFreeString(text);
  return utf8;
}

std::string Read(IAppHostElement* element, const std::string& attribute) {
  Held<IAppHostProperty> property;
  BSTR name = Text(attribute);
  HRESULT hr = element->GetPropertyByName(name, property.out());
  SysFreeString(name);
  BSTR value = nullptr;
  if (SUCCEEDED(hr)) hr = property->get_StringValue(&value);
  return SUCCEEDED(hr) ? Take(value) : "<unreadable>";
}

// Calls `visit` with every entry of the section's collection; false when
// the section or its collection cannot be read.
template <typename Visit>
bool EachEntry(const std::string& section, const std::string& location, Visit visit) {
  Held<IAppHostAdminManager> manager;
  if (FAILED(apphost::CreateAdminManager(IID_IAppHostAdminManager,
                                         reinterpret_cast<void**>(manager.out())))) {
    return false;
  }
  std::u16string path = kAppHostPath;
  if (!location.empty()) path += u"/" + machine::FromUtf8(location);
  BSTR sectionName = Text(section);
  BSTR configPath = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
  Held<IAppHostElement> element;
  const HRESULT hr = manager->GetAdminSection(sectionName, configPath, element.out());
  SysFreeString(sectionName);
  SysFreeString(configPath);
  Held<IAppHostElementCollection> collection;
  DWORD count = 0;
  if (FAILED(hr) || FAILED(element->get_Collection(collection.out())) || !collection.get() ||
      FAILED(collection->get_Count(&count))) {
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_UI4;
    index.ulVal = i;
    Held<IAppHostElement> entry;
    if (FAILED(collection->get_Item(index, entry.out()))) return false;
    visit(entry.get());
  }
  return true;
}

}  // namespace

void AppHostFixture::Open() {
  ASSERT_TRUE(iis.Connect(IISHelper::ConnectAppHost));
  ASSERT_TRUE(iis.OpenConfigPath(kAppHostPath));
}

Names AppHostFixture::Entries(const std::string& section, const std::string& location,
                              const std::string& attribute) {
  Names names;
  const bool read = EachEntry(
      section, location, [&](IAppHostElement* entry) { names.push_back(Read(entry, attribute)); });
  return read ? names : Names{"<failed>"};
}

std::string AppHostFixture::Attribute(const std::string& section, const std::string& location,
                                      const std::string& name, const std::string& attribute) {
  std::string value = "<none>";
  EachEntry(section, location, [&](IAppHostElement* entry) {
    if (Read(entry, "name") == name) value = Read(entry, attribute);
  });
  return value;
}

bool AppHostFixture::Locked(const std::string& section, const std::string& location,
                            const std::string& name) {
  bool locked = false;
  EachEntry(section, location, [&](IAppHostElement* entry) {
    if (Read(entry, "name") != name) return;
    VARIANT value;
    VariantInit(&value);
    BSTR lockItem = Text("lockItem");
    if (SUCCEEDED(entry->GetMetadata(lockItem, &value)) && value.vt == VT_BOOL) {
      locked = value.boolVal == VARIANT_TRUE;
    }
    VariantClear(&value);
    SysFreeString(lockItem);
  });
  return locked;
}

std::string Utf8(const CSPWString& text) {
  return machine::ToUtf8(std::u16string_view(text.GetString(), text.GetLength()));
}

std::string ElementText(IISHelper& iis, const char16_t* attribute) {
  CSPWString value;
  return iis.GetElementPropertyString(attribute, value) ? Utf8(value) : "<unreadable>";
}

}  // namespace quaver::test
