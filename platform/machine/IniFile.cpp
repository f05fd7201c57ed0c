#include <algorithm>
#include <cctype>

#include "platform/machine.h"

namespace machine {
namespace {

std::string_view Trim(std::string_view s) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Section and key names match like Windows' profile functions: ASCII letters
// without regard to case. Lookups go through the folded form.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool IsComment(std::string_view trimmed) {
  return trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#';
}

[[noreturn]] void Malformed(const std::string& file, size_t line, const std::string& what) {
  throw MachineError(file + ":" + std::to_string(line) + ": " + what);
}

void CheckName(std::string_view name, const char* what) {
  if (Trim(name) != name || name.empty() ||
      name.find_first_of("=[]\r\n") != std::string_view::npos || IsComment(name)) {
    throw MachineError(std::string("invalid INI ") + what + " name '" + std::string(name) + "'");
  }
}

}  // namespace

IniFile IniFile::Parse(std::string_view text, const std::string& fileNameForErrors) {
  IniFile ini;
  ini.fileName_ = fileNameForErrors;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t lineNumber = 0;
  std::vector<size_t> keyLines;  // where each key of the current section was defined
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const std::string_view trimmed = Trim(raw);
    auto& lines = ini.sections_.empty() ? ini.preamble_ : ini.sections_.back().lines;
    if (IsComment(trimmed)) {
      lines.push_back({"", "", std::string(raw), 0});
      continue;
    }
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']')
        Malformed(fileNameForErrors, lineNumber, "section header without ']'");
      const std::string_view name = Trim(trimmed.substr(1, trimmed.size() - 2));
      if (name.empty()) Malformed(fileNameForErrors, lineNumber, "empty section name");
      if (ini.FindSection(name) != nullptr) {
        Malformed(fileNameForErrors, lineNumber,
                  "section [" + std::string(name) + "] appears twice");
      }
      ini.AddSection(name);
      continue;
    }
    const size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos)
      Malformed(fileNameForErrors, lineNumber, "expected key=value");
    const std::string_view key = Trim(trimmed.substr(0, eq));
    if (key.empty()) Malformed(fileNameForErrors, lineNumber, "empty key");
    if (ini.sections_.empty()) Malformed(fileNameForErrors, lineNumber, "key outside any section");
    Section& section = ini.sections_.back();
    if (!section.keys.emplace(Folded(key), lines.size()).second) {
      Malformed(fileNameForErrors, lineNumber,
                "key '" + std::string(key) + "' appears twice in [" + section.name + "]");
    }
    lines.push_back({std::string(key), std::string(Trim(trimmed.substr(eq + 1))), std::string(raw),
                     lineNumber});
  }
  return ini;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  if (!FileExists(path)) return IniFile();
  return Parse(ReadWholeFile(path), path.string());
}

std::string IniFile::Serialize() const {
  std::string out;
  const auto emit = [&out](const Line& line) {
    out += line.raw.empty() && !line.key.empty() ? line.key + "=" + line.value : line.raw;
    out += '\n';
  };
  for (const auto& line : preamble_) emit(line);
  for (const auto& section : sections_) {
    out += "[" + section.name + "]\n";
    for (const auto& line : section.lines) emit(line);
  }
  return out;
}

void IniFile::Save(const std::filesystem::path& path) const {
  WriteFileAtomically(path, Serialize());
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  const auto it = sectionIndex_.find(Folded(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section& IniFile::AddSection(std::string_view name) {
  sectionIndex_.emplace(Folded(name), sections_.size());
  sections_.push_back({std::string(name), {}, {}});
  return sections_.back();
}

const IniFile::Line* IniFile::Section::Find(std::string_view key) const {
  const auto it = keys.find(Folded(key));
  return it == keys.end() ? nullptr : &lines[it->second];
}

void IniFile::Section::Reindex() {
  keys.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].key.empty()) keys.emplace(Folded(lines[i].key), i);
  }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  return const_cast<IniFile*>(this)->FindSection(name);
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

const std::string* IniFile::SectionName(std::string_view section) const {
  const Section* s = FindSection(section);
  return s == nullptr ? nullptr : &s->name;
}

const std::string* IniFile::Get(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  const Line* line = s == nullptr ? nullptr : s->Find(key);
  return line == nullptr ? nullptr : &line->value;
}

std::string IniFile::GetOr(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
  const std::string* value = Get(section, key);
  return value != nullptr ? *value : std::string(fallback);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  CheckName(section, "section");
  CheckName(key, "key");
  if (value.find_first_of("\r\n") != std::string_view::npos || Trim(value) != value) {
    throw MachineError("invalid INI value for '" + std::string(key) +
                       "': no line breaks or surrounding blanks");
  }
  Section* s = FindSection(section);
  if (s == nullptr) {
    // Keep sections apart by a blank line so the file stays readable.
    auto& last = sections_.empty() ? preamble_ : sections_.back().lines;
    const bool endsBlank =
        last.empty() || (last.back().key.empty() && Trim(last.back().raw).empty());
    if (!endsBlank) last.push_back({"", "", "", 0});
    s = &AddSection(section);
  }
  if (const Line* existing = s->Find(key)) {
    Line& line = s->lines[static_cast<size_t>(existing - s->lines.data())];
    line.value = std::string(value);
    line.raw.clear();
    line.number = 0;
    return;
  }
  // New keys go after the section's last key, ahead of the blank lines and
  // comments that separate it from the next section; no key moves.
  auto pos = s->lines.end();
  while (pos != s->lines.begin() && std::prev(pos)->key.empty()) --pos;
  s->keys.emplace(Folded(key), static_cast<size_t>(pos - s->lines.begin()));
  s->lines.insert(pos, {std::string(key), std::string(value), "", 0});
}

bool IniFile::Remove(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  const Line* line = s == nullptr ? nullptr : s->Find(key);
  if (line == nullptr) return false;
  s->lines.erase(s->lines.begin() + (line - s->lines.data()));
  s->Reindex();
  return true;
}

bool IniFile::RemoveSection(std::string_view section) {
  const auto it = sectionIndex_.find(Folded(section));
  if (it == sectionIndex_.end()) return false;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(Folded(sections_[i].name), i);
  return true;
}

std::string IniFile::Where(std::string_view section, std::string_view key,
                           std::string_view unnamed) const {
  if (fileName_.empty()) return std::string(unnamed);
  const Section* s = FindSection(section);
  const Line* line = s == nullptr ? nullptr : s->Find(key);
  if (line == nullptr || line->number == 0) return fileName_;
  return fileName_ + ":" + std::to_string(line->number);
}

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> names;
  for (const auto& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::pair<std::string, std::string>> IniFile::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  if (const Section* s = FindSection(section)) {
    for (const auto& line : s->lines) {
      if (!line.key.empty()) entries.emplace_back(line.key, line.value);
    }
  }
  return entries;
}

}  // namespace machine
