#include "platform/apphost/ConfigDocument.h"

#include <algorithm>
#include <map>

#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/XmlText.h"

namespace apphost {

namespace {

// No parse_escapes and no end-of-line conversion: the tree holds the text
// exactly as the file has it (see XmlText.h).
constexpr unsigned kParseOptions = pugi::parse_declaration | pugi::parse_comments |
                                   pugi::parse_ws_pcdata | pugi::parse_pi | pugi::parse_cdata |
                                   pugi::parse_doctype;
constexpr char kBom[] = "\xEF\xBB\xBF";

std::vector<std::string> SplitSectionName(std::string_view sectionName) {
  std::vector<std::string> names;
  size_t start = 0;
  while (true) {
    const size_t slash = sectionName.find('/', start);
    names.emplace_back(sectionName.substr(start, slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return names;
}

size_t Count(const std::string& text, std::string_view what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

bool IsLocationTag(pugi::xml_node node) { return std::string_view(node.name()) == "location"; }

}  // namespace

ConfigDocument::ConfigDocument() : layout_(style_) {}

bool ConfigDocument::Parse(const std::string& text, std::string& error) {
  machine::XmlFault fault;
  if (Parse(text, fault)) return true;
  error = "line " + std::to_string(fault.line) + ": " + fault.description;
  return false;
}

bool ConfigDocument::Parse(const std::string& text, machine::XmlFault& fault) {
  const bool bom = text.compare(0, 3, kBom) == 0;
  const std::string body = bom ? text.substr(3) : text;
  if (!machine::LoadXml(doc_, body, kParseOptions, fault)) return false;
  const auto root = Root();
  if (std::string_view(root.name()) != "configuration") {
    fault.line = machine::LineAt(body, static_cast<size_t>(root.offset_debug()));
    fault.description = "The root element is not <configuration>";
    fault.wellFormed = true;
    return false;
  }
  // The text around the root element is kept as it was read: pugixml drops
  // the line breaks between top-level nodes.
  const size_t start = static_cast<size_t>(root.offset_debug()) - 1;
  size_t end = body.rfind("</configuration");
  end = end == std::string::npos ? body.find("/>", start) + 2 : body.find('>', end) + 1;
  prefix_ = (bom ? std::string(kBom) : std::string()) + body.substr(0, start);
  suffix_ = body.substr(end);
  DetectStyle(body.substr(start, end - start));
  source_ = body;
  originals_.clear();
  originalAttributes_.clear();
  // One start tag per element: sized once, the table is never rehashed
  // while a large file is read.
  originals_.reserve(static_cast<size_t>(std::count(body.begin(), body.end(), '<')));
  RecordOriginals(body, root);
  ReadDeclarations();
  ForgetIndex();
  return true;
}

void ConfigDocument::RecordOriginals(const std::string& body, pugi::xml_node node) {
  const size_t start = static_cast<size_t>(node.offset_debug()) - 1;
  char quote = 0;
  size_t end = start;
  for (; end < body.size(); ++end) {
    const char c = body[end];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      break;
    }
  }
  if (end < body.size()) {
    OriginalTag original;
    original.start = start;
    original.length = end - start + 1;
    original.selfClosing = body[end - 1] == '/';
    original.attributesStart = originalAttributes_.size();
    for (auto attribute : node.attributes()) {
      originalAttributes_.append(attribute.name()).push_back('\0');
      originalAttributes_.append(attribute.value()).push_back('\0');
    }
    original.attributesLength = originalAttributes_.size() - original.attributesStart;
    originals_[node.internal_object()] = std::move(original);
  }
  for (auto child : node.children()) {
    if (child.type() == pugi::node_element) RecordOriginals(body, child);
  }
}

void ConfigDocument::DetectStyle(const std::string& text) {
  emptyClose_ = Count(text, "\"/>") > Count(text, "\" />") ? "/>" : " />";
  style_.pretty = text.find('\n') != std::string::npos;
  style_.newline = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  style_.indentUnit = "    ";
  for (auto child = Root().first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element || !XmlLayout::IsBlank(child.previous_sibling()))
      continue;
    const std::string space = child.previous_sibling().value();
    const size_t lineBreak = space.find_last_of('\n');
    if (lineBreak != std::string::npos && lineBreak + 1 < space.size()) {
      style_.indentUnit = space.substr(lineBreak + 1);
    }
    break;
  }
}

std::string ConfigDocument::Serialize() const {
  std::string out = prefix_;
  Write(out, Root());
  out += suffix_;
  return out;
}

bool ConfigDocument::Unchanged(pugi::xml_node node, const OriginalTag& original) const {
  const std::string_view tag = StartTag(original);
  const size_t nameEnd = tag.find_first_of(" \t\r\n/>", 1);
  if (tag.substr(1, nameEnd - 1) != node.name()) return false;
  std::string_view rest = std::string_view(originalAttributes_)
                              .substr(original.attributesStart, original.attributesLength);
  // Takes the next name or value read; false when there is none left.
  const auto next = [&rest](std::string_view& text) {
    if (rest.empty()) return false;
    const size_t end = rest.find('\0');
    text = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
  };
  for (auto attribute : node.attributes()) {
    std::string_view name;
    std::string_view value;
    if (!next(name) || !next(value) || name != attribute.name() || value != attribute.value()) {
      return false;
    }
  }
  return rest.empty();
}

void ConfigDocument::Write(std::string& out, pugi::xml_node node) const {
  switch (node.type()) {
    case pugi::node_element:
      WriteElement(out, node);
      break;
    case pugi::node_pcdata:
      out += node.value();
      break;
    case pugi::node_cdata:
      out += std::string("<![CDATA[") + node.value() + "]]>";
      break;
    case pugi::node_comment:
      out += std::string("<!--") + node.value() + "-->";
      break;
    case pugi::node_pi:
      out += std::string("<?") + node.name() + (*node.value() ? " " : "") + node.value() + "?>";
      break;
    default:
      break;
  }
}

void ConfigDocument::WriteElement(std::string& out, pugi::xml_node node) const {
  const bool hasChildren = static_cast<bool>(node.first_child());
  const auto found = originals_.find(node.internal_object());
  const OriginalTag* original = found == originals_.end() ? nullptr : &found->second;
  if (original && Unchanged(node, *original)) {
    if (original->selfClosing && !hasChildren) {
      out += StartTag(*original);
      return;
    }
    std::string tag(StartTag(*original));
    if (original->selfClosing) {
      tag.erase(tag.find_last_not_of(" \t\r\n", tag.size() - 3) + 1);
      tag += '>';
    }
    out += tag;
  } else {
    out += '<';
    out += node.name();
    for (auto attribute : node.attributes()) {
      std::string value = attribute.value();
      for (size_t at = value.find('"'); at != std::string::npos; at = value.find('"', at)) {
        value.replace(at, 1, "&quot;");
      }
      out += std::string(" ") + attribute.name() + "=\"" + value + "\"";
    }
    if (!hasChildren && (!original || original->selfClosing)) {
      out += emptyClose_;
      return;
    }
    out += '>';
  }
  for (auto child : node.children()) Write(out, child);
  out += std::string("</") + node.name() + ">";
}

void ConfigDocument::ReadDeclarations() {
  declared_.clear();
  for (auto sections : Root().children("configSections")) ReadDeclarations(sections, "");
}

void ConfigDocument::ReadDeclarations(pugi::xml_node group, const std::string& prefix) {
  for (auto child : group.children()) {
    const std::string_view tag = child.name();
    const std::string name = prefix + AttributeText(child, "name");
    if (tag == "section") declared_.insert(name);
    if (tag == "sectionGroup") ReadDeclarations(child, name + "/");
  }
}

bool ConfigDocument::IsDeclared(std::string_view sectionName) const {
  return declared_.find(sectionName) != declared_.end();
}

const ConfigDocument::LocationIndex& ConfigDocument::Index() const {
  if (index_) return *index_;
  auto index = std::make_unique<LocationIndex>();
  index->paths.push_back("");
  index->pathByKey.emplace(u"", "");
  for (auto child : Root().children()) {
    if (child.type() != pugi::node_element) continue;
    if (!IsLocationTag(child)) {
      index->serverLevel.push_back({child, ""});
      continue;
    }
    Scope scope{child, NormalizeLocation(AttributeText(child, "path"))};
    const std::u16string key = LocationKey(scope.location);
    if (index->pathByKey.emplace(key, scope.location).second) {
      index->paths.push_back(scope.location);
    }
    if (key.empty()) index->serverLevel.push_back(scope);
    index->tagsByKey[key].push_back(std::move(scope));
  }
  index_ = std::move(index);
  return *index_;
}

void ConfigDocument::Unindex(pugi::xml_node rootChild) {
  if (!index_ || rootChild.parent() != Root()) return;
  const auto drop = [&](std::vector<Scope>& scopes) {
    scopes.erase(std::remove_if(scopes.begin(), scopes.end(),
                                [&](const Scope& scope) { return scope.node == rootChild; }),
                 scopes.end());
  };
  drop(index_->serverLevel);
  if (!IsLocationTag(rootChild)) return;
  const std::u16string key = LocationKey(AttributeText(rootChild, "path"));
  const auto tags = index_->tagsByKey.find(key);
  if (tags == index_->tagsByKey.end()) return;
  drop(tags->second);
  if (!tags->second.empty() || key.empty()) return;
  index_->tagsByKey.erase(tags);
  const auto path = index_->pathByKey.find(key);
  auto& paths = index_->paths;
  paths.erase(std::find(paths.begin(), paths.end(), path->second));
  index_->pathByKey.erase(path);
}

void ConfigDocument::RemoveLocationTags(std::string_view location) {
  for (auto tag : LocationTags(location)) {
    Unindex(tag);
    XmlLayout::Remove(tag);
  }
}

void ConfigDocument::CollectDefinitions(pugi::xml_node node, const std::vector<std::string>& names,
                                        size_t level, std::vector<pugi::xml_node>& found) {
  if (level + 1 == names.size()) {
    found.push_back(node);
    return;
  }
  for (auto child : node.children(names[level + 1].c_str())) {
    CollectDefinitions(child, names, level + 1, found);
  }
}

namespace {

// The locations of the applications of every website; a website's root
// application is the website itself.
std::vector<std::string> ApplicationLocations(pugi::xml_node root) {
  std::vector<std::string> locations;
  const auto sites = root.child("system.applicationHost").child("sites");
  for (auto site : sites.children("site")) {
    const std::string name = AttributeText(site, "name");
    for (auto application : site.children("application")) {
      locations.push_back(NormalizeLocation(name + "/" + AttributeText(application, "path")));
    }
  }
  return locations;
}

// A location tag with inheritInChildApplications="false" reaches its own
// application and the folders in it, but no application below it.
bool ReachesAcrossApplications(pugi::xml_node tag, const std::string& scope,
                               std::string_view location, pugi::xml_node root) {
  if (!EqualNoCaseUtf8(AttributeText(tag, "inheritInChildApplications"), "false")) return true;
  for (const auto& application : ApplicationLocations(root)) {
    if (LocationDepth(application) > LocationDepth(scope) && AppliesTo(scope, application) &&
        AppliesTo(application, location)) {
      return false;
    }
  }
  return true;
}

}  // namespace

// Shallowest level first: the server level (its sections and the tags of
// "" in file order), then the tags of each ancestor of `location` in turn.
std::vector<SectionDefinition> ConfigDocument::DefinitionsFor(std::string_view sectionName,
                                                              std::string_view location) const {
  const auto names = SplitSectionName(sectionName);
  const LocationIndex& index = Index();
  std::vector<SectionDefinition> definitions;
  const auto collect = [&](const Scope& scope) {
    std::vector<pugi::xml_node> found;
    if (IsLocationTag(scope.node)) {
      if (!ReachesAcrossApplications(scope.node, scope.location, location, Root())) return;
      for (auto group : scope.node.children(names[0].c_str())) {
        CollectDefinitions(group, names, 0, found);
      }
    } else if (names[0] == scope.node.name()) {
      CollectDefinitions(scope.node, names, 0, found);
    }
    for (auto node : found) definitions.push_back({node, scope.location});
  };
  for (const Scope& scope : index.serverLevel) collect(scope);
  std::string ancestor;
  for (const auto& segment : PathSegments(NormalizeLocation(location))) {
    ancestor += (ancestor.empty() ? "" : "/") + segment;
    const auto tags = index.tagsByKey.find(LocationKey(ancestor));
    if (tags == index.tagsByKey.end()) continue;
    for (const Scope& scope : tags->second) collect(scope);
  }
  return definitions;
}

std::vector<SectionDefinition> ConfigDocument::DefinitionsAt(std::string_view sectionName,
                                                             std::string_view location) const {
  auto definitions = DefinitionsFor(sectionName, location);
  definitions.erase(std::remove_if(definitions.begin(), definitions.end(),
                                   [&](const SectionDefinition& definition) {
                                     return !SameLocation(definition.location, location);
                                   }),
                    definitions.end());
  return definitions;
}

pugi::xml_node ConfigDocument::ScopeFor(std::string_view location, bool create) {
  if (NormalizeLocation(location).empty()) return Root();
  return LocationTag(location, create);
}

pugi::xml_node ConfigDocument::LocationTag(std::string_view location, bool create) {
  const std::string normal = NormalizeLocation(location);
  const auto existing = LocationTags(normal);
  if (!existing.empty()) return existing.front();
  if (!create || normal.empty()) return {};
  auto tag = layout_.InsertElement(Root(), {}, "location");
  SetAttributeText(tag, "path", normal);
  bool last = true;  // a tag after every other one keeps the index in file order
  for (auto next = tag.next_sibling(); next && last; next = next.next_sibling()) {
    last = next.type() != pugi::node_element;
  }
  if (index_ && last) {
    const std::u16string key = LocationKey(normal);
    index_->pathByKey.emplace(key, normal);
    index_->paths.push_back(normal);
    index_->tagsByKey[key].push_back({tag, normal});
  } else {
    ForgetIndex();
  }
  return tag;
}

std::vector<pugi::xml_node> ConfigDocument::LocationTags(std::string_view location) const {
  std::vector<pugi::xml_node> tags;
  const LocationIndex& index = Index();
  const auto found = index.tagsByKey.find(LocationKey(location));
  if (found != index.tagsByKey.end()) {
    for (const Scope& scope : found->second) tags.push_back(scope.node);
  }
  return tags;
}

pugi::xml_node ConfigDocument::OwnDefinition(std::string_view sectionName,
                                             std::string_view location, bool create) {
  const auto existing = DefinitionsAt(sectionName, location);
  if (!existing.empty()) return existing.front().node;
  if (!create) return {};
  auto parent = ScopeFor(location, true);
  const auto names = SplitSectionName(sectionName);
  for (size_t level = 0; level < names.size(); ++level) {
    const bool section = level + 1 == names.size();
    auto child = section ? pugi::xml_node() : parent.child(names[level].c_str());
    if (!child) {
      // Server-level settings go before the location tags, as IIS keeps them.
      const auto before = parent == Root() ? Root().child("location") : pugi::xml_node();
      child = layout_.InsertElement(parent, before, names[level].c_str());
      if (parent == Root()) ForgetIndex();
    }
    parent = child;
  }
  return parent;
}

const std::vector<std::string>& ConfigDocument::LocationPaths() const { return Index().paths; }

const std::string* ConfigDocument::FindLocationPath(std::string_view location) const {
  const LocationIndex& index = Index();
  const auto found = index.pathByKey.find(LocationKey(location));
  return found == index.pathByKey.end() ? nullptr : &found->second;
}

std::vector<std::string> ConfigDocument::SectionsAt(std::string_view location) const {
  std::vector<std::pair<pugi::xml_node, std::string>> found;
  for (const auto& name : declared_) {
    const auto definitions = DefinitionsAt(name, location);
    if (!definitions.empty()) found.emplace_back(definitions.front().node, name);
  }
  // File order: number the elements in document order once.
  std::map<pugi::xml_node_struct*, size_t> order;
  size_t next = 0;
  std::vector<pugi::xml_node> pending{Root()};
  while (!pending.empty()) {
    const auto node = pending.back();
    pending.pop_back();
    order[node.internal_object()] = next++;
    std::vector<pugi::xml_node> children;
    for (auto child : node.children()) children.push_back(child);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  std::sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
    return order[a.first.internal_object()] < order[b.first.internal_object()];
  });
  std::vector<std::string> names;
  for (auto& entry : found) names.push_back(std::move(entry.second));
  return names;
}

bool ConfigDocument::IsScaffolding(pugi::xml_node node) const {
  if (node.type() != pugi::node_element || node == Root() || XmlLayout::HasContent(node)) {
    return false;
  }
  for (auto attribute : node.attributes()) {
    const std::string_view name = attribute.name();
    const bool locationTag = IsLocationTag(node) && node.parent() == Root();
    if (!locationTag) return false;
    if (name != "path" && name != "overrideMode" && name != "inheritInChildApplications") {
      return false;
    }
  }
  return true;
}

void ConfigDocument::PruneEmpty(pugi::xml_node node) {
  while (node && IsScaffolding(node)) {
    const auto parent = node.parent();
    Unindex(node);
    XmlLayout::Remove(node);
    node = parent;
  }
}

void ConfigDocument::RemoveAndPrune(pugi::xml_node node) {
  const auto parent = node.parent();
  Unindex(node);
  XmlLayout::Remove(node);
  PruneEmpty(parent);
}

}  // namespace apphost
