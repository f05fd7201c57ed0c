// The shell link object: shortcuts made the way the setup makes its desktop
// and Start menu shortcuts, saved as real .lnk files and read back both by
// the object itself and by an independent reader (lnkinfo).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/shell/LinkFile.h"
#include "platform/shell/ShellLinkObject.h"
#include "platform/shell/ShellRegistration.h"
#include "platform/text.h"
#include "platform/win.h"
#include "tests/platform/AppHostTestSupport.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

const char16_t kProduct[] = u"C:\\Program Files\\Corvane\\Quaver\\";
const char16_t kTarget[] = u"C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe";
const char16_t kShortcut[] = u"C:\\Users\\Administrator\\Desktop\\IIS Quaver Control Center.lnk";

class ShellLinkTest : public quaver::test::TempMachineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(shell::RegisterShellClasses(), ERROR_SUCCESS);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    image.WriteHostFile("drive_c/Program Files/Corvane/Quaver/iquaverctlld.exe", "MZ control");
  }
  void TearDown() override { CoUninitialize(); }

  static IShellLinkW* NewLink() {
    IShellLinkW* link = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    return link;
  }
  static IPersistFile* FileOf(IShellLinkW* link) {
    IPersistFile* file = nullptr;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    return file;
  }
  // The desktop icon as the installation creates it.
  static HRESULT SaveDesktopIcon(const char16_t* at) {
    IShellLinkW* link = NewLink();
    if (link == nullptr) return E_FAIL;
    HRESULT hr = link->SetDescription(u"IIS Quaver Control Center");
    if (SUCCEEDED(hr)) hr = link->SetIconLocation(kTarget, 0);
    if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(kProduct);
    if (SUCCEEDED(hr)) hr = link->SetPath(kTarget);
    if (SUCCEEDED(hr)) {
      IPersistFile* file = FileOf(link);
      hr = file->Save(at, TRUE);
      file->Release();
    }
    link->Release();
    return hr;
  }
  static std::u16string Text(HRESULT (IShellLinkW::*get)(LPWSTR, int), IShellLinkW* link,
                             int cch = MAX_PATH) {
    char16_t buffer[MAX_PATH + 1];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ((link->*get)(buffer, cch), S_OK);
    return buffer;
  }
};

TEST_F(ShellLinkTest, DesktopIconRoundTrip) {
  ASSERT_EQ(SaveDesktopIcon(kShortcut), S_OK);
  const std::string bytes =
      image.ReadHostFile("drive_c/Users/Administrator/Desktop/IIS Quaver Control Center.lnk");
  ASSERT_GE(bytes.size(), 0x4Cu);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x4C\0\0\0", 4));

  IShellLinkW* link = NewLink();
  IPersistFile* file = FileOf(link);
  ASSERT_EQ(
      file->Load(u"c:\\users\\administrator\\desktop\\IIS Quaver Control Center.lnk", STGM_READ),
      S_OK);
  EXPECT_EQ(file->IsDirty(), S_FALSE);
  char16_t path[MAX_PATH];
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(link->GetPath(path, MAX_PATH, &data, 0), S_OK);
  EXPECT_EQ(std::u16string(path), kTarget);
  EXPECT_EQ(data.nFileSizeLow, 10u);
  EXPECT_EQ(std::u16string(data.cFileName), u"iquaverctlld.exe");
  EXPECT_EQ(Text(&IShellLinkW::GetDescription, link), u"IIS Quaver Control Center");
  EXPECT_EQ(Text(&IShellLinkW::GetWorkingDirectory, link), kProduct);
  EXPECT_EQ(Text(&IShellLinkW::GetArguments, link), u"");
  int icon = -1;
  EXPECT_EQ(link->GetIconLocation(path, MAX_PATH, &icon), S_OK);
  EXPECT_EQ(std::u16string(path), kTarget);
  EXPECT_EQ(icon, 0);
  int show = 0;
  EXPECT_EQ(link->GetShowCmd(&show), S_OK);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  LPOLESTR current = nullptr;
  EXPECT_EQ(file->GetCurFile(&current), S_OK);
  EXPECT_EQ(std::u16string(current),
            u"C:\\users\\administrator\\desktop\\IIS Quaver Control Center.lnk");
  CoTaskMemFree(current);

  // Changing and saving under the remembered name rewrites the same file.
  EXPECT_EQ(link->SetArguments(u"/site 1"), S_OK);
  EXPECT_EQ(link->SetShowCmd(SW_SHOWMAXIMIZED), S_OK);
  EXPECT_EQ(file->IsDirty(), S_OK);
  EXPECT_EQ(file->Save(nullptr, TRUE), S_OK);
  shell::LinkFile saved;
  ASSERT_TRUE(shell::DecodeLinkFile(
      image.ReadHostFile("drive_c/Users/Administrator/Desktop/IIS Quaver Control Center.lnk"),
      saved));
  EXPECT_EQ(saved.arguments, u"/site 1");
  EXPECT_EQ(saved.showCommand, SW_SHOWMAXIMIZED);
  EXPECT_EQ(saved.relativePath, u"..\\..\\..\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe");
  file->Release();
  link->Release();
}

TEST_F(ShellLinkTest, AnIndependentReaderSeesTheShortcut) {
  if (std::system("command -v lnkinfo > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  }
  ASSERT_EQ(SaveDesktopIcon(kShortcut), S_OK);
  const fs::path lnk = image.DriveC() / "Users/Administrator/Desktop/IIS Quaver Control Center.lnk";
  const fs::path out = image.Root() / "lnkinfo.txt";
  ASSERT_EQ(std::system(("lnkinfo '" + lnk.string() + "' > '" + out.string() + "' 2>&1").c_str()),
            0);
  std::ifstream in(out);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string expected[] = {
      "Description\t\t\t: IIS Quaver Control Center",
      "Local path\t\t\t: C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe",
      "Working directory\t\t: C:\\Program Files\\Corvane\\Quaver\\",
      "Icon location\t\t\t: C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe",
      "Relative path\t\t\t: ..\\..\\..\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe",
      "File size\t\t\t: 10 bytes",
  };
  for (const std::string& line : expected) {
    EXPECT_NE(text.str().find(line), std::string::npos) << line << "\n" << text.str();
  }
}

TEST_F(ShellLinkTest, FailuresAreReportedAndLeaveNoFile) {
  EXPECT_EQ(SaveDesktopIcon(u"C:\\NoSuchFolder\\x.lnk"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(fs::exists(image.DriveC() / "NoSuchFolder"));

  IShellLinkW* link = NewLink();
  IPersistFile* file = FileOf(link);
  EXPECT_EQ(file->Save(nullptr, TRUE), E_INVALIDARG);  // no file named yet
  LPOLESTR current = nullptr;
  EXPECT_EQ(file->GetCurFile(&current), S_FALSE);
  CoTaskMemFree(current);
  image.WriteHostFile("drive_c/notalink.lnk", "plain text, not a shortcut at all........");
  const struct {
    const char16_t* name;
    HRESULT hr;
  } loads[] = {
      {u"C:\\notalink.lnk", E_FAIL},
      {u"C:\\missing.lnk", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {u"C:\\no\\missing.lnk", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
      {u"", E_INVALIDARG},
  };
  for (const auto& l : loads) EXPECT_EQ(file->Load(l.name, STGM_READ), l.hr);

  char16_t path[8];
  std::fill(std::begin(path), std::end(path), u'#');
  EXPECT_EQ(link->GetPath(path, 8, nullptr, 0), S_FALSE);  // no target yet
  EXPECT_EQ(path[0], u'\0');
  EXPECT_EQ(link->SetPath(nullptr), E_INVALIDARG);
  EXPECT_EQ(link->SetPath(u"C:\\bad|name.exe"), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(link->SetDescription(nullptr), E_INVALIDARG);
  // Getters cut to the buffer and always terminate.
  EXPECT_EQ(link->SetDescription(u"IIS Quaver Control Center"), S_OK);
  EXPECT_EQ(Text(&IShellLinkW::GetDescription, link, 4), u"IIS");
  void* other = nullptr;
  EXPECT_EQ(link->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  file->Release();
  link->Release();
}

TEST(ShellLinkClass, NeedsItsRegistration) {
  quaver::test::TempMachine image;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  void* link = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, &link),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(link, nullptr);
  CoUninitialize();
}

TEST(ShellLinkPaths, RelativeToTheShortcutFolder) {
  const struct {
    const char16_t* link;
    const char16_t* target;
    const char16_t* relative;
  } cases[] = {
      {u"C:\\A\\x.lnk", u"C:\\A\\t.exe", u".\\t.exe"},
      {u"C:\\A\\x.lnk", u"C:\\a\\B\\t.exe", u".\\B\\t.exe"},
      {u"C:\\A\\B\\x.lnk", u"C:\\A\\C\\t.exe", u"..\\C\\t.exe"},
      {u"C:\\x.lnk", u"C:\\Windows\\t.exe", u".\\Windows\\t.exe"},
      {u"C:\\A\\B\\C\\x.lnk", u"C:\\t.exe", u"..\\..\\..\\t.exe"},
      {u"C:\\A\\x.lnk", u"D:\\A\\t.exe", u""},
      {u"\\\\S\\Share\\A\\x.lnk", u"\\\\s\\share\\t.exe", u"..\\t.exe"},
      {u"\\\\S\\One\\x.lnk", u"\\\\S\\Two\\t.exe", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shell::RelativeLinkPath(c.link, c.target), c.relative)
        << machine::ToUtf8(c.link) << " -> " << machine::ToUtf8(c.target);
  }
}

// Real shortcuts written by Windows, read in place.
TEST(LinkFileFormat, ReadsShortcutsWindowsWrote) {
  const struct {
    const char* file;
    const char16_t* target;
    const char16_t* workingDirectory;
    const char16_t* relativePath;
  } cases[] = {
      {"pylnk-local_file-explorer.lnk", u"C:\\Windows\\explorer.exe", u"C:\\Windows",
       u"..\\..\\..\\..\\Windows\\explorer.exe"},
      {"golnk-vscode-startmenu.lnk",
       u"C:\\Users\\Parsia\\AppData\\Local\\Programs\\Microsoft VS Code\\Code.exe",
       u"C:\\Users\\Parsia\\AppData\\Local\\Programs\\Microsoft VS Code",
       u"..\\..\\..\\..\\..\\..\\Local\\Programs\\Microsoft VS Code\\Code.exe"},
      {"pylnk-net_folder1_file1-unc.lnk",
       u"\\\\192.168.138.2\\STORAGE\\Downloads\\folder1\\file1.txt",
       u"\\\\192.168.138.2\\storage\\Downloads\\folder1", u""},
      // ANSI strings of a French server (Windows-1252).
      {"golnk-remote-file-xp.lnk",
       u"\\\\ALS-FICHIERS3\\QUALIT\u00C9\\Archives\\M\u00E9thodologie WAS\\Norme de "
       u"d\u00E9veloppement JAVA.doc",
       u"\\\\als-fichiers3\\Qualit\u00E9\\Archives\\M\u00E9thodologie WAS", u""},
  };
  for (const auto& c : cases) {
    const auto bytes = quaver::test::SharedFile(std::string("corpus/lnk/") + c.file);
    if (!bytes) GTEST_SKIP() << "the shared corpus is not here";
    shell::LinkFile link;
    ASSERT_TRUE(shell::DecodeLinkFile(*bytes, link)) << c.file;
    EXPECT_EQ(link.target, c.target) << c.file;
    EXPECT_EQ(link.workingDirectory, c.workingDirectory) << c.file;
    EXPECT_EQ(link.relativePath, c.relativePath) << c.file;
    // Every prefix of a real file is refused, never misread.
    for (size_t size = 0; size < bytes->size() - 4; size += 7) {
      shell::LinkFile cut;
      EXPECT_FALSE(shell::DecodeLinkFile(bytes->substr(0, size), cut)) << c.file << " " << size;
    }
  }
}

}  // namespace
