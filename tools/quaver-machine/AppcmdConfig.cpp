#include "tools/quaver-machine/AppcmdConfig.h"

#include <vector>

#include "platform/apphost/XmlText.h"
#include "tools/quaver-machine/Tool.h"

namespace quaver_machine {
namespace {

// An element as appcmd prints it: the attributes set, then the collection's
// entries, then the child elements that hold anything. Empty when the
// element holds nothing and `always` is false.
std::string Render(IAppHostElement* element, const std::string& indent, bool always) {
  std::string attributes;
  for (const std::string& name : AppHostReader::AttributeNames(element)) {
    if (AppHostReader::IsSet(element, name)) {
      attributes +=
          " " + name + "=\"" + apphost::EncodeAttribute(AppHostReader::Text(element, name)) + "\"";
    }
  }
  if (AppHostReader::Locked(element)) attributes += " lockItem=\"true\"";
  std::string inner;
  for (const auto& entry : AppHostReader::Entries(element)) {
    inner += Render(entry.get(), indent + "  ", true);
  }
  for (const auto& child : AppHostReader::Children(element)) {
    inner += Render(child.get(), indent + "  ", false);
  }
  if (!always && attributes.empty() && inner.empty()) return {};
  const std::string name = AppHostReader::Name(element);
  if (inner.empty()) return indent + "<" + name + attributes + " />\n";
  return indent + "<" + name + attributes + ">\n" + inner + indent + "</" + name + ">\n";
}

std::vector<std::string> Split(const std::string& sectionName) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t slash = sectionName.find('/'); slash != std::string::npos;
       slash = sectionName.find('/', start)) {
    parts.push_back(sectionName.substr(start, slash - start));
    start = slash + 1;
  }
  parts.push_back(sectionName.substr(start));
  return parts;
}

// Section groups opened around the sections printed one after another.
class GroupPrinter {
 public:
  explicit GroupPrinter(std::ostream& out) : out_(out) {}
  ~GroupPrinter() { CloseTo(0); }
  GroupPrinter(const GroupPrinter&) = delete;
  GroupPrinter& operator=(const GroupPrinter&) = delete;

  void Print(const std::string& sectionName, const std::string& body) {
    const auto parts = Split(sectionName);
    const std::vector<std::string> groups(parts.begin(), parts.end() - 1);
    size_t common = 0;
    while (common < open_.size() && common < groups.size() && open_[common] == groups[common]) {
      ++common;
    }
    CloseTo(common);
    for (size_t i = common; i < groups.size(); ++i) {
      out_ << std::string(2 * i, ' ') << "<" << groups[i] << ">\n";
      open_.push_back(groups[i]);
    }
    out_ << body;
  }

  size_t Depth() const { return open_.size(); }

 private:
  void CloseTo(size_t depth) {
    while (open_.size() > depth) {
      out_ << std::string(2 * (open_.size() - 1), ' ') << "</" << open_.back() << ">\n";
      open_.pop_back();
    }
  }

  std::ostream& out_;
  std::vector<std::string> open_;
};

std::string FullSectionName(const std::vector<std::string>& declared, const std::string& name) {
  std::string found;
  for (const std::string& candidate : declared) {
    if (candidate == name) return candidate;
    const bool endsWith =
        candidate.size() > name.size() &&
        candidate.compare(candidate.size() - name.size(), name.size(), name) == 0 &&
        candidate[candidate.size() - name.size() - 1] == '/';
    if (!endsWith) continue;
    if (!found.empty()) {
      throw ToolFailure("ERROR ( message:The section name \"" + name + "\" is ambiguous. )");
    }
    found = candidate;
  }
  if (found.empty()) {
    throw ToolFailure("ERROR ( message:Cannot find SECTION object with identifier \"" + name +
                      "\". )");
  }
  return found;
}

}  // namespace

void PrintConfig(const AppHostReader& reader, const std::string& location,
                 const std::string& section, std::ostream& out) {
  const auto declared = AppHostReader::DeclaredSections();
  std::vector<std::string> names;
  if (!section.empty()) {
    names.push_back(FullSectionName(declared, section));
  } else {
    names = declared;
  }
  GroupPrinter groups(out);
  for (const std::string& name : names) {
    const auto element = reader.Section(name, location);
    if (!element) continue;
    const size_t depth = Split(name).size() - 1;
    const std::string body = Render(element.get(), std::string(2 * depth, ' '), !section.empty());
    if (!body.empty()) groups.Print(name, body);
  }
}

}  // namespace quaver_machine
