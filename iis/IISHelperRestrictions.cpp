// The web service extension list (property 2168 at "/LM/W3SVC"): entries
// "allowed,path,deletable,group,description".
#include "iis/IISHelper.h"

namespace {

const char16_t kW3svc[] = u"/LM/W3SVC";

bool Contains(const CSPWString& text, const CSPWString& part) {
  return text.Find(part) != CSPWString::kNotFound;
}

}  // namespace

// Keeps the entries that do not contain `match` and appends `entry` when
// adding (a non-empty entry). An empty match identifies nothing and drops no
// entry: it would be found in every one and empty the list.
bool IISHelper::RewriteRestrictions(const CSPWString& match, const CSPWString& entry) {
  const bool adding = entry.GetLength() > 0;
  if (metabase == nullptr) return false;
  if (majorVersion < 6) return true;
  if (!OpenKey(kW3svc)) return false;
  CSPList<CSPWString> old;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  if (!GetMultiStringData(MD_WEB_SVC_EXT_RESTRICTION_LIST, old, attributes, userType, u"")) {
    CloseKey();
    return false;
  }
  CSPList<CSPWString> kept;
  for (uint32_t i = 0; i < old.GetCount(); ++i) {
    if (match.GetLength() == 0 || !Contains(old.GetAt(i), match)) kept.Add(old.GetAt(i));
  }
  if (adding) kept.Add(entry);
  const bool written = SetMultiStringData(MD_WEB_SVC_EXT_RESTRICTION_LIST, kept, attributes,
                                          adding ? IIS_MD_UT_SERVER : userType, u"");
  CloseKey();
  return written;
}

// The entry being added again is found by its group and description. Only
// when both are empty is the search text a lone comma, which every entry holds.
bool IISHelper::AddWebServiceRestriction(const CSPWString& group, const CSPWString& description,
                                         const CSPWString& executable) {
  const bool identified = group.GetLength() > 0 || description.GetLength() > 0;
  return RewriteRestrictions(identified ? group + u"," + description : CSPWString(),
                             u"1," + executable + u",0," + group + u"," + description);
}

bool IISHelper::RemoveWebServiceRestriction(const CSPWString& group) {
  return RewriteRestrictions(group, CSPWString());
}

// Every entry of the group at every location of the application host. An
// empty group is no group: entries that carry none would all match it.
bool IISHelper::RemoveAppHostRestriction(const CSPWString& group) {
  CSPList<CSPWString> locations;
  if (!LocationsShallowestFirst(locations)) return false;
  if (group.GetLength() == 0) return true;
  for (uint32_t i = 0; i < locations.GetCount(); ++i) {
    if (!OpenSection(u"system.webServer/security/isapiCgiRestriction", locations.GetAt(i))) {
      return false;
    }
    ClearAllMatches(group, u"groupId", nullptr);
  }
  return true;
}
