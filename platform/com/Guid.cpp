// GUID text in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstdlib>
#include <cstring>

#include "platform/win.h"

namespace {

constexpr int kGuidChars = 38;

const char16_t kHexDigits[] = u"0123456789ABCDEF";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The 16 bytes in text order: Data1, Data2 and Data3 are written big-end first.
void BytesOf(REFGUID guid, uint8_t bytes[16]) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(guid.Data1 >> (24 - 8 * i));
  bytes[4] = static_cast<uint8_t>(guid.Data2 >> 8);
  bytes[5] = static_cast<uint8_t>(guid.Data2);
  bytes[6] = static_cast<uint8_t>(guid.Data3 >> 8);
  bytes[7] = static_cast<uint8_t>(guid.Data3);
  std::memcpy(bytes + 8, guid.Data4, 8);
}

GUID GuidOf(const uint8_t bytes[16]) {
  GUID guid;
  guid.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
               bytes[3];
  guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(guid.Data4, bytes + 8, 8);
  return guid;
}

bool IsDashPosition(int i) { return i == 9 || i == 14 || i == 19 || i == 24; }

}  // namespace

int STDAPICALLTYPE StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < kGuidChars + 1) return 0;
  uint8_t bytes[16];
  BytesOf(rguid, bytes);
  int out = 0;
  lpsz[out++] = u'{';
  for (int b = 0; b < 16; ++b) {
    if (b == 4 || b == 6 || b == 8 || b == 10) lpsz[out++] = u'-';
    lpsz[out++] = kHexDigits[bytes[b] >> 4];
    lpsz[out++] = kHexDigits[bytes[b] & 0xF];
  }
  lpsz[out++] = u'}';
  lpsz[out++] = 0;
  return out;
}

HRESULT STDAPICALLTYPE CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (lpsz == nullptr || pclsid == nullptr) return E_INVALIDARG;
  uint8_t bytes[16] = {};
  int digits = 0;
  for (int i = 0; i < kGuidChars; ++i) {
    const char16_t c = lpsz[i];
    if (c == 0) return CO_E_CLASSSTRING;
    if (i == 0 || i == kGuidChars - 1) {
      if (c != (i == 0 ? u'{' : u'}')) return CO_E_CLASSSTRING;
      continue;
    }
    if (IsDashPosition(i)) {
      if (c != u'-') return CO_E_CLASSSTRING;
      continue;
    }
    const int value = HexValue(c);
    if (value < 0) return CO_E_CLASSSTRING;
    bytes[digits / 2] = static_cast<uint8_t>((bytes[digits / 2] << 4) | value);
    ++digits;
  }
  if (lpsz[kGuidChars] != 0) return CO_E_CLASSSTRING;
  *pclsid = GuidOf(bytes);
  return S_OK;
}

HRESULT STDAPICALLTYPE IIDFromString(LPCOLESTR lpsz, LPGUID lpiid) {
  // Windows answers E_INVALIDARG rather than CO_E_CLASSSTRING for interfaces.
  const HRESULT hr = CLSIDFromString(lpsz, lpiid);
  return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}

LPVOID STDAPICALLTYPE CoTaskMemAlloc(size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }

LPVOID STDAPICALLTYPE CoTaskMemRealloc(LPVOID pv, size_t cb) {
  return std::realloc(pv, cb == 0 ? 1 : cb);
}

void STDAPICALLTYPE CoTaskMemFree(LPVOID pv) { std::free(pv); }
