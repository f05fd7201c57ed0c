// GetPrivateProfileStringA/W over files in the image (platform/win/profileapi.h).
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/WholeFiles.h"
#include "platform/shell/ShellFolders.h"
#include "platform/text.h"
#include "platform/win.h"

namespace {

struct Entry {
  std::u16string key;
  std::optional<std::u16string> value;  // none for a line without '='
};

struct Section {
  std::u16string name;
  std::vector<Entry> entries;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::u16string(text.substr(begin, end - begin));
}

std::u16string Unquote(std::u16string value) {
  if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::u16string DecodeText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    return text;
  }
  return machine::FromAnsi(bytes);
}

std::vector<Section> Parse(std::u16string_view text) {
  std::vector<Section> sections;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == u';') continue;
    if (line[0] == u'[') {
      const size_t close = line.find(u']');
      sections.push_back(Section{Trim(std::u16string_view(line).substr(1, close - 1)), {}});
      continue;
    }
    if (sections.empty()) continue;  // keys before any section belong to none
    const size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) {
      sections.back().entries.push_back(Entry{line, std::nullopt});
    } else {
      sections.back().entries.push_back(
          Entry{Trim(std::u16string_view(line).substr(0, equals)),
                Unquote(Trim(std::u16string_view(line).substr(equals + 1)))});
    }
  }
  return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::u16string_view name) {
  for (const Section& section : sections) {
    if (machine::EqualNoCase(section.name, name)) return &section;
  }
  return nullptr;
}

// The file's sections; nullopt (with the last error set) when it cannot be read.
std::optional<std::vector<Section>> Load(const char16_t* fileName) {
  std::u16string path = fileName;
  if (path.find_first_of(u"\\/") == std::u16string::npos) {
    std::u16string windows;
    if (SUCCEEDED(shell::SpecialFolderPath(CSIDL_WINDOWS, windows))) path = windows + u"\\" + path;
  }
  std::string bytes;
  if (const DWORD error = machine::files::ReadWindowsFile(path, bytes)) {
    // Windows names a missing folder a missing file here too.
    SetLastError(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
    return std::nullopt;
  }
  return Parse(DecodeText(bytes));
}

// What the call answers before it is cut to the buffer: one string, or a
// list of names.
struct Answer {
  bool isList = false;
  std::vector<std::u16string> strings;
};

Answer Look(const char16_t* section, const char16_t* key, const char16_t* fallback,
            const char16_t* fileName) {
  const auto sections = Load(fileName);
  const std::vector<Section> none;
  const std::vector<Section>& all = sections ? *sections : none;
  Answer answer;
  answer.isList = section == nullptr || key == nullptr;
  if (section == nullptr) {
    for (const Section& s : all) answer.strings.push_back(s.name);
    return answer;
  }
  const Section* found = FindSection(all, section);
  for (const Entry& e : found ? found->entries : std::vector<Entry>()) {
    if (key == nullptr) {
      answer.strings.push_back(e.key);
    } else if (machine::EqualNoCase(e.key, key) && e.value) {
      answer.strings.push_back(*e.value);
      return answer;
    }
  }
  if (found == nullptr || key != nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
  if (key == nullptr) return answer;
  std::u16string value = fallback ? fallback : u"";
  while (!value.empty() && IsBlank(value.back())) value.pop_back();
  answer.strings.push_back(value);
  return answer;
}

template <typename Char>
DWORD CopyAnswer(const std::vector<std::basic_string<Char>>& strings, bool isList, Char* out,
                 DWORD size) {
  if (out == nullptr || size == 0) return 0;
  if (!isList) {
    const std::basic_string<Char>& text = strings.front();
    const DWORD count = std::min<DWORD>(static_cast<DWORD>(text.size()), size - 1);
    std::copy_n(text.begin(), count, out);
    out[count] = 0;
    return count;
  }
  std::basic_string<Char> joined;
  for (const auto& text : strings) {
    joined += text;
    joined += Char{0};
  }
  if (joined.size() + 1 <= size) {
    std::copy(joined.begin(), joined.end(), out);
    out[joined.size()] = 0;
    return static_cast<DWORD>(joined.size());
  }
  if (size < 2) {
    out[0] = 0;
    return 0;
  }
  std::copy_n(joined.begin(), size - 2, out);
  out[size - 2] = 0;
  out[size - 1] = 0;
  return size - 2;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const Answer answer = Look(lpAppName, lpKeyName, lpDefault, lpFileName);
  return CopyAnswer(answer.strings, answer.isList, lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto wide = [](LPCSTR text) {
    return text == nullptr ? std::optional<std::u16string>() : machine::FromAnsi(text);
  };
  const auto section = wide(lpAppName), key = wide(lpKeyName), fallback = wide(lpDefault);
  const Answer answer =
      Look(section ? section->c_str() : nullptr, key ? key->c_str() : nullptr,
           fallback ? fallback->c_str() : nullptr, machine::FromAnsi(lpFileName).c_str());
  std::vector<std::string> narrow;
  for (const auto& text : answer.strings) narrow.push_back(machine::ToAnsi(text));
  return CopyAnswer(narrow, answer.isList, lpReturnedString, nSize);
}
