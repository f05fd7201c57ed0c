#include "tools/cvsp/Manifest.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string_view>

#include "core/CSPDate.h"
#include "core/CSPDateTime.h"
#include "core/CSPTime.h"
#include "package/ByteFormat.h"
#include "platform/files/HostFileRead.h"
#include "platform/text.h"
#include "tools/cvsp/ZlibPacker.h"

namespace cvsp {
namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

const uint8_t kAllTypes[] = {VariableType::LONG,      VariableType::ULONG,   VariableType::LONGLONG,
                             VariableType::ULONGLONG, VariableType::DOUBLE,  VariableType::DATE,
                             VariableType::DATETIME,  VariableType::TIME,    VariableType::BINARY,
                             VariableType::STRING,    VariableType::WSTRING, VariableType::MAP,
                             VariableType::LIST};

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
  throw ManifestError(where + ": " + message);
}

uint8_t TypeFromName(const json& value, const std::string& where) {
  if (value.is_string()) {
    for (uint8_t type : kAllTypes) {
      if (value.get<std::string>() == VariableType::Name(type)) return type;
    }
  }
  // A structured value is named by its kind: dumping it whole could recurse
  // as deep as the manifest nests.
  Fail(where,
       "unknown type " + (value.is_structured() ? std::string(value.type_name()) : value.dump()));
}

// A type name, or for an empty list the raw code a decoded package may hold.
uint8_t ElementType(const json& value, const std::string& where) {
  if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFF) {
    return static_cast<uint8_t>(value.get<uint64_t>());
  }
  return TypeFromName(value, where);
}

// ---------------------------------------------------------------------------
// Text and bytes

// 8-bit package text: each character of the JSON text is one byte.
CSPString Latin1FromJson(const std::string& utf8, const std::string& where) {
  std::u16string wide = machine::FromUtf8(utf8);
  CSPString out;
  for (char16_t unit : wide) {
    if (unit > 0xFF) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unit));
      Fail(where, std::string("character ") + code +
                      " is not 8-bit text; give the bytes as \"hex\" instead");
    }
    char byte = static_cast<char>(unit);
    out.Append(&byte, 1);
  }
  return out;
}

std::string Hex(const unsigned char* bytes, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(static_cast<size_t>(length) * 2);
  for (uint32_t i = 0; i < length; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

CSPBuffer FromHex(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "\"hex\" must be a string of hex digits");
  const std::string& text = value.get_ref<const std::string&>();
  if (text.size() % 2 != 0) Fail(where, "\"hex\" needs an even number of digits");
  CSPBuffer out;
  out.SetSize(static_cast<uint32_t>(text.size() / 2));
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]);
    int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) Fail(where, "\"hex\" holds a character that is not a hex digit");
    out.GetData()[i / 2] = static_cast<unsigned char>(high * 16 + low);
  }
  return out;
}

// A BINARY node's file: below the manifest's folder unless the caller
// allows any path, a regular file, and no larger than a value can be.
CSPBuffer ReadBinaryFile(const std::filesystem::path& base, const std::string& file, bool anywhere,
                         const std::string& where) {
  // The name would end at the NUL when the file is opened.
  if (file.find('\0') != std::string::npos) Fail(where, "\"file\" holds a NUL character");
  std::string bytes, error;
  const bool read = anywhere
                        ? machine::files::ReadHostFile(base / file, UINT32_MAX, bytes, error)
                        : machine::files::ReadHostFileBelow(base, file, UINT32_MAX, bytes, error);
  if (!read) {
    const bool fence = !anywhere && (error == "is outside the folder" ||
                                     error.find("symbolic link") != std::string::npos);
    Fail(where,
         "\"file\" " + file + " " +
             (error == "is outside the folder" ? "is outside the manifest's folder" : error) +
             (fence ? " (--allow-outside reads it anyway)" : ""));
  }
  CSPBuffer out;
  out.Set(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return out;
}

bool IsWellFormedUtf16(const CSPWString& text) {
  const char16_t* units = text.GetString();
  for (uint32_t i = 0; i < text.GetLength(); ++i) {
    if (units[i] >= 0xD800 && units[i] <= 0xDBFF) {
      if (i + 1 >= text.GetLength() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
        return false;
      }
      ++i;
    } else if (units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Numbers, dates and times

int64_t Integer(const json& value, int64_t low, int64_t high, const std::string& where) {
  if (value.is_number_unsigned() && value.get<uint64_t>() <= static_cast<uint64_t>(high)) {
    return static_cast<int64_t>(value.get<uint64_t>());
  }
  if (value.is_number_integer() && !value.is_number_unsigned()) {
    int64_t number = value.get<int64_t>();
    if (number >= low && number <= high) return number;
  }
  Fail(where,
       "\"value\" must be an integer from " + std::to_string(low) + " to " + std::to_string(high));
}

uint64_t Unsigned64(const json& value, const std::string& where) {
  if (value.is_number_unsigned()) return value.get<uint64_t>();
  Fail(where, "\"value\" must be an integer from 0 to 18446744073709551615");
}

// Parses "%d-%d-%d" style texts exactly; returns false on anything else.
bool ScanExactly(const std::string& text, const char* format, int* a, int* b, int* c,
                 int* d = nullptr, int* e = nullptr, int* f = nullptr) {
  int consumed = -1;
  std::string withEnd = std::string(format) + "%n";
  int fields = d == nullptr
                   ? std::sscanf(text.c_str(), withEnd.c_str(), a, b, c, &consumed)
                   : std::sscanf(text.c_str(), withEnd.c_str(), a, b, c, d, e, f, &consumed);
  int wanted = d == nullptr ? 3 : 6;
  return fields == wanted && consumed == static_cast<int>(text.size());
}

CSPDate MakeDate(int year, int month, int day, const std::string& where) {
  if (year < 0 || year > 0xFFFF || month < 1 || month > 12 || day < 1 ||
      day > CSPDate::DaysInMonth(month, year)) {
    Fail(where, "not a valid date (years 0 to 65535)");
  }
  return CSPDate(day, month, year);
}

CSPTime MakeTime(int hour, int minute, int second, const std::string& where) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    Fail(where, "not a valid time of day");
  }
  return CSPTime(second, minute, hour, 0);
}

std::string TextOf(const json& value, const char* format, const std::string& where) {
  if (!value.is_string())
    Fail(where, std::string("\"value\" must be a text of the form ") + format);
  return value.get<std::string>();
}

CSPDate ReadDate(const json& value, const std::string& where) {
  int y, m, d;
  if (!ScanExactly(TextOf(value, "YYYY-MM-DD", where), "%d-%d-%d", &y, &m, &d)) {
    Fail(where, "\"value\" must be a date YYYY-MM-DD");
  }
  return MakeDate(y, m, d, where);
}

CSPTime ReadTime(const json& value, const std::string& where) {
  int h, m, s;
  if (!ScanExactly(TextOf(value, "HH:MM:SS", where), "%d:%d:%d", &h, &m, &s)) {
    Fail(where, "\"value\" must be a time HH:MM:SS");
  }
  return MakeTime(h, m, s, where);
}

CSPDateTime ReadDateTime(const json& value, const std::string& where) {
  int y, mo, d, h, mi, s;
  if (!ScanExactly(TextOf(value, "YYYY-MM-DDTHH:MM:SS", where), "%d-%d-%dT%d:%d:%d", &y, &mo, &d,
                   &h, &mi, &s)) {
    Fail(where, "\"value\" must be YYYY-MM-DDTHH:MM:SS");
  }
  // Standard time: the encoding has no daylight-saving flag to fill in.
  return CSPDateTime(MakeDate(y, mo, d, where), MakeTime(h, mi, s, where), 0);
}

std::string DateText(const CSPDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.GetYear(), date.GetMonth(),
                date.GetDay());
  return text;
}

std::string TimeText(const CSPTime& time) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.GetHour(), time.GetMinute(),
                time.GetSecond());
  return text;
}

// ---------------------------------------------------------------------------
// Reading a manifest

class Reader {
 public:
  Reader(std::filesystem::path base, bool anywhere) : base(std::move(base)), anywhere(anywhere) {}

  // `depth` counts from 0 at the root, as the package decoder does.
  void Node(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
            ComponentVariable& node);

 private:
  void Keys(const json& j, const std::string& where, std::set<std::string> allowed);
  const json& Value(const json& j, const std::string& where);
  void Scalar(const json& j, uint8_t type, const CSPString& name, const std::string& where,
              ComponentVariable& node);
  void Bytes(const json& j, uint8_t type, const CSPString& name, const std::string& where,
             ComponentVariable& node);
  void Map(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
           ComponentVariable& node);
  void List(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
            ComponentVariable& node);

  std::filesystem::path base;
  bool anywhere;
};

void Reader::Keys(const json& j, const std::string& where, std::set<std::string> allowed) {
  allowed.insert({"type", "compress"});
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (allowed.count(it.key()) == 0) Fail(where, "unexpected key \"" + it.key() + "\"");
  }
}

const json& Reader::Value(const json& j, const std::string& where) {
  if (!j.contains("value")) Fail(where, "\"value\" is missing");
  return j["value"];
}

void Reader::Node(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
                  ComponentVariable& node) {
  const bool isRoot = depth == 0;
  // The installer refuses a deeper tree, so none is built.
  if (depth > ComponentVariable::kNestingBound) {
    Fail(where, "nested deeper than " + std::to_string(ComponentVariable::kNestingBound) +
                    " levels below the root, the most a package may hold");
  }
  if (j.is_string() && !isRoot) {
    node.SetString(name, Latin1FromJson(j.get<std::string>(), where));
    return;
  }
  if (j.is_number_integer() && !isRoot) {
    if (!j.is_number_unsigned() || j.get<uint64_t>() > UINT32_MAX) {
      Fail(where, "a plain integer is a ULONG (0 to 4294967295); name the type of other numbers");
    }
    node.SetULong(name, static_cast<uint32_t>(j.get<uint64_t>()));
    return;
  }
  if (!j.is_object()) Fail(where, "a node is a text, an integer or an object with a \"type\"");
  if (!isRoot && j.contains("name")) Fail(where, "a map child is named by its key");
  if (!j.contains("type") && !isRoot) Fail(where, "\"type\" is missing");
  uint8_t type = j.contains("type") ? TypeFromName(j["type"], where) : VariableType::MAP;
  if (type == VariableType::MAP) {
    Map(j, name, where, depth, node);
  } else if (type == VariableType::LIST) {
    List(j, name, where, depth, node);
  } else if (type >= VariableType::BINARY) {
    Bytes(j, type, name, where, node);
  } else {
    Scalar(j, type, name, where, node);
  }
  if (j.contains("compress")) {
    if (!j["compress"].is_boolean()) Fail(where, "\"compress\" must be true or false");
    if (!node.SetCompressed(j["compress"].get<bool>())) {
      Fail(where, "only BINARY, STRING, WSTRING, MAP and LIST nodes can be compressed");
    }
  }
}

void Reader::Scalar(const json& j, uint8_t type, const CSPString& name, const std::string& where,
                    ComponentVariable& node) {
  Keys(j, where, {"name", "value", "bits"});
  switch (type) {
    case VariableType::LONG:
      node.SetLong(name,
                   static_cast<int32_t>(Integer(Value(j, where), INT32_MIN, INT32_MAX, where)));
      break;
    case VariableType::ULONG:
      node.SetULong(name, static_cast<uint32_t>(Integer(Value(j, where), 0, UINT32_MAX, where)));
      break;
    case VariableType::LONGLONG:
      node.SetLongLong(name, Integer(Value(j, where), INT64_MIN, INT64_MAX, where));
      break;
    case VariableType::ULONGLONG:
      node.SetULongLong(name, Unsigned64(Value(j, where), where));
      break;
    case VariableType::DOUBLE:
      if (j.contains("bits")) {
        CSPBuffer bits = FromHex(j["bits"], where);
        if (bits.GetSize() != 8) Fail(where, "\"bits\" must be 16 hex digits");
        node.SetULongLong(name, PackageBytes::GetU64(bits.GetData()));
        double value = node.GetDouble();
        node.SetDouble(name, value);
      } else if (Value(j, where).is_number()) {
        node.SetDouble(name, j["value"].get<double>());
      } else {
        Fail(where, "\"value\" must be a number");
      }
      break;
    case VariableType::DATE:
      node.SetDate(name, ReadDate(Value(j, where), where));
      break;
    case VariableType::TIME:
      node.SetTime(name, ReadTime(Value(j, where), where));
      break;
    default:
      node.SetDateTime(name, ReadDateTime(Value(j, where), where));
      break;
  }
}

void Reader::Bytes(const json& j, uint8_t type, const CSPString& name, const std::string& where,
                   ComponentVariable& node) {
  Keys(j, where, {"name", "value", "hex", "file"});
  if (type == VariableType::BINARY) {
    if (j.contains("file") == j.contains("hex")) Fail(where, "BINARY needs \"file\" or \"hex\"");
    if (j.contains("value")) Fail(where, "BINARY takes \"file\" or \"hex\", not \"value\"");
    if (j.contains("hex")) {
      node.SetBinary(name, FromHex(j["hex"], where));
    } else {
      if (!j["file"].is_string()) Fail(where, "\"file\" must be a path");
      node.SetBinary(name, ReadBinaryFile(base, j["file"].get<std::string>(), anywhere, where));
    }
    return;
  }
  if (j.contains("file")) Fail(where, "only BINARY nodes read files");
  if (j.contains("value") == j.contains("hex")) Fail(where, "give \"value\" or \"hex\"");
  if (type == VariableType::STRING) {
    if (j.contains("hex")) {
      CSPBuffer raw = FromHex(j["hex"], where);
      CSPString text;
      text.Append(reinterpret_cast<const char*>(raw.GetData()), raw.GetSize());
      node.SetString(name, text);
    } else {
      if (!j["value"].is_string()) Fail(where, "\"value\" must be a text");
      node.SetString(name, Latin1FromJson(j["value"].get<std::string>(), where));
    }
    return;
  }
  CSPWString text;
  if (j.contains("hex")) {
    CSPBuffer raw = FromHex(j["hex"], where);
    if (raw.GetSize() % 2 != 0) Fail(where, "WSTRING \"hex\" must hold whole UTF-16 units");
    for (uint32_t i = 0; i < raw.GetSize(); i += 2) {
      char16_t unit = PackageBytes::GetU16(raw.GetData() + i);
      text.Append(&unit, 1);
    }
  } else {
    if (!j["value"].is_string()) Fail(where, "\"value\" must be a text");
    std::u16string wide = machine::FromUtf8(j["value"].get<std::string>());
    text.Append(wide.data(), static_cast<uint32_t>(wide.size()));
  }
  node.SetWString(name, text);
}

void Reader::Map(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
                 ComponentVariable& node) {
  Keys(j, where, {"name", "children"});
  node.SetMap(name);
  if (!j.contains("children")) return;
  const json& children = j["children"];
  if (!children.is_object()) Fail(where, "\"children\" must be an object of named nodes");
  if (children.size() > ComponentVariable::kMaxChildren) {
    Fail(where, "a MAP holds at most 65535 children");
  }
  for (auto it = children.begin(); it != children.end(); ++it) {
    std::string childWhere = where + "/" + it.key();
    CSPString childName = Latin1FromJson(it.key(), childWhere);
    if (childName.GetLength() > ComponentVariable::kMaxNameLength) {
      Fail(childWhere, "a name is at most 255 bytes");
    }
    ComponentVariable child;
    Node(it.value(), childName, childWhere, depth + 1, child);
    if (!node.AddToMap(name, child)) Fail(where, "the MAP grows beyond 4 GiB");
  }
}

void Reader::List(const json& j, const CSPString& name, const std::string& where, uint32_t depth,
                  ComponentVariable& node) {
  Keys(j, where, {"name", "element_type", "elements"});
  const json empty = json::array();
  const json& elements = j.contains("elements") ? j["elements"] : empty;
  if (!elements.is_array()) Fail(where, "\"elements\" must be an array");
  if (elements.size() > ComponentVariable::kMaxChildren) {
    Fail(where, "a LIST holds at most 65535 elements");
  }
  if (!j.contains("element_type") && elements.empty()) {
    Fail(where, "an empty LIST needs its \"element_type\"");
  }
  bool typed = j.contains("element_type");
  uint8_t elementType = typed ? ElementType(j["element_type"], where) : 0;
  node.SetList(name, elementType);
  for (size_t i = 0; i < elements.size(); ++i) {
    std::string elementWhere = where + "[" + std::to_string(i) + "]";
    ComponentVariable element;
    Node(elements[i], CSPString(), elementWhere, depth + 1, element);
    if (!typed) {
      elementType = element.GetType();
      typed = true;
      node.SetList(name, elementType);
    }
    if (element.GetType() != elementType) {
      Fail(elementWhere, std::string("a ") + VariableType::Name(element.GetType()) +
                             " in a LIST of " + VariableType::Name(elementType));
    }
    if (!node.AddToList(name, element)) Fail(where, "the LIST grows beyond 4 GiB");
  }
}

uint32_t ReadVersion(const json& value) {
  const std::string where = "format_version";
  if (value.is_number_unsigned() && value.get<uint64_t>() <= UINT32_MAX) {
    return static_cast<uint32_t>(value.get<uint64_t>());
  }
  int major, minor, consumed = -1;
  if (value.is_string() &&
      std::sscanf(value.get<std::string>().c_str(), "%d.%d%n", &major, &minor, &consumed) == 2 &&
      consumed == static_cast<int>(value.get<std::string>().size()) && major >= 0 &&
      major <= 0xFFFF && minor >= 0 && minor <= 0xFFFF) {
    return static_cast<uint32_t>(major) << 16 | static_cast<uint32_t>(minor);
  }
  Fail(where, "must be \"major.minor\" (0-65535 each) or the 32-bit version word");
}

// ---------------------------------------------------------------------------
// Writing a manifest

class Dumper {
 public:
  explicit Dumper(const DumpOptions& options) : options(options) {}
  ojson Node(const ComponentVariable& node, bool isRoot);

 private:
  ojson Binary(const CSPBuffer& bytes);
  void Value(const ComponentVariable& node, ojson& out);

  const DumpOptions& options;
  unsigned fileCount = 0;
};

ojson Dumper::Binary(const CSPBuffer& bytes) {
  ojson out = ojson::object();
  out["type"] = "BINARY";
  if (options.dataDir.empty() || bytes.GetSize() <= options.inlineLimit) {
    out["hex"] = Hex(bytes.GetData(), bytes.GetSize());
    return out;
  }
  char fileName[32];
  std::snprintf(fileName, sizeof fileName, "%05u.bin", ++fileCount);
  std::filesystem::create_directories(options.dataDir);
  std::ofstream file(options.dataDir / fileName, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.GetData()), bytes.GetSize());
  if (!file) throw ManifestError("cannot write " + (options.dataDir / fileName).string());
  out["file"] = options.dataRef + "/" + fileName;
  return out;
}

void Dumper::Value(const ComponentVariable& node, ojson& out) {
  switch (node.GetType()) {
    case VariableType::LONG:
      out["value"] = node.GetLong();
      break;
    case VariableType::ULONG:
      out["value"] = node.GetULong();
      break;
    case VariableType::LONGLONG:
      out["value"] = node.GetLongLong();
      break;
    case VariableType::ULONGLONG:
      out["value"] = node.GetULongLong();
      break;
    case VariableType::DOUBLE:
      if (std::isfinite(node.GetDouble())) {
        out["value"] = node.GetDouble();
      } else {
        unsigned char bits[8];
        PackageBytes::PutU64(bits, node.GetULongLong());
        out["bits"] = Hex(bits, 8);
      }
      break;
    case VariableType::DATE:
      out["value"] = DateText(node.GetDate());
      break;
    case VariableType::TIME:
      out["value"] = TimeText(node.GetTime());
      break;
    case VariableType::DATETIME:
      out["value"] = DateText(node.GetDate()) + "T" + TimeText(node.GetTime());
      break;
    case VariableType::STRING:
      out["value"] = Latin1ToUtf8(node.GetText().GetString(), node.GetText().GetLength());
      break;
    case VariableType::WSTRING: {
      const CSPWString& text = node.GetWideText();
      if (IsWellFormedUtf16(text)) {
        out["value"] = machine::ToUtf8(std::u16string(text.GetString(), text.GetLength()));
      } else {
        CSPBuffer raw;
        raw.Set(text);
        out["hex"] = Hex(raw.GetData(), raw.GetSize());
      }
      break;
    }
    case VariableType::MAP: {
      ojson children = ojson::object();
      for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        const ComponentVariable& child = *node.GetChildAt(i);
        children[Latin1ToUtf8(child.GetName().GetString(), child.GetName().GetLength())] =
            Node(child, false);
      }
      out["children"] = std::move(children);
      break;
    }
    case VariableType::LIST: {
      if (const char* typeName = VariableType::Name(node.GetElementType())) {
        out["element_type"] = typeName;
      } else {
        out["element_type"] = node.GetElementType();
      }
      ojson elements = ojson::array();
      for (uint32_t i = 0; i < node.GetElementCount(); ++i) {
        elements.push_back(Node(*node.GetListElement(i), false));
      }
      out["elements"] = std::move(elements);
      break;
    }
    default:
      throw ManifestError("the tree holds a node of unknown type");
  }
}

ojson Dumper::Node(const ComponentVariable& node, bool isRoot) {
  bool plain = !isRoot && !node.IsCompressed();
  if (plain && node.GetType() == VariableType::STRING) {
    return Latin1ToUtf8(node.GetText().GetString(), node.GetText().GetLength());
  }
  if (plain && node.GetType() == VariableType::ULONG) return node.GetULong();
  ojson out = ojson::object();
  if (isRoot) out["name"] = Latin1ToUtf8(node.GetName().GetString(), node.GetName().GetLength());
  if (node.GetType() == VariableType::BINARY) {
    ojson binary = Binary(node.GetBytes());
    for (auto it = binary.begin(); it != binary.end(); ++it) out[it.key()] = it.value();
  } else {
    const char* typeName = VariableType::Name(node.GetType());
    out["type"] = typeName ? typeName : "?";
    Value(node, out);
  }
  if (node.IsCompressed()) out["compress"] = true;
  return out;
}

}  // namespace

void ReadManifest(const json& manifest, const std::filesystem::path& baseDir, PackageImage& image,
                  bool filesAnywhere) {
  if (!manifest.is_object()) Fail("manifest", "must be a JSON object");
  for (auto it = manifest.begin(); it != manifest.end(); ++it) {
    if (it.key() != "format_version" && it.key() != "root") {
      Fail("manifest", "unexpected key \"" + it.key() + "\"");
    }
  }
  image.formatVersion =
      manifest.contains("format_version") ? ReadVersion(manifest["format_version"]) : 0x20000;
  if (!manifest.contains("root")) Fail("manifest", "\"root\" is missing");
  const json& root = manifest["root"];
  if (!root.is_object()) Fail("root", "must be an object");
  std::string name = "SETUP";
  if (root.contains("name")) {
    if (!root["name"].is_string()) Fail("root", "\"name\" must be a text");
    name = root["name"].get<std::string>();
  }
  CSPString rootName = Latin1FromJson(name, "root");
  if (rootName.GetLength() > ComponentVariable::kMaxNameLength) {
    Fail("root", "a name is at most 255 bytes");
  }
  Reader(baseDir, filesAnywhere).Node(root, rootName, "root", 0, image.root);
}

void EncodePackage(const PackageImage& image, CSPBuffer& out) {
  ZlibPacker packer;
  CSPBuffer tree;
  tree.throwOnError = false;
  if (!image.root.Encode(tree, true, packer)) {
    throw ManifestError("the package tree cannot be encoded (it exceeds the format's limits)");
  }
  unsigned char frame[16];
  std::memcpy(frame, "CVSETUPPCKG:", 12);
  PackageBytes::PutU32(frame + 12, image.formatVersion);
  out.throwOnError = false;
  if (!out.SetSize(0) || !out.Append(frame, 16) || !out.Append(tree)) {
    throw ManifestError("the package does not fit in memory");
  }
}

ojson DumpManifest(uint32_t formatVersion, const ComponentVariable& root,
                   const DumpOptions& options) {
  ojson manifest = ojson::object();
  manifest["format_version"] = VersionText(formatVersion);
  manifest["root"] = Dumper(options).Node(root, true);
  return manifest;
}

std::string Latin1ToUtf8(const char* bytes, uint32_t length) {
  std::u16string wide;
  wide.reserve(length);
  for (uint32_t i = 0; i < length; ++i) wide.push_back(static_cast<unsigned char>(bytes[i]));
  return machine::ToUtf8(wide);
}

std::string Latin1ToUtf8(const CSPString& text) {
  return Latin1ToUtf8(text.GetString(), text.GetLength());
}

std::string VersionText(uint32_t formatVersion) {
  return std::to_string(formatVersion >> 16) + "." + std::to_string(formatVersion & 0xFFFF);
}

}  // namespace cvsp
