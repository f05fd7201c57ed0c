#include "core/CSPString.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "core/CSPThrow.h"
#include "platform/win.h"

namespace {

template <class C>
uint32_t TextLength(const C* text) {
  if (text == nullptr) return 0;
  size_t length = std::char_traits<C>::length(text);
  if (length >= CSPStringTraits<C>::kLimit) CSPThrowOutOfMemory();
  return static_cast<uint32_t>(length);
}

// The value a character compares and converts by: bytes are unsigned.
inline uint32_t Unit(char c) { return static_cast<unsigned char>(c); }
inline uint32_t Unit(char16_t c) { return c; }

inline uint32_t FoldCase(uint32_t unit) { return unit >= 'A' && unit <= 'Z' ? unit + 32 : unit; }

// Whether text converts to a string of width C. Only narrowing can fail.
template <class C, class O>
bool Convertible(const O* text, uint32_t count) {
  if constexpr (sizeof(C) < sizeof(O)) {
    for (uint32_t i = 0; i < count; ++i) {
      if (Unit(text[i]) > 0xFF) return false;
    }
  }
  return true;
}

template <class C, class O>
void ConvertUnits(C* target, const O* source, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) target[i] = static_cast<C>(Unit(source[i]));
}

// Compares two texts of any widths unit by unit, optionally folding A-Z. A
// text that cannot be narrowed to the width of `a` counts as empty.
template <class A, class B>
int CompareUnits(const A* a, uint32_t aCount, const B* b, uint32_t bCount, bool noCase) {
  if (!Convertible<A>(b, bCount)) bCount = 0;
  uint32_t common = aCount < bCount ? aCount : bCount;
  for (uint32_t i = 0; i < common; ++i) {
    uint32_t x = noCase ? FoldCase(Unit(a[i])) : Unit(a[i]);
    uint32_t y = noCase ? FoldCase(Unit(b[i])) : Unit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (aCount == bCount) return 0;
  return aCount < bCount ? -1 : 1;
}

template <class A, class B>
bool SameUnits(const A* a, uint32_t aCount, const B* b, uint32_t bCount) {
  return CompareUnits(a, aCount, b, bCount, false) == 0;
}

// A short ASCII literal in the width of C, for the fixed texts both string
// classes insert.
template <class C>
class Ascii {
 public:
  explicit Ascii(const char* text) {
    size_t i = 0;
    for (; text[i] != '\0'; ++i) units[i] = static_cast<C>(text[i]);
    units[i] = 0;
  }
  operator const C*() const { return units; }

 private:
  C units[8];
};

inline bool IsSpace(uint32_t unit) { return unit == ' ' || (unit >= '\t' && unit <= '\r'); }
inline bool IsDigit(uint32_t unit) { return unit >= '0' && unit <= '9'; }

template <class C>
const C* SkipSpace(const C* text) {
  while (IsSpace(Unit(*text))) ++text;
  return text;
}

// Optional white space, sign and decimal digits; out-of-range values give
// the nearest limit.
template <class T, class C>
T ParseInteger(const C* text) {
  text = SkipSpace(text);
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  using U = std::make_unsigned_t<T>;
  const U limit =
      negative ? U(std::numeric_limits<T>::max()) + 1 : U(std::numeric_limits<T>::max());
  U magnitude = 0;
  for (; IsDigit(Unit(*text)); ++text) {
    U digit = Unit(*text) - '0';
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
  }
  if (!negative) return static_cast<T>(magnitude);
  return magnitude == U(std::numeric_limits<T>::max()) + 1 ? std::numeric_limits<T>::min()
                                                           : -static_cast<T>(magnitude);
}

template <class C>
const C* CopyDigits(const C* text, std::string& out) {
  for (; IsDigit(Unit(*text)); ++text) out += static_cast<char>(*text);
  return text;
}

// Copies the longest prefix of text that reads as a decimal floating-point
// number into out, as plain ASCII; out stays empty when there are no digits.
template <class C>
void ScanDecimal(const C* text, std::string& out) {
  text = SkipSpace(text);
  if (*text == '-' || *text == '+') out += static_cast<char>(*text++);
  size_t mark = out.size();
  text = CopyDigits(text, out);
  size_t digits = out.size() - mark;
  if (*text == '.') {
    out += '.';
    mark = out.size();
    text = CopyDigits(text + 1, out);
    digits += out.size() - mark;
  }
  if (digits == 0) {
    out.clear();
    return;
  }
  if (*text != 'e' && *text != 'E') return;
  const C* exponent = text + 1;
  const bool hasSign = *exponent == '-' || *exponent == '+';
  if (!IsDigit(Unit(exponent[hasSign ? 1 : 0]))) return;
  out += 'e';
  if (hasSign) out += static_cast<char>(*exponent++);
  CopyDigits(exponent, out);
}

}  // namespace

// --- storage --------------------------------------------------------------

template <class C>
CSPStringBase<C>::CSPStringBase() : data(inlineData), length(0), capacity(kInlineCapacity) {
  inlineData[0] = 0;
}

template <class C>
CSPStringBase<C>::~CSPStringBase() {
  if (data != inlineData) std::free(data);
}

template <class C>
bool CSPStringBase<C>::Owns(const C* text) const {
  std::less<const C*> before;
  return text != nullptr && !before(text, data) && before(text, data + capacity + 1);
}

template <class C>
void CSPStringBase<C>::Reserve(uint32_t newCapacity) {
  ReserveChecked(newCapacity);
}

template <class C>
void CSPStringBase<C>::ReserveChecked(uint64_t newCapacity) {
  if (newCapacity >= CSPStringTraits<C>::kLimit) CSPThrowOutOfMemory();
  const uint32_t n = static_cast<uint32_t>(newCapacity);
  if (n == capacity) return;
  if (data == inlineData && n <= kInlineCapacity) return;
  if (n <= kInlineCapacity) {  // heap block back to the inline buffer
    length = length < n ? length : n;
    std::memcpy(inlineData, data, length * sizeof(C));
    std::free(data);
    data = inlineData;
    capacity = kInlineCapacity;
  } else {
    void* block = data == inlineData ? std::malloc((size_t(n) + 1) * sizeof(C))
                                     : std::realloc(data, (size_t(n) + 1) * sizeof(C));
    if (block == nullptr) CSPThrowOutOfMemory();
    if (data == inlineData) std::memcpy(block, inlineData, (size_t(length) + 1) * sizeof(C));
    data = static_cast<C*>(block);
    length = length < n ? length : n;
    capacity = n;
  }
  data[length] = 0;
}

// The growth rule: a text that no longer fits gets twice the room it needs,
// so that repeated appends are amortised. Sums are 64-bit so that a huge
// request fails as oversize instead of wrapping around to a small block.
template <class C>
void CSPStringBase<C>::ReserveFor(uint64_t neededLength) {
  if (neededLength > capacity) ReserveChecked(2 * neededLength);
}

template <class C>
void CSPStringBase<C>::Empty() {
  if (data != inlineData) std::free(data);
  data = inlineData;
  capacity = kInlineCapacity;
  length = 0;
  data[0] = 0;
}

template <class C>
void CSPStringBase<C>::Clear() {
  length = 0;
  data[0] = 0;
}

template <class C>
void CSPStringBase<C>::AssignUnits(const C* text, uint32_t count) {
  if (count == 0) {
    Empty();
  } else if (Owns(text)) {  // a piece of this very text: it already fits
    std::memmove(data, text, count * sizeof(C));
    length = count;
    data[length] = 0;
  } else {
    ReserveFor(count);
    std::memcpy(data, text, count * sizeof(C));
    length = count;
    data[length] = 0;
  }
}

// A text that cannot be narrowed converts as the empty text, so assigning it
// leaves the string empty, as assigning "" does.
template <class C>
void CSPStringBase<C>::AssignOther(const O* text, uint32_t count) {
  if (count == 0 || !Convertible<C>(text, count)) {
    Empty();
    return;
  }
  ReserveFor(count);
  ConvertUnits(data, text, count);
  length = count;
  data[length] = 0;
}

// Appending a text that cannot be narrowed appends the empty text: nothing.
template <class C>
void CSPStringBase<C>::AppendOther(const O* text, uint32_t count) {
  if (count == 0 || !Convertible<C>(text, count)) return;
  ReserveFor(uint64_t(length) + count);
  ConvertUnits(data + length, text, count);
  length += count;
  data[length] = 0;
}

template <class C>
void CSPStringBase<C>::AssignAscii(const char* text, uint32_t count) {
  if constexpr (std::is_same_v<C, char>) {
    AssignUnits(text, count);
  } else {
    AssignOther(text, count);
  }
}

template <class C>
void CSPStringBase<C>::Append(const C* text, uint32_t count) {
  if (text == nullptr || count == 0) return;
  if (Owns(text)) {  // growing may move the block the text lies in
    const size_t offset = text - data;
    ReserveFor(uint64_t(length) + count);
    text = data + offset;
  } else {
    ReserveFor(uint64_t(length) + count);
  }
  std::memcpy(data + length, text, count * sizeof(C));
  length += count;
  data[length] = 0;
}

// --- construction and assignment ------------------------------------------

template <class C>
CSPStringBase<C>::CSPStringBase(const C* text) : CSPStringBase() {
  AssignUnits(text, TextLength(text));
}

template <class C>
CSPStringBase<C>::CSPStringBase(const O* text) : CSPStringBase() {
  AssignOther(text, TextLength(text));
}

// A long copy gets twice the source's capacity, not its length.
template <class C>
CSPStringBase<C>::CSPStringBase(const CSPStringBase& other)
    : CSPObject(other), data(inlineData), length(0), capacity(kInlineCapacity) {
  inlineData[0] = 0;
  if (other.length > kInlineCapacity) ReserveChecked(2 * uint64_t(other.capacity));
  AssignUnits(other.data, other.length);
}

template <class C>
CSPStringBase<C>::CSPStringBase(const Other& other) : CSPStringBase() {
  const uint32_t count = other.GetLength();
  if (count > kInlineCapacity && Convertible<C>(other.GetString(), count)) {
    ReserveChecked(2 * uint64_t(other.GetCapacity()));
  }
  AssignOther(other.GetString(), count);
}

template <class C>
CSPStringBase<C>::CSPStringBase(double value) : CSPStringBase() {
  SetFloating(value, 15);
}

template <class C>
CSPStringBase<C>::CSPStringBase(float value) : CSPStringBase() {
  SetFloating(value, 7);
}

template <class C>
auto CSPStringBase<C>::operator=(const CSPStringBase& other) -> Self& {
  if (this != &other) AssignUnits(other.data, other.length);
  return self();
}

template <class C>
auto CSPStringBase<C>::operator=(const C* text) -> Self& {
  if (text != nullptr && text != data) AssignUnits(text, TextLength(text));
  return self();
}

template <class C>
auto CSPStringBase<C>::operator=(const O* text) -> Self& {
  AssignOther(text, TextLength(text));
  return self();
}

template <class C>
auto CSPStringBase<C>::operator=(const Other& other) -> Self& {
  AssignOther(other.GetString(), other.GetLength());
  return self();
}

template <class C>
auto CSPStringBase<C>::operator=(double value) -> Self& {
  SetFloating(value, 15);
  return self();
}

template <class C>
auto CSPStringBase<C>::operator=(float value) -> Self& {
  SetFloating(value, 7);
  return self();
}

template <class C>
auto CSPStringBase<C>::operator+=(const CSPStringBase& other) -> Self& {
  Append(other.data, other.length);
  return self();
}

template <class C>
auto CSPStringBase<C>::operator+=(const C* text) -> Self& {
  Append(text, TextLength(text));
  return self();
}

template <class C>
auto CSPStringBase<C>::operator+=(const O* text) -> Self& {
  AppendOther(text, TextLength(text));
  return self();
}

template <class C>
auto CSPStringBase<C>::operator+=(const Other& other) -> Self& {
  AppendOther(other.GetString(), other.GetLength());
  return self();
}

template <class C>
auto CSPStringBase<C>::operator+=(double value) -> Self& {
  return *this += Self(value);
}

template <class C>
auto CSPStringBase<C>::operator+=(float value) -> Self& {
  return *this += Self(value);
}

// --- numbers ---------------------------------------------------------------

template <class C>
void CSPStringBase<C>::SetNumber(int64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  AssignAscii(digits, static_cast<uint32_t>(end - digits));
}

template <class C>
void CSPStringBase<C>::SetNumber(uint64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  AssignAscii(digits, static_cast<uint32_t>(end - digits));
}

// Fixed or exponential notation, whichever is more compact; never a
// dangling decimal separator. The exponent has at least two digits.
template <class C>
void CSPStringBase<C>::SetFloating(double value, int significantDigits) {
  char text[64];
  auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, significantDigits)
          .ptr;
  uint32_t count = static_cast<uint32_t>(end - text);
  if (count > 0 && (text[count - 1] == '.' || text[count - 1] == ',')) --count;
  AssignAscii(text, count);
}

template <class C>
void CSPStringBase<C>::SetBool(bool value) {
  AssignAscii(value ? "true" : "false", value ? 4 : 5);
}

template <class C>
bool CSPStringBase<C>::EqualsBool(bool value) const {
  const char* text = value ? "true" : "false";
  return CompareUnits(data, length, text, TextLength(text), true) == 0;
}

template <class C>
int32_t CSPStringBase<C>::ToInt() const {
  return ParseInteger<int32_t>(data);
}

template <class C>
int64_t CSPStringBase<C>::ToInt64() const {
  return ParseInteger<int64_t>(data);
}

// strtod reads the scanned ASCII copy; the program never changes the C
// locale, so its decimal separator is the point.
template <class C>
double CSPStringBase<C>::ToDouble() const {
  std::string number;
  ScanDecimal(data, number);
  return number.empty() ? 0.0 : std::strtod(number.c_str(), nullptr);
}

// --- reading and comparison ------------------------------------------------

template <class C>
C CSPStringBase<C>::GetAt(uint32_t index) const {
  if (index > length) CSPThrowOutOfRange();
  return data[index];
}

template <class C>
bool CSPStringBase<C>::operator==(const C* text) const {
  return text != nullptr && SameUnits(data, length, text, TextLength(text));
}

template <class C>
bool CSPStringBase<C>::operator==(const O* text) const {
  return text != nullptr && SameUnits(data, length, text, TextLength(text));
}

template <class C>
bool CSPStringBase<C>::operator==(const CSPStringBase& other) const {
  return SameUnits(data, length, other.data, other.length);
}

template <class C>
bool CSPStringBase<C>::operator==(const Other& other) const {
  return SameUnits(data, length, other.GetString(), other.GetLength());
}

template <class C>
bool CSPStringBase<C>::operator!=(const C* text) const {
  return text == nullptr || !SameUnits(data, length, text, TextLength(text));
}

template <class C>
bool CSPStringBase<C>::operator!=(const O* text) const {
  return text != nullptr && !SameUnits(data, length, text, TextLength(text));
}

template <class C>
bool CSPStringBase<C>::operator!=(const CSPStringBase& other) const {
  return !(*this == other);
}

template <class C>
bool CSPStringBase<C>::operator!=(const Other& other) const {
  return !(*this == other);
}

template <class C>
int CSPStringBase<C>::Compare(const C* text) const {
  return CompareUnits(data, length, text, TextLength(text), false);
}

template <class C>
int CSPStringBase<C>::Compare(const CSPStringBase& other) const {
  return CompareUnits(data, length, other.data, other.length, false);
}

template <class C>
int CSPStringBase<C>::CompareNoCase(const C* text) const {
  return CompareUnits(data, length, text, TextLength(text), true);
}

template <class C>
int CSPStringBase<C>::CompareNoCase(const O* text) const {
  return CompareUnits(data, length, text, TextLength(text), true);
}

template <class C>
int CSPStringBase<C>::CompareNoCase(const CSPStringBase& other) const {
  return CompareUnits(data, length, other.data, other.length, true);
}

template <class C>
int CSPStringBase<C>::CompareNoCase(const Other& other) const {
  return CompareUnits(data, length, other.GetString(), other.GetLength(), true);
}

// --- editing ---------------------------------------------------------------

template <class C>
auto CSPStringBase<C>::Mid(uint32_t start, uint32_t count) const -> Self {
  Self part;
  if (count == 0) return part;
  if (start >= length || uint64_t(start) + count > length) CSPThrowOutOfRange();
  part.Append(data + start, count);
  return part;
}

template <class C>
uint32_t CSPStringBase<C>::Find(const C* pattern, uint32_t start) const {
  if (start >= length) return kNotFound;
  std::basic_string_view<C> text(data, length);
  size_t at = text.find(std::basic_string_view<C>(pattern, TextLength(pattern)), start);
  return at == std::basic_string_view<C>::npos ? kNotFound : static_cast<uint32_t>(at);
}

// Matches never overlap and a replacement is never searched again, so the
// matches are exactly those in the original text, left to right.
template <class C>
uint32_t CSPStringBase<C>::CountMatches(const C* find, uint32_t findCount,
                                        uint32_t maxCount) const {
  uint32_t count = 0;
  for (uint32_t at = Find(find, 0); at != kNotFound && (maxCount == 0 || count < maxCount);
       at = Find(find, at + findCount)) {
    ++count;
  }
  return count;
}

// The capacity that growing step by step, one replacement at a time, would
// end at. Reserving it up front keeps a failed Replace from changing
// anything.
template <class C>
uint64_t CSPStringBase<C>::CapacityAfterReplacing(uint32_t count, uint32_t findCount,
                                                  uint32_t withCount) const {
  uint64_t room = capacity;
  uint64_t needed = length;
  for (uint32_t i = 0; i < count && withCount > findCount; ++i) {
    needed += withCount - findCount;
    if (needed > room) room = 2 * needed;
    if (room >= CSPStringTraits<C>::kLimit) break;
  }
  return room;
}

template <class C>
void CSPStringBase<C>::ReplaceAt(uint32_t position, uint32_t oldCount, const C* with,
                                 uint32_t withCount) {
  const uint32_t tail = length - position - oldCount;
  std::memmove(data + position + withCount, data + position + oldCount, tail * sizeof(C));
  if (withCount > 0) std::memcpy(data + position, with, withCount * sizeof(C));
  length = length - oldCount + withCount;
  data[length] = 0;
}

template <class C>
uint32_t CSPStringBase<C>::Replace(const C* find, const C* with, uint32_t maxCount) {
  const uint32_t findCount = TextLength(find);
  if (findCount == 0) return 0;
  if (Owns(find) || Owns(with)) {  // the edits would move the arguments
    Self findCopy(find), withCopy(with);
    return Replace(findCopy.data, withCopy.data, maxCount);
  }
  const uint32_t withCount = TextLength(with);
  const uint32_t count = CountMatches(find, findCount, maxCount);
  if (count == 0) return 0;
  ReserveChecked(CapacityAfterReplacing(count, findCount, withCount));
  uint32_t at = Find(find, 0);
  for (uint32_t done = 0; done < count; ++done) {
    ReplaceAt(at, findCount, with, withCount);
    at = Find(find, at + withCount);
  }
  return count;
}

template <class C>
void CSPStringBase<C>::MakeLower() {
  for (uint32_t i = 0; i < length; ++i) {
    if (data[i] >= 'A' && data[i] <= 'Z') data[i] = static_cast<C>(data[i] + 32);
  }
}

template <class C>
void CSPStringBase<C>::MakeUpper() {
  for (uint32_t i = 0; i < length; ++i) {
    if (data[i] >= 'a' && data[i] <= 'z') data[i] = static_cast<C>(data[i] - 32);
  }
}

// The ampersand goes first so that the entities inserted after it are not
// escaped twice.
template <class C>
void CSPStringBase<C>::XmlEscape() {
  Replace(Ascii<C>("&"), Ascii<C>("&amp;"));
  Replace(Ascii<C>("<"), Ascii<C>("&lt;"));
  Replace(Ascii<C>(">"), Ascii<C>("&gt;"));
  Replace(Ascii<C>("\""), Ascii<C>("&quot;"));
}

// The ampersand goes last so that an escaped entity such as "&amp;lt;"
// decodes one level only.
template <class C>
void CSPStringBase<C>::XmlUnescape() {
  Replace(Ascii<C>("&lt;"), Ascii<C>("<"));
  Replace(Ascii<C>("&gt;"), Ascii<C>(">"));
  Replace(Ascii<C>("&quot;"), Ascii<C>("\""));
  Replace(Ascii<C>("&nbsp;"), Ascii<C>(" "));
  Replace(Ascii<C>("&amp;"), Ascii<C>("&"));
}

template class CSPStringBase<char>;
template class CSPStringBase<char16_t>;

// --- UTF-8 -------------------------------------------------------------------

// Decoding never yields more code units than there are bytes.
bool CSPString::Utf8ToWide(CSPWString& out) const {
  const uint32_t count = GetLength();
  if (count == 0) {
    out.Clear();
    return true;
  }
  if (count > INT_MAX) return false;  // beyond what the conversion can take
  std::unique_ptr<char16_t[]> units(new (std::nothrow) char16_t[count]);
  if (!units) CSPThrowOutOfMemory();
  const int converted = MultiByteToWideChar(CP_UTF8, 0, GetString(), static_cast<int>(count),
                                            as_wcstr(units.get()), static_cast<int>(count));
  if (converted <= 0) return false;
  out.Clear();
  out.Append(units.get(), static_cast<uint32_t>(converted));
  return true;
}

// A UTF-16 code unit never needs more than three UTF-8 bytes (a surrogate
// pair, two units, needs four).
bool CSPWString::WideToUtf8(CSPString& out) const {
  const uint32_t count = GetLength();
  if (count == 0) {
    out.Clear();
    return true;
  }
  if (count > INT_MAX / 3) return false;  // beyond what the conversion can take
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[size_t(count) * 3]);
  if (!bytes) CSPThrowOutOfMemory();
  const int converted =
      WideCharToMultiByte(CP_UTF8, 0, as_wcstr(GetString()), static_cast<int>(count), bytes.get(),
                          static_cast<int>(count * 3), nullptr, nullptr);
  if (converted <= 0) return false;
  out.Clear();
  out.Append(bytes.get(), static_cast<uint32_t>(converted));
  return true;
}
