// The application-host primitives: the configuration path, sections, the
// entries of a section's collection, properties and metadata.
#include "iis/ComRef.h"
#include "iis/ComText.h"
#include "iis/IISHelper.h"

namespace {

VARIANT IndexVariant(uint32_t index) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_UI4;
  variant.ulVal = index;
  return variant;
}

bool EndsWithSlash(const CSPWString& path) {
  return path.GetLength() > 0 && path.GetAt(path.GetLength() - 1) == u'/';
}

// The configuration path and a relative location path, joined by one "/".
CSPWString JoinLocation(const CSPWString& configPath, const CSPWString& relative) {
  if (relative.GetLength() == 0) return configPath;
  if (EndsWithSlash(configPath) || relative.GetAt(0) == u'/') return configPath + relative;
  return configPath + u"/" + relative;
}

}  // namespace

IAppHostAdminManager* IISHelper::Manager() const {
  if (writableManager != nullptr) return writableManager;
  return readOnlyManager;
}

void IISHelper::SetCurrentElement(IAppHostElement* element, bool created) {
  ReplaceRef(currentElement, element);
  newElement = created;
}

void IISHelper::SetCurrentSection(IAppHostElement* section) { ReplaceRef(currentSection, section); }

bool IISHelper::SetConfigPath(const CSPWString& path) {
  if (!appHostConnected) return false;
  if (writableManager != nullptr) {
    ComText commitPath(path);
    if (FAILED(writableManager->put_CommitPath(commitPath.Get()))) return false;
  }
  configPath = path;
  ReleaseRef(configFile);
  SetCurrentSection(nullptr);
  SetCurrentElement(nullptr, false);
  return true;
}

bool IISHelper::OpenConfigPath(const CSPWString& path) {
  if (!appHostConnected || writableManager == nullptr) return false;
  ReleaseRef(configFile);
  SetCurrentSection(nullptr);
  SetCurrentElement(nullptr, false);
  configPath = path;
  ComText pathText(path);
  if (FAILED(writableManager->put_CommitPath(pathText.Get()))) return false;
  ComRef<IAppHostConfigManager> configManager;
  if (FAILED(writableManager->get_ConfigManager(configManager.Out())) || configManager.IsNull()) {
    return false;
  }
  return SUCCEEDED(configManager->GetConfigFile(pathText.Get(), &configFile)) &&
         configFile != nullptr;
}

bool IISHelper::GetLocationPaths(CSPList<CSPWString>& paths) {
  if (!appHostConnected || configFile == nullptr) return false;
  ComRef<IAppHostConfigLocationCollection> locations;
  DWORD count = 0;
  if (FAILED(configFile->get_Locations(locations.Out())) || locations.IsNull() ||
      FAILED(locations->get_Count(&count))) {
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    ComRef<IAppHostConfigLocation> location;
    BSTR path = nullptr;
    if (FAILED(locations->get_Item(IndexVariant(i), location.Out())) || location.IsNull() ||
        FAILED(location->get_Path(&path))) {
      return false;
    }
    paths.Add(ComText::Take(path));
  }
  return true;
}

bool IISHelper::OpenSection(const CSPWString& sectionName, const CSPWString& path) {
  if (!appHostConnected) return false;
  SetCurrentElement(nullptr, false);
  SetCurrentSection(nullptr);
  ComText name(sectionName);
  ComText location(JoinLocation(configPath, path));
  IAppHostElement* section = nullptr;
  HRESULT hr = E_POINTER;
  if (configFile != nullptr) {
    hr = configFile->GetAdminSection(name.Get(), location.Get(), &section);
  } else if (Manager() != nullptr) {
    hr = Manager()->GetAdminSection(name.Get(), location.Get(), &section);
  }
  if (FAILED(hr) || section == nullptr) {
    if (section != nullptr) section->Release();
    return false;
  }
  SetCurrentSection(section);
  return true;
}

// The current section's collection; S_OK with null is no collection.
HRESULT IISHelper::CurrentCollection(IAppHostElementCollection** collection) const {
  *collection = nullptr;
  if (!appHostConnected || currentSection == nullptr) return E_POINTER;
  const HRESULT hr = currentSection->get_Collection(collection);
  if (SUCCEEDED(hr) && *collection == nullptr) return E_POINTER;
  return hr;
}

bool IISHelper::FindElement(const CSPWString& value, const CSPWString& elementName,
                            const CSPWString& attributeName, uint32_t ordinal) {
  ComRef<IAppHostElementCollection> collection;
  DWORD count = 0;
  if (FAILED(CurrentCollection(collection.Out())) || FAILED(collection->get_Count(&count))) {
    return false;
  }
  ComText wantedTag(elementName);
  ComText attribute(attributeName);
  uint32_t matches = 0;
  for (DWORD j = 0; j < count; ++j) {
    ComRef<IAppHostElement> entry;
    BSTR tag = nullptr;
    if (FAILED(collection->get_Item(IndexVariant(j), entry.Out())) || entry.IsNull() ||
        FAILED(entry->get_Name(&tag))) {
      return false;
    }
    const HRESULT compared = VarBstrCmp(tag, wantedTag.Get(), LOCALE_USER_DEFAULT, 0);
    SysFreeString(tag);
    if (compared != VARCMP_EQ) continue;
    ComRef<IAppHostProperty> property;
    if (FAILED(entry->GetPropertyByName(attribute.Get(), property.Out())) || property.IsNull()) {
      continue;
    }
    BSTR text = nullptr;
    if (FAILED(property->get_StringValue(&text))) return false;
    if (ComText::Take(text) != value) continue;
    if (matches == ordinal) {
      SetCurrentElement(entry.Detach(), false);
      return true;
    }
    ++matches;
  }
  return false;
}

bool IISHelper::SelectElement(uint32_t index) {
  ComRef<IAppHostElementCollection> collection;
  DWORD count = 0;
  if (FAILED(CurrentCollection(collection.Out())) || FAILED(collection->get_Count(&count)) ||
      index >= count) {
    return false;
  }
  IAppHostElement* entry = nullptr;
  if (FAILED(collection->get_Item(IndexVariant(index), &entry)) || entry == nullptr) return false;
  SetCurrentElement(entry, false);
  return true;
}

bool IISHelper::GetElementCount(uint32_t& count) {
  ComRef<IAppHostElementCollection> collection;
  DWORD entries = 0;
  if (FAILED(CurrentCollection(collection.Out())) || FAILED(collection->get_Count(&entries))) {
    return false;
  }
  count = entries;
  return true;
}

bool IISHelper::EnterElement() {
  if (!appHostConnected || currentElement == nullptr) return false;
  SetCurrentSection(currentElement);
  currentElement = nullptr;
  newElement = false;
  return true;
}

bool IISHelper::EnterChildElement(const CSPWString& childName) {
  if (!appHostConnected || currentSection == nullptr) return false;
  ComText name(childName);
  IAppHostElement* child = nullptr;
  if (FAILED(currentSection->GetElementByName(name.Get(), &child)) || child == nullptr) {
    return false;
  }
  SetCurrentElement(nullptr, false);
  SetCurrentSection(child);
  return true;
}

bool IISHelper::CreateElement(const CSPWString& name) {
  ComRef<IAppHostElementCollection> collection;
  if (FAILED(CurrentCollection(collection.Out()))) return false;
  ComText defaultKind(CSPWString{});
  ComRef<IAppHostElement> entry;
  ComRef<IAppHostProperty> property;
  ComText nameAttribute(u"name");
  if (FAILED(collection->CreateNewElement(defaultKind.Get(), entry.Out())) || entry.IsNull() ||
      FAILED(entry->GetPropertyByName(nameAttribute.Get(), property.Out())) || property.IsNull()) {
    return false;
  }
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(as_wcstr(name.GetString()), name.GetLength());
  const HRESULT hr = property->put_Value(value);
  VariantClear(&value);
  if (FAILED(hr)) return false;
  SetCurrentElement(entry.Detach(), true);
  return true;
}

bool IISHelper::AppendNewElement() {
  if (!newElement || currentElement == nullptr) return false;
  ComRef<IAppHostElementCollection> collection;
  if (FAILED(CurrentCollection(collection.Out())) ||
      FAILED(collection->AddElement(currentElement, -1))) {
    return false;
  }
  newElement = false;
  return true;
}

bool IISHelper::ClearElement() {
  if (!appHostConnected || currentElement == nullptr) return false;
  const HRESULT hr = currentElement->Clear();
  SetCurrentElement(nullptr, false);
  return SUCCEEDED(hr);
}

bool IISHelper::GetElementName(CSPWString& name) {
  BSTR text = nullptr;
  if (!appHostConnected || currentElement == nullptr || FAILED(currentElement->get_Name(&text))) {
    return false;
  }
  name = ComText::Take(text);
  return true;
}

bool IISHelper::GetSectionName(CSPWString& name) {
  BSTR text = nullptr;
  if (!appHostConnected || currentSection == nullptr || FAILED(currentSection->get_Name(&text))) {
    return false;
  }
  name = ComText::Take(text);
  return true;
}

bool IISHelper::GetSection(IAppHostElement*& section) {
  if (!appHostConnected || currentSection == nullptr) return false;
  currentSection->AddRef();
  section = currentSection;
  return true;
}

bool IISHelper::SetSection(IAppHostElement* section) {
  if (!appHostConnected || section == nullptr) return false;
  section->AddRef();
  SetCurrentSection(section);
  return true;
}

bool IISHelper::GetElement(IAppHostElement*& element) {
  if (!appHostConnected || currentElement == nullptr) return false;
  currentElement->AddRef();
  element = currentElement;
  return true;
}

// A saved element is one that was found: the new-element flag belongs to
// CreateElement's entry alone.
bool IISHelper::SetElement(IAppHostElement* element) {
  if (!appHostConnected || element == nullptr) return false;
  element->AddRef();
  SetCurrentElement(element, false);
  return true;
}
