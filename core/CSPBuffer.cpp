#include "core/CSPBuffer.h"

#include "core/CSPString.h"

namespace {

// Writes each code unit as two bytes, low byte first, whatever the host's
// byte order.
void PutLittleEndian(const char16_t* units, uint32_t count, unsigned char* out) {
  for (uint32_t i = 0; i < count; ++i) {
    out[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
  }
}

}  // namespace

CSPBuffer& CSPBuffer::operator=(const CSPBuffer& other) {
  Set(other);
  return *this;
}

CSPBuffer& CSPBuffer::operator=(const CSPScalarArray<unsigned char>& other) {
  Set(other);
  return *this;
}

CSPBuffer& CSPBuffer::operator=(const CSPString& text) {
  Set(text);
  return *this;
}

CSPBuffer& CSPBuffer::operator=(const CSPWString& text) {
  Set(text);
  return *this;
}

bool CSPBuffer::Set(const void* source, uint32_t n) {
  return Bytes().Set(static_cast<const unsigned char*>(source), n);
}

bool CSPBuffer::Set(const CSPBuffer& other) {
  if (&other == this) return true;
  return Set(other.GetData(), other.GetSize());
}

bool CSPBuffer::Set(const CSPScalarArray<unsigned char>& other) {
  return Set(other.GetData(), other.GetSize());
}

bool CSPBuffer::Set(const CSPString& text) { return Set(text.GetString(), text.GetLength()); }

bool CSPBuffer::Set(const CSPWString& text) {
  if (!SetSize(0)) return false;
  return Append(text);
}

bool CSPBuffer::Append(const void* source, uint32_t n) {
  return Bytes().Append(static_cast<const unsigned char*>(source), n);
}

bool CSPBuffer::Append(const CSPBuffer& other) { return Append(other.GetData(), other.GetSize()); }

bool CSPBuffer::Append(const CSPScalarArray<unsigned char>& other) {
  return Append(other.GetData(), other.GetSize());
}

bool CSPBuffer::Append(const CSPString& text) { return Append(text.GetString(), text.GetLength()); }

bool CSPBuffer::Append(const CSPWString& text) {
  uint32_t units = text.GetLength();
  if (units == 0) return true;
  uint32_t oldSize = GetSize();
  // A CSPWString holds fewer than 2^31 code units, so the byte count fits.
  if (!Grow(units * 2)) return false;
  PutLittleEndian(text.GetString(), units, GetData() + oldSize);
  return true;
}

CSPBuffer& CSPBuffer::operator+=(const CSPBuffer& other) {
  Append(other);
  return *this;
}

CSPBuffer& CSPBuffer::operator+=(const CSPScalarArray<unsigned char>& other) {
  Append(other);
  return *this;
}

CSPBuffer& CSPBuffer::operator+=(const CSPString& text) {
  Append(text);
  return *this;
}

CSPBuffer& CSPBuffer::operator+=(const CSPWString& text) {
  Append(text);
  return *this;
}
