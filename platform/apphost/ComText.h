// Conversions at the COM boundary of the configuration objects: BSTR to
// the UTF-8 text the tree holds and back, and the VARIANT indexes the
// collections accept (a number, or a name where a collection has names).
#pragma once

#include <string>
#include <vector>

#include "platform/win.h"

namespace apphost {

std::string FromBstr(BSTR text);  // null reads as empty
BSTR ToBstr(const std::string& text);
BSTR ToBstr(const std::u16string& text);
// Copies into an out parameter: E_POINTER for a null one, E_OUTOFMEMORY.
HRESULT PutBstr(const std::string& text, BSTR* out);
HRESULT PutBstr(const std::u16string& text, BSTR* out);

struct VariantIndex {
  enum Kind { Number, Name, Object } kind = Number;
  size_t number = 0;
  std::string name;
  IUnknown* object = nullptr;  // not referenced
};

// E_INVALIDARG for a type that is no index; the HRESULT of
// ERROR_INVALID_INDEX for a negative number.
HRESULT ReadIndex(const VARIANT& index, VariantIndex& result);

// The name an index stands for in a collection of named items: a number picks
// one of `names`, a text is the name itself (the caller checks it exists).
HRESULT ReadNameIndex(const VARIANT& index, const std::vector<std::string>& names,
                      std::string& name);

}  // namespace apphost
