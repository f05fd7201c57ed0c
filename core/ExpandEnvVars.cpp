#include "core/ExpandEnvVars.h"

#include <memory>
#include <new>
#include <vector>

#include "core/CSPThrow.h"
#include "platform/win.h"

// A value may refer back to the variable being expanded, directly (X=%X%) or
// through others (A=%B%, B=%A%). Expanding such a reference again would never
// end, so every value is expanded with the chain of variables it was reached
// through, and a reference to a variable on that chain stays as it is
// written. Within one text each reference is replaced once, all its
// occurrences at a time; if it shows up again it came back through such a
// cycle, and stays as written too. Nesting deeper than kMaxNesting also
// stays unexpanded: the chain compares names by ASCII case only, and the
// limit is the backstop for names that Windows folds more widely.

namespace {

constexpr size_t kMaxNesting = 32;

CSPWString LookUp(const CSPWString& name) {
  DWORD size = 256;
  for (;;) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[size]);
    if (!buffer) CSPThrowOutOfMemory();
    const DWORD count = GetEnvironmentVariableW(name.GetString(), buffer.get(), size);
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
bool Contains(const std::vector<S>& names, const S& name, bool noCase) {
  for (const S& entry : names) {
    if (noCase ? entry.CompareNoCase(name) == 0 : entry == name) return true;
  }
  return false;
}

template <class S>
S Expand(const S& text, std::vector<S>& chain);

template <class S>
S ExpandedValue(const S& name, std::vector<S>& chain) {
  if (name.GetLength() == 0) return S();
  S value = LookUp(name);
  if (value.GetLength() == 0) return value;
  chain.push_back(name);
  S expanded = Expand(value, chain);
  chain.pop_back();
  return expanded;
}

template <class S>
S Expand(const S& text, std::vector<S>& chain) {
  using C = typename S::Char;
  const C percent[] = {'%', 0};
  S work(text);
  std::vector<S> replaced;
  uint32_t from = 0;
  for (;;) {
    const uint32_t open = work.Find(percent, from);
    if (open == S::kNotFound) break;
    const uint32_t close = work.Find(percent, open + 1);
    if (close == S::kNotFound) break;
    const S name = work.Mid(open + 1, close - open - 1);
    if (Contains(replaced, name, false) || Contains(chain, name, true) ||
        chain.size() >= kMaxNesting) {
      from = close + 1;  // stays as written
      continue;
    }
    replaced.push_back(name);
    const S reference = work.Mid(open, close - open + 1);
    work.Replace(reference, ExpandedValue(name, chain));
    from = 0;  // the value may have brought new references
  }
  return work;
}

}  // namespace

CSPString ExpandEnvVars(const CSPString& text) {
  std::vector<CSPString> chain;
  return Expand(text, chain);
}

CSPString ExpandEnvVars(const char* text) { return ExpandEnvVars(CSPString(text)); }

CSPWString ExpandEnvVars(const CSPWString& text) {
  std::vector<CSPWString> chain;
  return Expand(text, chain);
}

CSPWString ExpandEnvVars(const char16_t* text) { return ExpandEnvVars(CSPWString(text)); }
