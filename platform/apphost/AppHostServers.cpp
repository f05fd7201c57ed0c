#include "platform/apphost/AppHostServers.h"

#include "platform/apphost/AdminManagerObject.h"

namespace apphost {

namespace {

HRESULT Create(bool writable, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  auto* manager = new AdminManagerObject(writable);
  const HRESULT hr = manager->QueryInterface(riid, ppv);
  manager->Release();
  return hr;
}

}  // namespace

HRESULT CreateAdminManager(REFIID riid, void** ppv) { return Create(false, riid, ppv); }

HRESULT CreateWritableAdminManager(REFIID riid, void** ppv) { return Create(true, riid, ppv); }

void RegisterServers(com::ComClassTable& table) {
  table.Register(CLSID_AppHostAdminManager, &CreateAdminManager);
  table.Register(CLSID_AppHostWritableAdminManager, &CreateWritableAdminManager);
}

}  // namespace apphost
