#include "platform/registry/RegFileText.h"

#include <cstdio>

#include "platform/machine.h"
#include "platform/text.h"
#include "platform/text/Utf.h"

namespace machine::registry {

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// ---- Decoding the file ------------------------------------------------------

struct Source {
  std::u16string text;
  bool ansi = false;
};

// A hand-edited file with bytes that are not UTF-8 is refused: replacing
// them would change names and data the next time the hive is written.
// No sequence holds a line feed, so each line decodes on its own.
void DecodeUtf8Lines(std::string_view bytes, const std::string& file, std::u16string& text) {
  for (int line = 1;; ++line) {
    size_t end = bytes.find('\n');
    std::string_view part = bytes.substr(0, end == std::string_view::npos ? end : end + 1);
    if (!text::DecodeUtf8(part, text)) {
      throw MachineError(file + ":" + std::to_string(line) +
                         ": not UTF-8 text (save the file as UTF-8 or UTF-16)");
    }
    if (end == std::string_view::npos) return;
    bytes.remove_prefix(end + 1);
  }
}

Source Decode(std::string_view bytes, const std::string& file) {
  Source source;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    if (bytes.size() % 2 != 0)
      throw MachineError(file + ": UTF-16 text with an odd number of bytes");
    for (size_t i = 2; i < bytes.size(); i += 2) {
      source.text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                                  (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return source;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.substr(0, 8) == "REGEDIT4") {
    source.ansi = true;
    source.text = text::DecodeAnsi(bytes);
  } else {
    DecodeUtf8Lines(bytes, file, source.text);
  }
  return source;
}

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// True when the line ends in a backslash that is not inside a quoted string:
// the continuation mark of long hex data. `quoted` carries the state from the
// parts of the logical line before this one, so each part is read once.
bool ContinuesOnNextLine(std::u16string_view line, bool& quoted) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == u'\\') {
      ++i;
    } else if (line[i] == u'"') {
      quoted = !quoted;
    }
  }
  line = Trim(line);
  return !quoted && !line.empty() && line.back() == u'\\';
}

// ---- Parsing ----------------------------------------------------------------

class ParseError {
 public:
  explicit ParseError(std::string message) : message(std::move(message)) {}
  std::string message;
};

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The code unit of a lone surrogate's escape: the four hex digits at `pos`,
// which advances past them. Only surrogates are written so; anything else
// is refused rather than guessed at.
char16_t ReadSurrogateEscape(std::u16string_view text, size_t& pos) {
  uint32_t unit = 0;
  for (size_t end = pos + 4; pos < end; ++pos) {
    int digit = pos < text.size() ? HexDigit(text[pos]) : -1;
    if (digit < 0) throw ParseError("\\u needs four hex digits");
    unit = unit * 16 + static_cast<uint32_t>(digit);
  }
  if (unit < 0xD800 || unit > 0xDFFF) throw ParseError("\\u only stands for a lone surrogate");
  return static_cast<char16_t>(unit);
}

// Reads a quoted text starting after its opening quote; `pos` ends after the
// closing quote.
std::u16string ReadQuoted(std::u16string_view line, size_t& pos) {
  std::u16string result;
  while (pos < line.size()) {
    char16_t c = line[pos++];
    if (c == u'"') return result;
    if (c != u'\\') {
      result.push_back(c);
      continue;
    }
    if (pos >= line.size()) break;
    char16_t escaped = line[pos++];
    switch (escaped) {
      case u'\\':
        result.push_back(u'\\');
        break;
      case u'"':
        result.push_back(u'"');
        break;
      case u'n':
        result.push_back(u'\n');
        break;
      case u'r':
        result.push_back(u'\r');
        break;
      case u'u':
        result.push_back(ReadSurrogateEscape(line, pos));
        break;
      default:
        throw ParseError("unknown escape \\" + ToUtf8(std::u16string(1, escaped)) +
                         " (write a backslash as \\\\)");
    }
  }
  throw ParseError("missing closing quote");
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view text, bool terminate) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminate) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

bool ParseHexNumber(std::u16string_view digits, size_t maxDigits, uint32_t& value) {
  if (digits.empty() || digits.size() > maxDigits) return false;
  value = 0;
  for (char16_t c : digits) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

std::vector<uint8_t> ParseHexBytes(std::u16string_view list) {
  std::vector<uint8_t> bytes;
  list = Trim(list);
  if (list.empty()) return bytes;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(u',', start);
    std::u16string_view item =
        Trim(list.substr(start, comma == std::u16string_view::npos ? comma : comma - start));
    uint32_t value = 0;
    if (!ParseHexNumber(item, 2, value)) {
      throw ParseError("bad hex byte \"" + ToUtf8(std::u16string(item)) + "\"");
    }
    bytes.push_back(static_cast<uint8_t>(value));
    if (comma == std::u16string_view::npos) return bytes;
    start = comma + 1;
    // Tolerates the trailing comma a continuation line can leave behind.
    if (Trim(list.substr(start)).empty()) return bytes;
  }
}

struct ParseContext {
  bool ansi = false;
};

using DataParser = void (*)(std::u16string_view rest, const ParseContext& context,
                            RegFileValue& value);

void ParseStringData(std::u16string_view rest, const ParseContext&, RegFileValue& value) {
  size_t pos = 0;
  std::u16string text = ReadQuoted(rest, pos);
  if (!Trim(rest.substr(pos)).empty()) throw ParseError("text after the closing quote");
  value.type = kRegSz;
  value.data = Utf16Bytes(text, true);
}

void ParseDwordData(std::u16string_view rest, const ParseContext&, RegFileValue& value) {
  uint32_t number = 0;
  if (!ParseHexNumber(Trim(rest), 8, number)) {
    throw ParseError("dword: needs up to 8 hex digits");
  }
  value.type = kRegDword;
  value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
}

void ParseBinaryData(std::u16string_view rest, const ParseContext&, RegFileValue& value) {
  value.type = kRegBinary;
  value.data = ParseHexBytes(rest);
}

// REGEDIT4 stored the string types as ANSI bytes.
std::vector<uint8_t> WidenAnsiBytes(const std::vector<uint8_t>& bytes) {
  std::string ansi(bytes.begin(), bytes.end());
  return Utf16Bytes(text::DecodeAnsi(ansi), false);
}

void ParseTypedHexData(std::u16string_view rest, const ParseContext& context, RegFileValue& value) {
  size_t close = rest.find(u"):");
  if (close == std::u16string_view::npos) throw ParseError("hex( needs a type and \"):\"");
  if (!ParseHexNumber(rest.substr(0, close), 8, value.type)) {
    throw ParseError("bad value type in hex(...)");
  }
  value.data = ParseHexBytes(rest.substr(close + 2));
  bool stringType = value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
  if (context.ansi && stringType) value.data = WidenAnsiBytes(value.data);
}

void ParseRemoval(std::u16string_view rest, const ParseContext&, RegFileValue& value) {
  if (!Trim(rest).empty()) throw ParseError("text after \"-\"");
  value.remove = true;
}

struct DataForm {
  std::u16string_view prefix;
  DataParser parse;
};

// The forms a value's data can take, tried in order; the prefix matches
// without regard to case.
constexpr DataForm kDataForms[] = {
    {u"\"", ParseStringData},     {u"dword:", ParseDwordData}, {u"hex:", ParseBinaryData},
    {u"hex(", ParseTypedHexData}, {u"-", ParseRemoval},
};

RegFileValue ParseValueLine(std::u16string_view line, const ParseContext& context) {
  RegFileValue value;
  size_t pos = 0;
  if (line[0] == u'@') {
    pos = 1;
  } else {
    pos = 1;
    value.name = ReadQuoted(line, pos);
    // The registry functions take names ending at the first zero: such a
    // value could be neither read nor deleted.
    if (value.name.find(u'\0') != std::u16string::npos) {
      throw ParseError("a value name cannot hold a zero character");
    }
  }
  while (pos < line.size() && IsSpace(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != u'=')
    throw ParseError("expected \"=\" after the value name");
  std::u16string_view data = Trim(line.substr(pos + 1));
  for (const DataForm& form : kDataForms) {
    if (data.size() >= form.prefix.size() &&
        EqualNoCase(data.substr(0, form.prefix.size()), form.prefix)) {
      form.parse(data.substr(form.prefix.size()), context, value);
      return value;
    }
  }
  throw ParseError("unknown value data \"" + ToUtf8(std::u16string(data)) + "\"");
}

RegFileKey ParseKeyLine(std::u16string_view line) {
  if (line.back() != u']') throw ParseError("key line without closing \"]\"");
  RegFileKey key;
  std::u16string_view path = line.substr(1, line.size() - 2);
  if (!path.empty() && path[0] == u'-') {
    key.remove = true;
    path.remove_prefix(1);
  }
  if (path.empty()) throw ParseError("empty key name");
  // A doubled separator never joins two names, so "\\u" can mark a lone
  // surrogate.
  for (size_t i = 0; i < path.size();) {
    if (path.substr(i, 3) == u"\\\\u") {
      i += 3;
      key.path.push_back(ReadSurrogateEscape(path, i));
    } else {
      key.path.push_back(path[i++]);
    }
  }
  // A key whose name holds a zero could never be opened by that name: every
  // walk of the tree would open its parent again instead.
  if (key.path.find(u'\0') != std::u16string::npos) {
    throw ParseError("a key name cannot hold a zero character");
  }
  return key;
}

class Parser {
 public:
  Parser(const std::string& file, bool ansi) : file_(file) { context_.ansi = ansi; }

  RegFile Run(const std::vector<std::u16string>& lines) {
    size_t index = ReadHeader(lines);
    while (index < lines.size()) {
      int lineNumber = static_cast<int>(index) + 1;
      std::u16string logical;
      std::u16string_view part = lines[index++];
      bool quoted = false;
      while (ContinuesOnNextLine(part, quoted) && index < lines.size()) {
        part = Trim(part);
        logical.append(part.substr(0, part.size() - 1));
        part = Trim(lines[index++]);
      }
      logical.append(part);
      Guarded(lineNumber, [&] { Line(Trim(logical), lineNumber); });
    }
    return std::move(result_);
  }

 private:
  size_t ReadHeader(const std::vector<std::u16string>& lines) {
    size_t index = 0;
    while (index < lines.size() && Trim(lines[index]).empty()) ++index;
    std::u16string_view header = index < lines.size() ? Trim(lines[index]) : u"";
    if (header == kRegFileHeader) {
      result_.version = 5;
    } else if (header == u"REGEDIT4") {
      result_.version = 4;
    } else {
      Fail(static_cast<int>(index) + 1,
           "not a registry file: the first line must be \"Windows Registry Editor Version "
           "5.00\" or \"REGEDIT4\"");
    }
    return index + 1;
  }

  void Line(std::u16string_view line, int lineNumber) {
    if (line.empty() || line[0] == u';') return;
    if (line[0] == u'[') {
      result_.keys.push_back(ParseKeyLine(line));
      result_.keys.back().line = lineNumber;
      return;
    }
    if (line[0] != u'"' && line[0] != u'@') throw ParseError("unexpected text");
    if (result_.keys.empty()) throw ParseError("value outside of a [key] section");
    if (result_.keys.back().remove) throw ParseError("value in a section that deletes its key");
    result_.keys.back().values.push_back(ParseValueLine(line, context_));
    result_.keys.back().values.back().line = lineNumber;
  }

  template <typename Body>
  void Guarded(int lineNumber, Body body) {
    try {
      body();
    } catch (const ParseError& error) {
      Fail(lineNumber, error.message);
    }
  }

  [[noreturn]] void Fail(int lineNumber, const std::string& message) {
    throw MachineError(file_ + ":" + std::to_string(lineNumber) + ": " + message);
  }

  std::string file_;
  ParseContext context_;
  RegFile result_;
};

// ---- Writing ----------------------------------------------------------------

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code unit at `i` is half of a surrogate pair missing its other half.
// The hive file is UTF-8, which cannot carry such a unit.
bool IsLoneSurrogate(std::u16string_view units, size_t i) {
  const char16_t c = units[i];
  if (IsHighSurrogate(c)) return i + 1 >= units.size() || !IsLowSurrogate(units[i + 1]);
  if (IsLowSurrogate(c)) return i == 0 || !IsHighSurrogate(units[i - 1]);
  return false;
}

// The four hex digits of a lone surrogate's escape.
std::u16string SurrogateDigits(char16_t c) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(c));
  return std::u16string(digits, digits + 4);
}

std::u16string Quote(std::u16string_view text) {
  std::u16string result = u"\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'\\':
        result += u"\\\\";
        break;
      case u'"':
        result += u"\\\"";
        break;
      case u'\n':
        result += u"\\n";
        break;
      case u'\r':
        result += u"\\r";
        break;
      default:
        if (IsLoneSurrogate(text, i)) {
          result += u"\\u" + SurrogateDigits(c);
        } else {
          result.push_back(c);
        }
    }
  }
  result.push_back(u'"');
  return result;
}

// A key path as a key line carries it: names without lone surrogates stay
// as they are.
std::u16string KeyLinePath(std::u16string_view path) {
  std::u16string result;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLoneSurrogate(path, i)) {
      result += u"\\\\u" + SurrogateDigits(path[i]);
    } else {
      result.push_back(path[i]);
    }
  }
  return result;
}

// A REG_SZ whose bytes a quoted string gives back exactly.
bool IsPlainString(const RegValue& value) {
  const auto& data = value.data;
  if (value.type != kRegSz || data.size() < 2 || data.size() % 2 != 0) return false;
  std::u16string units(data.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    bool last = i + 1 == units.size();
    if (last != (c == 0) || c == u'\r' || c == u'\n' || IsLoneSurrogate(units, i)) return false;
  }
  return true;
}

std::u16string Ascii(const char* text) {
  std::u16string result;
  for (; *text; ++text) result.push_back(static_cast<char16_t>(*text));
  return result;
}

std::u16string StringData(const RegValue& value) {
  // The last code unit is the terminating zero, which the quotes stand for.
  std::u16string text;
  size_t units = value.data.size() / 2;
  for (size_t i = 0; i + 1 < units; ++i) {
    text.push_back(static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8)));
  }
  return Quote(text);
}

std::u16string HexData(const RegValue& value, size_t column, std::u16string_view newline) {
  std::u16string result = value.type == kRegBinary ? u"hex:" : Ascii("hex(");
  if (value.type != kRegBinary) {
    char type[16];
    std::snprintf(type, sizeof type, "%x):", value.type);
    result += Ascii(type);
  }
  column += result.size();
  for (size_t i = 0; i < value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", value.data[i]);
    bool last = i + 1 == value.data.size();
    result += Ascii(byte);
    column += 2;
    if (last) break;
    result.push_back(u',');
    ++column;
    if (column > 76) {
      result += u"\\";
      result += newline;
      result += u"  ";
      column = 2;
    }
  }
  return result;
}

}  // namespace

RegFile ParseRegFile(std::string_view bytes, const std::string& fileNameForErrors) {
  Source source = Decode(bytes, fileNameForErrors);
  Parser parser(fileNameForErrors, source.ansi);
  return parser.Run(SplitLines(source.text));
}

std::u16string ValueLine(const RegValue& value, std::u16string_view newline) {
  std::u16string line = value.name.empty() ? u"@" : Quote(value.name);
  line += u"=";
  if (IsPlainString(value)) {
    line += StringData(value);
  } else if (value.type == kRegDword && value.data.size() == 4) {
    uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                      (static_cast<uint32_t>(value.data[3]) << 24);
    char text[24];
    std::snprintf(text, sizeof text, "dword:%08x", number);
    line += Ascii(text);
  } else {
    line += HexData(value, line.size(), newline);
  }
  return line;
}

std::u16string KeyLine(std::u16string_view path, bool remove) {
  return (remove ? u"[-" : u"[") + KeyLinePath(path) + u"]";
}

std::u16string ValueRemovalLine(std::u16string_view name) {
  return (name.empty() ? std::u16string(u"@") : Quote(name)) + u"=-";
}

void AppendKeyText(const RegNode& node, const std::u16string& path, std::u16string_view newline,
                   std::u16string& out) {
  if (node.Volatile()) return;
  out += KeyLine(path, false);
  out += newline;
  for (const RegValue& value : node.Values()) {
    out += ValueLine(value, newline);
    out += newline;
  }
  out += newline;
  for (const auto& child : node.Children()) {
    AppendKeyText(*child, path + u"\\" + child->Name(), newline, out);
  }
}

std::string EncodeUtf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  bytes.reserve(2 + text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

}  // namespace machine::registry
