// The system's text is char16_t; the API's wide strings are WCHAR, which is
// char16_t in the stand-in and wchar_t in the SDK, both UTF-16 code units of
// the same width. Every call into the API converts its text pointers here,
// so the system's code reads the same in both builds.
#pragma once

static_assert(sizeof(WCHAR) == sizeof(char16_t), "WCHAR must be a UTF-16 code unit");

inline WCHAR* as_wcstr(char16_t* text) { return reinterpret_cast<WCHAR*>(text); }
inline const WCHAR* as_wcstr(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }
inline char16_t* as_u16cstr(WCHAR* text) { return reinterpret_cast<char16_t*>(text); }
inline const char16_t* as_u16cstr(const WCHAR* text) {
  return reinterpret_cast<const char16_t*>(text);
}
