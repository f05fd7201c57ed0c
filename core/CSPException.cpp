#include "core/CSPException.h"

#include "core/CSPThrow.h"

// The constant texts are built once and live until exit, so reporting an
// out-of-memory failure allocates nothing. Built on first use rather than
// at namespace scope, so that a failure reported by another file's static
// initialiser still finds them; they fit the inline buffer of a string, so
// building them never allocates either.
namespace {

const CSPString& GenericCategory() {
  static const CSPString text("Generic");
  return text;
}

const CSPString& SystemCategory() {
  static const CSPString text("System");
  return text;
}

const CSPString& OutOfMemoryText() {
  static const CSPString text("Out of memory");
  return text;
}

}  // namespace

CSPException::CSPException(const CSPString& text, int32_t code) : text(text), code(code) {}

CSPException::~CSPException() = default;

const CSPString& CSPException::GetCategory() const { return GenericCategory(); }

const CSPString& CSPException::GetText() const { return text; }

void CSPException::SetText(const CSPString& newText) { text = newText; }

int32_t CSPException::GetCode() const { return code; }

void CSPException::SetCode(int32_t newCode) { code = newCode; }

CSPSystemException::CSPSystemException(int32_t code) : CSPException(CSPString(), code) {}

CSPSystemException::~CSPSystemException() = default;

const CSPString& CSPSystemException::GetCategory() const { return SystemCategory(); }

const CSPString& CSPSystemException::GetText() const {
  switch (GetCode()) {
    case OutOfMemory:
      return OutOfMemoryText();
    case OutOfRange:
      shownText = "Out of range";
      break;
    default:
      shownText = "Unknown";
      break;
  }
  return shownText;
}

void CSPThrowOutOfMemory() { throw CSPSystemException(CSPSystemException::OutOfMemory); }

void CSPThrowOutOfRange() { throw CSPSystemException(CSPSystemException::OutOfRange); }
