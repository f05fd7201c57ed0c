// The system's one file class: owns one Windows file handle and moves whole
// buffers. Every failure has a fixed message; with throwOnError it is thrown
// as a CSPException (code 0), otherwise the call returns false (or the value
// its comment names). The handle is either open or null, never half-open.
#pragma once

#include <cstdint>

#include "core/CSPObject.h"
#include "platform/win.h"

class CSPBuffer;
class CSPString;
class CSPWString;

class CSPFile : public CSPObject {
 public:
  // Mode bits for Open and Create. Files are always shared for reading and
  // writing with other openers.
  static constexpr uint32_t modeRead = 1;
  static constexpr uint32_t modeWrite = 2;

  CSPFile() = default;
  CSPFile(const CSPFile&) = delete;
  CSPFile& operator=(const CSPFile&) = delete;
  ~CSPFile() override;

  // Opens an existing file. Whatever was open is closed first, even when the
  // open then fails.
  bool Open(const char* fileName, uint32_t mode);
  bool Open(const char16_t* fileName, uint32_t mode);
  bool Open(const CSPString& fileName, uint32_t mode);
  bool Open(const CSPWString& fileName, uint32_t mode);
  // As Open, but creates the file or empties an existing one.
  bool Create(const char* fileName, uint32_t mode);
  bool Create(const char16_t* fileName, uint32_t mode);
  bool Create(const CSPString& fileName, uint32_t mode);
  bool Create(const CSPWString& fileName, uint32_t mode);

  // count > 0: the buffer is resized to count and filled from the current
  // position. count 0: fills a non-empty buffer, or makes an empty one hold
  // the rest of the file. The buffer keeps its size when fewer bytes arrive;
  // GetLastCount() tells how many did.
  bool Read(CSPBuffer& buffer, uint32_t count);
  // 16-bit text is written as little-endian code units, no terminator.
  bool Write(const CSPBuffer& buffer);
  bool Write(const CSPString& text);
  bool Write(const CSPWString& text);

  bool Seek(int32_t offsetFromStart);
  bool SeekToBegin();
  bool SeekToEnd();
  // 0 when no file is open, 0xFFFFFFFF when the position cannot be read.
  uint32_t GetPosition();
  // 0 when no file is open.
  uint32_t GetSize() const;
  // Makes the current position the end of the file.
  bool Truncate();
  void Close();
  uint32_t GetLastCount() const { return lastCount; }

 private:
  bool OpenWith(const void* fileName, bool wide, uint32_t mode, DWORD disposition);
  bool ReadSize(CSPBuffer& buffer, uint32_t count, uint32_t& toRead);
  bool WriteBytes(const void* data, uint32_t size);
  bool MovePointer(LONG distance, DWORD method, const char* notOpenMessage);
  bool Fail(const char* message);

  HANDLE handle = nullptr;
  uint32_t lastCount = 0;
};
