// The system's text types: CSPString holds 8-bit text, CSPWString UTF-16 code
// units. The two are twins that share one implementation, CSPStringBase.
//
// Between the widths the mapping is plain Latin-1: a byte becomes the code
// unit of the same value, and a code unit up to U+00FF becomes the byte of the
// same value. A 16-bit text holding anything above U+00FF cannot be narrowed
// at all: it converts as the empty text. UTF-8 is never implied; only
// Utf8ToWide and WideToUtf8 speak it.
//
// Failures (allocation, oversize capacity, indexes outside the text) always
// throw CSPSystemException; a failed operation leaves the string as it was.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/CSPObject.h"

class CSPString;
class CSPWString;

template <class C>
struct CSPStringTraits;

template <>
struct CSPStringTraits<char> {
  using Self = CSPString;
  using Other = CSPWString;
  using OtherChar = char16_t;
  static constexpr uint32_t kLimit = 0xFFFFFFFEu;  // Reserve refuses this and above
};

template <>
struct CSPStringTraits<char16_t> {
  using Self = CSPWString;
  using Other = CSPString;
  using OtherChar = char;
  static constexpr uint32_t kLimit = 0x7FFFFFFEu;
};

template <class C>
class CSPStringBase : public CSPObject {
  using Self = typename CSPStringTraits<C>::Self;
  using Other = typename CSPStringTraits<C>::Other;
  using O = typename CSPStringTraits<C>::OtherChar;

  // Numbers are any integer type except bool and the character types, so a
  // stray character or pointer never turns silently into digits or "true".
  template <class T>
  static constexpr bool kIsNumber =
      std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
      !std::is_same_v<T, wchar_t> && !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t>;
  template <class T>
  using IfNumber = std::enable_if_t<kIsNumber<T>, int>;
  template <class T>
  using IfBool = std::enable_if_t<std::is_same_v<T, bool>, int>;

 public:
  using Char = C;
  static constexpr uint32_t kInlineCapacity = 64;
  static constexpr uint32_t kNotFound = 0xFFFFFFFFu;

  CSPStringBase();
  CSPStringBase(const C* text);  // NOLINT: implicit, text converts to a string
  explicit CSPStringBase(const O* text);
  CSPStringBase(const CSPStringBase& other);
  explicit CSPStringBase(const Other& other);
  template <class I, IfNumber<I> = 0>
  explicit CSPStringBase(I value) : CSPStringBase() {
    SetNumber(value);
  }
  template <class B, IfBool<B> = 0>
  explicit CSPStringBase(B value) : CSPStringBase() {
    SetBool(value);
  }
  explicit CSPStringBase(double value);
  explicit CSPStringBase(float value);
  ~CSPStringBase() override;

  Self& operator=(const CSPStringBase& other);
  Self& operator=(const C* text);
  Self& operator=(const O* text);
  Self& operator=(const Other& other);
  template <class I, IfNumber<I> = 0>
  Self& operator=(I value) {
    SetNumber(value);
    return self();
  }
  template <class B, IfBool<B> = 0>
  Self& operator=(B value) {
    SetBool(value);
    return self();
  }
  Self& operator=(double value);
  Self& operator=(float value);

  Self& operator+=(const CSPStringBase& other);
  Self& operator+=(const C* text);
  Self& operator+=(const O* text);
  Self& operator+=(const Other& other);
  template <class I, IfNumber<I> = 0>
  Self& operator+=(I value) {
    return *this += Self(value);
  }
  template <class B, IfBool<B> = 0>
  Self& operator+=(B value) {
    return *this += Self(value);
  }
  Self& operator+=(double value);
  Self& operator+=(float value);

  // Appends count characters from raw memory (zeros included).
  void Append(const C* data, uint32_t count);

  uint32_t GetLength() const { return length; }
  uint32_t GetCapacity() const { return capacity; }
  const C* GetString() const { return data; }
  operator const C*() const { return data; }  // NOLINT: implicit by design
  // index == GetLength() yields the terminating zero; beyond throws OutOfRange.
  C GetAt(uint32_t index) const;

  // A null pointer of the string's own width is unequal to every string; a
  // null pointer of the other width is neither equal nor unequal.
  bool operator==(const C* text) const;
  bool operator==(const O* text) const;
  bool operator==(const CSPStringBase& other) const;
  bool operator==(const Other& other) const;
  bool operator!=(const C* text) const;
  bool operator!=(const O* text) const;
  bool operator!=(const CSPStringBase& other) const;
  bool operator!=(const Other& other) const;
  // "true" / "false" in any letter case.
  template <class B, IfBool<B> = 0>
  bool operator==(B value) const {
    return EqualsBool(value);
  }
  template <class B, IfBool<B> = 0>
  bool operator!=(B value) const {
    return !EqualsBool(value);
  }

  // Ordinal order of the characters as unsigned values, a prefix first. A
  // null pointer orders as the empty text.
  bool operator<(const C* text) const { return Compare(text) < 0; }
  bool operator>(const C* text) const { return Compare(text) > 0; }
  bool operator<=(const C* text) const { return Compare(text) <= 0; }
  bool operator>=(const C* text) const { return Compare(text) >= 0; }
  bool operator<(const CSPStringBase& other) const { return Compare(other) < 0; }
  bool operator>(const CSPStringBase& other) const { return Compare(other) > 0; }
  bool operator<=(const CSPStringBase& other) const { return Compare(other) <= 0; }
  bool operator>=(const CSPStringBase& other) const { return Compare(other) >= 0; }

  // Negative, zero or positive; only A-Z and a-z are folded.
  int CompareNoCase(const C* text) const;
  int CompareNoCase(const O* text) const;
  int CompareNoCase(const CSPStringBase& other) const;
  int CompareNoCase(const Other& other) const;

  void Empty();  // gives a heap block back
  void Clear();  // keeps the storage for reuse
  void Reserve(uint32_t newCapacity);
  Self Mid(uint32_t start, uint32_t count) const;
  // kNotFound when absent or start is not below the length. A null or empty
  // pattern is found at start.
  uint32_t Find(const C* pattern, uint32_t start = 0) const;
  // maxCount 0 replaces every occurrence. Returns the number of replacements.
  uint32_t Replace(const C* find, const C* with, uint32_t maxCount = 0);
  void MakeLower();
  void MakeUpper();
  void XmlEscape();
  void XmlUnescape();

  int32_t ToInt() const;
  int64_t ToInt64() const;
  double ToDouble() const;

  friend Self operator+(const Self& left, const Self& right) { return Concat(left, right); }
  friend Self operator+(const Self& left, const Other& right) { return Concat(left, right); }
  friend Self operator+(const Self& left, const C* right) { return Concat(left, right); }
  friend Self operator+(const Self& left, const O* right) { return Concat(left, right); }
  friend Self operator+(const C* left, const Self& right) { return Concat(left, right); }
  friend Self operator+(const O* left, const Self& right) { return Concat(left, right); }

 private:
  Self& self() { return static_cast<Self&>(*this); }
  template <class L, class R>
  static Self Concat(const L& left, const R& right) {
    Self result(left);
    result += right;
    return result;
  }
  void SetNumber(int64_t value);
  void SetNumber(uint64_t value);
  template <class I>
  void SetNumber(I value) {
    if constexpr (std::is_signed_v<I>) {
      SetNumber(static_cast<int64_t>(value));
    } else {
      SetNumber(static_cast<uint64_t>(value));
    }
  }
  void SetFloating(double value, int significantDigits);
  void SetBool(bool value);
  bool EqualsBool(bool value) const;
  int Compare(const C* text) const;
  int Compare(const CSPStringBase& other) const;

  void ReserveFor(uint64_t neededLength);
  void ReserveChecked(uint64_t newCapacity);
  void AssignUnits(const C* text, uint32_t count);
  void AssignOther(const O* text, uint32_t count);
  void AppendOther(const O* text, uint32_t count);
  void AssignAscii(const char* text, uint32_t count);
  uint32_t CountMatches(const C* find, uint32_t findCount, uint32_t maxCount) const;
  uint64_t CapacityAfterReplacing(uint32_t count, uint32_t findCount, uint32_t withCount) const;
  void ReplaceAt(uint32_t position, uint32_t oldCount, const C* with, uint32_t withCount);
  bool Owns(const C* text) const;

  C* data;
  uint32_t length;
  uint32_t capacity;
  C inlineData[kInlineCapacity + 1];
};

class CSPString : public CSPStringBase<char> {
 public:
  using CSPStringBase<char>::CSPStringBase;
  using CSPStringBase<char>::operator=;

  // Decodes the whole text as UTF-8 into out. An empty text empties out and
  // succeeds; when the conversion yields nothing, returns false and leaves
  // out untouched.
  bool Utf8ToWide(CSPWString& out) const;
};

class CSPWString : public CSPStringBase<char16_t> {
 public:
  using CSPStringBase<char16_t>::CSPStringBase;
  using CSPStringBase<char16_t>::operator=;

  // Encodes the whole text as UTF-8 into out (no byte-order mark). An empty
  // text empties out and succeeds; when the conversion yields nothing,
  // returns false and leaves out untouched.
  bool WideToUtf8(CSPString& out) const;
};
