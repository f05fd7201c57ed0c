#include "tests/iis/IisTestImage.h"

#include "platform/com/ComRegistration.h"
#include "platform/machine.h"
#include "platform/metabase/DefaultMetabase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/text.h"

namespace quaver::test {

IisTestImage::IisTestImage(uint32_t majorVersion, bool registerMetabase) {
  if (majorVersion != 0) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\InetStp", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD version = majorVersion;
    EXPECT_EQ(RegSetValueExW(key, u"MajorVersion", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&version), sizeof version),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  if (registerMetabase) {
    EXPECT_EQ(com::RegisterServiceClass(CLSID_MSAdminBase_W, u"IIS Admin Base Object", u"IISADMIN"),
              ERROR_SUCCESS);
  }
}

void IisTestImage::WriteMetabase(std::string_view keys) const {
  machine::WriteFileAtomically(metabase::HostPathOf(metabase::kMetabaseFile),
                               "<Metabase>" + std::string(keys) + "</Metabase>");
}

void IisTestImage::WriteDefaultMetabase() const {
  machine::WriteFileAtomically(
      metabase::HostPathOf(metabase::kMetabaseFile),
      metabase::SerializeMetabaseXml(*metabase::DefaultIis6Metabase(u"WEBSRV01")));
}

std::string IisTestImage::MetabaseFile() const {
  return machine::ReadWholeFile(metabase::HostPathOf(metabase::kMetabaseFile));
}

void IisTestImage::InstallAppHost(std::string_view config) const {
  const std::u16string dll = u"%windir%\\system32\\inetsrv\\nativerd.dll";
  EXPECT_EQ(
      com::RegisterInprocClass(CLSID_AppHostAdminManager, u"AppHostAdminManager", dll, u"Both"),
      ERROR_SUCCESS);
  EXPECT_EQ(com::RegisterInprocClass(CLSID_AppHostWritableAdminManager,
                                     u"AppHostWritableAdminManager", dll, u"Both"),
            ERROR_SUCCESS);
  WriteAppHostConfig(config);
}

void IisTestImage::WriteAppHostConfig(std::string_view config) const {
  WriteHostFile(kAppHostConfigFile, config);
}

std::string IisTestImage::AppHostConfig() const { return ReadHostFile(kAppHostConfigFile); }

// What every connection sees, saved to the file or not yet.
std::unique_ptr<metabase::Key> IisTestImage::Load() const {
  std::unique_ptr<metabase::Key> tree;
  EXPECT_EQ(metabase::MetabaseService::Instance().CopyTree(tree), S_OK);
  return tree != nullptr ? std::move(tree) : std::make_unique<metabase::Key>(u"");
}

const metabase::Property* IisTestImage::Find(const metabase::Key& root, std::string_view path,
                                             DWORD id) const {
  const metabase::Key* key = &root;
  for (const auto& piece : metabase::SplitPath(machine::FromUtf8(path))) {
    key = key->FindChild(piece);
    if (key == nullptr) return nullptr;
  }
  return key->FindProperty(id);
}

bool IisTestImage::Has(std::string_view path, DWORD id) const {
  const auto root = Load();
  return Find(*root, path, id) != nullptr;
}

bool IisTestImage::HasKey(std::string_view path) const {
  const auto root = Load();
  const metabase::Key* key = root.get();
  for (const auto& piece : metabase::SplitPath(machine::FromUtf8(path))) {
    key = key->FindChild(piece);
    if (key == nullptr) return false;
  }
  return true;
}

std::string IisTestImage::Text(std::string_view path, DWORD id) const {
  const auto root = Load();
  const metabase::Property* property = Find(*root, path, id);
  return property == nullptr ? "" : machine::ToUtf8(metabase::DecodeString(property->data));
}

std::vector<std::string> IisTestImage::List(std::string_view path, DWORD id) const {
  const auto root = Load();
  const metabase::Property* property = Find(*root, path, id);
  std::vector<std::string> strings;
  if (property == nullptr) return strings;
  for (const auto& s : metabase::DecodeMultiString(property->data)) {
    strings.push_back(machine::ToUtf8(s));
  }
  return strings;
}

DWORD IisTestImage::Dword(std::string_view path, DWORD id) const {
  const auto root = Load();
  const metabase::Property* property = Find(*root, path, id);
  return property == nullptr ? 0 : metabase::DecodeDword(property->data);
}

DWORD IisTestImage::Attributes(std::string_view path, DWORD id) const {
  const auto root = Load();
  const metabase::Property* property = Find(*root, path, id);
  return property == nullptr ? 0 : property->attributes;
}

DWORD IisTestImage::UserType(std::string_view path, DWORD id) const {
  const auto root = Load();
  const metabase::Property* property = Find(*root, path, id);
  return property == nullptr ? 0 : property->userType;
}

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

std::string Head(DWORD id, std::string_view type, std::string_view userType,
                 std::string_view attributes) {
  std::string head = "<Property id=\"" + std::to_string(id) + "\" type=\"" + std::string(type) +
                     "\" userType=\"" + std::string(userType) + "\"";
  if (!attributes.empty()) head += " attributes=\"" + std::string(attributes) + "\"";
  return head + ">";
}

}  // namespace

std::string StringProperty(DWORD id, std::string_view value, std::string_view userType,
                           std::string_view attributes) {
  return Head(id, "String", userType, attributes) + Escaped(value) + "</Property>";
}

std::string ListProperty(DWORD id, const std::vector<std::string>& values,
                         std::string_view userType, std::string_view attributes) {
  std::string text = Head(id, "MultiSz", userType, attributes);
  for (const auto& value : values) text += "<Value>" + Escaped(value) + "</Value>";
  return text + "</Property>";
}

}  // namespace quaver::test
