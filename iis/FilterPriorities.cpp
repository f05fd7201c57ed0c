#include "iis/FilterPriorities.h"

#include "core/CSPList.h"
#include "iis/IISHelper.h"

namespace {

constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kKeyType = 1002;  // MD_KEY_TYPE
constexpr uint32_t kFilterLoadOrder = 2040;

bool Fail(const ListMessage* show, const CSPWString& text) {
  if (show != nullptr && *show) (*show)(text, CSPWString(u"System error"), kIconError);
  return false;
}

// Records the filter's position in the load order at `path` under `key`.
void NoteLoadOrder(IISHelper& iis, const CSPWString& path, const CSPWString& key,
                   FilterPriorities& priorities) {
  CSPWString order;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  if (!iis.GetStringData(kFilterLoadOrder, order, attributes, userType, path)) return;
  order.MakeLower();
  const int32_t position = GetListPosition(order, u"quaver");
  if (position >= 0) priorities.SetAt(key, static_cast<uint32_t>(position));
}

}  // namespace

bool RefreshPriorities(FilterPriorities& priorities, bool showMessages, const ListMessage& show) {
  priorities.RemoveAll(true);
  ReadPrioritiesFile(priorities);
  const ListMessage* shown = showMessages ? &show : nullptr;
  if (!ReadMetabasePriorities(priorities, shown)) return false;
  WritePrioritiesFile(priorities, shown);
  return true;
}

void ReadPrioritiesFile(FilterPriorities& priorities) {
  CSPList<CSPString> lines;
  if (!ReadListFile(u"Priorities.lst", lines)) return;
  for (uint32_t i = 0; i < lines.GetCount(); ++i) {
    const CSPString& line = lines.GetAt(i);
    const uint32_t space = line.Find(" ");
    if (space == CSPString::kNotFound) continue;
    const CSPString number = line.Mid(space + 1, line.GetLength() - space - 1);
    priorities.SetAt(DecodeListLine(line.Mid(0, space)), static_cast<uint32_t>(number.ToInt()));
  }
}

bool ReadMetabasePriorities(FilterPriorities& priorities, const ListMessage* show) {
  IISHelper iis;
  if (!iis.Connect(IISHelper::ConnectMetabase)) return Fail(show, u"Cannot connect to IIS");
  if (!iis.OpenKey(u"/LM/W3SVC")) return Fail(show, u"Cannot open IIS metabase key /LM/W3SVC");
  CSPList<CSPWString> keys;
  if (!iis.EnumKeys(keys, u"")) {
    return Fail(show, u"Cannot retrieve IIS metabase keys for virtual websites");
  }
  NoteLoadOrder(iis, u"Filters", u"", priorities);
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    const CSPWString& key = keys.GetAt(i);
    CSPWString type;
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (!iis.GetStringData(kKeyType, type, attributes, userType, key)) {
      return Fail(show, u"Cannot retrieve key type for website from IIS metabase");
    }
    if (type.CompareNoCase(u"IIsWebServer") == 0) {
      NoteLoadOrder(iis, key + u"/Filters", key, priorities);
    }
  }
  iis.Disconnect(IISHelper::ConnectMetabase);
  return true;
}

void WritePrioritiesFile(const FilterPriorities& priorities, const ListMessage* show) {
  CSPWString text;
  for (uint32_t i = 0; i < priorities.GetCount(); ++i) {
    text += priorities.GetKeyAt(i) + u" " + CSPWString(priorities.GetValueAt(i)) + u"\r\n";
  }
  WriteListFile(u"Priorities.lst", text, show);
}
