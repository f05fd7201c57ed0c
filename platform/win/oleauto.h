// Automation strings and variants (oleauto.h, wtypes.h, oaidl.h) as the
// simulated server offers them.
//
// Deviations of the stand-in, all in what callers may observe:
// - There is no IDispatch, no SAFEARRAY and no type library; variants carry
//   scalars, BSTR and IUnknown only. VT_DISPATCH, VT_ARRAY and VT_BYREF
//   variants are refused with DISP_E_BADVARTYPE.
// - Comparisons and conversions use the invariant culture for every LCID.
#pragma once

#include "platform/win/objbase.h"

// A BSTR points at the first character; the byte length is stored in the
// four bytes before it, and a terminator always follows the characters.
typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz);
BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui);
INT STDAPICALLTYPE SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
void STDAPICALLTYPE SysFreeString(BSTR bstrString);
UINT STDAPICALLTYPE SysStringLen(BSTR pbstr);
UINT STDAPICALLTYPE SysStringByteLen(BSTR bstr);

typedef unsigned short VARTYPE;
typedef SHORT VARIANT_BOOL;
#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000
};

// Same member names as the SDK's, so code reads v.vt and v.bstrVal alike.
typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    ULONGLONG ullVal;
    INT intVal;
    UINT uintVal;
  };
} VARIANT, VARIANTARG;
typedef VARIANT* LPVARIANT;

#define V_VT(v) ((v)->vt)
#define V_BSTR(v) ((v)->bstrVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_I4(v) ((v)->lVal)
#define V_UI4(v) ((v)->ulVal)
#define V_UNKNOWN(v) ((v)->punkVal)

void STDAPICALLTYPE VariantInit(VARIANTARG* pvarg);
HRESULT STDAPICALLTYPE VariantClear(VARIANTARG* pvarg);
HRESULT STDAPICALLTYPE VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Converts among the scalar types, VT_BOOL and VT_BSTR (numbers written and
// read in the invariant form); DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW as on
// Windows. pvargDest may equal pvarSrc.
HRESULT STDAPICALLTYPE VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                         USHORT wFlags, VARTYPE vt);

#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_INVARIANT 0x007Fu
#define NORM_IGNORECASE 0x00000001u

#define VARCMP_LT 0
#define VARCMP_EQ 1
#define VARCMP_GT 2
#define VARCMP_NULL 3

// Compares by UTF-16 code unit (NORM_IGNORECASE: after simple upper-casing).
// A null BSTR equals an empty one.
HRESULT STDAPICALLTYPE VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID lcid, ULONG dwFlags);
