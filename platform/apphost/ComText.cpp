#include "platform/apphost/ComText.h"

#include "platform/text.h"

namespace apphost {

std::string FromBstr(BSTR text) {
  if (!text) return {};
  return machine::ToUtf8(std::u16string_view(text, SysStringLen(text)));
}

BSTR ToBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR ToBstr(const std::string& text) { return ToBstr(machine::FromUtf8(text)); }

HRESULT PutBstr(const std::u16string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = ToBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutBstr(const std::string& text, BSTR* out) {
  return PutBstr(machine::FromUtf8(text), out);
}

HRESULT ReadIndex(const VARIANT& index, VariantIndex& result) {
  switch (index.vt) {
    case VT_BSTR:
      result.kind = VariantIndex::Name;
      result.name = FromBstr(index.bstrVal);
      return S_OK;
    case VT_UNKNOWN:
      if (!index.punkVal) return E_INVALIDARG;
      result.kind = VariantIndex::Object;
      result.object = index.punkVal;
      return S_OK;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT: {
      VARIANT number;
      VariantInit(&number);
      if (FAILED(VariantChangeType(&number, &index, 0, VT_I8))) {
        // Only a VT_UI8 beyond the signed range gets here: no collection is that long.
        return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
      }
      if (number.llVal < 0) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
      result.kind = VariantIndex::Number;
      result.number = static_cast<size_t>(number.llVal);
      return S_OK;
    }
    default:
      return E_INVALIDARG;
  }
}

HRESULT ReadNameIndex(const VARIANT& index, const std::vector<std::string>& names,
                      std::string& name) {
  VariantIndex read;
  const HRESULT hr = ReadIndex(index, read);
  if (FAILED(hr)) return hr;
  if (read.kind == VariantIndex::Number) {
    if (read.number >= names.size()) return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
    name = names[read.number];
    return S_OK;
  }
  if (read.kind != VariantIndex::Name) return E_INVALIDARG;
  name = read.name;
  return S_OK;
}

}  // namespace apphost
