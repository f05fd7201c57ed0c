// The text of an applicationHost.config file as a tree: which sections the
// file declares, where each section is set (at the server level or in
// <location path="..."> tags), and the edits the configuration system
// makes, written back so that everything an edit did not touch keeps its
// bytes: the text around the root element, comments, unknown sections,
// attribute order and indentation.
#pragma once

#include <memory>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/apphost/XmlLayout.h"
#include "platform/text/XmlDocument.h"

namespace apphost {

struct SectionDefinition {
  pugi::xml_node node;   // the section element
  std::string location;  // normalised location path, "" for the server level
};

class ConfigDocument {
 public:
  ConfigDocument();
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;

  // False with "line N: what" for text that is not well-formed XML, nests
  // elements deeper than machine::kXmlNestingBound or whose root element is
  // not <configuration>.
  bool Parse(const std::string& text, std::string& error);
  bool Parse(const std::string& text, machine::XmlFault& fault);
  std::string Serialize() const;

  pugi::xml_node Root() const { return doc_.document_element(); }
  const XmlLayout& Layout() const { return layout_; }

  // Full names of the sections <configSections> declares ("group/name").
  const std::set<std::string, std::less<>>& DeclaredSections() const { return declared_; }
  bool IsDeclared(std::string_view sectionName) const;

  // The section's definitions that apply at `location`, shallowest level
  // first and in file order within a level: the order in which IIS lays
  // them over one another.
  std::vector<SectionDefinition> DefinitionsFor(std::string_view sectionName,
                                                std::string_view location) const;
  // The definitions at exactly `location`.
  std::vector<SectionDefinition> DefinitionsAt(std::string_view sectionName,
                                               std::string_view location) const;
  // The first definition at exactly `location`; with `create`, a missing one
  // is added together with its location tag and section groups.
  pugi::xml_node OwnDefinition(std::string_view sectionName, std::string_view location,
                               bool create);

  // "" (the server level) first, then every location path once, in file order.
  const std::vector<std::string>& LocationPaths() const;
  // The path of LocationPaths that names the same location; null for none.
  const std::string* FindLocationPath(std::string_view location) const;
  // Names of the declared sections set at exactly `location`, in file order.
  std::vector<std::string> SectionsAt(std::string_view location) const;
  // The first <location> tag of the path, added at the end of the file when
  // there is none. Not for the server level.
  pugi::xml_node LocationTag(std::string_view location, bool create);
  // Every <location> tag of the path.
  std::vector<pugi::xml_node> LocationTags(std::string_view location) const;

  // Removes the element and then every section, group or location tag above
  // it that the removal left empty, so that undoing an addition leaves the
  // file as it was. Stops at the first element that still holds anything.
  void RemoveAndPrune(pugi::xml_node node);
  // Prunes `node` and the scaffolding above it when they hold nothing.
  void PruneEmpty(pugi::xml_node node);
  // Removes every <location> tag of the path.
  void RemoveLocationTags(std::string_view location);

 private:
  struct Scope {
    pugi::xml_node node;  // <configuration> or a <location> tag
    std::string location;
  };
  // The location tags by LocationKey, worked out once per version of the
  // tree so that lookups do not walk every tag.
  // Kept up to date by the document's own changes of the root's children,
  // the only ones that move location tags or server-level sections.
  struct LocationIndex {
    std::vector<std::string> paths;  // LocationPaths
    std::unordered_map<std::u16string, std::string> pathByKey;
    std::unordered_map<std::u16string, std::vector<Scope>> tagsByKey;  // in file order
    std::vector<Scope> serverLevel;  // the root's other children and tags of ""
  };
  const LocationIndex& Index() const;
  void ForgetIndex() { index_.reset(); }
  // Takes a child of the root out of the index before it is removed.
  void Unindex(pugi::xml_node rootChild);
  static void CollectDefinitions(pugi::xml_node parent, const std::vector<std::string>& names,
                                 size_t level, std::vector<pugi::xml_node>& found);
  void ReadDeclarations();
  void ReadDeclarations(pugi::xml_node group, const std::string& prefix);
  void DetectStyle(const std::string& text);
  pugi::xml_node ScopeFor(std::string_view location, bool create);
  bool IsScaffolding(pugi::xml_node node) const;

  // How an element's start tag was written, so that an element whose
  // attributes did not change is written back exactly so.
  // Offsets only, since a server's file holds hundreds of thousands of
  // elements.
  struct OriginalTag {
    size_t start = 0;  // "<name ... >" or "<name ... />" in source_
    size_t length = 0;
    size_t attributesStart = 0;  // the attributes as read, in originalAttributes_
    size_t attributesLength = 0;
    bool selfClosing = false;
  };
  std::string_view StartTag(const OriginalTag& original) const {
    return std::string_view(source_).substr(original.start, original.length);
  }
  void RecordOriginals(const std::string& body, pugi::xml_node node);
  void Write(std::string& out, pugi::xml_node node) const;
  void WriteElement(std::string& out, pugi::xml_node node) const;
  bool Unchanged(pugi::xml_node node, const OriginalTag& original) const;

  pugi::xml_document doc_;
  std::string source_;              // the file as read, without its byte order mark
  std::string originalAttributes_;  // name '\0' value '\0' for each attribute
  std::string prefix_;              // text before the root element, byte for byte
  std::string suffix_;              // text after it
  std::string emptyClose_ = " />";  // how the file closes empty elements
  std::unordered_map<const pugi::xml_node_struct*, OriginalTag> originals_;
  XmlStyle style_;
  XmlLayout layout_;
  std::set<std::string, std::less<>> declared_;
  mutable std::unique_ptr<LocationIndex> index_;
};

}  // namespace apphost
