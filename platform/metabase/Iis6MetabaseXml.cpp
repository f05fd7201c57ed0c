// Reading IIS 6's MetaBase.xml. pugixml checks the document and decodes
// the values; the raw text of every piece is cut out of the file by offset
// so that the writer can put back what did not change.
#include "platform/metabase/Iis6MetabaseXml.h"

#include <pugixml.hpp>

#include "platform/machine.h"
#include "platform/metabase/MetabaseLayout.h"
#include "platform/metabase/MetabaseNames.h"
#include "platform/text.h"
#include "platform/text/XmlDocument.h"

namespace metabase {
namespace {

// No end-of-line or whitespace conversion in attribute values: multi-string
// values are lines.
constexpr unsigned kParseOptions = pugi::parse_escapes | pugi::parse_cdata;
constexpr char kBom[] = "\xEF\xBB\xBF";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<std::u16string> Lines(std::string_view text) {
  std::vector<std::u16string> lines;
  if (text.empty()) return lines;
  while (true) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Lines after the first are indented for the reader's eye.
    if (!lines.empty()) {
      while (!line.empty() && line.front() == '\t') line.remove_prefix(1);
    }
    lines.push_back(machine::FromUtf8(line));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool ParseBoolean(std::string_view text, DWORD& value) {
  if (machine::EqualNoCase(machine::FromUtf8(text), u"TRUE")) {
    value = 1;
  } else if (machine::EqualNoCase(machine::FromUtf8(text), u"FALSE")) {
    value = 0;
  } else {
    return ParseFlags(0, text, value);
  }
  return true;
}

bool ParseValue(DWORD id, DWORD dataType, ValueForm form, std::string_view text,
                std::vector<uint8_t>& data) {
  switch (dataType) {
    case DWORD_METADATA: {
      DWORD value = 0;
      const bool ok =
          form == ValueForm::Boolean ? ParseBoolean(text, value) : ParseFlags(id, text, value);
      data = EncodeDword(value);
      return ok;
    }
    case MULTISZ_METADATA:
      data = EncodeMultiString(Lines(text));
      return true;
    case BINARY_METADATA:
      return ParseHex(text, data);
    default:
      data = EncodeString(machine::FromUtf8(text));
      return true;
  }
}

// The offsets of one start tag's pieces.
struct StartTag {
  struct Attribute {
    size_t leadStart, nameStart, valueStart, end;  // valueStart: after the opening quote
    char quote;
  };
  std::vector<Attribute> attributes;
  size_t closeStart = 0;
  size_t end = 0;  // after '>'
  bool selfClosing = false;
};

class Reader {
 public:
  Reader(const std::string& body, const std::string& file) : body_(body), file_(file) {}

  std::unique_ptr<Key> Read(pugi::xml_node properties, const std::string& bom);

 private:
  // Names the file and the line of the element being read.
  [[noreturn]] void Fail(const std::string& what) const {
    throw machine::MachineError(file_ + ", line " + std::to_string(machine::LineAt(body_, at_)) +
                                ": " + what);
  }
  static size_t Start(pugi::xml_node node) { return static_cast<size_t>(node.offset_debug()) - 1; }
  StartTag ScanStartTag(size_t at) const;
  size_t ElementEnd(pugi::xml_node node) const;
  Key& Place(Key& root, const std::string& location);
  void ReadAttributes(pugi::xml_node node, const StartTag& tag, Key& key, KeyLayout& layout);
  size_t ReadBody(pugi::xml_node node, size_t from, Key& key, KeyLayout& layout);
  Property ReadCustom(pugi::xml_node node, const std::string& where) const;
  void AddProperty(Key& key, const Property& property, const std::string& where) const;
  size_t ReadKey(pugi::xml_node node, Key& root);

  const std::string& body_;
  const std::string& file_;
  size_t at_ = 0;  // where the element being read starts
  std::vector<std::pair<Key*, std::shared_ptr<KeyLayout>>> layouts_;
};

StartTag Reader::ScanStartTag(size_t at) const {
  StartTag tag;
  size_t i = at + 1;
  while (i < body_.size() && !IsSpace(body_[i]) && body_[i] != '/' && body_[i] != '>') ++i;
  while (i < body_.size()) {
    const size_t lead = i;
    while (i < body_.size() && IsSpace(body_[i])) ++i;
    if (body_.compare(i, 1, ">") == 0 || body_.compare(i, 2, "/>") == 0) {
      tag.closeStart = lead;
      tag.selfClosing = body_[i] == '/';
      tag.end = i + (tag.selfClosing ? 2 : 1);
      return tag;
    }
    StartTag::Attribute attribute{lead, i, 0, 0, '"'};
    i = body_.find('=', i);
    if (i == std::string::npos) break;
    i = body_.find_first_of("\"'", i);
    if (i == std::string::npos) break;
    attribute.quote = body_[i];
    attribute.valueStart = i + 1;
    i = body_.find(attribute.quote, i + 1);
    if (i == std::string::npos) break;
    attribute.end = ++i;
    tag.attributes.push_back(attribute);
  }
  Fail("an unfinished start tag at byte " + std::to_string(at));
}

size_t Reader::ElementEnd(pugi::xml_node node) const {
  const StartTag tag = ScanStartTag(Start(node));
  if (tag.selfClosing) return tag.end;
  // Elements here hold no element of their own name.
  const size_t closing = body_.find(std::string("</") + node.name(), tag.end);
  const size_t end = closing == std::string::npos ? closing : body_.find('>', closing);
  if (end == std::string::npos) Fail(std::string("an unclosed <") + node.name() + ">");
  return end + 1;
}

// The key at the location, with the keys on the way made as the file
// implies them.
Key& Reader::Place(Key& root, const std::string& location) {
  Key* key = &root;
  const auto pieces = SplitPath(machine::FromUtf8(location));
  if (pieces.size() > kMaxKeyDepth) {
    Fail("key " + location + " is nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  }
  for (const auto& piece : pieces) {
    if (piece.size() >= METADATA_MAX_NAME_LEN) Fail("a key name too long: " + location);
    Key* next = key->FindChild(piece);
    if (next == nullptr) {
      next = &key->AddChild(piece);
      auto implied = std::make_shared<KeyLayout>();
      implied->implicit = true;
      next->SetLayout(implied);
    }
    key = next;
  }
  const KeyLayout* layout = key->Layout();
  if (key != &root && (layout == nullptr || !layout->implicit)) Fail("key " + location + " twice");
  return *key;
}

void Reader::AddProperty(Key& key, const Property& property, const std::string& where) const {
  if (key.FindProperty(property.id) != nullptr) {
    Fail(where + ": property " + std::to_string(property.id) + " twice");
  }
  key.SetProperty(property);
}

void Reader::ReadAttributes(pugi::xml_node node, const StartTag& tag, Key& key, KeyLayout& layout) {
  size_t index = 0;
  for (pugi::xml_attribute attribute : node.attributes()) {
    if (index >= tag.attributes.size()) Fail("attributes of " + layout.location);
    const StartTag::Attribute& at = tag.attributes[index++];
    LayoutItem item;
    item.lead = body_.substr(at.leadStart, at.nameStart - at.leadStart);
    item.raw = body_.substr(at.nameStart, at.end - at.nameStart);
    item.valuePrefix = body_.substr(at.nameStart, at.valueStart - at.nameStart);
    item.quote = at.quote;
    item.name = attribute.name();
    const NamedProperty* named = NamedPropertyCalled(item.name);
    if (item.name == "Location") {
      item.kind = LayoutItem::Kind::Location;
    } else if (named != nullptr && named->id != MD_KEY_TYPE) {
      item.kind = LayoutItem::Kind::Named;
      Property& property = item.read;
      property.id = named->id;
      property.dataType = named->dataType;
      property.userType = named->userType;
      property.attributes = named->attributes;
      if (!ParseValue(named->id, named->dataType, named->form, attribute.value(), property.data)) {
        Fail(layout.location + ": " + item.name + ": cannot read \"" + attribute.value() + "\"");
      }
      AddProperty(key, property, layout.location);
    }
    layout.attributes.push_back(std::move(item));
  }
  layout.close = body_.substr(tag.closeStart, tag.end - tag.closeStart);
  layout.selfClosing = tag.selfClosing;
}

Property Reader::ReadCustom(pugi::xml_node node, const std::string& where) const {
  Property property;
  const std::string id = node.attribute("ID").value();
  bool ok = ParseFlags(0, id, property.id);
  ok = ok && ParseCustomType(node.attribute("Type").value(), property.dataType);
  ok = ok && ParseCustomUserType(node.attribute("UserType").as_string("0"), property.userType);
  ok = ok && ParseCustomAttributes(node.attribute("Attributes").as_string("NO_ATTRIBUTES"),
                                   property.attributes);
  ok = ok && ParseValue(property.id, property.dataType, ValueForm::Number,
                        node.attribute("Value").value(), property.data);
  if (!ok) Fail(where + ": custom property \"" + id + "\" cannot be read");
  return property;
}

// Reads the element's children; returns the offset after its closing tag.
size_t Reader::ReadBody(pugi::xml_node node, size_t from, Key& key, KeyLayout& layout) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    LayoutItem item;
    const size_t start = Start(child);
    at_ = start;
    const size_t end = ElementEnd(child);
    item.lead = body_.substr(from, start - from);
    item.raw = body_.substr(start, end - start);
    item.name = child.name();
    if (item.name == "Custom") {
      item.kind = LayoutItem::Kind::Custom;
      item.read = ReadCustom(child, layout.location);
      item.name = child.attribute("Name").value();
      AddProperty(key, item.read, layout.location);
    }
    layout.body.push_back(std::move(item));
    from = end;
  }
  const size_t closing = body_.find("</", from);
  const size_t end = closing == std::string::npos ? closing : body_.find('>', closing);
  if (end == std::string::npos) Fail("an unclosed key " + layout.location);
  layout.tail = body_.substr(from, closing - from);
  layout.closing = body_.substr(closing, end + 1 - closing);
  return end + 1;
}

// Reads the key element at `node`; returns the offset after it.
size_t Reader::ReadKey(pugi::xml_node node, Key& root) {
  at_ = Start(node);
  auto layout = std::make_shared<KeyLayout>();
  layout->location = node.attribute("Location").value();
  Key& key = Place(root, layout->location);
  layout->tag = node.name();
  // The tag is the key type: a name that is no UTF-8 could not be written
  // back as the same key type.
  if (machine::ToUtf8(machine::FromUtf8(layout->tag)) != layout->tag) {
    Fail("the element name of key " + layout->location + " is not UTF-8 text");
  }
  if (!IsPlainTagName(machine::FromUtf8(layout->tag))) {
    Fail("the element name of key " + layout->location + " is no key type name");
  }
  if (layout->tag != "IIsConfigObject" && layout->tag != "IIS_ROOT") {
    Property& keyType = layout->keyTypeRead;
    keyType.id = MD_KEY_TYPE;
    keyType.userType = IIS_MD_UT_SERVER;
    keyType.data = EncodeString(machine::FromUtf8(layout->tag));
    layout->hadKeyType = true;
    key.SetProperty(keyType);
  }
  const StartTag tag = ScanStartTag(Start(node));
  ReadAttributes(node, tag, key, *layout);
  const size_t end = tag.selfClosing ? tag.end : ReadBody(node, tag.end, key, *layout);
  key.SetLayout(layout);
  layouts_.emplace_back(&key, layout);
  return end;
}

std::unique_ptr<Key> Reader::Read(pugi::xml_node properties, const std::string& bom) {
  auto root = std::make_unique<Key>(u"");
  auto rootLayout = std::make_shared<KeyLayout>();
  rootLayout->implicit = true;
  root->SetLayout(rootLayout);
  at_ = Start(properties);
  const size_t contentEnd = body_.rfind("</MBProperty");
  if (contentEnd == std::string::npos) Fail("no closing </MBProperty>");
  std::vector<pugi::xml_node> keys;
  for (pugi::xml_node child : properties.children()) {
    if (child.type() == pugi::node_element &&
        std::string_view(child.attribute("Location").value()).substr(0, 1) == "/") {
      keys.push_back(child);
    }
  }
  size_t from = keys.empty() ? contentEnd : Start(keys.front());
  std::string head = bom + body_.substr(0, from);
  for (size_t i = 0; i < keys.size(); ++i) {
    const size_t end = ReadKey(keys[i], *root);
    const size_t next = i + 1 < keys.size() ? Start(keys[i + 1]) : contentEnd;
    layouts_.back().second->after = body_.substr(end, next - end);
  }
  // The root's own element, if the file has one, keeps its layout; the
  // text around the keys goes with it either way.
  auto layout = std::make_shared<KeyLayout>(*root->Layout());
  layout->documentHead = std::move(head);
  layout->documentTail = body_.substr(contentEnd);
  layout->newline = body_.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  root->SetLayout(layout);
  return root;
}

}  // namespace

std::unique_ptr<Key> ParseIis6Metabase(const std::string& text, const std::string& nameForErrors) {
  const bool bom = text.compare(0, 3, kBom) == 0;
  const std::string body = bom ? text.substr(3) : text;
  pugi::xml_document document;
  machine::XmlFault fault;
  if (!machine::LoadXml(document, body, kParseOptions, fault)) {
    throw machine::MachineError(nameForErrors + ", line " + std::to_string(fault.line) + ": " +
                                fault.description);
  }
  const pugi::xml_node configuration = document.document_element();
  if (std::string_view(configuration.name()) != "configuration") return nullptr;
  const pugi::xml_node properties = configuration.child("MBProperty");
  if (!properties) {
    throw machine::MachineError(
        nameForErrors + ", line " +
        std::to_string(machine::LineAt(body, static_cast<size_t>(configuration.offset_debug()))) +
        ": no <MBProperty> element");
  }
  return Reader(body, nameForErrors).Read(properties, bom ? kBom : "");
}

}  // namespace metabase
