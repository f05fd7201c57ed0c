// reg query | add | delete | export | import: the image's registry seen and
// changed through the registry functions, with the arguments and output of
// Windows' reg.exe. Switches may start with '/' or '-' and match without
// regard to case; an argument that is not a known switch is positional, so
// host paths such as /tmp/x.reg stay file names.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/registry/RegFileText.h"
#include "platform/registry/RegistryObjects.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::ToolFailure;

constexpr const char* kDone = "The operation completed successfully.";
constexpr const char* kNotFound =
    "The system was unable to find the specified registry key or value.";

// ---- Arguments --------------------------------------------------------------

struct Switch {
  const char* name;  // without its '/'
  bool takesValue;
};

struct Arguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> switches;  // lower-case name, value

  bool Has(const std::string& name) const {
    for (const auto& entry : switches) {
      if (entry.first == name) return true;
    }
    return false;
  }
  std::string Value(const std::string& name) const {
    for (const auto& entry : switches) {
      if (entry.first == name) return entry.second;
    }
    return {};
  }
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

[[noreturn]] void Usage(const std::string& operation, const std::string& problem) {
  throw ToolFailure("ERROR: Invalid syntax: " + problem + ".\nType \"REG " + Upper(operation) +
                        " /?\" for usage.",
                    ToolFailure::kUsage);
}

[[noreturn]] void Fail(const std::string& text) { throw ToolFailure("ERROR: " + text); }

Arguments Parse(const std::string& operation, const std::vector<std::string>& args,
                std::initializer_list<Switch> known) {
  Arguments result;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const Switch* match = nullptr;
    if (arg.size() > 1 && (arg[0] == '/' || arg[0] == '-')) {
      for (const Switch& candidate : known) {
        if (Lower(arg.substr(1)) == candidate.name) match = &candidate;
      }
    }
    if (!match) {
      result.positional.push_back(arg);
      continue;
    }
    std::string value;
    if (match->takesValue) {
      if (i + 1 >= args.size()) Usage(operation, std::string("/") + match->name + " needs a value");
      value = args[++i];
    }
    if (result.Has(match->name)) Usage(operation, std::string("/") + match->name + " given twice");
    result.switches.emplace_back(match->name, value);
  }
  return result;
}

bool Confirm(const std::string& question) {
  std::cout << question << " " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) answer.clear();
  answer = Lower(answer);
  return answer == "y" || answer == "yes";
}

// ---- Keys and values --------------------------------------------------------

struct KeyName {
  HKEY root = nullptr;
  std::u16string rootName;  // HKEY_LOCAL_MACHINE
  std::u16string path;      // below the root, without leading or trailing backslash

  std::u16string Shown() const { return path.empty() ? rootName : rootName + u"\\" + path; }
};

KeyName ParseKeyName(const std::string& text) {
  static const struct {
    const char16_t* shortName;
    const char16_t* fullName;
    HKEY root;
  } roots[] = {
      {u"HKLM", u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {u"HKCU", u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {u"HKCR", u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {u"HKU", u"HKEY_USERS", HKEY_USERS},
      {u"HKCC", u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  std::u16string name = machine::FromUtf8(text);
  size_t slash = name.find(u'\\');
  std::u16string first = name.substr(0, slash);
  for (const auto& root : roots) {
    if (machine::EqualNoCase(first, root.shortName) || machine::EqualNoCase(first, root.fullName)) {
      KeyName key{root.root, root.fullName,
                  slash == std::u16string::npos ? u"" : name.substr(slash + 1)};
      while (!key.path.empty() && key.path.back() == u'\\') key.path.pop_back();
      return key;
    }
  }
  throw ToolFailure("ERROR: Invalid key name " + text + ".\nType \"REG /?\" for usage.",
                    ToolFailure::kUsage);
}

[[noreturn]] void FailRegistry(LSTATUS status) {
  switch (status) {
    case ERROR_FILE_NOT_FOUND:
      Fail(kNotFound);
    case ERROR_ACCESS_DENIED:
      Fail("Access is denied.");
    case ERROR_BAD_PATHNAME:
      Fail("Invalid key name.");
    case ERROR_BADDB:
    case ERROR_CANTWRITE:
      Fail(machine::registry::LastStoreError());
    default:
      Fail(quaver_machine::WindowsErrorText(static_cast<DWORD>(status)));
  }
}

class OpenKey {
 public:
  OpenKey(HKEY parent, const std::u16string& path, REGSAM access) {
    if (LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, access, &key_))
      FailRegistry(status);
  }
  ~OpenKey() { RegCloseKey(key_); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::vector<std::u16string> SubKeys(HKEY key) {
  std::vector<std::u16string> names;
  char16_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    LSTATUS status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return names;
    if (status) FailRegistry(status);
    names.emplace_back(name, length);
  }
}

struct Value {
  std::u16string name;
  DWORD type = 0;
  std::vector<uint8_t> data;
};

std::vector<Value> Values(HKEY key) {
  DWORD count = 0, maxName = 0;
  if (LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        &count, &maxName, nullptr, nullptr, nullptr)) {
    FailRegistry(status);
  }
  std::vector<Value> values;
  std::u16string name(maxName + 1, u'\0');
  for (DWORD i = 0; i < count; ++i) {
    Value value;
    DWORD length = maxName + 1, size = 0;
    if (LSTATUS status =
            RegEnumValueW(key, i, name.data(), &length, nullptr, &value.type, nullptr, &size)) {
      FailRegistry(status);
    }
    value.name.assign(name.data(), length);
    value.data.resize(size);
    length = maxName + 1;
    if (LSTATUS status = RegEnumValueW(key, i, name.data(), &length, nullptr, &value.type,
                                       value.data.data(), &size)) {
      FailRegistry(status);
    }
    values.push_back(std::move(value));
  }
  return values;
}

// ---- Printing as reg.exe prints -----------------------------------------------

std::string TypeName(DWORD type) {
  static const char* const names[] = {"REG_NONE",
                                      "REG_SZ",
                                      "REG_EXPAND_SZ",
                                      "REG_BINARY",
                                      "REG_DWORD",
                                      "REG_DWORD_BIG_ENDIAN",
                                      "REG_LINK",
                                      "REG_MULTI_SZ",
                                      "REG_RESOURCE_LIST",
                                      "REG_FULL_RESOURCE_DESCRIPTOR",
                                      "REG_RESOURCE_REQUIREMENTS_LIST",
                                      "REG_QWORD"};
  return type < std::size(names) ? names[type] : "REG_UNKNOWN";
}

std::u16string Units(const std::vector<uint8_t>& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

std::string Hex(uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

uint64_t LittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

std::string DataText(const Value& value) {
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::u16string text = Units(value.data);
      return machine::ToUtf8(text.substr(0, text.find(u'\0')));
    }
    case REG_MULTI_SZ: {
      std::u16string text = Units(value.data);
      while (!text.empty() && text.back() == u'\0') text.pop_back();
      std::string shown;
      for (char16_t c : text)
        shown += c == 0 ? std::string("\\0") : machine::ToUtf8(std::u16string(1, c));
      return shown;
    }
    case REG_DWORD:
    case REG_QWORD:
      if (value.data.size() == (value.type == REG_DWORD ? 4u : 8u))
        return Hex(LittleEndian(value.data));
      [[fallthrough]];
    default: {
      std::ostringstream out;
      for (uint8_t byte : value.data) {
        out << "0123456789ABCDEF"[byte >> 4] << "0123456789ABCDEF"[byte & 15];
      }
      return out.str();
    }
  }
}

void PrintValue(const Value& value) {
  std::string name = value.name.empty() ? "(Default)" : machine::ToUtf8(value.name);
  std::cout << "    " << name << "    " << TypeName(value.type) << "    " << DataText(value)
            << "\n";
}

void PrintTree(HKEY key, const std::u16string& shown) {
  std::cout << machine::ToUtf8(shown) << "\n";
  for (const Value& value : Values(key)) PrintValue(value);
  std::cout << "\n";
  for (const std::u16string& name : SubKeys(key)) {
    OpenKey child(key, name, KEY_READ);
    PrintTree(child.get(), shown + u"\\" + name);
  }
}

// ---- reg query ------------------------------------------------------------------

// reg query /f: PATTERN (with * and ?) found in key names, value names and
// data, or only keys (/k) or only data (/d); anywhere in them unless /e asks
// for the whole text; without regard to case unless /c.
class Finder {
 public:
  explicit Finder(const Arguments& a)
      : pattern_(Fold(machine::FromUtf8(a.Value("f")), a.Has("c"))),
        keys_(!a.Has("d")),
        names_(!a.Has("k") && !a.Has("d")),
        data_(!a.Has("k")),
        exact_(a.Has("e")),
        caseSensitive_(a.Has("c")) {
    if (!exact_) pattern_ = u"*" + pattern_ + u"*";
  }
  bool Key(const std::u16string& name) const { return keys_ && Match(name); }
  bool Value(const ::Value& value) const {
    return (names_ && Match(value.name)) || (data_ && Match(machine::FromUtf8(DataText(value))));
  }

 private:
  static std::u16string Fold(std::u16string text, bool caseSensitive) {
    if (!caseSensitive) {
      for (char16_t& c : text) {
        if (c < 128) c = static_cast<char16_t>(std::tolower(c));
      }
    }
    return text;
  }
  bool Match(const std::u16string& text) const {
    return machine::MatchesWildcard(Fold(text, caseSensitive_), pattern_, false);
  }

  std::u16string pattern_;
  bool keys_, names_, data_, exact_, caseSensitive_;
};

void SearchKey(HKEY key, const std::u16string& shown, const Finder& finder, bool recurse,
               size_t& found) {
  std::vector<Value> hits;
  for (Value& value : Values(key)) {
    if (finder.Value(value)) hits.push_back(std::move(value));
  }
  if (!hits.empty()) {
    std::cout << machine::ToUtf8(shown) << "\n";
    for (const Value& value : hits) PrintValue(value);
    std::cout << "\n";
    found += hits.size();
  }
  for (const std::u16string& name : SubKeys(key)) {
    if (finder.Key(name)) {
      std::cout << machine::ToUtf8(shown + u"\\" + name) << "\n";
      ++found;
    }
    if (recurse) {
      OpenKey child(key, name, KEY_READ);
      SearchKey(child.get(), shown + u"\\" + name, finder, true, found);
    }
  }
}

// As reg.exe: a search that finds nothing still ends with its count, and
// fails.
void Search(HKEY key, const std::u16string& shown, const Arguments& a) {
  size_t found = 0;
  SearchKey(key, shown, Finder(a), a.Has("s"), found);
  std::cout << "End of search: " << found << " match(es) found.\n";
  if (found == 0) throw ToolFailure("");
}

void Query(const std::vector<std::string>& args) {
  Arguments a = Parse("query", args,
                      {{"v", true},
                       {"ve", false},
                       {"s", false},
                       {"f", true},
                       {"k", false},
                       {"d", false},
                       {"e", false},
                       {"c", false},
                       {"reg:64", false}});
  if (a.positional.size() != 1) Usage("query", "give one key name");
  if (a.Has("v") && a.Has("ve")) Usage("query", "/v and /ve exclude each other");
  if (a.Has("f") && (a.Has("v") || a.Has("ve"))) Usage("query", "/f searches; /v and /ve name");
  for (const char* option : {"k", "d", "e", "c"}) {
    if (a.Has(option) && !a.Has("f")) Usage("query", std::string("/") + option + " needs /f");
  }
  quaver_machine::UseMachine();
  KeyName name = ParseKeyName(a.positional[0]);
  OpenKey key(name.root, name.path, KEY_READ);
  std::cout << "\n";
  if (a.Has("v") || a.Has("ve")) {
    std::u16string valueName = machine::FromUtf8(a.Value("v"));
    for (const Value& value : Values(key.get())) {
      if (machine::EqualNoCase(value.name, valueName)) {
        std::cout << machine::ToUtf8(name.Shown()) << "\n";
        PrintValue(value);
        std::cout << "\n";
        return;
      }
    }
    if (a.Has("ve")) {
      std::cout << machine::ToUtf8(name.Shown())
                << "\n    (Default)    REG_SZ    (value not set)\n\n";
      return;
    }
    Fail(kNotFound);
  }
  if (a.Has("f")) return Search(key.get(), name.Shown(), a);
  if (a.Has("s")) {
    PrintTree(key.get(), name.Shown());
    return;
  }
  std::cout << machine::ToUtf8(name.Shown()) << "\n";
  std::vector<Value> values = Values(key.get());
  for (const Value& value : values) PrintValue(value);
  if (!values.empty()) std::cout << "\n";
  for (const std::u16string& sub : SubKeys(key.get())) {
    std::cout << machine::ToUtf8(name.Shown() + u"\\" + sub) << "\n";
  }
}

// ---- reg add --------------------------------------------------------------------

DWORD TypeFromName(const std::string& name) {
  for (DWORD type :
       {REG_SZ, REG_MULTI_SZ, REG_EXPAND_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE}) {
    if (Lower(TypeName(type)) == Lower(name)) return type;
  }
  Usage("add", "unknown type " + name);
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

uint64_t Number(const std::string& text, uint64_t max) {
  try {
    size_t used = 0;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (text.empty() || text[0] == '-' || text[0] == '+') throw std::invalid_argument(text);
    uint64_t value = std::stoull(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    if (used != text.size() - (hex ? 2 : 0) || value > max) throw std::out_of_range(text);
    return value;
  } catch (const std::logic_error&) {
    Usage("add", "specify a valid numeric value for /d");
  }
}

std::vector<uint8_t> HexBytes(const std::string& text) {
  if (text.size() % 2 != 0 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    Usage("add", "binary data is pairs of hex digits");
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::vector<uint8_t> MultiString(const std::string& data, const std::string& separator) {
  std::u16string text = machine::FromUtf8(data);
  std::u16string sep = machine::FromUtf8(separator);
  std::u16string joined;
  size_t start = 0;
  while (!text.empty()) {
    size_t end = sep.empty() ? std::u16string::npos : text.find(sep, start);
    joined += text.substr(start, end == std::u16string::npos ? end : end - start);
    joined.push_back(0);
    if (end == std::u16string::npos) break;
    start = end + sep.size();
  }
  joined.push_back(0);
  return Utf16Bytes(joined);
}

std::vector<uint8_t> EncodeData(DWORD type, const Arguments& a) {
  std::string data = a.Value("d");
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return Utf16Bytes(machine::FromUtf8(data) + u'\0');
    case REG_MULTI_SZ:
      return MultiString(data, a.Has("s") ? a.Value("s") : "\\0");
    case REG_DWORD: {
      uint64_t number = data.empty() ? 0 : Number(data, 0xFFFFFFFFu);
      std::vector<uint8_t> bytes(4);
      for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(number >> (8 * i));
      return bytes;
    }
    case REG_QWORD: {
      uint64_t number = data.empty() ? 0 : Number(data, UINT64_MAX);
      std::vector<uint8_t> bytes(8);
      for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(number >> (8 * i));
      return bytes;
    }
    default:
      return HexBytes(data);
  }
}

void Add(const std::vector<std::string>& args) {
  Arguments a = Parse("add", args,
                      {{"v", true},
                       {"ve", false},
                       {"t", true},
                       {"s", true},
                       {"d", true},
                       {"f", false},
                       {"reg:64", false}});
  if (a.positional.size() != 1) Usage("add", "give one key name");
  if (a.Has("v") && a.Has("ve")) Usage("add", "/v and /ve exclude each other");
  DWORD type = a.Has("t") ? TypeFromName(a.Value("t")) : REG_SZ;
  std::vector<uint8_t> data = EncodeData(type, a);
  quaver_machine::UseMachine();
  KeyName name = ParseKeyName(a.positional[0]);
  HKEY key = nullptr;
  if (LSTATUS status = RegCreateKeyExW(name.root, name.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                       nullptr, &key, nullptr)) {
    FailRegistry(status);
  }
  std::unique_ptr<HKEY__, LSTATUS (*)(HKEY)> closer(key, RegCloseKey);
  if (a.Has("v") || a.Has("ve")) {
    std::u16string valueName = machine::FromUtf8(a.Value("v"));
    DWORD size = 0;
    bool exists =
        RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    std::string shown = valueName.empty() ? "(Default)" : a.Value("v");
    if (exists && !a.Has("f") && !Confirm("Value " + shown + " exists, overwrite(Yes/No)?")) {
      throw ToolFailure("The operation was canceled by the user.");
    }
    if (LSTATUS status = RegSetValueExW(key, valueName.c_str(), 0, type, data.data(),
                                        static_cast<DWORD>(data.size()))) {
      FailRegistry(status);
    }
  }
  std::cout << kDone << "\n";
}

// ---- reg delete -----------------------------------------------------------------

void DeleteTree(HKEY parent, const std::u16string& path) {
  {
    OpenKey key(parent, path, KEY_ALL_ACCESS);
    for (const std::u16string& sub : SubKeys(key.get())) DeleteTree(key.get(), sub);
  }
  if (LSTATUS status = RegDeleteKeyW(parent, path.c_str())) FailRegistry(status);
}

void Delete(const std::vector<std::string>& args) {
  Arguments a = Parse("delete", args,
                      {{"v", true}, {"ve", false}, {"va", false}, {"f", false}, {"reg:64", false}});
  if (a.positional.size() != 1) Usage("delete", "give one key name");
  if (a.Has("v") + a.Has("ve") + a.Has("va") > 1) Usage("delete", "give one of /v, /ve and /va");
  quaver_machine::UseMachine();
  KeyName name = ParseKeyName(a.positional[0]);
  OpenKey key(name.root, name.path, KEY_ALL_ACCESS);
  auto cancelled = [] { throw ToolFailure("The operation was canceled by the user."); };
  if (a.Has("v") || a.Has("ve")) {
    std::string shown = a.Has("ve") ? "(Default)" : a.Value("v");
    if (!a.Has("f") && !Confirm("Delete the registry value " + shown + " (Yes/No)?")) cancelled();
    std::u16string valueName = machine::FromUtf8(a.Value("v"));
    if (LSTATUS status = RegDeleteValueW(key.get(), valueName.c_str())) FailRegistry(status);
  } else if (a.Has("va")) {
    if (!a.Has("f") && !Confirm("Delete all values under the registry key " +
                                machine::ToUtf8(name.Shown()) + " (Yes/No)?")) {
      cancelled();
    }
    for (const Value& value : Values(key.get())) {
      if (LSTATUS status = RegDeleteValueW(key.get(), value.name.c_str())) FailRegistry(status);
    }
  } else {
    if (name.path.empty()) Fail("Invalid key name: a root key cannot be deleted.");
    // The keys directly below HKEY_LOCAL_MACHINE cannot be deleted; refusing
    // before the subtree is emptied keeps their content.
    if (name.root == HKEY_LOCAL_MACHINE && name.path.find(u'\\') == std::u16string::npos) {
      Fail("Access is denied.");
    }
    if (!a.Has("f") && !Confirm("Permanently delete the registry key " +
                                machine::ToUtf8(name.Shown()) + " (Yes/No)?")) {
      cancelled();
    }
    DeleteTree(name.root, name.path);
  }
  std::cout << kDone << "\n";
}

// ---- reg export / import ------------------------------------------------------

void Export(const std::vector<std::string>& args) {
  Arguments a = Parse("export", args, {{"y", false}, {"reg:64", false}});
  if (a.positional.size() != 2) Usage("export", "give a key name and a file name");
  quaver_machine::UseMachine();
  std::u16string text;
  if (!machine::registry::ExportKeyText(machine::FromUtf8(a.positional[0]), u"\r\n", text)) {
    Fail(kNotFound);
  }
  const std::string& file = a.positional[1];
  if (!a.Has("y") && std::ifstream(file) &&
      !Confirm("File " + file + " already exists. Overwrite (Yes/No)?")) {
    throw ToolFailure("The operation was canceled by the user.");
  }
  std::string bytes = machine::registry::EncodeUtf16File(text);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) Fail("Cannot write " + file + ".");
  std::cout << kDone << "\n";
}

void Import(const std::vector<std::string>& args) {
  Arguments a = Parse("import", args, {{"reg:64", false}});
  if (a.positional.size() != 1) Usage("import", "give one file name");
  quaver_machine::UseMachine();
  const std::string& file = a.positional[0];
  // A folder, FIFO or device is no file to import: reading one would fail
  // late, wait or never end.
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(file, ec)) in.open(file, std::ios::binary);
  if (!in.is_open()) Fail("Error opening the file. There may be a disk or file system error.");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  machine::registry::ImportRegFile(bytes.str(), file);
  std::cout << kDone << "\n";
}

// ---- registration -------------------------------------------------------------

constexpr const char* kUsage =
    "reg query KEY [/v NAME | /ve] [/s]\n"
    "reg query KEY /f PATTERN [/k | /d] [/e] [/c] [/s]\n"
    "reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "reg export KEY FILE [/y]\n"
    "reg import FILE\n"
    "KEY is ROOT\\SubKey with ROOT one of HKLM, HKCU, HKCR, HKU (or their full names);\n"
    "TYPE is REG_SZ (default), REG_MULTI_SZ, REG_EXPAND_SZ, REG_DWORD, REG_QWORD, REG_BINARY or\n"
    "REG_NONE; FILE is a file of this computer, exported as UTF-16 like the Windows editor's.";

// The usage lines of one operation, and what every operation's shares.
std::string OperationUsage(const std::string& operation) {
  std::istringstream lines(kUsage);
  std::string usage, line;
  while (std::getline(lines, line)) {
    if (line.rfind("reg ", 0) != 0 || line.rfind("reg " + operation + " ", 0) == 0) {
      usage += line + "\n";
    }
  }
  return usage;
}

void Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    throw ToolFailure("ERROR: Invalid syntax.\nType \"REG /?\" for usage.", ToolFailure::kUsage);
  }
  if (quaver_machine::IsHelpWord(args[0])) {
    std::cout << kUsage << "\n";
    return;
  }
  static const struct {
    const char* name;
    void (*run)(const std::vector<std::string>&);
  } operations[] = {
      {"query", Query}, {"add", Add}, {"delete", Delete}, {"export", Export}, {"import", Import}};
  std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const auto& operation : operations) {
    if (Lower(args[0]) != operation.name) continue;
    if (std::any_of(rest.begin(), rest.end(), quaver_machine::IsHelpWord)) {
      std::cout << OperationUsage(operation.name);
      return;
    }
    return operation.run(rest);
  }
  throw ToolFailure(
      "ERROR: Invalid syntax: unknown operation " + args[0] + ".\nType \"REG /?\" for usage.",
      ToolFailure::kUsage);
}

void AddRegistryCommands(CLI::App& app) {
  CLI::App* reg =
      app.add_subcommand("reg", "Query and change the image's registry, as reg.exe does");
  reg->footer(kUsage);
  reg->prefix_command();
  reg->fallthrough(false);  // everything after "reg" is its own
  reg->callback([reg] { Run(reg->remaining()); });
}

const bool registered = quaver_machine::RegisterCommands("reg", AddRegistryCommands);

}  // namespace
