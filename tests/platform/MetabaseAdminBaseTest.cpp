// The metabase service through IMSAdminBaseW: handles and their locks,
// data with inheritance and buffer sizes, data paths, changes written to the
// metabase file, backups, and two connections on two threads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine.h"
#include "platform/metabase/AdminBase.h"
#include "platform/metabase/MetabaseService.h"
#include "platform/metabase/MetabaseXml.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace {

const char kFile[] = "drive_c/Windows/System32/inetsrv/MetaBase.xml";

// /LM/W3SVC (script maps inheritable, access flags not) with site 1 and its ROOT.
const char kFixture[] = R"(<Metabase>
  <Key name="LM">
    <Key name="W3SVC">
      <Property id="1002" type="String" userType="Server">IIsWebService</Property>
      <Property id="6014" type="MultiSz" attributes="Inherit" userType="File">
        <Value>.asp,C:\asp.dll,5</Value>
        <Value>.stm,C:\ssinc.dll,5</Value>
      </Property>
      <Property id="6016" type="DWORD" userType="File">1</Property>
      <Key name="1">
        <Property id="1015" type="String" userType="Server">Default Web Site</Property>
        <Key name="ROOT">
          <Property id="3001" type="String" attributes="Inherit" userType="File">C:\Inetpub\wwwroot</Property>
        </Key>
      </Key>
    </Key>
  </Key>
</Metabase>
)";

class MetabaseAdminBase : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    image.WriteHostFile(kFile, kFixture);
    admin = NewConnection();
  }
  void TearDown() override {
    if (admin != nullptr) admin->Release();
  }

  static IMSAdminBaseW* NewConnection() {
    void* object = nullptr;
    EXPECT_EQ(metabase::CreateAdminBase(IID_IMSAdminBase_W, &object), S_OK);
    return static_cast<IMSAdminBaseW*>(object);
  }

  METADATA_HANDLE Open(const char16_t* path, DWORD access) {
    METADATA_HANDLE handle = 0;
    EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, path, access, 3000, &handle), S_OK);
    return handle;
  }

  HRESULT SetString(METADATA_HANDLE handle, const char16_t* path, DWORD id,
                    const std::u16string& value, DWORD attributes = 0) {
    METADATA_RECORD record{id,
                           attributes,
                           IIS_MD_UT_SERVER,
                           STRING_METADATA,
                           static_cast<DWORD>((value.size() + 1) * 2),
                           reinterpret_cast<unsigned char*>(const_cast<char16_t*>(value.c_str())),
                           0};
    return admin->SetData(handle, path, &record);
  }

  // GetData of a string with a buffer big enough; the HRESULT and the text.
  HRESULT GetString(METADATA_HANDLE handle, const char16_t* path, DWORD id, std::u16string& value,
                    DWORD attributes = 0, DWORD* returnedAttributes = nullptr) {
    char16_t buffer[256] = {};
    METADATA_RECORD record{
        id, attributes, 0, ALL_METADATA, sizeof buffer, reinterpret_cast<unsigned char*>(buffer),
        0};
    DWORD required = 0;
    const HRESULT hr = admin->GetData(handle, path, &record, &required);
    if (SUCCEEDED(hr)) value = buffer;
    if (returnedAttributes != nullptr) *returnedAttributes = record.dwMDAttributes;
    return hr;
  }

  std::unique_ptr<metabase::Key> FileTree() const {
    return metabase::ParseMetabaseXml(image.ReadHostFile(kFile), "MetaBase.xml");
  }

  IMSAdminBaseW* admin = nullptr;
};

TEST_F(MetabaseAdminBase, HandleLocks) {
  const METADATA_HANDLE w3svc = Open(u"/LM/W3SVC", METADATA_PERMISSION_READ);
  // Readers share; a writer needs the whole line of keys to itself.
  EXPECT_NE(Open(u"/LM/W3SVC/1", METADATA_PERMISSION_READ), 0u);
  METADATA_HANDLE handle = 0;
  EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/1/ROOT",
                           METADATA_PERMISSION_WRITE, 3000, &handle),
            HRESULT_FROM_WIN32(ERROR_PATH_BUSY));
  EXPECT_EQ(
      admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM", METADATA_PERMISSION_WRITE, 3000, &handle),
      HRESULT_FROM_WIN32(ERROR_PATH_BUSY));
  ASSERT_EQ(admin->CloseKey(w3svc), S_OK);
  EXPECT_EQ(admin->CloseKey(w3svc), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
  EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/9", METADATA_PERMISSION_READ,
                           3000, &handle),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM", 0, 3000, &handle), E_INVALIDARG);
}

// The handles of a connection go when its last reference does.
TEST_F(MetabaseAdminBase, ReleaseClosesTheConnectionsHandles) {
  IMSAdminBaseW* other = NewConnection();
  METADATA_HANDLE handle = 0;
  ASSERT_EQ(other->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC", METADATA_PERMISSION_WRITE,
                           3000, &handle),
            S_OK);
  EXPECT_EQ(admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC", METADATA_PERMISSION_READ,
                           3000, &handle),
            HRESULT_FROM_WIN32(ERROR_PATH_BUSY));
  other->Release();
  EXPECT_NE(Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE), 0u);
}

TEST_F(MetabaseAdminBase, WritesNeedAWriteHandle) {
  const METADATA_HANDLE reader = Open(u"/LM/W3SVC", METADATA_PERMISSION_READ);
  EXPECT_EQ(SetString(reader, u"1", MD_SERVER_COMMENT, u"x"),
            HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(admin->AddKey(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/2"),
            HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(admin->DeleteData(reader, u"1", MD_SERVER_COMMENT, ALL_METADATA),
            HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
}

TEST_F(MetabaseAdminBase, GetDataAnswers) {
  const METADATA_HANDLE w3svc = Open(u"/LM/W3SVC", METADATA_PERMISSION_READ);
  std::u16string value;
  EXPECT_EQ(GetString(w3svc, u"1", MD_SERVER_COMMENT, value), S_OK);
  EXPECT_EQ(value, u"Default Web Site");
  EXPECT_EQ(GetString(w3svc, u"1", MD_KEY_TYPE, value), MD_ERROR_DATA_NOT_FOUND);
  EXPECT_EQ(GetString(w3svc, u"9", MD_KEY_TYPE, value), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  // A too small buffer reports the size in bytes, terminator included.
  char16_t small[4];
  METADATA_RECORD record{MD_SERVER_COMMENT,
                         0,
                         0,
                         ALL_METADATA,
                         sizeof small,
                         reinterpret_cast<unsigned char*>(small),
                         0};
  DWORD required = 0;
  EXPECT_EQ(admin->GetData(w3svc, u"1", &record, &required),
            HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, 34u);
  // A type that does not match is no data.
  DWORD number = 0;
  METADATA_RECORD dword{
      MD_SERVER_COMMENT, 0, 0, DWORD_METADATA, 4, reinterpret_cast<unsigned char*>(&number), 0};
  EXPECT_EQ(admin->GetData(w3svc, u"1", &dword, &required), MD_ERROR_DATA_NOT_FOUND);
}

TEST_F(MetabaseAdminBase, InheritanceOnRequest) {
  const METADATA_HANDLE root = Open(u"/LM/W3SVC/1/ROOT", METADATA_PERMISSION_READ);
  char16_t buffer[128];
  DWORD required = 0;
  METADATA_RECORD record{MD_SCRIPT_MAPS,
                         0,
                         0,
                         ALL_METADATA,
                         sizeof buffer,
                         reinterpret_cast<unsigned char*>(buffer),
                         0};
  EXPECT_EQ(admin->GetData(root, u"", &record, &required), MD_ERROR_DATA_NOT_FOUND);
  record.dwMDAttributes = METADATA_INHERIT | METADATA_ISINHERITED;
  record.dwMDDataLen = sizeof buffer;
  ASSERT_EQ(admin->GetData(root, u"", &record, &required), S_OK);
  EXPECT_EQ(record.dwMDAttributes, METADATA_INHERIT | METADATA_ISINHERITED);
  EXPECT_EQ(record.dwMDDataType, static_cast<DWORD>(MULTISZ_METADATA));
  EXPECT_EQ(std::u16string(buffer), u".asp,C:\\asp.dll,5");
  // Only values their key lets inherit come down.
  DWORD access = 0;
  METADATA_RECORD flags{MD_ACCESS_PERM,
                        METADATA_INHERIT,
                        0,
                        ALL_METADATA,
                        4,
                        reinterpret_cast<unsigned char*>(&access),
                        0};
  EXPECT_EQ(admin->GetData(root, u"", &flags, &required), MD_ERROR_DATA_NOT_FOUND);
  // A partial path takes what its deepest existing key inherits.
  std::u16string path;
  EXPECT_EQ(GetString(root, u"no/such/dir", MD_VR_PATH, path, METADATA_INHERIT),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(
      GetString(root, u"no/such/dir", MD_VR_PATH, path, METADATA_INHERIT | METADATA_PARTIAL_PATH),
      S_OK);
  EXPECT_EQ(path, u"C:\\Inetpub\\wwwroot");
}

// Changes are seen by every connection at once and reach the file, in one
// write, when the key they were made under is closed.
TEST_F(MetabaseAdminBase, ChangesAreSeenAtOnceAndWrittenWhenTheKeyCloses) {
  const std::string before = image.ReadHostFile(kFile);
  const METADATA_HANDLE site = Open(u"/LM/W3SVC/1", METADATA_PERMISSION_WRITE);
  ASSERT_EQ(SetString(site, u"", MD_SERVER_COMMENT, u"Renamed  ", METADATA_INHERIT), S_OK);
  ASSERT_EQ(admin->AddKey(site, u"ROOT/app/sub"), S_OK);
  EXPECT_EQ(admin->AddKey(site, u"ROOT/app"), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));

  IMSAdminBaseW* other = NewConnection();
  char16_t name[METADATA_MAX_NAME_LEN];
  EXPECT_EQ(other->EnumKeys(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/1/ROOT", name, 0), S_OK);
  EXPECT_EQ(std::u16string(name), u"app");
  EXPECT_EQ(other->EnumKeys(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/1/ROOT", name, 1),
            HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(image.ReadHostFile(kFile), before);
  other->Release();

  ASSERT_EQ(admin->CloseKey(site), S_OK);
  const auto tree = FileTree();
  const metabase::Key* key = tree->FindChild(u"LM")->FindChild(u"W3SVC")->FindChild(u"1");
  const metabase::Property* comment = key->FindProperty(MD_SERVER_COMMENT);
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(metabase::DecodeString(comment->data), u"Renamed  ");
  EXPECT_EQ(comment->attributes, METADATA_INHERIT);
  ASSERT_NE(key->FindChild(u"root")->FindChild(u"APP"), nullptr);
  EXPECT_NE(key->FindChild(u"root")->FindChild(u"APP")->FindChild(u"sub"), nullptr);
}

// Changes not yet written are laid over a file another process replaced:
// both sides' changes are kept.
TEST_F(MetabaseAdminBase, UnsavedChangesSurviveAFileReplacedMeanwhile) {
  const METADATA_HANDLE w3svc = Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE);
  ASSERT_EQ(admin->AddKey(w3svc, u"ours"), S_OK);
  std::string changed = kFixture;
  changed.replace(changed.find("Default Web Site"), 16, "Changed Elsewhere");
  image.WriteHostFile(kFile, changed);
  ASSERT_EQ(admin->CloseKey(w3svc), S_OK);
  const auto tree = FileTree();
  const metabase::Key* key = tree->FindChild(u"LM")->FindChild(u"W3SVC");
  EXPECT_NE(key->FindChild(u"ours"), nullptr);
  EXPECT_EQ(metabase::DecodeString(key->FindChild(u"1")->FindProperty(MD_SERVER_COMMENT)->data),
            u"Changed Elsewhere");
}

// The file changed behind the service's back is read again.
TEST_F(MetabaseAdminBase, FileChangedOutsideIsReadAgain) {
  std::u16string value;
  const METADATA_HANDLE site = Open(u"/LM/W3SVC/1", METADATA_PERMISSION_READ);
  ASSERT_EQ(GetString(site, u"", MD_SERVER_COMMENT, value), S_OK);
  std::string changed = kFixture;
  changed.replace(changed.find("Default Web Site"), 16, "Changed by hand, longer");
  image.WriteHostFile(kFile, changed);
  ASSERT_EQ(GetString(site, u"", MD_SERVER_COMMENT, value), S_OK);
  EXPECT_EQ(value, u"Changed by hand, longer");
  image.WriteHostFile(kFile, "<Metabase><Key></Metabase>");
  EXPECT_EQ(GetString(site, u"", MD_SERVER_COMMENT, value), MD_ERROR_READ_METABASE_FILE);
}

// Keys go no deeper than the file can hold, so what is written reads again.
TEST_F(MetabaseAdminBase, KeysStopAtTheDepthTheFileHolds) {
  const METADATA_HANDLE site = Open(u"/LM/W3SVC/1", METADATA_PERMISSION_WRITE);
  std::u16string deepest;
  // /LM/W3SVC/1 are three levels; 58 more reach the deepest.
  for (size_t level = 4; level < metabase::kMaxKeyDepth; ++level) deepest += u"d/";
  deepest += u"d";
  ASSERT_EQ(admin->AddKey(site, deepest.c_str()), S_OK);
  ASSERT_EQ(SetString(site, deepest.c_str(), MD_SERVER_COMMENT, u"deep", METADATA_INHERIT), S_OK);
  EXPECT_EQ(admin->AddKey(site, (deepest + u"/e").c_str()), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  ASSERT_EQ(admin->CloseKey(site), S_OK);
  const auto tree = FileTree();
  const metabase::Key* key = tree->FindChild(u"LM")->FindChild(u"W3SVC")->FindChild(u"1");
  for (size_t level = 3; level < metabase::kMaxKeyDepth; ++level) key = key->FindChild(u"d");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Children().size(), 0u);
  EXPECT_NE(key->FindProperty(MD_SERVER_COMMENT), nullptr);
}

// A file nested past the bound, a folder or a FIFO in the file's place:
// the service answers at once with the read error, and reads the file again
// once it is sound.
TEST_F(MetabaseAdminBase, AFileItCannotReadIsReportedAtOnce) {
  std::u16string value;
  const METADATA_HANDLE site = Open(u"/LM/W3SVC/1", METADATA_PERMISSION_READ);
  std::string nested = "<Metabase>";
  for (int i = 0; i < 50000; ++i) nested += "<Key name=\"k\">";
  for (int i = 0; i < 50000; ++i) nested += "</Key>";
  nested += "</Metabase>";
  const std::filesystem::path host = image.Root() / kFile;
  const std::function<void()> breakings[] = {
      [&] { image.WriteHostFile(kFile, nested); },
      [&] {
        std::filesystem::remove(host);
        std::filesystem::create_directory(host);
      },
      [&] {
        std::filesystem::remove_all(host);
        ASSERT_EQ(::mkfifo(host.c_str(), 0600), 0);
      },
  };
  for (const auto& breakFile : breakings) {
    breakFile();
    EXPECT_EQ(GetString(site, u"", MD_SERVER_COMMENT, value), MD_ERROR_READ_METABASE_FILE);
    std::filesystem::remove_all(host);
    image.WriteHostFile(kFile, kFixture);
    EXPECT_EQ(GetString(site, u"", MD_SERVER_COMMENT, value), S_OK);
  }
}

TEST_F(MetabaseAdminBase, DataPathsAreRelativeToTheHandle) {
  const METADATA_HANDLE w3svc = Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE);
  ASSERT_EQ(SetString(w3svc, u"1/root", MD_KEY_TYPE, u"IIsWebVirtualDir"), S_OK);
  ASSERT_EQ(SetString(w3svc, u"", MD_SERVER_COMMENT, u"service"), S_OK);
  char16_t small[1];
  DWORD required = 0;
  EXPECT_EQ(admin->GetDataPaths(w3svc, u"", MD_VR_PATH, ALL_METADATA, 1, small, &required),
            HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, 10u);  // "/1/ROOT/", its terminator, the list's terminator
  std::vector<char16_t> buffer(required);
  ASSERT_EQ(
      admin->GetDataPaths(w3svc, u"", MD_VR_PATH, ALL_METADATA, required, buffer.data(), &required),
      S_OK);
  EXPECT_EQ(std::u16string(buffer.data()), u"/1/ROOT/");
  char16_t list[64];
  ASSERT_EQ(admin->GetDataPaths(w3svc, u"", MD_SERVER_COMMENT, ALL_METADATA, 64, list, &required),
            S_OK);
  EXPECT_EQ(std::u16string(list), u"/");
  EXPECT_EQ(std::u16string(list + 2), u"/1/");
  EXPECT_EQ(admin->GetDataPaths(w3svc, u"", MD_SERVER_COMMENT, DWORD_METADATA, 64, list, &required),
            S_OK);
  EXPECT_EQ(list[0], 0);
}

TEST_F(MetabaseAdminBase, SaveWaitsForWriters) {
  const METADATA_HANDLE writer = Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE);
  EXPECT_EQ(admin->SaveData(), HRESULT_FROM_WIN32(ERROR_PATH_BUSY));
  EXPECT_EQ(admin->Backup(u"b", MD_BACKUP_NEXT_VERSION, MD_BACKUP_SAVE_FIRST),
            HRESULT_FROM_WIN32(ERROR_PATH_BUSY));
  EXPECT_EQ(
      admin->Backup(u"b", MD_BACKUP_NEXT_VERSION, MD_BACKUP_SAVE_FIRST | MD_BACKUP_FORCE_BACKUP),
      MD_WARNING_SAVE_FAILED);
  ASSERT_EQ(admin->CloseKey(writer), S_OK);
  EXPECT_EQ(admin->SaveData(), S_OK);
}

TEST_F(MetabaseAdminBase, BackupVersions) {
  EXPECT_EQ(admin->Backup(u"b", MD_BACKUP_NEXT_VERSION, 0), S_OK);
  EXPECT_EQ(admin->Backup(u"B", MD_BACKUP_NEXT_VERSION, 0), S_OK);
  EXPECT_EQ(admin->Backup(u"b", 1, 0), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(admin->Backup(u"b", 1, MD_BACKUP_OVERWRITE), S_OK);
  EXPECT_EQ(admin->Backup(u"b", 7, 0), S_OK);
  EXPECT_EQ(admin->Backup(u"b", 10000, 0), E_INVALIDARG);
  EXPECT_EQ(admin->Backup(u"a.b", MD_BACKUP_NEXT_VERSION, 0), E_INVALIDARG);
  EXPECT_EQ(admin->Backup(std::u16string(101, u'n').c_str(), MD_BACKUP_NEXT_VERSION, 0),
            E_INVALIDARG);
  char16_t name[MD_BACKUP_MAX_LEN + 1] = u"b";
  DWORD version = 0;
  FILETIME time{};
  std::vector<DWORD> versions;
  for (DWORD i = 0; admin->EnumBackups(name, &version, &time, i) == S_OK; ++i) {
    versions.push_back(version);
    EXPECT_EQ(std::u16string(name), u"b");
    EXPECT_NE(time.dwHighDateTime, 0u);
    name[0] = u'b';
    name[1] = 0;
  }
  EXPECT_EQ(versions, (std::vector<DWORD>{0, 1, 7}));
  EXPECT_EQ(admin->DeleteBackup(u"b", 3), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(admin->DeleteBackup(u"b", MD_BACKUP_HIGHEST_VERSION), S_OK);
  EXPECT_EQ(admin->Restore(u"b", 7, 0), MD_ERROR_INVALID_VERSION);
  EXPECT_EQ(admin->Restore(u"nothing", MD_BACKUP_HIGHEST_VERSION, 0), MD_ERROR_INVALID_VERSION);
  EXPECT_EQ(admin->DeleteBackup(u"", MD_BACKUP_HIGHEST_VERSION),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

// A restore brings back the backed-up keys and ends every open handle, as
// the restart of the service does on Windows.
TEST_F(MetabaseAdminBase, RestoreEndsOpenHandles) {
  ASSERT_EQ(admin->Backup(u"before", MD_BACKUP_NEXT_VERSION, MD_BACKUP_SAVE_FIRST), S_OK);
  const METADATA_HANDLE w3svc = Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE);
  ASSERT_EQ(admin->DeleteKey(w3svc, u"1"), S_OK);
  ASSERT_EQ(admin->Restore(u"before", MD_BACKUP_HIGHEST_VERSION, 0), S_OK);
  std::u16string value;
  EXPECT_EQ(GetString(w3svc, u"1", MD_SERVER_COMMENT, value),
            HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetString(METADATA_MASTER_ROOT_HANDLE, u"/LM/W3SVC/1", MD_SERVER_COMMENT, value), S_OK);
}

// Two connections on two threads write below different keys at the same
// time; every value of both ends up in the metabase file.
TEST_F(MetabaseAdminBase, TwoThreadsTwoConnections) {
  const METADATA_HANDLE lm = Open(u"/LM", METADATA_PERMISSION_WRITE);
  ASSERT_EQ(admin->AddKey(lm, u"W3SVC/2"), S_OK);
  ASSERT_EQ(admin->CloseKey(lm), S_OK);
  auto work = [](const char16_t* key) {
    void* object = nullptr;
    ASSERT_EQ(metabase::CreateAdminBase(IID_IMSAdminBase_W, &object), S_OK);
    auto* connection = static_cast<IMSAdminBaseW*>(object);
    METADATA_HANDLE writer = 0;
    ASSERT_EQ(connection->OpenKey(METADATA_MASTER_ROOT_HANDLE, key, METADATA_PERMISSION_WRITE, 3000,
                                  &writer),
              S_OK);
    for (DWORD i = 0; i < 40; ++i) {
      METADATA_RECORD record{
          5000 + i, 0, IIS_MD_UT_SERVER, DWORD_METADATA, 4, reinterpret_cast<unsigned char*>(&i),
          0};
      EXPECT_EQ(connection->SetData(writer, u"", &record), S_OK);
    }
    connection->Release();  // closes the handle
  };
  std::thread first(work, u"/LM/W3SVC/1");
  std::thread second(work, u"/LM/W3SVC/2");
  first.join();
  second.join();
  const auto tree = FileTree();
  const metabase::Key* w3svc = tree->FindChild(u"LM")->FindChild(u"W3SVC");
  for (const char16_t* site : {u"1", u"2"}) {
    const metabase::Key* key = w3svc->FindChild(site);
    ASSERT_NE(key, nullptr);
    for (DWORD i = 0; i < 40; ++i) {
      const metabase::Property* property = key->FindProperty(5000 + i);
      ASSERT_NE(property, nullptr);
      EXPECT_EQ(metabase::DecodeDword(property->data), i);
    }
  }
  EXPECT_NE(Open(u"/LM/W3SVC", METADATA_PERMISSION_WRITE), 0u);
}

}  // namespace
