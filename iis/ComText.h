// Texts at the COM boundary: a CSPWString passed to a call as a BSTR that is
// freed afterwards, and a returned BSTR copied into a CSPWString and freed.
#pragma once

#include "core/CSPString.h"
#include "platform/win.h"

class ComText {
 public:
  explicit ComText(const CSPWString& text)
      : bstr(SysAllocStringLen(as_wcstr(text.GetString()), text.GetLength())) {}
  ~ComText() { SysFreeString(bstr); }
  ComText(const ComText&) = delete;
  ComText& operator=(const ComText&) = delete;

  // Null only when the allocation failed; the calls then fail with it.
  BSTR Get() const { return bstr; }

  // Copies a returned BSTR (null reads as empty) and frees it.
  static CSPWString Take(BSTR returned) {
    CSPWString text;
    if (returned != nullptr) {
      text.Append(as_u16cstr(returned), SysStringLen(returned));
      SysFreeString(returned);
    }
    return text;
  }

 private:
  BSTR bstr;
};
