// Apartments and activation. Each thread keeps its own apartment count and
// model, as on Windows; activation looks the class up in the simulated
// registry first, so a server image offers exactly what it has installed.
#include <string>

#include "platform/com/ComClassTable.h"
#include "platform/win.h"

namespace {

struct Apartment {
  int initialisations = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local Apartment tApartment;

constexpr DWORD kKnownInitFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

DWORD ModelOf(DWORD dwCoInit) { return dwCoInit & COINIT_APARTMENTTHREADED; }

bool SubkeyExists(HKEY key, const char16_t* name) {
  HKEY sub = nullptr;
  if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) return false;
  RegCloseKey(sub);
  return true;
}

bool ValueExists(HKEY key, const char16_t* name) {
  return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The class contexts under which the registry offers the class; 0 when the
// class is not registered. A local server also serves remote requests: the
// simulated server is the only machine there is. Returns REGDB_E_READREGDB
// when the registry cannot be read, which is no missing class.
HRESULT RegisteredContexts(REFCLSID rclsid, DWORD& contexts) {
  contexts = 0;
  char16_t guid[40];
  StringFromGUID2(rclsid, guid, 40);
  const std::u16string path = std::u16string(u"Software\\Classes\\CLSID\\") + guid;
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return REGDB_E_READREGDB;
  if (SubkeyExists(key, u"InprocServer32")) contexts |= CLSCTX_INPROC_SERVER;
  if (SubkeyExists(key, u"InprocHandler32")) contexts |= CLSCTX_INPROC_HANDLER;
  if (SubkeyExists(key, u"LocalServer32") || ValueExists(key, u"AppID")) {
    contexts |= CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
  }
  RegCloseKey(key);
  return S_OK;
}

}  // namespace

HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved != nullptr || (dwCoInit & ~kKnownInitFlags) != 0) return E_INVALIDARG;
  Apartment& apartment = tApartment;
  if (apartment.initialisations > 0) {
    if (apartment.model != ModelOf(dwCoInit)) return RPC_E_CHANGED_MODE;
    ++apartment.initialisations;
    return S_FALSE;
  }
  apartment.model = ModelOf(dwCoInit);
  apartment.initialisations = 1;
  return S_OK;
}

HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void STDAPICALLTYPE CoUninitialize() {
  // Windows ignores an unbalanced call too.
  if (tApartment.initialisations > 0) --tApartment.initialisations;
}

HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                        REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if ((dwClsContext & CLSCTX_ALL) == 0) return E_INVALIDARG;
  if (tApartment.initialisations == 0) return CO_E_NOTINITIALIZED;
  DWORD contexts = 0;
  if (const HRESULT hr = RegisteredContexts(rclsid, contexts); FAILED(hr)) return hr;
  if ((contexts & dwClsContext) == 0) return REGDB_E_CLASSNOTREG;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  const com::ClassCreator create = com::ComClassTable::Instance().Find(rclsid);
  if (!create) return CO_E_SERVER_EXEC_FAILURE;
  const HRESULT hr = create(riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}
