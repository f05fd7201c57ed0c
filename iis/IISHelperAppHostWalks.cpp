// Building blocks of the application-host operations: adding or updating a
// named entry, and removing entries at one location or at every location of
// the configuration file.
#include "iis/IISHelper.h"

namespace {

uint32_t Depth(const CSPWString& location) {
  uint32_t depth = 0;
  bool inSegment = false;
  for (uint32_t i = 0; i < location.GetLength(); ++i) {
    const bool separator = location.GetAt(i) == u'/';
    if (!separator && !inSegment) ++depth;
    inSegment = !separator;
  }
  return depth;
}

VARIANT TrueVariant() {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = VARIANT_TRUE;
  return value;
}

}  // namespace

// The file's locations with the shallower ones first (file order among
// equals). A removal at a website then never meets an entry that the
// website still inherits from a level not yet visited: clearing such an
// entry would write a <remove> at the website that outlives the entry
// itself and would hide the entry from the website when it is added again.
bool IISHelper::LocationsShallowestFirst(CSPList<CSPWString>& paths) {
  CSPList<CSPWString> found;
  if (!HasConfigFile() || !GetLocationPaths(found)) return false;
  paths.RemoveAll(true);
  for (uint32_t depth = 0; paths.GetCount() < found.GetCount(); ++depth) {
    for (uint32_t i = 0; i < found.GetCount(); ++i) {
      if (Depth(found.GetAt(i)) == depth) paths.Add(found.GetAt(i));
    }
  }
  return true;
}

// Opens the section and makes the entry of that name current, found or
// newly created.
bool IISHelper::AddNamedEntry(const CSPWString& sectionName, const CSPWString& location,
                              const CSPWString& entryName) {
  if (!HasConfigPath() || !OpenSection(sectionName, location)) return false;
  return FindElement(entryName, u"add", u"name", 0) || CreateElement(entryName);
}

// The attributes are set; the lock comes last, then a new entry joins the
// collection at its end.
bool IISHelper::LockAndAppend() {
  if (!SetElementMetadata(u"lockItem", TrueVariant())) return false;
  return !newElement || AppendNewElement();
}

bool IISHelper::RemoveNamedEntry(const CSPWString& sectionName, const CSPWString& location,
                                 const CSPWString& entryName) {
  if (!HasConfigPath() || !OpenSection(sectionName, location)) return false;
  return FindElement(entryName, u"add", u"name", 0) && ClearElement();
}

bool IISHelper::RemoveNamedEntryEverywhere(const CSPWString& sectionName, const CSPWString& tag,
                                           const CSPWString& entryName) {
  CSPList<CSPWString> locations;
  if (!LocationsShallowestFirst(locations)) return false;
  for (uint32_t i = 0; i < locations.GetCount(); ++i) {
    if (!OpenSection(sectionName, locations.GetAt(i))) return false;
    if (FindElement(entryName, tag, u"name", 0)) ClearElement();
  }
  return true;
}

// Clears, in the current section, every "add" entry whose attribute has the
// value and, with `processorText`, whose script processor contains that
// text. The platform may or may not keep a cleared entry in later searches
// of the collection; the next search starts past the match only when the
// collection did not shrink, so no match is skipped and none is met twice.
bool IISHelper::ClearAllMatches(const CSPWString& value, const CSPWString& attributeName,
                                const CSPWString* processorText) {
  uint32_t ordinal = 0;
  while (FindElement(value, u"add", attributeName, ordinal)) {
    if (processorText != nullptr) {
      CSPWString processor;
      if (!GetElementPropertyString(u"scriptProcessor", processor) ||
          processor.Find(*processorText) == CSPWString::kNotFound) {
        ++ordinal;
        continue;
      }
    }
    uint32_t before = 0;
    uint32_t after = 0;
    const bool counted = GetElementCount(before);
    if (!ClearElement() || !counted || !GetElementCount(after) || after >= before) ++ordinal;
  }
  return true;
}
