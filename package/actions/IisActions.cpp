// The IIS actions: each turns its fields into IISHelper calls, once for the
// whole server or once per chosen website.
#include "iis/IISHelper.h"
#include "package/UpdateComponent.h"

namespace {

CSPWString Wide(const CSPString& text) { return CSPWString(text); }

// Only the application host is connected: its own removals run first.
bool AppHostOnly(const IISHelper& iis) {
  return iis.GetConnections() == IISHelper::ConnectAppHost;
}

// The metabase key of a website's root ("1/ROOT"); "/" stands for itself.
CSPWString ScriptMapPath(const CSPWString& site) {
  if (site == u"/") return site;
  CSPWString path = site;
  if (path.GetLength() != 0 && path.GetAt(path.GetLength() - 1) != u'/') path += u"/";
  return path + u"ROOT";
}

}  // namespace

bool UpdateComponent::RunAddFilter(IISHelper& iis, const CSPList<CSPWString>* sites,
                                   const FilterPriorities& priorities) {
  const CSPWString name = Wide(Text("FILTERNAME"));
  const CSPWString description = Wide(Text("DESCRIPTION"));
  if (sites == nullptr) {
    CSPWString executable = ResolveExecutable();
    logText = CSPString("ADD IIS FILTER: ") + Text("FILTERNAME") + ", executable: " + executable;
    if (!iis.AddFilter(name, executable, IISHelper::FilterPositionLast, description, u"")) {
      return Fail("Cannot configure IIS Filter");
    }
    return true;
  }
  for (uint32_t i = 0; i < sites->GetCount(); ++i) {
    const CSPWString& site = sites->GetAt(i);
    CSPWString executable = ResolveExecutable();
    logText = CSPString("ADD IIS FILTER: ") + Text("FILTERNAME") + ", executable: " + executable;
    const uint32_t* remembered = priorities.Lookup(site);
    uint32_t position = remembered != nullptr ? *remembered : IISHelper::FilterPositionLast;
    if (!iis.AddFilter(name, executable, position, description, site)) {
      return Fail("Cannot configure IIS Filter");
    }
  }
  return true;
}

bool UpdateComponent::RunRemoveFilter(IISHelper& iis) {
  const CSPWString name = Wide(Text("FILTERNAME"));
  logText = CSPString("REMOVE IIS FILTER: ") + Text("FILTERNAME");
  if (AppHostOnly(iis) && !iis.RemoveAppHostFilter(name)) return Fail("Cannot remove IIS Filter");
  if (!iis.RemoveFilter(name, u"", true)) return Fail("Cannot remove IIS Filter");
  return true;
}

bool UpdateComponent::RunAddScriptMapping(IISHelper& iis, const CSPList<CSPWString>* sites) {
  const CSPWString extension = Wide(Text("EXTENSION"));
  const CSPWString verbs = Wide(Text("VERBS"));
  const uint32_t flags = Number("FLAGS");
  const uint32_t count = sites != nullptr ? sites->GetCount() : 1;
  for (uint32_t i = 0; i < count; ++i) {
    CSPWString executable = ResolveExecutable();
    logText = CSPString("ADD IIS SCRIPT MAPPING: ") + Text("EXTENSION") +
              ", executable: " + executable;
    CSPWString path = sites != nullptr ? ScriptMapPath(sites->GetAt(i)) : CSPWString();
    if (!iis.AddScriptMap(extension, executable, flags, verbs, path, true)) {
      return Fail("Cannot configure IIS Script Mapping");
    }
  }
  return true;
}

bool UpdateComponent::RunRemoveScriptMapping(IISHelper& iis) {
  const CSPWString extension = Wide(Text("EXTENSION"));
  logText = CSPString("REMOVE IIS SCRIPT MAPPING: ") + Text("EXTENSION");
  if (AppHostOnly(iis) && !iis.RemoveAppHostScriptMap(extension)) {
    return Fail("Cannot remove IIS Script Mapping");
  }
  if (!iis.RemoveScriptMap(extension, u"", true)) return Fail("Cannot remove IIS Script Mapping");
  return true;
}

// The executable is matched as a part of the stored mappings, so it is
// used as the package wrote it.
bool UpdateComponent::RunRemoveWildcardMapping(IISHelper& iis) {
  const CSPWString executable = Wide(Text("EXECUTABLE"));
  logText = CSPString("REMOVE IIS WILDCARD SCRIPT MAPPING: *, executable: ") + Text("EXECUTABLE");
  if (AppHostOnly(iis) && !iis.RemoveAppHostWildcardScriptMap(executable)) {
    return Fail("Cannot remove IIS Wildcard Script Mapping");
  }
  if (!iis.RemoveWildcardScriptMap(executable, u"", true)) {
    return Fail("Cannot remove IIS Wildcard Script Mapping");
  }
  return true;
}

bool UpdateComponent::RunAddRestriction(IISHelper& iis) {
  CSPWString executable = ResolveExecutable();
  logText = CSPString("ADD IIS WEBSERVICE RESTRICTION: ") + Text("NAME") +
            ", executable: " + executable;
  // Before IIS 6 there is no restriction list to add to.
  if (iis.GetMajorVersion() < 6) return true;
  if (!iis.AddWebServiceRestriction(Wide(Text("NAME")), Wide(Text("DESCRIPTION")), executable)) {
    return Fail("Cannot configure IIS Web Service Restriction");
  }
  return true;
}

bool UpdateComponent::RunRemoveRestriction(IISHelper& iis) {
  const CSPWString name = Wide(Text("NAME"));
  logText = CSPString("REMOVE IIS WEBSERVICE RESTRICTION: ") + Text("NAME");
  if (iis.GetMajorVersion() < 6) return true;
  if (AppHostOnly(iis) && !iis.RemoveAppHostRestriction(name)) {
    return Fail("Cannot configure IIS Web Service Restriction");
  }
  if (!iis.RemoveWebServiceRestriction(name)) {
    return Fail("Cannot configure IIS Web Service Restriction");
  }
  return true;
}

bool UpdateComponent::RunAddGlobalModule(IISHelper& iis) {
  CSPWString executable = ResolveExecutable();
  logText = CSPString("ADD IIS GLOBAL MODULE: ") + Text("NAME") + ", executable: " + executable;
  if (!iis.AddGlobalModule(Wide(Text("NAME")), executable)) {
    return Fail("Cannot configure IIS Global Module");
  }
  return true;
}

bool UpdateComponent::RunRemoveGlobalModule(IISHelper& iis) {
  logText = CSPString("REMOVE IIS GLOBAL MODULE: ") + Text("NAME");
  if (!iis.RemoveGlobalModule(Wide(Text("NAME")))) return Fail("Cannot remove IIS Global Module");
  return true;
}

// Per website, entries go to each chosen website that the application host
// knows, at its name; an ID it does not know is passed over. A failed
// enumeration fails at once, with no message whatever "OPTIONS" says.
bool UpdateComponent::RunAddModule(IISHelper& iis, const CSPList<CSPWString>* sites) {
  const CSPWString name = Wide(Text("NAME"));
  if (sites == nullptr) {
    logText = CSPString("ADD IIS MODULE: ") + Text("NAME");
    if (!iis.AddModule(name, u"")) return Fail("Cannot configure IIS Module");
    return true;
  }
  CSPMap<CSPWString, CSPWString> names;
  if (!iis.GetSiteNames(names)) return false;
  for (uint32_t i = 0; i < sites->GetCount(); ++i) {
    logText = CSPString("ADD IIS MODULE: ") + Text("NAME");
    const CSPWString* site = names.Lookup(sites->GetAt(i));
    if (site != nullptr && !iis.AddModule(name, *site)) return Fail("Cannot configure IIS Module");
  }
  return true;
}

bool UpdateComponent::RunRemoveModule(IISHelper& iis) {
  logText = CSPString("REMOVE IIS MODULE: ") + Text("NAME");
  if (!iis.RemoveModuleEverywhere(Wide(Text("NAME")))) return Fail("Cannot remove IIS Module");
  return true;
}

bool UpdateComponent::RunAddHandler(IISHelper& iis, const CSPList<CSPWString>* sites) {
  logText = CSPString("ADD IIS HANDLER MAPPING: ") + Text("EXTENSION") + ", name: " +
            Text("NAME") + ", module: " + Text("MODULENAME");
  const CSPWString name = Wide(Text("NAME"));
  const CSPWString modules = Wide(Text("MODULENAME"));
  const CSPWString path = Wide(Text("EXTENSION"));
  const CSPWString verbs = Wide(Text("VERBS"));
  const CSPWString access = Wide(Text("ACCESS"));
  if (sites == nullptr) {
    if (!iis.AddHandler(name, modules, path, verbs, access, u"")) {
      return Fail("Cannot configure IIS Handler Mapping");
    }
    return true;
  }
  CSPMap<CSPWString, CSPWString> names;
  if (!iis.GetSiteNames(names)) return false;
  for (uint32_t i = 0; i < sites->GetCount(); ++i) {
    const CSPWString* site = names.Lookup(sites->GetAt(i));
    if (site != nullptr && !iis.AddHandler(name, modules, path, verbs, access, *site)) {
      return Fail("Cannot configure IIS Handler Mapping");
    }
  }
  return true;
}

bool UpdateComponent::RunRemoveHandler(IISHelper& iis) {
  logText = CSPString("REMOVE IIS HANDLER MAPPING: ") + Text("NAME");
  if (!iis.RemoveHandlerEverywhere(Wide(Text("NAME")))) {
    return Fail("Cannot remove IIS Handler Mapping");
  }
  return true;
}
