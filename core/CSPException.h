// The foundation library's exceptions. CSPException carries a message (code
// 0); CSPSystemException reports running out of memory or indexing outside
// a text or container, and works its text out from its code.
#pragma once

#include <cstdint>

#include "core/CSPObject.h"
#include "core/CSPString.h"

class CSPException : public CSPObject {
 public:
  explicit CSPException(const CSPString& text, int32_t code = 0);
  CSPException(const CSPException& other) = default;
  ~CSPException() override;

  virtual const CSPString& GetCategory() const;  // "Generic"
  virtual const CSPString& GetText() const;
  virtual void SetText(const CSPString& text);
  virtual int32_t GetCode() const;
  virtual void SetCode(int32_t code);

 private:
  CSPString text;
  int32_t code;
};

class CSPSystemException : public CSPException {
 public:
  enum : int32_t { OutOfMemory = 1, OutOfRange = 2 };

  explicit CSPSystemException(int32_t code);
  CSPSystemException(const CSPSystemException& other) = default;
  ~CSPSystemException() override;

  const CSPString& GetCategory() const override;  // "System"
  // "Out of memory", "Out of range" or "Unknown", from the current code;
  // the text set through SetText is never shown.
  const CSPString& GetText() const override;

 private:
  mutable CSPString shownText;
};
