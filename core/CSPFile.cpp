#include "core/CSPFile.h"

#include "core/CSPBuffer.h"
#include "core/CSPException.h"
#include "core/CSPString.h"

namespace {

DWORD AccessFromMode(uint32_t mode) {
  DWORD access = 0;
  if (mode & CSPFile::modeRead) access |= GENERIC_READ;
  if (mode & CSPFile::modeWrite) access |= GENERIC_WRITE;
  return access;
}

}  // namespace

CSPFile::~CSPFile() { Close(); }

bool CSPFile::Fail(const char* message) {
  if (throwOnError) throw CSPException(CSPString(message), 0);
  return false;
}

bool CSPFile::OpenWith(const void* fileName, bool wide, uint32_t mode, DWORD disposition) {
  Close();
  if (fileName == nullptr) return Fail("Passed null pointer as a filename");
  DWORD access = AccessFromMode(mode);
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE opened = wide ? CreateFileW(as_wcstr(static_cast<const char16_t*>(fileName)), access,
                                     share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileA(static_cast<const char*>(fileName), access, share, nullptr,
                                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE || opened == nullptr) return Fail("Cannot open file");
  handle = opened;
  return true;
}

bool CSPFile::Open(const char* fileName, uint32_t mode) {
  return OpenWith(fileName, false, mode, OPEN_EXISTING);
}

bool CSPFile::Open(const char16_t* fileName, uint32_t mode) {
  return OpenWith(fileName, true, mode, OPEN_EXISTING);
}

bool CSPFile::Open(const CSPString& fileName, uint32_t mode) {
  return Open(fileName.GetString(), mode);
}

bool CSPFile::Open(const CSPWString& fileName, uint32_t mode) {
  return Open(fileName.GetString(), mode);
}

bool CSPFile::Create(const char* fileName, uint32_t mode) {
  return OpenWith(fileName, false, mode, CREATE_ALWAYS);
}

bool CSPFile::Create(const char16_t* fileName, uint32_t mode) {
  return OpenWith(fileName, true, mode, CREATE_ALWAYS);
}

bool CSPFile::Create(const CSPString& fileName, uint32_t mode) {
  return Create(fileName.GetString(), mode);
}

bool CSPFile::Create(const CSPWString& fileName, uint32_t mode) {
  return Create(fileName.GetString(), mode);
}

// Works out how many bytes Read moves and sizes the buffer for them. false
// without a message when the file's size or position cannot be read.
bool CSPFile::ReadSize(CSPBuffer& buffer, uint32_t count, uint32_t& toRead) {
  if (count != 0) {
    toRead = count;
    return buffer.SetSize(count) || Fail("Cannot read from file");
  }
  if (buffer.GetSize() != 0) {
    toRead = buffer.GetSize();
    return true;
  }
  DWORD size = GetFileSize(handle, nullptr);
  if (size == INVALID_FILE_SIZE) return false;
  DWORD position = SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
  if (position == INVALID_SET_FILE_POINTER) return false;
  // A position at or past the end (after a seek beyond it) leaves nothing to
  // read, not an underflowed size.
  toRead = position < size ? size - position : 0;
  return buffer.SetSize(toRead) || Fail("Cannot read from file");
}

bool CSPFile::Read(CSPBuffer& buffer, uint32_t count) {
  if (handle == nullptr) return Fail("Cannot read from file. File not open.");
  uint32_t toRead = 0;
  if (!ReadSize(buffer, count, toRead)) return false;
  if (toRead == 0) {
    lastCount = 0;
    return true;
  }
  DWORD read = 0;
  if (!ReadFile(handle, buffer.GetData(), toRead, &read, nullptr)) {
    return Fail("Cannot read from file");
  }
  lastCount = read;
  return true;
}

bool CSPFile::WriteBytes(const void* data, uint32_t size) {
  if (handle == nullptr) return Fail("Cannot write to file. File not open.");
  // An empty source may have no storage; Windows wants a valid pointer.
  static const unsigned char nothing = 0;
  DWORD written = 0;
  if (!WriteFile(handle, size == 0 ? &nothing : data, size, &written, nullptr)) {
    return Fail("Cannot write to file");
  }
  lastCount = written;
  return true;
}

bool CSPFile::Write(const CSPBuffer& buffer) {
  return WriteBytes(buffer.GetData(), buffer.GetSize());
}

bool CSPFile::Write(const CSPString& text) {
  return WriteBytes(text.GetString(), text.GetLength());
}

bool CSPFile::Write(const CSPWString& text) {
  if (handle == nullptr) return Fail("Cannot write to file. File not open.");
  CSPBuffer bytes;
  bytes.throwOnError = false;
  if (!bytes.Set(text)) return Fail("Cannot write to file");
  return WriteBytes(bytes.GetData(), bytes.GetSize());
}

bool CSPFile::MovePointer(LONG distance, DWORD method, const char* notOpenMessage) {
  if (handle == nullptr) return Fail(notOpenMessage);
  if (SetFilePointer(handle, distance, nullptr, method) == INVALID_SET_FILE_POINTER) {
    return Fail("Cannot set file pointer");
  }
  return true;
}

bool CSPFile::Seek(int32_t offsetFromStart) {
  return MovePointer(offsetFromStart, FILE_BEGIN, "Cannot set file pointer. File not open.");
}

bool CSPFile::SeekToBegin() {
  return MovePointer(0, FILE_BEGIN, "Cannot go to BOF. File not open.");
}

bool CSPFile::SeekToEnd() { return MovePointer(0, FILE_END, "Cannot go to EOF. File not open."); }

uint32_t CSPFile::GetPosition() {
  if (handle == nullptr) {
    Fail("Cannot get file pointer. File not open.");
    return 0;
  }
  DWORD position = SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
  if (position == INVALID_SET_FILE_POINTER) {
    Fail("Cannot get file pointer");
    return 0xFFFFFFFF;
  }
  return position;
}

uint32_t CSPFile::GetSize() const {
  if (handle == nullptr) return 0;
  return GetFileSize(handle, nullptr);
}

bool CSPFile::Truncate() {
  // The message for a closed file is this library's own choice, in the
  // pattern of the others.
  if (handle == nullptr) return Fail("Cannot set End Of File. File not open.");
  if (!SetEndOfFile(handle)) return Fail("Cannot set End Of File");
  return true;
}

void CSPFile::Close() {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
  lastCount = 0;
}
