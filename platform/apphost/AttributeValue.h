// Attribute text as the file holds it, and the VARIANT an IAppHostProperty
// answers with: booleans as VT_BOOL, numbers as VT_UI4/VT_I4/VT_I8, enums
// and flags as their VT_I4 value (their names through get_StringValue),
// anything else as VT_BSTR. A null schema is a generic text attribute.
#pragma once

#include <string>

#include "platform/apphost/AppHostSchema.h"
#include "platform/win.h"

namespace apphost {

// The HRESULT of ERROR_INVALID_DATA when the file's text does not fit the type.
HRESULT TextToVariant(const AttributeSchema* schema, const std::string& text, VARIANT* value);
// The text to store for a value being set; E_INVALIDARG when it does not fit.
HRESULT VariantToText(const AttributeSchema* schema, const VARIANT& value, std::string& text);
// The text get_StringValue answers: enum names and booleans in their schema
// spelling, everything else as stored.
std::string CanonicalText(const AttributeSchema* schema, const std::string& text);

// "true"/"false" without regard to case, or a VARIANT convertible to VT_BOOL.
bool ParseBool(const std::string& text, bool& value);
HRESULT VariantToBool(const VARIANT& value, bool& result);

}  // namespace apphost
