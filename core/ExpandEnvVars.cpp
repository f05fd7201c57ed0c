#include "core/ExpandEnvVars.h"

#include <memory>
#include <new>

#include "core/CSPThrow.h"
#include "platform/win.h"

// Every pass takes the first pair of percent signs from the start of the text,
// replaces all occurrences of that reference and starts again from the start,
// so references brought in by a value, or formed by a value together with the
// text around it, are expanded in turn. Only a genuine cycle can keep this
// going: a pass that leaves the text as it was would repeat forever, a value
// that refers back to itself through others makes the text grow or go round.
// The first stops at once, the others at a bound on the passes and on the
// length the text may reach; the text is returned as it stands then.

namespace {

constexpr uint32_t kMaxPasses = 1024;
// The longest value the environment itself can hold.
constexpr uint64_t kMaxLength = 32767;

CSPWString LookUp(const CSPWString& name) {
  DWORD size = 256;
  for (;;) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[size]);
    if (!buffer) CSPThrowOutOfMemory();
    const DWORD count =
        GetEnvironmentVariableW(as_wcstr(name.GetString()), as_wcstr(buffer.get()), size);
    CSPWString value;
    if (count < size) {  // 0: undefined or empty
      value.Append(buffer.get(), count);
      return value;
    }
    size = count;  // too small: count is the size needed, terminator included
  }
}

// 8-bit text meets the environment through the Latin-1 mapping of the
// strings; a value that cannot be narrowed expands to nothing.
CSPString LookUp(const CSPString& name) { return CSPString(LookUp(CSPWString(name))); }

template <class S>
uint64_t CountOf(const S& text, const S& reference) {
  uint64_t count = 0;
  for (uint32_t at = text.Find(reference.GetString()); at != S::kNotFound;
       at = text.Find(reference.GetString(), at + reference.GetLength())) {
    ++count;
  }
  return count;
}

// The length the text would have with every occurrence of reference replaced.
template <class S>
uint64_t LengthAfter(const S& text, const S& reference, const S& value) {
  const uint64_t count = CountOf(text, reference);
  return text.GetLength() - count * reference.GetLength() + count * value.GetLength();
}

template <class S>
S Expand(const S& text) {
  using C = typename S::Char;
  const C percent[] = {'%', 0};
  const uint64_t maxLength = text.GetLength() > kMaxLength ? text.GetLength() : kMaxLength;
  S work(text);
  for (uint32_t pass = 0; pass < kMaxPasses; ++pass) {
    const uint32_t open = work.Find(percent);
    if (open == S::kNotFound) break;
    const uint32_t close = work.Find(percent, open + 1);
    if (close == S::kNotFound) break;
    const S name = work.Mid(open + 1, close - open - 1);
    const S value = name.GetLength() == 0 ? S() : LookUp(name);
    const S reference = work.Mid(open, close - open + 1);
    if (value == reference) break;  // the text would stay as it is
    if (LengthAfter(work, reference, value) > maxLength) break;
    work.Replace(reference.GetString(), value.GetString());
  }
  return work;
}

}  // namespace

CSPString ExpandEnvVars(const CSPString& text) { return Expand(text); }

CSPString ExpandEnvVars(const char* text) { return ExpandEnvVars(CSPString(text)); }

CSPWString ExpandEnvVars(const CSPWString& text) { return Expand(text); }

CSPWString ExpandEnvVars(const char16_t* text) { return ExpandEnvVars(CSPWString(text)); }
