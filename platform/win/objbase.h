// The COM runtime (objbase.h, combaseapi.h, unknwn.h, winerror.h's COM
// codes) as the simulated server offers it.
//
// Deviations of the stand-in, all in what callers may observe:
// - There is no marshalling: every object lives in the calling process and
//   is called directly, whatever the apartment. Apartments are still kept per
//   thread so that initialisation answers as on Windows (S_FALSE for a repeat,
//   RPC_E_CHANGED_MODE for a different model, CO_E_NOTINITIALIZED without).
// - CoCreateInstance creates only the classes the simulated server has both
//   registered (Software\Classes\CLSID\{...} under HKEY_LOCAL_MACHINE) and
//   implemented in the stand-in (platform/com/ComClassTable.h).
// - There is no __uuidof; interfaces are named by their IID_ constants.
// - Objects cannot be aggregated (CLASS_E_NOAGGREGATION for an outer
//   object); a class registered but not implemented by the stand-in answers
//   CO_E_SERVER_EXEC_FAILURE.
#pragma once

#include "platform/win/types.h"

typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int INT;
typedef float FLOAT;
typedef double DOUBLE;
typedef LONG SCODE;
typedef DWORD LCID;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

// --- HRESULT helpers and COM failure codes (winerror.h) ---

#define SEVERITY_SUCCESS 0
#define SEVERITY_ERROR 1
#define FACILITY_NULL 0
#define FACILITY_RPC 1
#define FACILITY_DISPATCH 2
#define FACILITY_ITF 4
#define MAKE_HRESULT(sev, fac, code)                                                              \
  (static_cast<HRESULT>((static_cast<uint32_t>(sev) << 31) | (static_cast<uint32_t>(fac) << 16) | \
                        static_cast<uint32_t>(code)))
#define HRESULT_CODE(hr) (static_cast<uint32_t>(hr) & 0xFFFFu)
#define HRESULT_FACILITY(hr) ((static_cast<uint32_t>(hr) >> 16) & 0x1FFFu)
#define HRESULT_SEVERITY(hr) ((static_cast<uint32_t>(hr) >> 31) & 0x1u)
#define QUAVER_HRESULT(value) (static_cast<HRESULT>(static_cast<uint32_t>(value)))

#define E_UNEXPECTED QUAVER_HRESULT(0x8000FFFFu)
#define E_NOTIMPL QUAVER_HRESULT(0x80004001u)
#define E_NOINTERFACE QUAVER_HRESULT(0x80004002u)
#define E_POINTER QUAVER_HRESULT(0x80004003u)
#define E_ABORT QUAVER_HRESULT(0x80004004u)
#define E_FAIL QUAVER_HRESULT(0x80004005u)
#define E_ACCESSDENIED QUAVER_HRESULT(0x80070005u)
#define E_HANDLE QUAVER_HRESULT(0x80070006u)
#define E_OUTOFMEMORY QUAVER_HRESULT(0x8007000Eu)
#define E_INVALIDARG QUAVER_HRESULT(0x80070057u)
#define CLASS_E_NOAGGREGATION QUAVER_HRESULT(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE QUAVER_HRESULT(0x80040111u)
#define REGDB_E_READREGDB QUAVER_HRESULT(0x80040150u)
#define REGDB_E_CLASSNOTREG QUAVER_HRESULT(0x80040154u)
#define CO_E_NOTINITIALIZED QUAVER_HRESULT(0x800401F0u)
#define CO_E_CLASSSTRING QUAVER_HRESULT(0x800401F3u)
#define CO_E_SERVER_EXEC_FAILURE QUAVER_HRESULT(0x80080005u)
#define RPC_E_CHANGED_MODE QUAVER_HRESULT(0x80010106u)
#define DISP_E_TYPEMISMATCH QUAVER_HRESULT(0x80020005u)
#define DISP_E_BADVARTYPE QUAVER_HRESULT(0x80020008u)
#define DISP_E_OVERFLOW QUAVER_HRESULT(0x8002000Au)
#define DISP_E_BADINDEX QUAVER_HRESULT(0x8002000Bu)

// --- GUIDs ---

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef GUID* LPGUID;
typedef CLSID* LPCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// --- Interfaces ---

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  // Objects end through Release, never through delete on an interface.
  ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

// --- Initialisation and activation ---

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved);
void STDAPICALLTYPE CoUninitialize();
HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                        REFIID riid, LPVOID* ppv);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case digits; cchMax
// must hold 39 characters. Returns the characters written with the
// terminator, 0 when the buffer is too small.
int STDAPICALLTYPE StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the braced form; CO_E_CLASSSTRING when it is malformed.
// Deviation: ProgIDs are not looked up.
HRESULT STDAPICALLTYPE CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT STDAPICALLTYPE IIDFromString(LPCOLESTR lpsz, LPGUID lpiid);

LPVOID STDAPICALLTYPE CoTaskMemAlloc(size_t cb);
LPVOID STDAPICALLTYPE CoTaskMemRealloc(LPVOID pv, size_t cb);
void STDAPICALLTYPE CoTaskMemFree(LPVOID pv);
