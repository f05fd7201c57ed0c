// ISAPI filters in the metabase: the filters key of IIS or of one website,
// a key per filter and the comma-separated load order.
#include "iis/IISHelper.h"

namespace {

const char16_t kW3svc[] = u"/LM/W3SVC";

// The pieces between commas: an empty text has none, a trailing comma adds
// no empty last piece, empty pieces inside are kept, nothing is trimmed.
CSPList<CSPWString> SplitLoadOrder(const CSPWString& loadOrder) {
  CSPList<CSPWString> pieces;
  uint32_t start = 0;
  while (start < loadOrder.GetLength()) {
    uint32_t comma = loadOrder.Find(u",", start);
    if (comma == CSPWString::kNotFound) comma = loadOrder.GetLength();
    pieces.Add(loadOrder.Mid(start, comma - start));
    start = comma + 1;
  }
  return pieces;
}

void Emit(CSPWString& loadOrder, uint32_t& emitted, const CSPWString& name) {
  if (emitted > 0) loadOrder += u",";
  loadOrder += name;
  ++emitted;
}

// The filter goes to index `position` of the new list, or last when that
// is beyond its end; earlier occurrences of it in any letter case go.
CSPWString InsertIntoLoadOrder(const CSPList<CSPWString>& pieces, const CSPWString& filterName,
                               uint32_t position) {
  CSPWString loadOrder;
  uint32_t emitted = 0;
  for (uint32_t i = 0; i < pieces.GetCount(); ++i) {
    if (position == emitted) Emit(loadOrder, emitted, filterName);
    if (pieces.GetAt(i).CompareNoCase(filterName) != 0) Emit(loadOrder, emitted, pieces.GetAt(i));
  }
  if (position >= emitted) Emit(loadOrder, emitted, filterName);
  return loadOrder;
}

// Removal compares exactly: only the spelling the filter was added with.
CSPWString RemoveFromLoadOrder(const CSPList<CSPWString>& pieces, const CSPWString& filterName) {
  CSPWString loadOrder;
  uint32_t emitted = 0;
  for (uint32_t i = 0; i < pieces.GetCount(); ++i) {
    if (pieces.GetAt(i) != filterName) Emit(loadOrder, emitted, pieces.GetAt(i));
  }
  return loadOrder;
}

bool EndsWithSlash(const CSPWString& path) {
  return path.GetLength() > 0 && path.GetAt(path.GetLength() - 1) == u'/';
}

bool StartsWithSlash(const CSPWString& path) {
  return path.GetLength() > 0 && path.GetAt(0) == u'/';
}

// "/LM/W3SVC/" or "/LM/W3SVC/<site>/".
CSPWString SiteBase(const CSPWString& site) {
  CSPWString base = kW3svc;
  if (site.GetLength() > 0) {
    if (!StartsWithSlash(site)) base += u"/";
    base += site;
  }
  if (!EndsWithSlash(base)) base += u"/";
  return base;
}

// Two spellings of one candidate key ("1", "/1/") count as one.
CSPWString Normalized(const CSPWString& key) {
  CSPWString normal = StartsWithSlash(key) ? key : u"/" + key;
  while (EndsWithSlash(normal) && normal.GetLength() > 1) {
    normal = normal.Mid(0, normal.GetLength() - 1);
  }
  normal.MakeUpper();
  return normal;
}

bool Contains(const CSPList<CSPWString>& keys, const CSPWString& key) {
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    if (Normalized(keys.GetAt(i)) == Normalized(key)) return true;
  }
  return false;
}

}  // namespace

bool IISHelper::AddFilter(const CSPWString& filterName, const CSPWString& filterPath,
                          uint32_t position, const CSPWString& description,
                          const CSPWString& site) {
  if (metabase == nullptr) return false;
  const CSPWString base = SiteBase(site);
  const CSPWString filters = base + u"Filters";
  if (!OpenKey(filters)) {
    if (!OpenKey(base) || !AddKey(u"Filters") || !OpenKey(filters)) return false;
    if (!SetStringData(MD_KEY_TYPE, u"IIsFilters", 0, IIS_MD_UT_SERVER, u"") ||
        !SetStringData(MD_FILTER_LOAD_ORDER, filterName, 0, IIS_MD_UT_SERVER, u"")) {
      return false;
    }
  }
  CSPWString oldOrder;
  // Without a load order to keep the attributes of, the rewrite carries no
  // attributes and the user type of every other filter property.
  uint32_t attributes = 0;
  uint32_t userType = IIS_MD_UT_SERVER;
  if (!GetStringData(MD_FILTER_LOAD_ORDER, oldOrder, attributes, userType, u"")) {
    attributes = 0;
    userType = IIS_MD_UT_SERVER;
    oldOrder.Empty();
    if (!SetStringData(MD_FILTER_LOAD_ORDER, filterName, 0, IIS_MD_UT_SERVER, u"")) {
      CloseKey();
      return false;
    }
  }
  const CSPWString newOrder = InsertIntoLoadOrder(SplitLoadOrder(oldOrder), filterName, position);
  if (!SetStringData(MD_FILTER_LOAD_ORDER, newOrder, attributes, userType, u"")) {
    CloseKey();
    return false;
  }
  DeleteKey(filterName);
  if (!AddKey(filterName)) {
    CloseKey();
    return false;
  }
  CloseKey();
  if (!OpenKey(filters + u"/" + filterName)) return false;
  bool written = SetStringData(MD_KEY_TYPE, u"IIsFilter", 0, IIS_MD_UT_SERVER, u"") &&
                 SetStringData(MD_FILTER_IMAGE_PATH, filterPath, 0, IIS_MD_UT_SERVER, u"");
  if (written && description.GetLength() > 0) {
    written = SetStringData(MD_FILTER_DESCRIPTION, description, 0, IIS_MD_UT_SERVER, u"");
  }
  if (!written) CloseKey();
  return written;
}

// Whether the website or web service key K holds a filters key with the
// filter's key in it (key types compared ignoring case).
bool IISHelper::FilterKeyHolds(const CSPWString& key, const CSPWString& filterName) {
  uint32_t attributes = 0;
  uint32_t userType = 0;
  CSPWString type;
  if (!GetStringData(MD_KEY_TYPE, type, attributes, userType, key)) type.Empty();
  if (type.CompareNoCase(u"IIsWebServer") != 0 && type.CompareNoCase(u"IIsWebService") != 0) {
    return false;
  }
  CSPWString filters = StartsWithSlash(key) ? key : u"/" + key;
  if (!EndsWithSlash(filters)) filters += u"/";
  filters += u"Filters";
  CSPWString filtersType;
  CSPWString filterType;
  return GetStringData(MD_KEY_TYPE, filtersType, attributes, userType, filters) &&
         filtersType.CompareNoCase(u"IIsFilters") == 0 &&
         GetStringData(MD_KEY_TYPE, filterType, attributes, userType,
                       filters + u"/" + filterName) &&
         filterType.CompareNoCase(u"IIsFilter") == 0;
}

bool IISHelper::RemoveFilterAt(const CSPWString& key, const CSPWString& filterName) {
  CSPWString filters = kW3svc;
  if (key.GetLength() > 0) filters += StartsWithSlash(key) ? key : u"/" + key;
  if (!EndsWithSlash(filters)) filters += u"/";
  filters += u"Filters";
  if (!OpenKey(filters)) return false;
  CSPWString loadOrder;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  const bool removed = GetStringData(MD_FILTER_LOAD_ORDER, loadOrder, attributes, userType, u"") &&
                       SetStringData(MD_FILTER_LOAD_ORDER,
                                     RemoveFromLoadOrder(SplitLoadOrder(loadOrder), filterName),
                                     attributes, userType, u"") &&
                       DeleteKey(filterName);
  CloseKey();
  return removed;
}

bool IISHelper::RemoveFilter(const CSPWString& filterName, const CSPWString& site,
                             bool allWebsites) {
  if (metabase == nullptr || !OpenKey(kW3svc)) return false;
  CSPList<CSPWString> candidates;
  if (allWebsites && !EnumKeys(candidates, u"")) return false;
  candidates.Add(site);
  // A key named twice (the given site is also one of all websites) is
  // looked at once: a second removal would fail on the key already gone.
  CSPList<CSPWString> kept;
  for (uint32_t i = 0; i < candidates.GetCount(); ++i) {
    const CSPWString& key = candidates.GetAt(i);
    if (!Contains(kept, key) && FilterKeyHolds(key, filterName)) kept.Add(key);
  }
  CloseKey();
  for (uint32_t i = 0; i < kept.GetCount(); ++i) {
    if (!RemoveFilterAt(kept.GetAt(i), filterName)) return false;
  }
  return true;
}

// The application host's filters ("system.webServer/isapiFilters"): the
// first entry of the name at every location.
bool IISHelper::RemoveAppHostFilter(const CSPWString& filterName) {
  return RemoveNamedEntryEverywhere(u"system.webServer/isapiFilters", u"filter", filterName);
}
