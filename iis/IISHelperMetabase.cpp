// The metabase primitives: keys, data and the variable-size reads.
#include <cstring>

#include "iis/IISHelper.h"

namespace {

constexpr DWORD kReadWrite = METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE;
constexpr DWORD kOpenTimeOut = 3000;

bool IsBufferTooSmall(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) ||
         hr == HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
}

// Consecutive zero-terminated strings up to the first empty one or the end.
void SplitMultiString(const char16_t* units, size_t count, CSPList<CSPWString>& strings) {
  size_t start = 0;
  while (start < count && units[start] != 0) {
    size_t end = start;
    while (end < count && units[end] != 0) ++end;
    CSPWString text;
    text.Append(units + start, static_cast<uint32_t>(end - start));
    strings.Add(text);
    start = end + 1;
  }
}

std::vector<char16_t> JoinMultiString(const CSPList<CSPWString>& strings) {
  std::vector<char16_t> units;
  for (uint32_t i = 0; i < strings.GetCount(); ++i) {
    const CSPWString& text = strings.GetAt(i);
    units.insert(units.end(), text.GetString(), text.GetString() + text.GetLength());
    units.push_back(0);
  }
  units.push_back(0);
  return units;
}

}  // namespace

bool IISHelper::OpenKey(const CSPWString& path) {
  if (metabase == nullptr || !CloseOpenKey()) return false;
  METADATA_HANDLE handle = 0;
  if (FAILED(metabase->OpenKey(METADATA_MASTER_ROOT_HANDLE, as_wcstr(path), kReadWrite,
                               kOpenTimeOut, &handle))) {
    return false;
  }
  openKeyHandle = handle;
  openKeyPath = path;
  return true;
}

bool IISHelper::CloseKey() {
  if (!HasOpenKey() || FAILED(metabase->CloseKey(openKeyHandle))) return false;
  openKeyHandle = 0;
  openKeyPath.Empty();
  return true;
}

bool IISHelper::AddKey(const CSPWString& path) {
  return HasOpenKey() && SUCCEEDED(metabase->AddKey(openKeyHandle, as_wcstr(path)));
}

bool IISHelper::DeleteKey(const CSPWString& path) {
  return HasOpenKey() && SUCCEEDED(metabase->DeleteKey(openKeyHandle, as_wcstr(path)));
}

bool IISHelper::EnumKeys(CSPList<CSPWString>& keys, const CSPWString& path) {
  keys.RemoveAll(true);
  if (!HasOpenKey()) return false;
  char16_t name[METADATA_MAX_NAME_LEN + 1];
  for (DWORD index = 0;; ++index) {
    const HRESULT hr = metabase->EnumKeys(openKeyHandle, as_wcstr(path), as_wcstr(name), index);
    if (hr == HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS)) return true;
    if (FAILED(hr)) {
      keys.RemoveAll(true);
      return false;
    }
    keys.Add(CSPWString(name));
  }
}

bool IISHelper::GetDataPaths(uint32_t id, CSPList<CSPWString>& paths, const CSPWString& path) {
  if (!HasOpenKey()) return false;
  std::vector<char16_t> buffer(1);
  DWORD required = 0;
  HRESULT hr =
      metabase->GetDataPaths(openKeyHandle, as_wcstr(path), id, ALL_METADATA,
                             static_cast<DWORD>(buffer.size()), as_wcstr(buffer.data()), &required);
  if (IsBufferTooSmall(hr)) {
    buffer.assign(required, 0);
    hr = metabase->GetDataPaths(openKeyHandle, as_wcstr(path), id, ALL_METADATA,
                                static_cast<DWORD>(buffer.size()), as_wcstr(buffer.data()),
                                &required);
  }
  if (FAILED(hr)) return false;
  CSPList<CSPWString> found;
  SplitMultiString(buffer.data(), buffer.size(), found);
  paths.RemoveAll(true);
  for (uint32_t i = 0; i < found.GetCount(); ++i) {
    const CSPWString& returned = found.GetAt(i);
    paths.Add(returned.GetAt(0) == u'/' ? returned : u"/" + returned);
  }
  return true;
}

// One GetData of a property set at the path itself, with the one resize
// that a reply of "buffer too small" calls for.
HRESULT IISHelper::ReadData(uint32_t id, uint32_t dataType, const CSPWString& path,
                            METADATA_RECORD& record, std::vector<uint8_t>& buffer) {
  for (int attempt = 0;; ++attempt) {
    record = METADATA_RECORD{};
    record.dwMDIdentifier = id;
    record.dwMDAttributes = METADATA_NO_ATTRIBUTES;
    record.dwMDUserType = ALL_METADATA;
    record.dwMDDataType = dataType;
    record.dwMDDataLen = static_cast<DWORD>(buffer.size());
    record.pbMDData = buffer.data();
    DWORD required = 0;
    const HRESULT hr = metabase->GetData(openKeyHandle, as_wcstr(path), &record, &required);
    if (attempt > 0 || !IsBufferTooSmall(hr)) return hr;
    buffer.assign(required, 0);
  }
}

bool IISHelper::WriteData(uint32_t id, uint32_t dataType, uint32_t attributes, uint32_t userType,
                          const CSPWString& path, const void* data, uint32_t bytes) {
  if (!HasOpenKey()) return false;
  METADATA_RECORD record{};
  record.dwMDIdentifier = id;
  record.dwMDAttributes = attributes;
  record.dwMDUserType = userType;
  record.dwMDDataType = dataType;
  record.dwMDDataLen = bytes;
  record.pbMDData = static_cast<unsigned char*>(const_cast<void*>(data));
  return SUCCEEDED(metabase->SetData(openKeyHandle, as_wcstr(path), &record));
}

bool IISHelper::GetStringData(uint32_t id, CSPWString& value, uint32_t& attributes,
                              uint32_t& userType, const CSPWString& path) {
  if (!HasOpenKey()) return false;
  std::vector<uint8_t> buffer(sizeof(char16_t));
  METADATA_RECORD record;
  if (FAILED(ReadData(id, STRING_METADATA, path, record, buffer))) return false;
  const size_t units = record.dwMDDataLen / sizeof(char16_t);
  std::vector<char16_t> text(units + 1, 0);
  std::memcpy(text.data(), buffer.data(), units * sizeof(char16_t));
  value = CSPWString(text.data());
  attributes = record.dwMDAttributes;
  userType = record.dwMDUserType;
  return true;
}

bool IISHelper::SetStringData(uint32_t id, const CSPWString& value, uint32_t attributes,
                              uint32_t userType, const CSPWString& path) {
  return WriteData(id, STRING_METADATA, attributes, userType, path, value.GetString(),
                   (value.GetLength() + 1) * sizeof(char16_t));
}

bool IISHelper::GetMultiStringData(uint32_t id, CSPList<CSPWString>& values, uint32_t& attributes,
                                   uint32_t& userType, const CSPWString& path) {
  if (!HasOpenKey()) return false;
  std::vector<uint8_t> buffer(sizeof(char16_t));
  METADATA_RECORD record;
  if (FAILED(ReadData(id, MULTISZ_METADATA, path, record, buffer))) return false;
  std::vector<char16_t> units(record.dwMDDataLen / sizeof(char16_t));
  std::memcpy(units.data(), buffer.data(), units.size() * sizeof(char16_t));
  values.RemoveAll(true);
  SplitMultiString(units.data(), units.size(), values);
  attributes = record.dwMDAttributes;
  userType = record.dwMDUserType;
  return true;
}

bool IISHelper::SetMultiStringData(uint32_t id, const CSPList<CSPWString>& values,
                                   uint32_t attributes, uint32_t userType, const CSPWString& path) {
  const std::vector<char16_t> units = JoinMultiString(values);
  return WriteData(id, MULTISZ_METADATA, attributes, userType, path, units.data(),
                   static_cast<uint32_t>(units.size() * sizeof(char16_t)));
}

bool IISHelper::GetDwordData(uint32_t id, uint32_t& value, uint32_t& attributes, uint32_t& userType,
                             const CSPWString& path) {
  if (!HasOpenKey()) return false;
  std::vector<uint8_t> buffer(sizeof(DWORD));
  METADATA_RECORD record;
  if (FAILED(ReadData(id, DWORD_METADATA, path, record, buffer))) return false;
  std::memcpy(&value, buffer.data(), sizeof value);
  attributes = record.dwMDAttributes;
  userType = record.dwMDUserType;
  return true;
}

bool IISHelper::SetDwordData(uint32_t id, uint32_t value, uint32_t attributes, uint32_t userType,
                             const CSPWString& path) {
  return WriteData(id, DWORD_METADATA, attributes, userType, path, &value, sizeof value);
}

bool IISHelper::DeleteData(uint32_t id, const CSPWString& path) {
  return HasOpenKey() &&
         SUCCEEDED(metabase->DeleteData(openKeyHandle, as_wcstr(path), id, ALL_METADATA));
}
