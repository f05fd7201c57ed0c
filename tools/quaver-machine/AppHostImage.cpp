#include "tools/quaver-machine/AppHostImage.h"

#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {
namespace {

// What differs between the versions on a fresh server.
struct Version {
  const char* iis;
  const char* runtime;   // the CLR of new pools
  const char* identity;  // the identity of new pools
  // Pools besides DefaultAppPool: name and attributes.
  std::vector<std::pair<const char*, const char*>> pools;
};

const Version& VersionOf(const std::string& iis) {
  static const std::vector<Version> versions = {
      {"7",
       "v2.0",
       "NetworkService",
       {{"Classic .NET AppPool", "managedPipelineMode=\"Classic\""}}},
      {"7.5",
       "v2.0",
       "ApplicationPoolIdentity",
       {{"Classic .NET AppPool", "managedPipelineMode=\"Classic\""},
        {"ASP.NET v4.0", "managedRuntimeVersion=\"v4.0\""},
        {"ASP.NET v4.0 Classic",
         "managedRuntimeVersion=\"v4.0\" managedPipelineMode=\"Classic\""}}},
      {"8.5",
       "v4.0",
       "ApplicationPoolIdentity",
       {{".NET v2.0", "managedRuntimeVersion=\"v2.0\""},
        {".NET v2.0 Classic", "managedRuntimeVersion=\"v2.0\" managedPipelineMode=\"Classic\""},
        {".NET v4.5", "managedRuntimeVersion=\"v4.0\""},
        {".NET v4.5 Classic", "managedRuntimeVersion=\"v4.0\" managedPipelineMode=\"Classic\""}}},
      {"10",
       "v4.0",
       "ApplicationPoolIdentity",
       {{".NET v4.5", "managedRuntimeVersion=\"v4.0\""},
        {".NET v4.5 Classic", "managedRuntimeVersion=\"v4.0\" managedPipelineMode=\"Classic\""}}},
  };
  for (const Version& version : versions) {
    if (iis == version.iis) return version;
  }
  throw CommandError("IIS " + iis + " has no application host");
}

const char kHead[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!--

    IIS configuration sections of this server.

    Every section is declared in <configSections>; settings for one website
    or application go into a <location> tag with its path.

    Make a backup of this file before you change it by hand.

-->

<configuration>

    <configSections>
        <sectionGroup name="system.applicationHost">
            <section name="applicationPools" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="configHistory" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="customMetadata" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="listenerAdapters" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="log" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="sites" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="webLimits" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
        </sectionGroup>

        <sectionGroup name="system.webServer">
            <section name="asp" overrideModeDefault="Deny" />
            <section name="caching" overrideModeDefault="Allow" />
            <section name="cgi" overrideModeDefault="Deny" />
            <section name="defaultDocument" overrideModeDefault="Allow" />
            <section name="directoryBrowse" overrideModeDefault="Allow" />
            <section name="fastCgi" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="globalModules" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="handlers" overrideModeDefault="Deny" />
            <section name="httpCompression" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
            <section name="httpErrors" overrideModeDefault="Deny" />
            <section name="httpLogging" overrideModeDefault="Deny" />
            <section name="httpProtocol" overrideModeDefault="Allow" />
            <section name="httpRedirect" overrideModeDefault="Allow" />
            <section name="httpTracing" overrideModeDefault="Deny" />
            <section name="isapiFilters" allowDefinition="MachineToApplication" overrideModeDefault="Deny" />
            <section name="modules" allowDefinition="MachineToApplication" overrideModeDefault="Deny" />
            <section name="odbcLogging" overrideModeDefault="Deny" />
            <sectionGroup name="security">
                <section name="access" overrideModeDefault="Deny" />
                <section name="applicationDependencies" overrideModeDefault="Deny" />
                <sectionGroup name="authentication">
                    <section name="anonymousAuthentication" overrideModeDefault="Deny" />
                    <section name="basicAuthentication" overrideModeDefault="Deny" />
                    <section name="clientCertificateMappingAuthentication" overrideModeDefault="Deny" />
                    <section name="digestAuthentication" overrideModeDefault="Deny" />
                    <section name="iisClientCertificateMappingAuthentication" overrideModeDefault="Deny" />
                    <section name="windowsAuthentication" overrideModeDefault="Deny" />
                </sectionGroup>
                <section name="authorization" overrideModeDefault="Allow" />
                <section name="ipSecurity" overrideModeDefault="Deny" />
                <section name="isapiCgiRestriction" allowDefinition="AppHostOnly" overrideModeDefault="Deny" />
                <section name="requestFiltering" overrideModeDefault="Allow" />
            </sectionGroup>
            <section name="serverRuntime" overrideModeDefault="Deny" />
            <section name="serverSideInclude" overrideModeDefault="Deny" />
            <section name="staticContent" overrideModeDefault="Allow" />
            <sectionGroup name="tracing">
                <section name="traceFailedRequests" overrideModeDefault="Allow" />
                <section name="traceProviderDefinitions" overrideModeDefault="Deny" />
            </sectionGroup>
            <section name="urlCompression" overrideModeDefault="Allow" />
            <section name="validation" overrideModeDefault="Allow" />
        </sectionGroup>
    </configSections>

    <system.applicationHost>

)xml";

const char kSites[] = R"xml(        <sites>
            <site name="Default Web Site" id="1">
                <application path="/">
                    <virtualDirectory path="/" physicalPath="%SystemDrive%\inetpub\wwwroot" />
                    <virtualDirectory path="/images" physicalPath="%SystemDrive%\inetpub\images" />
                </application>
                <application path="/shop" applicationPool="ShopPool">
                    <virtualDirectory path="/" physicalPath="C:\Sites\Shop" />
                </application>
                <bindings>
                    <binding protocol="http" bindingInformation="*:80:" />
                </bindings>
            </site>
            <site name="Intranet" id="2">
                <application path="/" applicationPool="IntranetPool">
                    <virtualDirectory path="/" physicalPath="C:\Sites\Intranet" />
                </application>
                <bindings>
                    <binding protocol="http" bindingInformation="*:8080:" />
                </bindings>
            </site>
            <siteDefaults>
                <logFile logFormat="W3C" directory="%SystemDrive%\inetpub\logs\LogFiles" />
                <traceFailedRequestsLogging directory="%SystemDrive%\inetpub\logs\FailedReqLogFiles" />
            </siteDefaults>
            <applicationDefaults applicationPool="DefaultAppPool" />
            <virtualDirectoryDefaults allowSubDirConfig="true" />
        </sites>

        <webLimits />

    </system.applicationHost>

    <system.webServer>

        <asp />

        <caching enabled="true" enableKernelCache="true">
        </caching>

        <cgi />

        <defaultDocument enabled="true">
            <files>
                <add value="Default.htm" />
                <add value="Default.asp" />
                <add value="index.htm" />
                <add value="index.html" />
                <add value="iisstart.htm" />
)xml";

const char kGlobalModules[] = R"xml(        <directoryBrowse enabled="false" />

        <globalModules>
            <add name="UriCacheModule" image="%windir%\System32\inetsrv\cachuri.dll" />
            <add name="FileCacheModule" image="%windir%\System32\inetsrv\cachfile.dll" />
            <add name="TokenCacheModule" image="%windir%\System32\inetsrv\cachtokn.dll" />
            <add name="HttpCacheModule" image="%windir%\System32\inetsrv\cachhttp.dll" />
            <add name="StaticCompressionModule" image="%windir%\System32\inetsrv\compstat.dll" />
            <add name="DefaultDocumentModule" image="%windir%\System32\inetsrv\defdoc.dll" />
            <add name="DirectoryListingModule" image="%windir%\System32\inetsrv\dirlist.dll" />
            <add name="IsapiFilterModule" image="%windir%\System32\inetsrv\filter.dll" />
            <add name="ProtocolSupportModule" image="%windir%\System32\inetsrv\protsup.dll" />
            <add name="StaticFileModule" image="%windir%\System32\inetsrv\static.dll" />
            <add name="AnonymousAuthenticationModule" image="%windir%\System32\inetsrv\authanon.dll" />
            <add name="RequestFilteringModule" image="%windir%\System32\inetsrv\modrqflt.dll" />
            <add name="CustomErrorModule" image="%windir%\System32\inetsrv\custerr.dll" />
            <add name="IsapiModule" image="%windir%\System32\inetsrv\isapi.dll" />
            <add name="HttpLoggingModule" image="%windir%\System32\inetsrv\loghttp.dll" />
            <add name="FastCgiModule" image="%windir%\System32\inetsrv\iisfcgi.dll" />
            <add name="CgiModule" image="%windir%\System32\inetsrv\cgi.dll" />
            <add name="ConfigurationValidationModule" image="%windir%\System32\inetsrv\validcfg.dll" />
        </globalModules>

        <httpCompression directory="%SystemDrive%\inetpub\temp\IIS Temporary Compressed Files">
            <scheme name="gzip" dll="%Windir%\system32\inetsrv\gzip.dll" />
            <staticTypes>
                <add mimeType="text/*" enabled="true" />
                <add mimeType="message/*" enabled="true" />
                <add mimeType="application/javascript" enabled="true" />
                <add mimeType="*/*" enabled="false" />
            </staticTypes>
        </httpCompression>

        <httpErrors lockAttributes="allowAbsolutePathsWhenDelegated,defaultPath" />

        <httpLogging dontLog="false" />

        <httpProtocol>
            <customHeaders>
                <clear />
            </customHeaders>
            <redirectHeaders>
                <clear />
            </redirectHeaders>
        </httpProtocol>

        <isapiFilters>
            <filter name="ASP.Net_4.0_64bit" path="%windir%\Microsoft.NET\Framework64\v4.0.30319\aspnet_filter.dll" enableCache="true" preCondition="runtimeVersionv4.0,bitness64" />
            <filter name="ASP.Net_4.0_32bit" path="%windir%\Microsoft.NET\Framework\v4.0.30319\aspnet_filter.dll" enableCache="true" preCondition="runtimeVersionv4.0,bitness32" />
        </isapiFilters>

        <odbcLogging />

        <security>

            <access sslFlags="None" />

            <applicationDependencies>
                <application name="Active Server Pages" groupId="ASP" />
            </applicationDependencies>

            <authentication>

                <anonymousAuthentication enabled="true" userName="IUSR" />

                <basicAuthentication />

                <clientCertificateMappingAuthentication />

                <digestAuthentication />

                <iisClientCertificateMappingAuthentication />

                <windowsAuthentication />

            </authentication>

            <authorization />

            <ipSecurity allowUnlisted="true" />

            <isapiCgiRestriction notListedIsapisAllowed="false" notListedCgisAllowed="false">
                <add path="%windir%\Microsoft.NET\Framework64\v4.0.30319\aspnet_isapi.dll" allowed="true" groupId="ASP.NET v4.0.30319" description="ASP.NET v4.0.30319" />
                <add path="%windir%\Microsoft.NET\Framework\v4.0.30319\aspnet_isapi.dll" allowed="true" groupId="ASP.NET v4.0.30319" description="ASP.NET v4.0.30319" />
            </isapiCgiRestriction>

            <requestFiltering>
                <fileExtensions allowUnlisted="true" applyToWebDAV="true">
                    <add fileExtension=".asa" allowed="false" />
                    <add fileExtension=".asax" allowed="false" />
                    <add fileExtension=".config" allowed="false" />
                    <add fileExtension=".cs" allowed="false" />
                    <add fileExtension=".mdb" allowed="false" />
                </fileExtensions>
                <verbs allowUnlisted="true" applyToWebDAV="true" />
                <hiddenSegments applyToWebDAV="true">
                    <add segment="web.config" />
                    <add segment="bin" />
                    <add segment="App_code" />
                    <add segment="App_Data" />
                </hiddenSegments>
            </requestFiltering>

        </security>

        <serverRuntime />

        <serverSideInclude ssiExecDisable="false" />

        <staticContent lockAttributes="isDocFooterFileName" />

        <tracing>
            <traceFailedRequests>
                <add path="*">
                    <traceAreas>
                        <add provider="WWW Server" areas="Authentication,Security,Filter,StaticFile,CGI,Compression,Cache,RequestNotifications,Module,FastCGI" verbosity="Verbose" />
                    </traceAreas>
                    <failureDefinitions statusCodes="500" />
                </add>
            </traceFailedRequests>
        </tracing>

        <urlCompression />

        <validation />

    </system.webServer>

    <location path="" overrideMode="Allow">
        <system.webServer>
            <modules>
                <add name="HttpCacheModule" lockItem="true" />
                <add name="StaticCompressionModule" lockItem="true" />
                <add name="DefaultDocumentModule" lockItem="true" />
                <add name="DirectoryListingModule" lockItem="true" />
                <add name="IsapiFilterModule" lockItem="true" />
                <add name="ProtocolSupportModule" lockItem="true" />
                <add name="StaticFileModule" lockItem="true" />
                <add name="AnonymousAuthenticationModule" lockItem="true" />
                <add name="RequestFilteringModule" lockItem="true" />
                <add name="CustomErrorModule" lockItem="true" />
                <add name="IsapiModule" lockItem="true" />
                <add name="HttpLoggingModule" lockItem="true" />
                <add name="FastCgiModule" lockItem="true" />
                <add name="CgiModule" lockItem="true" />
                <add name="ConfigurationValidationModule" lockItem="true" />
            </modules>
            <handlers accessPolicy="Read, Script">
)xml";

const char kTail[] =
    R"xml(                <add name="CGI-exe" path="*.exe" verb="*" modules="CgiModule" resourceType="File" requireAccess="Execute" allowPathInfo="true" />
                <add name="ISAPI-dll" path="*.dll" verb="*" modules="IsapiModule" resourceType="File" requireAccess="Execute" allowPathInfo="true" />
                <add name="TRACEVerbHandler" path="*" verb="TRACE" modules="ProtocolSupportModule" requireAccess="None" />
                <add name="OPTIONSVerbHandler" path="*" verb="OPTIONS" modules="ProtocolSupportModule" requireAccess="None" />
                <add name="StaticFile" path="*" verb="*" modules="StaticFileModule,DefaultDocumentModule,DirectoryListingModule" resourceType="Either" requireAccess="Read" />
            </handlers>
        </system.webServer>
    </location>

    <location path="Intranet">
        <system.webServer>
            <directoryBrowse enabled="true" />
        </system.webServer>
    </location>

</configuration>
)xml";

std::string Pools(const Version& version) {
  // The schema's defaults are those of the newest version; older ones write
  // their own on every pool as well, so that reading any pool gives what
  // that version would use.
  const bool newest = std::string(version.runtime) == "v4.0" &&
                      std::string(version.identity) == "ApplicationPoolIdentity";
  const std::string runtime = std::string("managedRuntimeVersion=\"") + version.runtime + "\"";
  const std::string identity =
      std::string("<processModel identityType=\"") + version.identity + "\" />";
  const auto pool = [&](const std::string& name, std::string attributes) {
    if (!newest && attributes.find("managedRuntimeVersion") == std::string::npos) {
      attributes = runtime + (attributes.empty() ? "" : " " + attributes);
    }
    std::string line = "            <add name=\"" + name + "\"";
    if (!attributes.empty()) line += " " + attributes;
    if (newest) return line + " />\n";
    return line + ">\n                " + identity + "\n            </add>\n";
  };
  std::string text = "        <applicationPools>\n";
  text += pool("DefaultAppPool", "");
  for (const auto& [name, attributes] : version.pools) text += pool(name, attributes);
  text += pool("ShopPool", "managedRuntimeVersion=\"\"");
  text += "            <add name=\"IntranetPool\"";
  if (!newest) text += " " + runtime;
  text +=
      ">\n                <processModel identityType=\"NetworkService\" />\n            </add>\n";
  text += "            <applicationPoolDefaults managedRuntimeVersion=\"" +
          std::string(version.runtime) + "\">\n                " + identity +
          "\n            </applicationPoolDefaults>\n";
  return text + "        </applicationPools>\n\n";
}

const char kHostSections[] = R"xml(        <configHistory />

        <listenerAdapters>
            <add name="http" />
        </listenerAdapters>

        <log>
            <centralBinaryLogFile enabled="true" directory="%SystemDrive%\inetpub\logs\LogFiles" />
            <centralW3CLogFile enabled="true" directory="%SystemDrive%\inetpub\logs\LogFiles" />
        </log>

)xml";

// FastCGI application, the environment PHP reads its settings from, and
// index.php as a default document.
std::string PhpDocument(const std::string& phpDir) {
  return phpDir.empty() ? "" : "                <add value=\"index.php\" />\n";
}

std::string FastCgi(const std::string& phpDir) {
  if (phpDir.empty()) return "        <fastCgi />\n\n";
  return "        <fastCgi>\n"
         "            <application fullPath=\"" +
         phpDir +
         "\\php-cgi.exe\" activityTimeout=\"600\" "
         "requestTimeout=\"600\" instanceMaxRequests=\"10000\">\n"
         "                <environmentVariables>\n"
         "                    <environmentVariable name=\"PHP_FCGI_MAX_REQUESTS\" value=\"10000\" "
         "/>\n"
         "                    <environmentVariable name=\"PHPRC\" value=\"" +
         phpDir +
         "\" />\n"
         "                </environmentVariables>\n"
         "            </application>\n"
         "        </fastCgi>\n\n";
}

std::string PhpHandler(const std::string& phpDir) {
  if (phpDir.empty()) return "";
  return "                <add name=\"PHP_via_FastCGI\" path=\"*.php\" verb=\"GET,HEAD,POST\" "
         "modules=\"FastCgiModule\" scriptProcessor=\"" +
         phpDir +
         "\\php-cgi.exe\" "
         "resourceType=\"Either\" requireAccess=\"Script\" />\n";
}

std::string WithWindowsLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 30);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// --- writing into the image ---

std::u16string Expanded(const std::u16string& path) {
  char16_t buffer[MAX_PATH * 2];
  const DWORD length = ExpandEnvironmentStringsW(path.c_str(), buffer, MAX_PATH * 2);
  if (length == 0 || length > MAX_PATH * 2) return path;
  return buffer;
}

void MakeFolders(const std::u16string& folder) {
  for (size_t at = folder.find(u'\\', 3);; at = folder.find(u'\\', at + 1)) {
    const std::u16string part = folder.substr(0, at);
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      FailWithWindowsError(machine::ToUtf8(part), GetLastError());
    }
    if (at == std::u16string::npos) return;
  }
}

void WriteFileInImage(const std::u16string& path, const std::string& bytes) {
  MakeFolders(path.substr(0, path.rfind(u'\\')));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailWithWindowsError(machine::ToUtf8(path), GetLastError());
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok || written != bytes.size()) FailWithWindowsError(machine::ToUtf8(path), error);
}

const char kStartPage[] =
    "<!DOCTYPE html>\r\n<html>\r\n<head><title>IIS Windows Server</title></head>\r\n"
    "<body><h1>Internet Information Services</h1></body>\r\n</html>\r\n";

// Settings a PHP installation for IIS is given; written for this server,
// not copied from a PHP distribution.
const char kPhpIni[] =
    "[PHP]\r\n"
    "; Settings of the PHP installation that IIS runs through FastCGI.\r\n"
    "engine = On\r\n"
    "short_open_tag = Off\r\n"
    "memory_limit = 128M\r\n"
    "error_reporting = E_ALL & ~E_DEPRECATED & ~E_STRICT\r\n"
    "display_errors = Off\r\n"
    "log_errors = On\r\n"
    "\r\n"
    "; A file included before every script.\r\n"
    "auto_prepend_file =\r\n"
    "auto_append_file =\r\n"
    "\r\n"
    "extension_dir = \"ext\"\r\n"
    "cgi.force_redirect = 0\r\n"
    "cgi.fix_pathinfo = 1\r\n"
    "fastcgi.impersonate = 1\r\n"
    "\r\n"
    "[Date]\r\n"
    "date.timezone = UTC\r\n";

// Stand-ins for the programs: only their names matter to a setup.
const char kProgram[] = "MZ\x90";

void WritePhp(const std::u16string& phpDir) {
  WriteFileInImage(phpDir + u"\\php.ini", kPhpIni);
  WriteFileInImage(phpDir + u"\\php-cgi.exe", kProgram);
  WriteFileInImage(phpDir + u"\\php.exe", kProgram);
  MakeFolders(phpDir + u"\\ext");
}

}  // namespace

std::string AppHostConfigText(const AppHostImage& image) {
  const Version& version = VersionOf(image.iisVersion);
  std::string text = kHead;
  text += Pools(version);
  text += kHostSections;
  text += kSites;
  text += PhpDocument(image.phpDir);
  text += "            </files>\n        </defaultDocument>\n\n";
  text += kGlobalModules;
  text += PhpHandler(image.phpDir);
  text += kTail;
  // fastCgi sits in alphabetical order between directoryBrowse and
  // globalModules, as the server writes its sections.
  const std::string before = "        <globalModules>\n";
  text.insert(text.find(before), FastCgi(image.phpDir));
  return WithWindowsLineEnds(text);
}

void InstallAppHost(const AppHostImage& image) {
  const std::u16string windir = Expanded(u"%windir%");
  WriteFileInImage(windir + u"\\System32\\inetsrv\\config\\applicationHost.config",
                   AppHostConfigText(image));
  const char16_t* folders[] = {u"%SystemDrive%\\inetpub\\images",
                               u"%SystemDrive%\\inetpub\\logs\\LogFiles",
                               u"%SystemDrive%\\inetpub\\logs\\FailedReqLogFiles",
                               u"%SystemDrive%\\inetpub\\temp\\IIS Temporary Compressed Files"};
  for (const char16_t* folder : folders) MakeFolders(Expanded(folder));
  for (const char16_t* root :
       {u"%SystemDrive%\\inetpub\\wwwroot", u"C:\\Sites\\Shop", u"C:\\Sites\\Intranet"}) {
    WriteFileInImage(Expanded(root) + u"\\iisstart.htm", kStartPage);
  }
  if (!image.phpDir.empty()) WritePhp(machine::FromUtf8(image.phpDir));
}

}  // namespace quaver_machine
