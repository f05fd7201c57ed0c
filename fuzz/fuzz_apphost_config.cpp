// The applicationHost.config reader: the file loaded, its locations listed
// and one section read at each of them, as the configuration objects read
// it; then the document written back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/apphost/ConfigDocument.h"
#include "platform/apphost/XmlText.h"

namespace {

// Every attribute of the element and its children, decoded.
size_t ReadAll(pugi::xml_node node) {
  size_t total = 0;
  for (auto attribute : node.attributes()) total += apphost::AttributeText(attribute).size();
  for (auto child : node.children()) total += ReadAll(child);
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  apphost::ConfigDocument document;
  std::string error;
  if (!document.Parse(text, error)) return 0;
  size_t total = 0;
  for (const std::string& location : document.LocationPaths()) {
    for (const std::string& name : document.SectionsAt(location)) total += name.size();
    for (const auto& definition :
         document.DefinitionsFor("system.applicationHost/sites", location)) {
      total += ReadAll(definition.node);
    }
  }
  total += document.Serialize().size();
  // libFuzzer keeps only 0 and -1 as results; the sum keeps the reads alive.
  return total == static_cast<size_t>(-1) ? -1 : 0;
}
