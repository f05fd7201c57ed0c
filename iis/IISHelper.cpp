// Connections, the IIS version, saving and backups.
#include "iis/IISHelper.h"

#include "iis/ComRef.h"
#include "system/RegKey.h"

namespace {

// In-process server, in-process handler, local server and remote server.
constexpr DWORD kClassContext = 0x17;

}  // namespace

IISHelper::~IISHelper() { Disconnect(ConnectMetabase | ConnectAppHost); }

bool IISHelper::ReadIISMajorVersion(uint32_t& version) {
  RegKey key;
  if (!key.Open(u"Software\\Microsoft\\InetStp", HKEY_LOCAL_MACHINE, KEY_READ)) return false;
  return key.GetDwordValue(u"MajorVersion", version);
}

uint32_t IISHelper::GetMajorVersion() const {
  if (majorVersion != 0) return majorVersion;
  uint32_t version = 0;
  return ReadIISMajorVersion(version) ? version : 0;
}

bool IISHelper::CreateMetabase() {
  void* object = nullptr;
  if (FAILED(CoCreateInstance(CLSID_MSAdminBase_W, nullptr, kClassContext, IID_IMSAdminBase_W,
                              &object))) {
    return false;
  }
  metabase = static_cast<IMSAdminBaseW*>(object);
  return true;
}

bool IISHelper::Connect(uint32_t flags) {
  Disconnect(flags);
  if (!ReadIISMajorVersion(majorVersion)) return false;
  if (metabase == nullptr && !appHostConnected) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  }
  // A metabase that cannot be created is not a failure by itself: the
  // result only says whether any connection exists.
  if ((flags & ConnectMetabase) != 0 && CreateMetabase()) connections |= ConnectMetabase;
  if ((flags & ConnectAppHost) != 0) {
    appHostConnected = CreateAppHost((flags & ConnectReadOnly) != 0);
    if (appHostConnected) {
      connections |= ConnectAppHost;
    } else {
      connections &= ~ConnectAppHost;
    }
  }
  if (metabase == nullptr && !appHostConnected) {
    CoUninitialize();
    return false;
  }
  return true;
}

// One admin manager at a time: the kind asked for replaces the other.
bool IISHelper::CreateAppHost(bool readOnly) {
  void* object = nullptr;
  if (readOnly) {
    if (FAILED(CoCreateInstance(CLSID_AppHostAdminManager, nullptr, kClassContext,
                                IID_IAppHostAdminManager, &object))) {
      return false;
    }
    ReplaceRef(readOnlyManager, static_cast<IAppHostAdminManager*>(object));
    ReleaseRef(writableManager);
    return true;
  }
  if (FAILED(CoCreateInstance(CLSID_AppHostWritableAdminManager, nullptr, kClassContext,
                              IID_IAppHostWritableAdminManager, &object))) {
    return false;
  }
  ReplaceRef(writableManager, static_cast<IAppHostWritableAdminManager*>(object));
  ReleaseRef(readOnlyManager);
  return true;
}

void IISHelper::ReleaseAppHost() {
  ReleaseRef(currentElement);
  ReleaseRef(currentSection);
  ReleaseRef(configFile);
  ReleaseRef(writableManager);
  ReleaseRef(readOnlyManager);
  appHostConnected = false;
  configPath.Empty();
  newElement = false;
  connections &= ~ConnectAppHost;
}

bool IISHelper::Disconnect(uint32_t flags) {
  if (metabase == nullptr && !appHostConnected) return false;
  if ((flags & ConnectAppHost) != 0 && appHostConnected) ReleaseAppHost();
  if ((flags & ConnectMetabase) != 0 && metabase != nullptr) {
    CloseOpenKey();
    ReleaseRef(metabase);
    openKeyHandle = 0;
    openKeyPath.Empty();
    connections &= ~ConnectMetabase;
  }
  if (metabase == nullptr && !appHostConnected) CoUninitialize();
  return true;
}

// Closes the open key if there is one; true when none is left open.
bool IISHelper::CloseOpenKey() { return openKeyHandle == 0 || CloseKey(); }

bool IISHelper::Save(uint32_t target) {
  if (metabase == nullptr && !appHostConnected) return false;
  if (appHostConnected && writableManager == nullptr) return false;
  if (target != SaveMetabase && target != SaveAppHost && target != SaveAll) return false;
  bool committed = true;
  if ((target & SaveAppHost) != 0 && appHostConnected) {
    committed = SUCCEEDED(writableManager->CommitChanges());
  }
  if ((target & SaveMetabase) != 0 && metabase != nullptr) {
    CloseOpenKey();
    if (FAILED(metabase->SaveData())) return false;
  }
  return committed;
}

bool IISHelper::Backup(const CSPWString& name) {
  if (metabase == nullptr && !appHostConnected) return false;
  if (!BackupConfigFile(name, FileBackup::Take)) return false;
  if (metabase == nullptr) return true;
  CloseOpenKey();
  return SUCCEEDED(metabase->Backup(as_wcstr(name), MD_BACKUP_NEXT_VERSION,
                                    MD_BACKUP_SAVE_FIRST | MD_BACKUP_FORCE_BACKUP));
}

bool IISHelper::Restore(const CSPWString& name) {
  if (metabase == nullptr && !appHostConnected) return false;
  if (!BackupConfigFile(name, FileBackup::Restore)) return false;
  if (metabase == nullptr) return true;
  CloseOpenKey();
  return SUCCEEDED(metabase->Restore(as_wcstr(name), MD_BACKUP_HIGHEST_VERSION, 0));
}

bool IISHelper::DeleteBackup(const CSPWString& name) {
  if (metabase == nullptr && !appHostConnected) return false;
  if (!BackupConfigFile(name, FileBackup::Delete)) return false;
  if (metabase == nullptr) return true;
  CloseOpenKey();
  return SUCCEEDED(metabase->DeleteBackup(as_wcstr(name), MD_BACKUP_HIGHEST_VERSION));
}
