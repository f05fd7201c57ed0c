// Variants. The stand-in knows scalars, booleans, BSTR and IUnknown; the
// conversions go through one of three neutral forms (signed, unsigned,
// floating) so that each pair of types needs no code of its own.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/text.h"
#include "platform/win.h"

namespace {

bool IsKnownType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_BOOL:
    case VT_ERROR:
    case VT_BSTR:
    case VT_UNKNOWN:
      return true;
    default:
      return false;
  }
}

// A value in neutral form: exactly one of the members is meaningful.
struct Neutral {
  enum Kind { Signed, Unsigned, Floating } kind = Signed;
  LONGLONG s = 0;
  ULONGLONG u = 0;
  double f = 0;
};

HRESULT ParseNumber(BSTR text, Neutral& out) {
  const std::string utf8 = machine::ToUtf8(std::u16string_view(text, SysStringLen(text)));
  const std::string trimmed = utf8.substr(0, utf8.find_last_not_of(" \t") + 1);
  if (trimmed.empty()) return DISP_E_TYPEMISMATCH;
  if (machine::EqualNoCase(machine::FromUtf8(trimmed), u"true")) {
    out.kind = Neutral::Signed;
    out.s = -1;
    return S_OK;
  }
  if (machine::EqualNoCase(machine::FromUtf8(trimmed), u"false")) {
    out.kind = Neutral::Signed;
    out.s = 0;
    return S_OK;
  }
  char* end = nullptr;
  const double value = std::strtod(trimmed.c_str(), &end);
  if (end == trimmed.c_str() || *end != 0) return DISP_E_TYPEMISMATCH;
  out.kind = Neutral::Floating;
  out.f = value;
  return S_OK;
}

HRESULT ToNeutral(const VARIANT& v, Neutral& out) {
  switch (v.vt) {
    case VT_EMPTY:
      out.s = 0;
      return S_OK;
    case VT_I1:
      out.s = v.cVal;
      return S_OK;
    case VT_I2:
      out.s = v.iVal;
      return S_OK;
    case VT_I4:
      out.s = v.lVal;
      return S_OK;
    case VT_INT:
      out.s = v.intVal;
      return S_OK;
    case VT_I8:
      out.s = v.llVal;
      return S_OK;
    case VT_BOOL:
      out.s = v.boolVal ? -1 : 0;
      return S_OK;
    case VT_UI1:
      out.kind = Neutral::Unsigned;
      out.u = v.bVal;
      return S_OK;
    case VT_UI2:
      out.kind = Neutral::Unsigned;
      out.u = v.uiVal;
      return S_OK;
    case VT_UI4:
      out.kind = Neutral::Unsigned;
      out.u = v.ulVal;
      return S_OK;
    case VT_UINT:
      out.kind = Neutral::Unsigned;
      out.u = v.uintVal;
      return S_OK;
    case VT_UI8:
      out.kind = Neutral::Unsigned;
      out.u = v.ullVal;
      return S_OK;
    case VT_R4:
      out.kind = Neutral::Floating;
      out.f = v.fltVal;
      return S_OK;
    case VT_R8:
      out.kind = Neutral::Floating;
      out.f = v.dblVal;
      return S_OK;
    case VT_BSTR:
      return ParseNumber(v.bstrVal, out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

// The value as a whole number within [lo, hi], rounding halves to even as
// Windows does; DISP_E_OVERFLOW outside.
template <typename T>
HRESULT ToInteger(const Neutral& n, T& out) {
  const long double lo = static_cast<long double>(std::numeric_limits<T>::min());
  const long double hi = static_cast<long double>(std::numeric_limits<T>::max());
  long double value = 0;
  if (n.kind == Neutral::Signed) value = static_cast<long double>(n.s);
  if (n.kind == Neutral::Unsigned) value = static_cast<long double>(n.u);
  if (n.kind == Neutral::Floating) {
    if (!std::isfinite(n.f)) return DISP_E_OVERFLOW;
    value = std::nearbyint(static_cast<long double>(n.f));
  }
  if (value < lo || value > hi) return DISP_E_OVERFLOW;
  out = static_cast<T>(value);
  return S_OK;
}

double ToDouble(const Neutral& n) {
  if (n.kind == Neutral::Signed) return static_cast<double>(n.s);
  if (n.kind == Neutral::Unsigned) return static_cast<double>(n.u);
  return n.f;
}

HRESULT ToText(const Neutral& n, VARTYPE from, BSTR& out) {
  std::string text;
  if (n.kind == Neutral::Signed) text = std::to_string(n.s);
  if (n.kind == Neutral::Unsigned) text = std::to_string(n.u);
  if (n.kind == Neutral::Floating) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, from == VT_R4 ? "%.7g" : "%.15g", n.f);
    text = buffer;
  }
  if (from == VT_EMPTY) text.clear();
  const std::u16string wide = machine::FromUtf8(text);
  out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT FromNeutral(const Neutral& n, VARTYPE from, VARTYPE vt, VARIANT& out) {
  out.vt = vt;
  switch (vt) {
    case VT_I1:
      return ToInteger(n, out.cVal);
    case VT_I2:
      return ToInteger(n, out.iVal);
    case VT_I4:
      return ToInteger(n, out.lVal);
    case VT_INT:
      return ToInteger(n, out.intVal);
    case VT_I8:
      return ToInteger(n, out.llVal);
    case VT_UI1:
      return ToInteger(n, out.bVal);
    case VT_UI2:
      return ToInteger(n, out.uiVal);
    case VT_UI4:
      return ToInteger(n, out.ulVal);
    case VT_UINT:
      return ToInteger(n, out.uintVal);
    case VT_UI8:
      return ToInteger(n, out.ullVal);
    case VT_R8:
      out.dblVal = ToDouble(n);
      return S_OK;
    case VT_R4: {
      const double value = ToDouble(n);
      if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        return DISP_E_OVERFLOW;
      }
      out.fltVal = static_cast<float>(value);
      return S_OK;
    }
    case VT_BOOL:
      out.boolVal = ToDouble(n) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VT_BSTR:
      return ToText(n, from, out.bstrVal);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

void STDAPICALLTYPE VariantInit(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->llVal = 0;
}

HRESULT STDAPICALLTYPE VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!IsKnownType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if (pvarg->vt == VT_BSTR) SysFreeString(pvarg->bstrVal);
  if (pvarg->vt == VT_UNKNOWN && pvarg->punkVal != nullptr) pvarg->punkVal->Release();
  VariantInit(pvarg);
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!IsKnownType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  VARIANT copy = *pvargSrc;
  if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  }
  if (copy.vt == VT_UNKNOWN && copy.punkVal != nullptr) copy.punkVal->AddRef();
  const HRESULT cleared = VariantClear(pvargDest);
  if (FAILED(cleared)) {
    VariantClear(&copy);
    return cleared;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT STDAPICALLTYPE VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT,
                                         VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!IsKnownType(pvarSrc->vt) || !IsKnownType(vt)) return DISP_E_BADVARTYPE;
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = S_OK;
  if (pvarSrc->vt == vt) {
    hr = VariantCopy(&result, pvarSrc);
  } else if (vt == VT_EMPTY || vt == VT_NULL || vt == VT_UNKNOWN || vt == VT_ERROR ||
             pvarSrc->vt == VT_NULL || pvarSrc->vt == VT_UNKNOWN || pvarSrc->vt == VT_ERROR) {
    hr = DISP_E_TYPEMISMATCH;
  } else {
    Neutral neutral;
    hr = ToNeutral(*pvarSrc, neutral);
    if (SUCCEEDED(hr)) hr = FromNeutral(neutral, pvarSrc->vt, vt, result);
  }
  if (FAILED(hr)) {
    if (result.vt == VT_BSTR || result.vt == VT_UNKNOWN) VariantClear(&result);
    return hr;
  }
  // The source may be the destination: clear only after the conversion.
  VariantClear(pvargDest);
  *pvargDest = result;
  return S_OK;
}
