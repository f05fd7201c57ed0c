#include "platform/apphost/AttributeValue.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "platform/apphost/ConfigPath.h"
#include "platform/text.h"

namespace apphost {

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseSigned(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(trimmed.c_str(), &end, 10);
  if (*end != 0 || errno == ERANGE || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool ParseUnsigned(const std::string& text, uint32_t& value) {
  int64_t parsed = 0;
  if (!ParseSigned(text, 0, std::numeric_limits<uint32_t>::max(), parsed)) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

const EnumValue* EnumByName(const AttributeSchema& schema, const std::string& name) {
  for (const auto& value : schema.values) {
    if (EqualNoCaseUtf8(value.name, Trim(name))) return &value;
  }
  return nullptr;
}

const EnumValue* EnumByValue(const AttributeSchema& schema, uint32_t number) {
  for (const auto& value : schema.values) {
    if (value.value == number) return &value;
  }
  return nullptr;
}

// Flags are written as names separated by commas ("Read, Script"); an
// empty list is 0.
bool ParseFlags(const AttributeSchema& schema, const std::string& text, uint32_t& bits) {
  bits = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string part = Trim(text.substr(start, comma - start));
    if (!part.empty()) {
      const EnumValue* value = EnumByName(schema, part);
      if (!value) return false;
      bits |= value->value;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

std::string FlagsText(const AttributeSchema& schema, uint32_t bits) {
  std::string text;
  for (const auto& value : schema.values) {
    if (value.value == 0 || (bits & value.value) != value.value) continue;
    if (!text.empty()) text += ", ";
    text += value.name;
    bits &= ~value.value;
  }
  if (text.empty() && bits == 0) {
    const EnumValue* none = EnumByValue(schema, 0);
    return none ? none->name : std::string();
  }
  return text;
}

BSTR ToBstr(const std::string& text) {
  const std::u16string wide = machine::FromUtf8(text);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// The text form of any scalar VARIANT, for attributes that are text.
HRESULT AsText(const VARIANT& value, std::string& text) {
  if (value.vt == VT_BSTR) {
    text = value.bstrVal
               ? machine::ToUtf8(std::u16string_view(value.bstrVal, SysStringLen(value.bstrVal)))
               : std::string();
    return S_OK;
  }
  if (value.vt == VT_BOOL) {
    text = value.boolVal ? "true" : "false";
    return S_OK;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_BSTR))) return E_INVALIDARG;
  text = machine::ToUtf8(std::u16string_view(converted.bstrVal, SysStringLen(converted.bstrVal)));
  VariantClear(&converted);
  return S_OK;
}

HRESULT AsNumber(const VARIANT& value, int64_t low, int64_t high, int64_t& number) {
  if (value.vt == VT_BSTR) {
    std::string text;
    AsText(value, text);
    return ParseSigned(text, low, high, number) ? S_OK : E_INVALIDARG;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_I8))) return E_INVALIDARG;
  number = converted.llVal;
  return number >= low && number <= high ? S_OK : E_INVALIDARG;
}

}  // namespace

bool ParseBool(const std::string& text, bool& value) {
  const std::string trimmed = Trim(text);
  if (EqualNoCaseUtf8(trimmed, "true")) {
    value = true;
    return true;
  }
  if (EqualNoCaseUtf8(trimmed, "false")) {
    value = false;
    return true;
  }
  return false;
}

HRESULT VariantToBool(const VARIANT& value, bool& result) {
  if (value.vt == VT_BOOL) {
    result = value.boolVal != VARIANT_FALSE;
    return S_OK;
  }
  if (value.vt == VT_BSTR) {
    std::string text;
    AsText(value, text);
    return ParseBool(text, result) ? S_OK : E_INVALIDARG;
  }
  int64_t number = 0;
  if (FAILED(AsNumber(value, std::numeric_limits<int64_t>::min(),
                      std::numeric_limits<int64_t>::max(), number))) {
    return E_INVALIDARG;
  }
  result = number != 0;
  return S_OK;
}

HRESULT TextToVariant(const AttributeSchema* schema, const std::string& text, VARIANT* value) {
  VariantInit(value);
  const AttributeType type = schema ? schema->type : AttributeType::String;
  switch (type) {
    case AttributeType::Bool: {
      bool flag = false;
      if (!ParseBool(text, flag)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      value->vt = VT_BOOL;
      value->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
    case AttributeType::UInt: {
      uint32_t number = 0;
      if (!ParseUnsigned(text, number)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      value->vt = VT_UI4;
      value->ulVal = number;
      return S_OK;
    }
    case AttributeType::Int:
    case AttributeType::Int64: {
      int64_t number = 0;
      const bool wide = type == AttributeType::Int64;
      if (!ParseSigned(
              text,
              wide ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int32_t>::min(),
              wide ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int32_t>::max(),
              number)) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      }
      value->vt = wide ? VT_I8 : VT_I4;
      if (wide)
        value->llVal = number;
      else
        value->lVal = static_cast<LONG>(number);
      return S_OK;
    }
    case AttributeType::Enum:
    case AttributeType::Flags: {
      uint32_t bits = 0;
      const EnumValue* named = type == AttributeType::Enum ? EnumByName(*schema, text) : nullptr;
      if (type == AttributeType::Enum ? !named : !ParseFlags(*schema, text, bits)) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      }
      value->vt = VT_I4;
      value->lVal = static_cast<LONG>(named ? named->value : bits);
      return S_OK;
    }
    case AttributeType::String:
    case AttributeType::TimeSpan:
      break;
  }
  value->vt = VT_BSTR;
  value->bstrVal = ToBstr(text);
  return value->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT VariantToText(const AttributeSchema* schema, const VARIANT& value, std::string& text) {
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return E_INVALIDARG;
  const AttributeType type = schema ? schema->type : AttributeType::String;
  switch (type) {
    case AttributeType::Bool: {
      bool flag = false;
      if (FAILED(VariantToBool(value, flag))) return E_INVALIDARG;
      text = flag ? "true" : "false";
      return S_OK;
    }
    case AttributeType::UInt:
    case AttributeType::Int:
    case AttributeType::Int64: {
      const int64_t low = type == AttributeType::UInt  ? 0
                          : type == AttributeType::Int ? std::numeric_limits<int32_t>::min()
                                                       : std::numeric_limits<int64_t>::min();
      const int64_t high = type == AttributeType::UInt  ? std::numeric_limits<uint32_t>::max()
                           : type == AttributeType::Int ? std::numeric_limits<int32_t>::max()
                                                        : std::numeric_limits<int64_t>::max();
      int64_t number = 0;
      if (FAILED(AsNumber(value, low, high, number))) return E_INVALIDARG;
      text = std::to_string(number);
      return S_OK;
    }
    case AttributeType::Enum:
    case AttributeType::Flags: {
      if (value.vt == VT_BSTR) {
        std::string given;
        AsText(value, given);
        uint32_t bits = 0;
        if (type == AttributeType::Enum) {
          const EnumValue* named = EnumByName(*schema, given);
          if (!named) return E_INVALIDARG;
          text = named->name;
        } else {
          if (!ParseFlags(*schema, given, bits)) return E_INVALIDARG;
          text = FlagsText(*schema, bits);
        }
        return S_OK;
      }
      int64_t number = 0;
      if (FAILED(AsNumber(value, 0, std::numeric_limits<uint32_t>::max(), number)))
        return E_INVALIDARG;
      if (type == AttributeType::Enum) {
        const EnumValue* named = EnumByValue(*schema, static_cast<uint32_t>(number));
        if (!named) return E_INVALIDARG;
        text = named->name;
      } else {
        text = FlagsText(*schema, static_cast<uint32_t>(number));
      }
      return S_OK;
    }
    case AttributeType::String:
    case AttributeType::TimeSpan:
      break;
  }
  return AsText(value, text);
}

std::string CanonicalText(const AttributeSchema* schema, const std::string& text) {
  if (!schema) return text;
  if (schema->type == AttributeType::Bool) {
    bool flag = false;
    return ParseBool(text, flag) ? (flag ? "true" : "false") : text;
  }
  if (schema->type == AttributeType::Enum) {
    const EnumValue* named = EnumByName(*schema, text);
    return named ? named->name : text;
  }
  return text;
}

}  // namespace apphost
