// MultiByteToWideChar / WideCharToMultiByte for UTF-8 and the ANSI code page
// (Windows-1252 on the simulated server).
//
// Deviations from Windows:
// - Only CP_UTF8, CP_ACP, CP_THREAD_ACP and 1252 exist; any other code page
//   (CP_OEMCP included) fails with ERROR_INVALID_PARAMETER, as Windows does
//   for a code page that is not installed.
// - When the output buffer is too small Windows may have written part of the
//   output before failing; here the buffer is left untouched.
// - 1252 output has no best-fit mapping: every code unit without a 1252 byte
//   becomes the default character, as with WC_NO_BEST_FIT_CHARS.
// - MB_COMPOSITE / WC_COMPOSITECHECK are accepted and ignored.
#include <cstring>
#include <string>

#include "platform/text/Utf.h"
#include "platform/win/errors.h"
#include "platform/win/stringapi.h"

namespace {

constexpr UINT kAnsiCodePage = 1252;

bool IsAnsi(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == kAnsiCodePage;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

bool Overlaps(const void* a, size_t aBytes, const void* b, size_t bBytes) {
  const auto* x = static_cast<const char*>(a);
  const auto* y = static_cast<const char*>(b);
  return x < y + bBytes && y < x + aBytes;
}

template <typename Char>
int Deliver(const std::basic_string<Char>& out, Char* dst, int capacity) {
  if (out.size() > 0x7FFFFFFF) return Fail(ERROR_INVALID_PARAMETER);
  const int needed = static_cast<int>(out.size());
  if (capacity == 0) return needed;
  if (needed > capacity) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(dst, out.data(), out.size() * sizeof(Char));
  return needed;
}

size_t WideLength(const char16_t* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // With -1 the terminator is part of the input, so it is converted and counted too.
  const size_t inBytes =
      cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  if (cchWideChar > 0 && Overlaps(lpMultiByteStr, inBytes, lpWideCharStr,
                                  static_cast<size_t>(cchWideChar) * sizeof(WCHAR))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::string_view in(lpMultiByteStr, inBytes);
  std::u16string out;
  if (CodePage == CP_UTF8) {
    if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) return Fail(ERROR_INVALID_FLAGS);
    const bool wellFormed = machine::text::DecodeUtf8(in, out);
    if (!wellFormed && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
  } else if (IsAnsi(CodePage)) {
    const DWORD allowed = MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~allowed) != 0 ||
        ((dwFlags & MB_PRECOMPOSED) != 0 && (dwFlags & MB_COMPOSITE) != 0)) {
      return Fail(ERROR_INVALID_FLAGS);
    }
    out = machine::text::DecodeAnsi(in);
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  return Deliver(out, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const size_t inUnits =
      cchWideChar == -1 ? WideLength(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  if (cbMultiByte > 0 && Overlaps(lpWideCharStr, inUnits * sizeof(WCHAR), lpMultiByteStr,
                                  static_cast<size_t>(cbMultiByte))) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::u16string_view in(lpWideCharStr, inUnits);
  std::string out;
  if (CodePage == CP_UTF8) {
    if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((dwFlags & ~WC_ERR_INVALID_CHARS) != 0) return Fail(ERROR_INVALID_FLAGS);
    const bool wellFormed = machine::text::EncodeUtf8(in, out);
    if (!wellFormed && (dwFlags & WC_ERR_INVALID_CHARS) != 0) {
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
  } else if (IsAnsi(CodePage)) {
    const DWORD allowed =
        WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;
    if ((dwFlags & ~allowed) != 0) return Fail(ERROR_INVALID_FLAGS);
    const char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
    const bool complete = machine::text::EncodeAnsi(in, fallback, out);
    // Reported even for a size query, as Windows does.
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = complete ? FALSE : TRUE;
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  return Deliver(out, lpMultiByteStr, cbMultiByte);
}

UINT WINAPI GetACP() { return kAnsiCodePage; }
