// Automation strings. The layout is Windows': a 32-bit byte length, then the
// characters, then a terminator the length does not count.
#include <cstdlib>
#include <cstring>

#include "platform/text.h"
#include "platform/win.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr UINT kMaxChars = 0x7FFFFFF0u / sizeof(OLECHAR);

size_t LengthOf(const OLECHAR* psz) {
  size_t n = 0;
  while (psz[n] != 0) ++n;
  return n;
}

char* BlockOf(BSTR bstr) { return reinterpret_cast<char*>(bstr) - kPrefix; }

}  // namespace

BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > kMaxChars) return nullptr;
  const uint32_t bytes = ui * sizeof(OLECHAR);
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, kPrefix);
  BSTR text = reinterpret_cast<BSTR>(block + kPrefix);
  // Deviation: without a source Windows leaves the characters undefined;
  // zeroing them keeps reads of them defined.
  if (strIn != nullptr) {
    std::memcpy(text, strIn, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[ui] = 0;
  return text;
}

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  const size_t n = LengthOf(psz);
  if (n > kMaxChars) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(n));
}

INT STDAPICALLTYPE SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  BSTR replacement = psz == nullptr ? SysAllocStringLen(nullptr, 0) : SysAllocString(psz);
  if (replacement == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = replacement;
  return TRUE;
}

void STDAPICALLTYPE SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(BlockOf(bstrString));
}

UINT STDAPICALLTYPE SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, BlockOf(bstr), kPrefix);
  return bytes;
}

UINT STDAPICALLTYPE SysStringLen(BSTR pbstr) {
  return SysStringByteLen(pbstr) / static_cast<UINT>(sizeof(OLECHAR));
}

HRESULT STDAPICALLTYPE VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID, ULONG dwFlags) {
  // Deviation: every locale compares by code unit; NORM_IGNORECASE folds
  // with the file system's simple upper-casing.
  const bool ignoreCase = (dwFlags & NORM_IGNORECASE) != 0;
  const UINT leftLength = SysStringLen(bstrLeft);
  const UINT rightLength = SysStringLen(bstrRight);
  const UINT common = leftLength < rightLength ? leftLength : rightLength;
  for (UINT i = 0; i < common; ++i) {
    char16_t a = bstrLeft[i];
    char16_t b = bstrRight[i];
    if (ignoreCase) {
      a = machine::UpperCase(a);
      b = machine::UpperCase(b);
    }
    if (a != b) return a < b ? VARCMP_LT : VARCMP_GT;
  }
  if (leftLength == rightLength) return VARCMP_EQ;
  return leftLength < rightLength ? VARCMP_LT : VARCMP_GT;
}
