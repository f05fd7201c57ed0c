// Script execution for the chosen websites (ISAPI filter mode) and the PHP
// integration: every PHP directory IIS uses gets "request_uri.php", and its
// php.ini prepends it, so that PHP sees the address as it was before
// rewriting.
#include "core/CSPBuffer.h"
#include "core/CSPFile.h"
#include "core/ExpandEnvVars.h"
#include "iis/IISHelper.h"
#include "setup/IQVSetupCore.h"
#include "system/RegKey.h"

namespace {

constexpr uint32_t kError = SetupUi::FlagIconError;
const char16_t kSystemError[] = u"System error";
constexpr uint32_t kAccessPermissions = 6016;  // MD_ACCESS_PERM
constexpr uint32_t kScriptPermission = 0x200;  // MD_ACCESS_SCRIPT
constexpr uint32_t kScriptMaps = 6014;         // MD_SCRIPT_MAPS
const char kRequestUriScript[] =
    "<?php\r\nif( isset( $_SERVER[ 'HTTP_X_ORIGINAL_URL' ] ) )\r\n{\r\n"
    "\t$_SERVER[ 'REQUEST_URI' ] = $_SERVER[ 'HTTP_X_ORIGINAL_URL' ];\r\n}\r\n?>";
const char kDirective[] = "auto_prepend_file";
const char kFastCgiSettings[] = "%windir%\\System32\\inetsrv\\FCGIEXT.ini";
const char kNotFound[] = "NOT_FOUND";

bool Contains(const CSPWString& text, const char16_t* part) {
  return text.Find(part) != CSPWString::kNotFound;
}

// The executable of a script map entry: its second comma-separated field,
// which must be followed by another field.
bool ScriptMapExecutable(const CSPWString& entry, CSPWString& executable) {
  const uint32_t first = entry.Find(u",");
  if (first == CSPWString::kNotFound || first + 1 >= entry.GetLength()) return false;
  const uint32_t second = entry.Find(u",", first + 1);
  if (second == CSPWString::kNotFound) return false;
  executable = entry.Mid(first + 1, second - first - 1);
  return true;
}

// The FastCGI extension maps the php type in its own settings file; a
// value naming an executable adds that executable's folder.
void FindPhpInFastCgiSettings(CSPList<CSPString>& list) {
  char value[262] = {};
  const CSPString file = ExpandEnvVars(kFastCgiSettings);
  GetPrivateProfileStringA("Types", "php", kNotFound, value, sizeof(value), file.GetString());
  const CSPString found(value);
  if (found.GetLength() != 0 && found != kNotFound) CleanPhpPath(CSPWString(found), list);
}

// Calls `visit` with the element name of every entry of the current
// section's collection; the entry stays selected during the call.
template <class Visit>
void ForEachEntry(IISHelper& iis, Visit visit) {
  uint32_t count = 0;
  if (!iis.GetElementCount(count)) return;
  for (uint32_t i = 0; i < count; ++i) {
    CSPWString element;
    if (iis.SelectElement(i) && iis.GetElementName(element)) visit(element);
  }
}

bool ReadPair(IISHelper& iis, const char16_t* first, CSPWString& firstValue, const char16_t* second,
              CSPWString& secondValue) {
  return iis.GetElementPropertyString(first, firstValue) &&
         iis.GetElementPropertyString(second, secondValue);
}

bool WriteRequestUriScript(const CSPWString& dir) {
  CSPFile file;
  file.throwOnError = false;
  const CSPWString path = dir + u"request_uri.php";
  if (!file.Open(path, CSPFile::modeRead | CSPFile::modeWrite) &&
      !file.Create(path, CSPFile::modeWrite)) {
    return false;
  }
  if (!file.Write(CSPString(kRequestUriScript)) || !file.Truncate()) return false;
  file.Close();
  return true;
}

// Every existing directive commented out exactly once, and the new one
// after the line of the first of them (or after "[PHP]", or at the top).
CSPString PrependDirective(CSPString text, const CSPString& dir) {
  uint32_t at = text.Find(kDirective);
  if (at == CSPString::kNotFound) at = text.Find("[PHP]");
  text.Replace(";auto_prepend_file", kDirective);
  text.Replace(kDirective, ";auto_prepend_file");
  uint32_t insert = 0;
  if (at != CSPString::kNotFound) {
    const uint32_t lineFeed = text.Find("\n", at);
    insert = lineFeed == CSPString::kNotFound ? 0 : lineFeed + 1;
  }
  const CSPString line = CSPString("auto_prepend_file = \"") + dir + "request_uri.php\"\r\n";
  return text.Mid(0, insert) + line + text.Mid(insert, text.GetLength() - insert);
}

void EditPhpIni(const CSPString& dir) {
  CSPFile file;
  file.throwOnError = false;
  CSPBuffer content;
  content.throwOnError = false;
  if (!file.Open(CSPWString(dir) + u"php.ini", CSPFile::modeRead | CSPFile::modeWrite) ||
      !file.Read(content, 0)) {
    return;
  }
  CSPString text;
  text.Append(reinterpret_cast<const char*>(content.GetData()), content.GetSize());
  file.SeekToBegin();
  file.Truncate();
  file.Write(PrependDirective(text, dir));
  file.Close();
}

}  // namespace

void CleanPhpPath(const CSPWString& path, CSPList<CSPString>& list) {
  CSPString clean(path);
  clean.Replace("\"", "");
  clean.Replace("/", "\\");
  clean = ExpandEnvVars(clean);
  clean.MakeLower();
  for (uint32_t i = clean.GetLength(); i-- > 1;) {
    if (clean.GetAt(i) == '\\') {
      list.Add(clean.Mid(0, i + 1));
      return;
    }
  }
}

bool IQVSetupCore::RaiseScriptPermission(IISHelper& iis, const CSPWString& site) {
  CSPList<CSPWString> paths;
  if (!iis.OpenKey(u"/LM/W3SVC/" + site) || !iis.GetDataPaths(kAccessPermissions, paths, u"")) {
    Message(u"Cannot retrieve execution permissions from IIS Metabase", kSystemError, kError);
    return false;
  }
  for (uint32_t i = 0; i < paths.GetCount(); ++i) {
    const CSPWString& path = paths.GetAt(i);
    uint32_t value = 0;
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (!iis.GetDwordData(kAccessPermissions, value, attributes, userType, path)) {
      Message(u"Cannot retrieve IIS metabase Access Permissions value for path" + path,
              kSystemError, kError);
      return false;
    }
    if ((value & kScriptPermission) != 0) continue;
    if (!iis.SetDwordData(kAccessPermissions, value | kScriptPermission, attributes, userType,
                          path)) {
      Message(u"Cannot set IIS metabase Access Permissions value for path" + path, kSystemError,
              kError);
      return false;
    }
  }
  return true;
}

bool IQVSetupCore::AllowScriptExecution() {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectMetabase)) {
    Message(u"Cannot open IIS metabase", kSystemError, kError);
    return false;
  }
  for (uint32_t i = 0; i < selectedSites.GetCount(); ++i) {
    if (!RaiseScriptPermission(iis, selectedSites.GetAt(i))) return false;
  }
  StepProgress(0);
  return true;
}

bool IQVSetupCore::FindPhpInRegistry(CSPString& dir) {
  RegKey key;
  CSPString value;
  if (!key.Open("Software\\PHP", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS) ||
      !key.GetStringValue("InstallDir", value)) {
    return false;
  }
  if (value.GetLength() == 0 || value.GetAt(value.GetLength() - 1) != '\\') value += "\\";
  value.MakeLower();
  dir = value;
  return true;
}

void IQVSetupCore::FindPhpInMetabase(IISHelper& iis, CSPList<CSPString>& list) {
  if (iis.GetMajorVersion() > 6) return;
  CSPList<CSPWString> paths;
  if (!iis.Connect(IISHelper::ConnectMetabase)) return;
  if (iis.OpenKey(u"/LM/W3SVC") && iis.GetDataPaths(kScriptMaps, paths, u"")) {
    for (uint32_t i = 0; i < paths.GetCount(); ++i) {
      CSPList<CSPWString> maps;
      uint32_t attributes = 0;
      uint32_t userType = 0;
      if (!iis.GetMultiStringData(kScriptMaps, maps, attributes, userType, paths.GetAt(i))) {
        continue;
      }
      for (uint32_t j = 0; j < maps.GetCount(); ++j) {
        const CSPWString& entry = maps.GetAt(j);
        CSPWString executable;
        if ((entry.Find(u".php") == 0 || entry.Find(u"*.php") == 0) &&
            ScriptMapExecutable(entry, executable)) {
          CleanPhpPath(executable, list);
        }
      }
    }
    FindPhpInFastCgiSettings(list);
  }
  iis.Disconnect(IISHelper::ConnectMetabase);
}

void IQVSetupCore::FindPhpInAppHost(IISHelper& iis, CSPList<CSPString>& list) {
  if (iis.GetMajorVersion() < 7) return;
  CSPList<CSPWString> locations;
  if (!iis.Connect(IISHelper::ConnectAppHost)) return;
  if (iis.OpenConfigPath(u"MACHINE/WEBROOT/APPHOST") && iis.GetLocationPaths(locations) &&
      iis.OpenSection(u"system.webServer/globalModules", u"")) {
    ForEachEntry(iis, [&](const CSPWString& element) {
      CSPWString name;
      CSPWString image;
      if (element != u"add" || !ReadPair(iis, u"name", name, u"image", image)) return;
      name.MakeLower();
      if (Contains(name, u"php")) CleanPhpPath(image, list);
    });
    for (uint32_t i = 0; i < locations.GetCount(); ++i) {
      if (!iis.OpenSection(u"system.webServer/handlers", locations.GetAt(i))) continue;
      ForEachEntry(iis, [&](const CSPWString& element) {
        CSPWString path;
        CSPWString processor;
        if (element != u"add" || !ReadPair(iis, u"path", path, u"scriptProcessor", processor)) {
          return;
        }
        path.MakeLower();
        if (Contains(path, u".php")) CleanPhpPath(processor, list);
      });
    }
    if (iis.OpenSection(u"system.webServer/fastCgi", u"")) {
      ForEachEntry(iis, [&](const CSPWString& element) {
        CSPWString fullPath;
        if (element != u"application" || !iis.GetElementPropertyString(u"fullPath", fullPath)) {
          return;
        }
        CSPWString lower(fullPath);
        lower.MakeLower();
        if (Contains(lower, u"php")) CleanPhpPath(fullPath, list);
      });
    }
  }
  iis.Disconnect(IISHelper::ConnectAppHost);
}

void IQVSetupCore::IntegratePhp(IISHelper& iis) {
  CSPList<CSPString> found;
  CSPString registryDir;
  if (FindPhpInRegistry(registryDir)) found.Add(registryDir);
  FindPhpInMetabase(iis, found);
  FindPhpInAppHost(iis, found);
  CSPList<CSPString> dirs;
  for (uint32_t i = 0; i < found.GetCount(); ++i) {
    bool seen = false;
    for (uint32_t j = 0; !seen && j < dirs.GetCount(); ++j) seen = dirs.GetAt(j) == found.GetAt(i);
    if (!seen) dirs.Add(found.GetAt(i));
  }
  for (uint32_t i = 0; i < dirs.GetCount(); ++i) {
    if (WriteRequestUriScript(CSPWString(dirs.GetAt(i)))) EditPhpIni(dirs.GetAt(i));
  }
}
