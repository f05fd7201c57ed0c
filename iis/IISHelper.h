// The gateway to the configuration of IIS. One object holds up to two
// connections: to the IIS 6 metabase (Admin Base Objects) and to the IIS 7
// and later application-host configuration. On each it offers primitive
// operations, and on top of them the operations on websites, filters,
// script maps and web service restrictions.
//
// Every operation answers a boolean; nothing is shown or thrown, and the
// callers word their own messages. An object is used on one thread: Connect
// initialises COM there (single-threaded apartment) and the last Disconnect
// uninitialises it.
//
// Metabase primitives work on one open key at a time; all of them except
// OpenKey, Save and the backups need an open key and take a path relative to
// it, the empty path being the key itself.
#pragma once

#include <cstdint>
#include <vector>

#include "core/CSPList.h"
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
  bool SetStringData(uint32_t id, const CSPWString& value, uint32_t attributes,
                     uint32_t userType, const CSPWString& path);
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

  // ISAPI filters in the metabase. Site is a site ID, or empty for the
  // global filters; a leading "/" is accepted.
  bool AddFilter(const CSPWString& filterName, const CSPWString& filterPath, uint32_t position,
                 const CSPWString& description, const CSPWString& site);
  bool RemoveFilter(const CSPWString& filterName, const CSPWString& site, bool allWebsites);

  // Script maps in the metabase. Path is relative to "/LM/W3SVC": empty for
  // all of IIS, or a website's root key ("1/ROOT").
  bool AddScriptMap(const CSPWString& extension, const CSPWString& executable, uint32_t flags,
                    const CSPWString& verbs, const CSPWString& path, bool includeSubkeys);
  bool RemoveScriptMap(const CSPWString& extension, const CSPWString& path,
                       bool includeSubkeys);
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
  HRESULT ReadData(uint32_t id, uint32_t dataType, const CSPWString& path,
                   METADATA_RECORD& record, std::vector<uint8_t>& buffer);
  bool WriteData(uint32_t id, uint32_t dataType, uint32_t attributes, uint32_t userType,
                 const CSPWString& path, const void* data, uint32_t bytes);
  bool InheritedScriptMaps(const CSPWString& path, CSPList<CSPWString>& maps, bool& inheritable);
  bool DropRedundantScriptMaps(const CSPWString& path, const CSPList<CSPWString>& written);
  bool ScriptMapKeyList(const CSPWString& path, bool includeSubkeys, CSPList<CSPWString>& keys);
  CSPWString ScriptMapExecutable(const CSPWString& executable) const;
  bool RewriteScriptMaps(const CSPWString& path, const CSPList<CSPWString>& maps,
                         uint32_t attributes, uint32_t userType);
  bool FilterKeyHolds(const CSPWString& key, const CSPWString& filterName);
  bool RemoveFilterAt(const CSPWString& key, const CSPWString& filterName);
  bool RewriteRestrictions(const CSPWString& group, const CSPWString& match,
                           const CSPWString& entry);
  void ReleaseAppHost();

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
