// The gateway to the configuration of IIS. One object holds up to two
// connections: to the IIS 6 metabase (Admin Base Objects) and to the IIS 7
// and later application-host configuration. On each it offers primitive
// operations, and on top of them the operations on websites, filters,
// modules, handler mappings, script maps and web service restrictions.
//
// Every operation answers a boolean; nothing is shown or thrown, and the
// callers word their own messages. An object is used on one thread: Connect
// initialises COM there (single-threaded apartment) and the last Disconnect
// uninitialises it.
//
// Metabase primitives work on one open key at a time; all of them except
// OpenKey, Save and the backups need an open key and take a path relative to
// it, the empty path being the key itself.
//
// Application-host primitives work on a current section (a section, or an
// element entered as one) and a current element (the collection entry found,
// selected or created last). The configuration path must be set
// (SetConfigPath, or OpenConfigPath where the walks over the file's
// locations and the backups need the configuration file) before OpenSection.
// Changes wait in the admin manager until Save.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "platform/win.h"

class IISHelper {
 public:
  // A website: its display name and its site ID as text.
  class Site {
   public:
    CSPWString name;
    CSPWString id;
  };

  // Connection flags (also the extensibility modes 1 and 2).
  static constexpr uint32_t ConnectMetabase = 1;
  static constexpr uint32_t ConnectAppHost = 2;
  static constexpr uint32_t ConnectReadOnly = 0x4000;

  // Save targets.
  static constexpr uint32_t SaveMetabase = 1;
  static constexpr uint32_t SaveAppHost = 2;
  static constexpr uint32_t SaveAll = 3;

  // A filter position meaning the end of the load order.
  static constexpr uint32_t FilterPositionLast = 0xFFFFFFFFu;

  IISHelper() = default;
  virtual ~IISHelper();
  // Holds COM references and a metabase handle: copies would release and
  // close them twice.
  IISHelper(const IISHelper&) = delete;
  IISHelper& operator=(const IISHelper&) = delete;

  // Connection and version.
  bool Connect(uint32_t flags);
  bool Disconnect(uint32_t flags);
  uint32_t GetConnections() const { return connections; }
  uint32_t GetMajorVersion() const;
  // "MajorVersion" of HKEY_LOCAL_MACHINE\Software\Microsoft\InetStp.
  static bool ReadIISMajorVersion(uint32_t& version);

  // Metabase primitives.
  bool OpenKey(const CSPWString& path);
  bool CloseKey();
  bool AddKey(const CSPWString& path);
  bool DeleteKey(const CSPWString& path);
  bool EnumKeys(CSPList<CSPWString>& keys, const CSPWString& path);
  bool GetDataPaths(uint32_t id, CSPList<CSPWString>& paths, const CSPWString& path);
  bool GetStringData(uint32_t id, CSPWString& value, uint32_t& attributes, uint32_t& userType,
                     const CSPWString& path);
  bool SetStringData(uint32_t id, const CSPWString& value, uint32_t attributes, uint32_t userType,
                     const CSPWString& path);
  bool GetMultiStringData(uint32_t id, CSPList<CSPWString>& values, uint32_t& attributes,
                          uint32_t& userType, const CSPWString& path);
  bool SetMultiStringData(uint32_t id, const CSPList<CSPWString>& values, uint32_t attributes,
                          uint32_t userType, const CSPWString& path);
  bool GetDwordData(uint32_t id, uint32_t& value, uint32_t& attributes, uint32_t& userType,
                    const CSPWString& path);
  bool SetDwordData(uint32_t id, uint32_t value, uint32_t attributes, uint32_t userType,
                    const CSPWString& path);
  bool DeleteData(uint32_t id, const CSPWString& path);
  bool Save(uint32_t target);

  // Backups of whatever is connected.
  bool Backup(const CSPWString& name);
  bool Restore(const CSPWString& name);
  bool DeleteBackup(const CSPWString& name);

  // Application-host primitives. All of them need the application host
  // connected.
  bool SetConfigPath(const CSPWString& path);
  bool OpenConfigPath(const CSPWString& path);  // needs the writable manager
  // Appends the path of every location of the configuration file, the
  // server level ("") first.
  bool GetLocationPaths(CSPList<CSPWString>& paths);
  // Path is relative to the configuration path: empty for the path itself,
  // a website's name for that website.
  bool OpenSection(const CSPWString& sectionName, const CSPWString& path);
  // The entry numbered `ordinal` (from 0) among the entries of the current
  // section's collection whose tag is `elementName` and whose attribute has
  // exactly `value`.
  bool FindElement(const CSPWString& value, const CSPWString& elementName,
                   const CSPWString& attributeName, uint32_t ordinal);
  bool SelectElement(uint32_t index);
  bool GetElementCount(uint32_t& count);
  bool EnterElement();
  bool EnterChildElement(const CSPWString& childName);
  // A new entry of the current section's collection with its "name" set;
  // it joins the collection with AppendNewElement.
  bool CreateElement(const CSPWString& name);
  bool AppendNewElement();
  bool ClearElement();
  bool GetElementName(CSPWString& name);
  bool GetSectionName(CSPWString& name);
  // `value` receives a new variant, which the caller clears (VariantClear).
  bool GetElementProperty(const CSPWString& name, VARIANT& value);
  bool GetSectionProperty(const CSPWString& name, VARIANT& value);
  bool GetElementPropertyString(const CSPWString& name, CSPWString& value);
  bool GetSectionPropertyString(const CSPWString& name, CSPWString& value);
  bool SetElementProperty(const CSPWString& name, const VARIANT& value);
  bool SetSectionProperty(const CSPWString& name, const VARIANT& value);
  bool GetElementMetadata(const CSPWString& name, VARIANT& value);
  bool GetSectionMetadata(const CSPWString& name, VARIANT& value);
  bool SetElementMetadata(const CSPWString& name, const VARIANT& value);
  bool SetSectionMetadata(const CSPWString& name, const VARIANT& value);
  // Saved positions of a walk. Get hands the caller a reference of its own
  // (the caller releases it); Set takes a reference of its own and releases
  // the one it replaces. Both fail for a null reference.
  bool GetSection(IAppHostElement*& section);
  bool SetSection(IAppHostElement* section);
  bool GetElement(IAppHostElement*& element);
  bool SetElement(IAppHostElement* element);

  // Websites of the application host, in the order of the sites collection
  // or as a map from site ID to name. Neither needs a configuration path.
  bool GetSites(CSPList<Site>& sites);
  bool GetSiteNames(CSPMap<CSPWString, CSPWString>& names);
  // The website's root directory, environment references expanded. Needs
  // the section "system.applicationHost/sites" current (OpenSection at the
  // empty path), and leaves it current again afterwards.
  bool GetAppHostSiteRoot(const CSPWString& siteName, CSPWString& directory);

  // Operations on the application host. They need a non-empty configuration
  // path, and the walks over every location need the configuration file.
  bool RemoveAppHostFilter(const CSPWString& filterName);
  bool AddGlobalModule(const CSPWString& moduleName, const CSPWString& image);
  bool RemoveGlobalModule(const CSPWString& moduleName);
  bool AddModule(const CSPWString& moduleName, const CSPWString& location);
  bool RemoveModule(const CSPWString& moduleName, const CSPWString& location);
  bool RemoveModuleEverywhere(const CSPWString& moduleName);
  // Empty path, verbs and access are written as "*", "*" and "Script".
  bool AddHandler(const CSPWString& handlerName, const CSPWString& modules, const CSPWString& path,
                  const CSPWString& verbs, const CSPWString& access, const CSPWString& location);
  bool RemoveHandler(const CSPWString& handlerName, const CSPWString& location);
  bool RemoveHandlerEverywhere(const CSPWString& handlerName);
  // Handlers by path pattern: "*" + extension for ".ext", the text itself
  // otherwise.
  bool RemoveAppHostScriptMap(const CSPWString& extension);
  // Wildcard handlers ("*") whose script processor contains the text.
  bool RemoveAppHostWildcardScriptMap(const CSPWString& executable);
  bool RemoveAppHostRestriction(const CSPWString& group);

  // ISAPI filters in the metabase. Site is a site ID, or empty for the
  // global filters; a leading "/" is accepted.
  bool AddFilter(const CSPWString& filterName, const CSPWString& filterPath, uint32_t position,
                 const CSPWString& description, const CSPWString& site);
  bool RemoveFilter(const CSPWString& filterName, const CSPWString& site, bool allWebsites);

  // Script maps in the metabase. Path is relative to "/LM/W3SVC": empty for
  // all of IIS, or a website's root key ("1/ROOT").
  bool AddScriptMap(const CSPWString& extension, const CSPWString& executable, uint32_t flags,
                    const CSPWString& verbs, const CSPWString& path, bool includeSubkeys);
  bool RemoveScriptMap(const CSPWString& extension, const CSPWString& path, bool includeSubkeys);
  bool RemoveWildcardScriptMap(const CSPWString& executable, const CSPWString& path,
                               bool includeSubkeys);

  // The web service extension list of the metabase.
  bool AddWebServiceRestriction(const CSPWString& group, const CSPWString& description,
                                const CSPWString& executable);
  bool RemoveWebServiceRestriction(const CSPWString& group);

 private:
  bool CreateMetabase();
  bool CloseOpenKey();
  bool HasOpenKey() const { return metabase != nullptr && openKeyHandle != 0; }
  HRESULT ReadData(uint32_t id, uint32_t dataType, const CSPWString& path, METADATA_RECORD& record,
                   std::vector<uint8_t>& buffer);
  bool WriteData(uint32_t id, uint32_t dataType, uint32_t attributes, uint32_t userType,
                 const CSPWString& path, const void* data, uint32_t bytes);
  bool InheritedScriptMaps(const CSPWString& path, CSPList<CSPWString>& maps, bool& inheritable);
  bool DropRedundantScriptMaps(const CSPWString& path, const CSPList<CSPWString>& written);
  bool ScriptMapKeyList(const CSPWString& path, bool includeSubkeys, CSPList<CSPWString>& keys);
  bool KeepScriptMaps(const CSPWString& path, bool includeSubkeys,
                      const std::function<bool(const CSPWString&)>& keep);
  CSPWString ScriptMapExecutable(const CSPWString& executable) const;
  bool RewriteScriptMaps(const CSPWString& path, const CSPList<CSPWString>& maps,
                         uint32_t attributes, uint32_t userType);
  bool FilterKeyHolds(const CSPWString& key, const CSPWString& filterName);
  bool RemoveFilterAt(const CSPWString& key, const CSPWString& filterName);
  bool RewriteRestrictions(const CSPWString& match, const CSPWString& entry);
  void ReleaseAppHost();
  bool CreateAppHost(bool readOnly);
  bool HasConfigPath() const { return appHostConnected && configPath.GetLength() > 0; }
  bool HasConfigFile() const { return HasConfigPath() && configFile != nullptr; }
  IAppHostAdminManager* Manager() const;
  HRESULT CurrentCollection(IAppHostElementCollection** collection) const;
  void SetCurrentElement(IAppHostElement* element, bool created);
  void SetCurrentSection(IAppHostElement* section);
  bool GetPropertyOf(IAppHostElement* element, const CSPWString& name, VARIANT& value);
  bool GetPropertyStringOf(IAppHostElement* element, const CSPWString& name, CSPWString& value);
  bool SetPropertyOf(IAppHostElement* element, const CSPWString& name, const VARIANT& value);
  bool GetMetadataOf(IAppHostElement* element, const CSPWString& name, VARIANT& value);
  bool SetMetadataOf(IAppHostElement* element, const CSPWString& name, const VARIANT& value);
  enum class FileBackup { Take, Restore, Delete };
  bool BackupConfigFile(const CSPWString& name, FileBackup step);
  bool LocationsShallowestFirst(CSPList<CSPWString>& paths);
  bool AddNamedEntry(const CSPWString& sectionName, const CSPWString& location,
                     const CSPWString& entryName);
  bool LockAndAppend();
  bool RemoveNamedEntry(const CSPWString& sectionName, const CSPWString& location,
                        const CSPWString& entryName);
  bool RemoveNamedEntryEverywhere(const CSPWString& sectionName, const CSPWString& tag,
                                  const CSPWString& entryName);
  bool ClearAllMatches(const CSPWString& value, const CSPWString& attributeName,
                       const CSPWString* processorText);
  bool ReadSites(CSPList<Site>* sites, CSPMap<CSPWString, CSPWString>* names);

  CSPWString openKeyPath;
  uint32_t majorVersion = 0;
  uint32_t connections = 0;
  IMSAdminBaseW* metabase = nullptr;
  METADATA_HANDLE openKeyHandle = 0;
  IAppHostWritableAdminManager* writableManager = nullptr;
  IAppHostAdminManager* readOnlyManager = nullptr;
  IAppHostConfigFile* configFile = nullptr;
  IAppHostElement* currentSection = nullptr;
  IAppHostElement* currentElement = nullptr;
  CSPWString configPath;
  bool newElement = false;
  bool appHostConnected = false;
};
