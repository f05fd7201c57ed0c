#include "iis/ProductListFiles.h"

#include "core/CSPBuffer.h"
#include "core/CSPFile.h"
#include "platform/win.h"
#include "system/RegKey.h"

namespace {

constexpr uint32_t kIconWarning = 0x30;
const char16_t kSystemError[] = u"System error";

void Warn(const ListMessage* show, const char16_t* text) {
  if (show != nullptr && *show) (*show)(CSPWString(text), CSPWString(kSystemError), kIconWarning);
}

}  // namespace

bool GetProductDir(CSPWString& productDir) {
  RegKey key;
  if (!key.Open(u"Software\\Corvane\\Quaver", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS)) return false;
  CSPWString value;
  if (!key.GetStringValue(u"ProductDir", value) || value.GetLength() == 0) return false;
  if (value.GetAt(value.GetLength() - 1) != u'\\') value += u"\\";
  productDir = value;
  return true;
}

int32_t GetListPosition(const CSPWString& list, const CSPWString& text) {
  if (list.GetLength() < text.GetLength()) return -1;
  uint32_t at = list.Find(text);
  if (at == CSPWString::kNotFound) return -1;
  int32_t commas = 0;
  for (uint32_t i = 0; i < at; ++i) {
    if (list.GetAt(i) == u',') ++commas;
  }
  return commas;
}

CSPWString DecodeListLine(const CSPString& line) {
  CSPWString wide;
  if (!line.Utf8ToWide(wide)) wide = CSPWString(line);
  return wide;
}

bool ReadListFile(const char16_t* fileName, CSPList<CSPString>& lines) {
  CSPWString dir;
  if (!GetProductDir(dir)) return false;
  CSPFile file;
  file.throwOnError = false;
  CSPBuffer content;
  content.throwOnError = false;
  if (!file.Open(dir + fileName, CSPFile::modeRead | CSPFile::modeWrite) ||
      !file.Read(content, 0)) {
    return false;
  }
  const char* bytes = reinterpret_cast<const char*>(content.GetData());
  const uint32_t size = content.GetSize();
  bool first = true;
  uint32_t start = 0;
  for (uint32_t i = 0; i <= size; ++i) {
    if (i < size && bytes[i] != '\r' && bytes[i] != '\n') continue;
    CSPString line;
    line.Append(bytes + start, i - start);
    if (first || line.GetLength() > 0) lines.Add(line);
    first = false;
    start = i + 1;
  }
  return true;
}

void WriteListFile(const char16_t* fileName, const CSPWString& text, const ListMessage* show) {
  CSPWString dir;
  if (!GetProductDir(dir)) return;
  CSPString bytes;
  if (!text.WideToUtf8(bytes)) bytes = CSPString(text);
  const CSPWString path = dir + fileName;
  CSPFile file;
  file.throwOnError = false;
  if (!file.Create(path, CSPFile::modeWrite) && !file.Open(path, CSPFile::modeWrite)) {
    Warn(show,
         u"Cannot open file for saving website settings for future use.\r\n\r\n"
         u"However, IIS has been successfully configured.");
    return;
  }
  // A file that could only be reopened still holds its old bytes: cut them
  // off after the new content so that no stale tail is read back later.
  if (!file.Write(bytes) || !file.Truncate()) {
    Warn(show,
         u"Cannot save website settings to file for future use.\r\n\r\n"
         u"However, IIS has been successfully configured.");
  }
}
