// Script maps in the metabase: property 6014 on "/LM/W3SVC" and the keys
// below it, inherited by keys that set none of their own.
#include "iis/IISHelper.h"

namespace {

const char16_t kW3svc[] = u"/LM/W3SVC";

bool StartsWith(const CSPWString& text, const CSPWString& prefix) {
  return text.GetLength() >= prefix.GetLength() && text.Mid(0, prefix.GetLength()) == prefix;
}

bool Contains(const CSPWString& text, const CSPWString& part) {
  return text.Find(part) != CSPWString::kNotFound;
}

bool IsWildcardEntry(const CSPWString& entry) { return StartsWith(entry, u"*,"); }

// The part of a path after its last backslash.
CSPWString FileNameOf(const CSPWString& path) {
  uint32_t start = 0;
  for (uint32_t i = 0; i < path.GetLength(); ++i) {
    if (path.GetAt(i) == u'\\') start = i + 1;
  }
  return path.Mid(start, path.GetLength() - start);
}

bool SameListIgnoringCase(const CSPList<CSPWString>& a, const CSPList<CSPWString>& b) {
  if (a.GetCount() != b.GetCount()) return false;
  for (uint32_t i = 0; i < a.GetCount(); ++i) {
    if (a.GetAt(i).CompareNoCase(b.GetAt(i)) != 0) return false;
  }
  return true;
}

CSPList<CSPWString> WithNewEntry(const CSPList<CSPWString>& old, const CSPWString& extension,
                                 const CSPWString& executable, const CSPWString& entry) {
  CSPList<CSPWString> maps;
  if (extension == u"*") {
    const CSPWString fileName = FileNameOf(executable);
    maps.Add(entry);
    // A path without a file name (empty, or ending in "\") names no old
    // map: every wildcard entry contains the empty text, other products'
    // included, and would be dropped.
    for (uint32_t i = 0; i < old.GetCount(); ++i) {
      const CSPWString& e = old.GetAt(i);
      if (fileName.GetLength() == 0 || !(IsWildcardEntry(e) && Contains(e, fileName))) {
        maps.Add(e);
      }
    }
    return maps;
  }
  for (uint32_t i = 0; i < old.GetCount(); ++i) {
    if (!StartsWith(old.GetAt(i), extension + u",")) maps.Add(old.GetAt(i));
  }
  maps.Add(entry);
  return maps;
}

}  // namespace

// The executable field by IIS version: 7 and later the path itself, 6 the
// path in quotes, older versions its short form when there is a complete one.
CSPWString IISHelper::ScriptMapExecutable(const CSPWString& executable) const {
  if (majorVersion >= 7) return executable;
  const CSPWString quoted = u"\"" + executable + u"\"";
  if (majorVersion == 6) return quoted;
  const DWORD needed = GetShortPathNameW(as_wcstr(executable), nullptr, 0);
  if (needed == 0) return quoted;
  std::vector<char16_t> shortPath(needed, 0);
  const DWORD written = GetShortPathNameW(as_wcstr(executable), as_wcstr(shortPath.data()), needed);
  if (written == 0 || written >= needed) return quoted;
  return CSPWString(shortPath.data());
}

// The keys to update: the path itself and, with subkeys, every key at or
// below it that sets script maps (one key may come twice, spelt two ways).
bool IISHelper::ScriptMapKeyList(const CSPWString& path, bool includeSubkeys,
                                 CSPList<CSPWString>& keys) {
  if (metabase == nullptr || !OpenKey(kW3svc)) return false;
  keys.RemoveAll(true);
  CSPList<CSPWString> below;
  if (includeSubkeys && !GetDataPaths(MD_SCRIPT_MAPS, below, path)) {
    CloseKey();
    return false;
  }
  keys.Add(path);
  for (uint32_t i = 0; i < below.GetCount(); ++i) keys.Add(below.GetAt(i));
  return true;
}

// The script maps of the nearest ancestor of the path (up to "/LM/W3SVC")
// that sets them, and whether that value is inheritable. False only for
// "/LM/W3SVC" itself, which has no ancestor to ask.
bool IISHelper::InheritedScriptMaps(const CSPWString& path, CSPList<CSPWString>& maps,
                                    bool& inheritable) {
  if (path.GetLength() == 0 || path == u"/") return false;
  CSPWString current = path.GetAt(0) == u'/' ? path : u"/" + path;
  if (current.GetAt(current.GetLength() - 1) == u'/') {
    current = current.Mid(0, current.GetLength() - 1);
  }
  for (;;) {
    uint32_t cut = 0;
    for (uint32_t i = 0; i < current.GetLength(); ++i) {
      if (current.GetAt(i) == u'/') cut = i;
    }
    current = cut == 0 ? CSPWString(u"/") : current.Mid(0, cut);
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (GetMultiStringData(MD_SCRIPT_MAPS, maps, attributes, userType, current)) {
      inheritable = (attributes & METADATA_INHERIT) != 0;
      return true;
    }
    if (current == u"/") {
      maps.RemoveAll(true);
      inheritable = false;
      return true;
    }
  }
}

// A key whose script maps equal what it would inherit anyway keeps none of
// its own.
bool IISHelper::DropRedundantScriptMaps(const CSPWString& path,
                                        const CSPList<CSPWString>& written) {
  CSPList<CSPWString> inherited;
  bool inheritable = false;
  if (!InheritedScriptMaps(path, inherited, inheritable) || !inheritable ||
      !SameListIgnoringCase(inherited, written)) {
    return true;
  }
  return DeleteData(MD_SCRIPT_MAPS, path);
}

bool IISHelper::RewriteScriptMaps(const CSPWString& path, const CSPList<CSPWString>& maps,
                                  uint32_t attributes, uint32_t userType) {
  if (!SetMultiStringData(MD_SCRIPT_MAPS, maps, attributes | METADATA_INHERIT, userType, path) ||
      !DropRedundantScriptMaps(path, maps)) {
    CloseKey();
    return false;
  }
  return true;
}

bool IISHelper::AddScriptMap(const CSPWString& extension, const CSPWString& executable,
                             uint32_t flags, const CSPWString& verbs, const CSPWString& path,
                             bool includeSubkeys) {
  CSPList<CSPWString> keys;
  if (!ScriptMapKeyList(path, includeSubkeys, keys)) return false;
  CSPWString entry = extension + u"," + ScriptMapExecutable(executable) + u"," + CSPWString(flags);
  if (verbs.GetLength() > 0) entry += u"," + verbs;
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    const CSPWString& key = keys.GetAt(i);
    CSPList<CSPWString> old;
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (!GetMultiStringData(MD_SCRIPT_MAPS, old, attributes, userType, key)) {
      attributes = 0;
      bool inheritable = false;
      if (!InheritedScriptMaps(key, old, inheritable)) {
        CloseKey();
        return false;
      }
    }
    const CSPList<CSPWString> maps = WithNewEntry(old, extension, executable, entry);
    if (!RewriteScriptMaps(key, maps, attributes, IIS_MD_UT_FILE)) return false;
  }
  CloseKey();
  return true;
}

// Rewrites the script maps of every key of the list with only the entries
// `keep` accepts, each key with the attributes and user type it had.
bool IISHelper::KeepScriptMaps(const CSPWString& path, bool includeSubkeys,
                               const std::function<bool(const CSPWString&)>& keep) {
  CSPList<CSPWString> keys;
  if (!ScriptMapKeyList(path, includeSubkeys, keys)) return false;
  for (uint32_t i = 0; i < keys.GetCount(); ++i) {
    CSPList<CSPWString> old;
    uint32_t attributes = 0;
    uint32_t userType = 0;
    if (!GetMultiStringData(MD_SCRIPT_MAPS, old, attributes, userType, keys.GetAt(i))) {
      CloseKey();
      return false;
    }
    CSPList<CSPWString> kept;
    for (uint32_t j = 0; j < old.GetCount(); ++j) {
      if (keep(old.GetAt(j))) kept.Add(old.GetAt(j));
    }
    if (!RewriteScriptMaps(keys.GetAt(i), kept, attributes, userType)) return false;
  }
  CloseKey();
  return true;
}

bool IISHelper::RemoveScriptMap(const CSPWString& extension, const CSPWString& path,
                                bool includeSubkeys) {
  const CSPWString prefix = extension + u",";
  return KeepScriptMaps(path, includeSubkeys,
                        [&](const CSPWString& entry) { return !StartsWith(entry, prefix); });
}

bool IISHelper::RemoveWildcardScriptMap(const CSPWString& executable, const CSPWString& path,
                                        bool includeSubkeys) {
  // An empty executable names nothing: without this every wildcard map,
  // other products' included, would go.
  return KeepScriptMaps(path, includeSubkeys, [&](const CSPWString& entry) {
    return executable.GetLength() == 0 || !(IsWildcardEntry(entry) && Contains(entry, executable));
  });
}
