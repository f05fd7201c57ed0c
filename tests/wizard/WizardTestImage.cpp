#include "WizardTestImage.h"

#include "platform/machine.h"
#include "platform/win.h"
#include "system/RegKey.h"
#include "tools/quaver-machine/MetabaseCommands.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace wizardtest {

namespace {

void SetMajorVersion(DWORD version) {
  RegKey key;
  ASSERT_TRUE(
      key.Create(u"Software\\Microsoft\\InetStp", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
  ASSERT_TRUE(key.SetDwordValue(u"MajorVersion", version));
}

}  // namespace

WizardTestImage::WizardTestImage(Server server) {
  switch (server) {
    case Server::None:
      quaver_machine::RunCreateHooks({Root(), ""});
      break;
    case Server::Iis5:
      quaver_machine::RunCreateHooks({Root(), "6"});
      SetMajorVersion(5);
      break;
    case Server::Iis6:
      quaver_machine::RunCreateHooks({Root(), "6"});
      break;
    case Server::Iis10:
      quaver_machine::RunCreateHooks({Root(), "10"});
      break;
    case Server::Iis10Both:
      quaver_machine::RunCreateHooks({Root(), "10"});
      quaver_machine::InstallMetabaseCompatibility();
      break;
  }
}

void WizardTestImage::InstallProductDir() const {
  RegKey key;
  ASSERT_TRUE(
      key.Create(u"Software\\Corvane\\Quaver", HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
  ASSERT_TRUE(key.SetStringValue(u"ProductDir", u"C:\\Program Files\\Corvane\\Quaver\\"));
  WriteHostFile("drive_c/Program Files/Corvane/Quaver/keep.txt", "");
}

std::string WizardTestImage::EnableList() const {
  return ReadHostFile("drive_c/Program Files/Corvane/Quaver/EnableSites.lst");
}

const char* ServerName(Server server) {
  switch (server) {
    case Server::None:
      return "NoIis";
    case Server::Iis5:
      return "Iis5";
    case Server::Iis6:
      return "Iis6";
    case Server::Iis10:
      return "Iis10";
    case Server::Iis10Both:
      return "Iis10BothModes";
  }
  return "";
}

}  // namespace wizardtest
