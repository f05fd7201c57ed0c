// Running a component: the dispatch to its action, the "OPTIONS" rules
// every action shares and the path conventions of the component fields.
#include "core/ExpandEnvVars.h"
#include "package/UpdateComponent.h"

namespace {

const CSPString kNoText;

// Absolute: a drive ("C:\...", the first ":\" at index 1) or a network
// path ("\\server\..."); everything else is relative.
bool IsAbsolutePath(const CSPWString& path) {
  if (path.Find(u":\\") == 1) return true;
  return path.GetLength() >= 2 && path.GetAt(0) == u'\\' && path.GetAt(1) == u'\\';
}

bool EndsWithBackslash(const CSPString& text) {
  return text.GetLength() != 0 && text.GetAt(text.GetLength() - 1) == '\\';
}

}  // namespace

uint32_t UpdateComponent::Options() const { return Number("OPTIONS"); }

const CSPString& UpdateComponent::Text(const char* field) const {
  const ComponentVariable* child = record.GetChild(field);
  return child != nullptr ? child->GetText() : kNoText;
}

uint32_t UpdateComponent::Number(const char* field) const {
  const ComponentVariable* child = record.GetChild(field);
  return child != nullptr ? child->GetULong() : 0;
}

bool UpdateComponent::Fail(const char* message) {
  if ((Options() & kNoMessage) == 0) errorText = message;
  return (Options() & kReportSuccess) != 0;
}

bool UpdateComponent::Fail(const CSPString& message) { return Fail(message.GetString()); }

bool UpdateComponent::FailAlways(const char* message) {
  errorText = message;
  return (Options() & kReportSuccess) != 0;
}

CSPWString UpdateComponent::ResolveDirectory(const char* field, bool withBackslash) {
  ComponentVariable* child = record.GetChild(field);
  if (withBackslash && child != nullptr && child->GetText().GetLength() != 0 &&
      !EndsWithBackslash(child->GetText())) {
    child->SetString(child->GetName(), child->GetText() + "\\");
  }
  CSPWString path = ExpandEnvVars(CSPWString(Text(field)));
  // Exactly 8: combined with any other bit it does not count.
  if (!IsAbsolutePath(path) && Options() != kPathsAsWritten) path = basePath + path;
  return path;
}

CSPWString UpdateComponent::ResolveFile(const char* field, const CSPWString& directory) const {
  CSPWString path = ExpandEnvVars(CSPWString(Text(field)));
  return IsAbsolutePath(path) ? path : directory + path;
}

CSPWString UpdateComponent::ResolveExecutable() const {
  CSPWString path = ExpandEnvVars(CSPWString(Text("EXECUTABLE")));
  if (!IsAbsolutePath(path) && Options() != kPathsAsWritten) path = basePath + path;
  return path;
}

bool UpdateComponent::RunAlone(IISHelper& iis) {
  return Run(iis, CSPList<CSPWString>(), FilterPriorities());
}

bool UpdateComponent::Run(IISHelper& iis, const CSPList<CSPWString>& sites,
                          const FilterPriorities& priorities) {
  if (!parsed) {
    errorText = "Update component not parsed";
    return false;
  }
  errorText.Empty();
  logText.Empty();
  // The per-website forms take a list; null asks for the server-wide form.
  const CSPList<CSPWString>* chosen = sites.GetCount() != 0 ? &sites : nullptr;
  switch (typeCode) {
    case kNoAction:
      return true;
    case kCreateFile:
      return RunCreateFile();
    case kRemoveFile:
      return RunRemoveFile();
    case kExecuteFile:
      return RunExecuteFile();
    case kAddRegistryValue:
      return RunAddRegistryValue();
    case kRemoveRegistryValue:
      return RunRemoveRegistryValue();
    case kCreateDirectory:
      return RunCreateDirectory();
    case kRemoveDirectory:
      return RunRemoveDirectory();
    case kSetAccessRights:
      return RunSetAccessRights();
    case kCreateSymbolicLink:
      return RunCreateSymbolicLink();
    case kCreateShortcut:
      return RunCreateShortcut();
    case kRemoveShortcut:
      return RunRemoveShortcut();
    case kAddFilter: {
      if (priorities.GetCount() == 0) return RunAddFilter(iis, chosen, priorities);
      // With priorities the filter always goes in at a remembered
      // position: the global one stands under the empty ID.
      CSPList<CSPWString> global;
      global.Add(CSPWString());
      return RunAddFilter(iis, chosen != nullptr ? chosen : &global, priorities);
    }
    case kRemoveFilter:
      return RunRemoveFilter(iis);
    case kAddScriptMapping:
      return RunAddScriptMapping(iis, chosen);
    case kRemoveScriptMapping:
      return RunRemoveScriptMapping(iis);
    case kRemoveWildcardMapping:
      return RunRemoveWildcardMapping(iis);
    case kAddRestriction:
      return RunAddRestriction(iis);
    case kRemoveRestriction:
      return RunRemoveRestriction(iis);
    case kAddGlobalModule:
      return RunAddGlobalModule(iis);
    case kRemoveGlobalModule:
      return RunRemoveGlobalModule(iis);
    case kAddModule:
      return RunAddModule(iis, chosen);
    case kRemoveModule:
      return RunRemoveModule(iis);
    case kAddHandler:
      return RunAddHandler(iis, chosen);
    case kRemoveHandler:
      return RunRemoveHandler(iis);
    default:
      errorText = "Uknown update component type";
      return false;
  }
}
