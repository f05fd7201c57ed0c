// Writing IIS 6's MetaBase.xml. A key read from a file is written from the
// pieces it was read in: a piece whose property is unchanged goes back as
// it stood, a changed one is rewritten in place, a new property takes its
// place in name order the way IIS sorts them. New keys are written the way
// IIS 6 writes them.
#include <algorithm>

#include "platform/apphost/XmlText.h"
#include "platform/metabase/Iis6MetabaseXml.h"
#include "platform/metabase/MetabaseLayout.h"
#include "platform/metabase/MetabaseNames.h"
#include "platform/text.h"

namespace metabase {

bool IsPlainTagName(std::u16string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
    if (!letter && (i == 0 || !((c >= u'0' && c <= u'9') || c == u'.' || c == u'-'))) {
      return false;
    }
  }
  return true;
}

namespace {

constexpr char kDefaultHead[] =
    "\xEF\xBB\xBF<?xml version =\"1.0\"?>\n"
    "<configuration xmlns=\"urn:microsoft-catalog:XML_Metabase_V64_0\">\n"
    "<MBProperty>\n";
constexpr char kDefaultTail[] = "</MBProperty>\n</configuration>\n";

std::string Encode(std::u16string_view text) {
  return apphost::EncodeAttribute(machine::ToUtf8(text));
}

// A tag IIS could have written: the key type when it is a plain name.
bool IsTagName(const std::u16string& text) {
  return IsPlainTagName(text) && text != u"Custom" && text != u"IIS_Global";
}

// The key type property when it is written as the element's name.
const Property* TagKeyType(const Key& key) {
  const Property* keyType = key.FindProperty(MD_KEY_TYPE);
  if (keyType == nullptr || keyType->dataType != STRING_METADATA ||
      keyType->userType != IIS_MD_UT_SERVER || keyType->attributes != 0 ||
      !IsTagName(DecodeString(keyType->data))) {
    return nullptr;
  }
  return keyType;
}

std::string TagOf(const Key& key, bool root) {
  if (const Property* keyType = TagKeyType(key))
    return machine::ToUtf8(DecodeString(keyType->data));
  return root ? "IIS_ROOT" : "IIsConfigObject";
}

std::string CustomName(DWORD id) {
  const std::string_view name = PropertyName(id);
  return name.empty() ? "UnknownName_" + std::to_string(id) : std::string(name);
}

const NamedProperty* AttributeForm(const Property& property) {
  const NamedProperty* named = NamedPropertyOf(property.id);
  if (named == nullptr || named->id == MD_KEY_TYPE ||
      !FitsNamedForm(*named, property.dataType, property.userType, property.attributes)) {
    return nullptr;
  }
  return named;
}

class Writer {
 public:
  explicit Writer(std::string newline) : nl_(std::move(newline)) {}

  void WriteKey(const Key& key, const std::string& path);
  std::string Take() { return std::move(out_); }
  std::string& Out() { return out_; }

 private:
  // A property not written by any piece the key was read with.
  struct Pending {
    std::string name;
    const Property* property;
    bool operator<(const Pending& other) const { return name < other.name; }
  };

  std::string ValueText(const Property& property, ValueForm form) const;
  std::string CustomText(const Property& property) const;
  std::string AttributeText(const std::string& name, const Property& property,
                            ValueForm form) const {
    return nl_ + "\t\t" + name + "=\"" + ValueText(property, form) + "\"";
  }
  void Fresh(const Key& key, const std::string& path);
  void Kept(const Key& key, const std::string& path, const KeyLayout& layout);
  bool KeepItem(const Key& key, const LayoutItem& item, std::string& text) const;
  void Split(const Key& key, const std::vector<DWORD>& written, std::vector<Pending>& attributes,
             std::vector<Pending>& customs) const;

  std::string nl_;
  std::string out_;
};

std::string Writer::ValueText(const Property& property, ValueForm form) const {
  switch (property.dataType) {
    case DWORD_METADATA: {
      const DWORD value = DecodeDword(property.data);
      if (form == ValueForm::Boolean && value <= 1) return value == 1 ? "TRUE" : "FALSE";
      const std::string flags = form == ValueForm::Flags ? FlagsText(property.id, value) : "";
      return flags.empty() ? std::to_string(value) : flags;
    }
    case MULTISZ_METADATA: {
      std::string text;
      for (const auto& line : DecodeMultiString(property.data)) {
        if (!text.empty()) text += nl_ + "\t\t\t";
        text += Encode(line);
      }
      return text;
    }
    case BINARY_METADATA:
      return HexText(property.data);
    default:
      return Encode(DecodeString(property.data));
  }
}

std::string Writer::CustomText(const Property& property) const {
  const std::string indent = nl_ + "\t\t";
  return "<Custom" + indent + "Name=\"" + CustomName(property.id) + "\"" + indent + "ID=\"" +
         std::to_string(property.id) + "\"" + indent + "Value=\"" +
         ValueText(property, ValueForm::Number) + "\"" + indent + "Type=\"" +
         CustomTypeText(property.dataType) + "\"" + indent + "UserType=\"" +
         CustomUserTypeText(property.userType) + "\"" + indent + "Attributes=\"" +
         CustomAttributesText(property.attributes) + "\"" + nl_ + "\t/>";
}

// The properties left to write once the pieces in `written` are, by form.
void Writer::Split(const Key& key, const std::vector<DWORD>& written,
                   std::vector<Pending>& attributes, std::vector<Pending>& customs) const {
  const Property* tagKeyType = TagKeyType(key);
  for (const Property& property : key.Properties()) {
    if (&property == tagKeyType ||
        std::find(written.begin(), written.end(), property.id) != written.end()) {
      continue;
    }
    if (const NamedProperty* named = AttributeForm(property)) {
      attributes.push_back({named->name, &property});
    } else {
      customs.push_back({CustomName(property.id), &property});
    }
  }
  std::sort(attributes.begin(), attributes.end());
  std::sort(customs.begin(), customs.end());
}

void Writer::Fresh(const Key& key, const std::string& path) {
  const std::string tag = TagOf(key, path == "/");
  std::vector<Pending> attributes;
  std::vector<Pending> customs;
  Split(key, {}, attributes, customs);
  out_ += "<" + tag + "\tLocation =\"" + apphost::EncodeAttribute(path) + "\"";
  for (const Pending& pending : attributes) {
    out_ += AttributeText(pending.name, *pending.property, AttributeForm(*pending.property)->form);
  }
  out_ += nl_ + "\t>";
  for (const Pending& pending : customs) out_ += nl_ + "\t" + CustomText(*pending.property);
  out_ += nl_ + "</" + tag + ">" + nl_;
}

// The text of a piece as it is now; false when its property is gone or no
// longer fits the piece's form.
bool Writer::KeepItem(const Key& key, const LayoutItem& item, std::string& text) const {
  const Property* now = key.FindProperty(item.read.id);
  if (now == nullptr || now == TagKeyType(key)) return false;
  if (*now == item.read) {
    text = item.lead + item.raw;
    return true;
  }
  if (item.kind == LayoutItem::Kind::Custom) {
    text = item.lead + CustomText(*now);
    return true;
  }
  const NamedProperty* named = AttributeForm(*now);
  if (named == nullptr) return false;
  text = item.lead + item.valuePrefix + ValueText(*now, named->form) + item.quote;
  return true;
}

void Writer::Kept(const Key& key, const std::string& path, const KeyLayout& layout) {
  const Property* keyType = key.FindProperty(MD_KEY_TYPE);
  const bool sameType =
      keyType == nullptr ? !layout.hadKeyType : layout.hadKeyType && *keyType == layout.keyTypeRead;
  const std::string tag = sameType ? layout.tag : TagOf(key, path == "/");
  // Which pieces stay, and so which properties are left over.
  std::vector<DWORD> written;
  std::vector<std::string> attributeTexts;
  std::vector<std::string> bodyTexts;
  for (const auto* items : {&layout.attributes, &layout.body}) {
    auto& texts = items == &layout.attributes ? attributeTexts : bodyTexts;
    for (const LayoutItem& item : *items) {
      std::string text;
      if (item.kind == LayoutItem::Kind::Location) {
        const bool moved =
            machine::ToUtf8(JoinPath(SplitPath(machine::FromUtf8(layout.location)))) != path;
        text = moved ? item.lead + item.valuePrefix + apphost::EncodeAttribute(path) + item.quote
                     : item.lead + item.raw;
      } else if (item.kind == LayoutItem::Kind::Opaque) {
        text = item.lead + item.raw;
      } else if (KeepItem(key, item, text)) {
        written.push_back(item.read.id);
      }
      texts.push_back(std::move(text));
    }
  }
  std::vector<Pending> attributes;
  std::vector<Pending> customs;
  Split(key, written, attributes, customs);

  out_ += "<" + tag;
  auto nextAttribute = attributes.begin();
  for (size_t i = 0; i < layout.attributes.size(); ++i) {
    const LayoutItem& item = layout.attributes[i];
    for (; item.kind != LayoutItem::Kind::Location && nextAttribute != attributes.end() &&
           nextAttribute->name < item.name;
         ++nextAttribute) {
      out_ += AttributeText(nextAttribute->name, *nextAttribute->property,
                            AttributeForm(*nextAttribute->property)->form);
    }
    out_ += attributeTexts[i];
  }
  for (; nextAttribute != attributes.end(); ++nextAttribute) {
    out_ += AttributeText(nextAttribute->name, *nextAttribute->property,
                          AttributeForm(*nextAttribute->property)->form);
  }
  if (layout.selfClosing) {
    if (customs.empty()) {
      out_ += layout.close + layout.after;
      return;
    }
    out_ += nl_ + "\t>";
  } else {
    out_ += layout.close;
  }
  auto nextCustom = customs.begin();
  for (size_t i = 0; i < layout.body.size(); ++i) {
    const LayoutItem& item = layout.body[i];
    for (; item.kind == LayoutItem::Kind::Custom && nextCustom != customs.end() &&
           nextCustom->name < item.name;
         ++nextCustom) {
      out_ += nl_ + "\t" + CustomText(*nextCustom->property);
    }
    out_ += bodyTexts[i];
  }
  for (; nextCustom != customs.end(); ++nextCustom) {
    out_ += nl_ + "\t" + CustomText(*nextCustom->property);
  }
  if (layout.selfClosing) {
    out_ += nl_ + "</" + tag + ">";
  } else {
    out_ += layout.tail + (tag == layout.tag ? layout.closing : "</" + tag + ">");
  }
  out_ += layout.after;
}

void Writer::WriteKey(const Key& key, const std::string& path) {
  const KeyLayout* layout = key.Layout();
  if (layout == nullptr) {
    Fresh(key, path);
  } else if (!layout->implicit) {
    Kept(key, path, *layout);
  } else if (!key.Properties().empty()) {
    // A key the file only implied gets an element once it holds something.
    Fresh(key, path);
  }
  for (const auto& child : key.Children()) {
    WriteKey(*child, (path == "/" ? "" : path) + "/" + machine::ToUtf8(child->Name()));
  }
}

}  // namespace

std::string SerializeIis6Metabase(const Key& root) {
  const KeyLayout* layout = root.Layout();
  const bool read = layout != nullptr && !layout->documentTail.empty();
  Writer writer(read ? layout->newline : "\n");
  writer.Out() = read ? layout->documentHead : kDefaultHead;
  writer.WriteKey(root, "/");
  writer.Out() += read ? layout->documentTail : kDefaultTail;
  return writer.Take();
}

}  // namespace metabase
