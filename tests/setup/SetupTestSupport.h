// What the installation tests share: a server made as `quaver-machine
// create --iis VERSION` makes it, and a user interface that records the
// message boxes and keeps the progress bar without drawing it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/ConsoleSetupUi.h"
#include "setup/IQVSetupCore.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {

class RecordingUi : public ConsoleSetupUi {
 public:
  // A range of 100 and a step of 1, as the installation sets them.
  RecordingUi() : ConsoleSetupUi(std::cerr, false) {
    SetProgressRange(0, 100);
    SetProgressStep(1);
  }
  int32_t ShowMessageBox(void* owner, const CSPWString& text, const CSPWString& caption,
                         uint32_t flags) override;

  // "caption: text", line ends as given.
  std::vector<std::string> messages;
  std::vector<uint32_t> flags;
};

// A server with IIS "6", "7.5", "10", ... or "" for none.
// A fresh server as `quaver-machine create` makes it; "7.5c" is IIS 7.5 with
// the IIS 6 metabase compatibility.
class SetupImage : public TempMachine {
 public:
  explicit SetupImage(const std::string& iisVersion);
};

// A state wired to a recording user interface, as the progress page wires it.
class SetupCoreTest : public ::testing::Test {
 protected:
  explicit SetupCoreTest(const std::string& iisVersion = "6") : image(iisVersion), core(&ui) {
    core.progressBar = &ui;
    core.percentLabel = &ui;
  }

  SetupImage image;
  RecordingUi ui;
  IQVSetupCore core;
};

std::string Utf8(const CSPWString& text);
// A string or DWORD value of HKEY_LOCAL_MACHINE, "<missing>" when absent.
std::string RegistryText(const char16_t* key, const char16_t* value);
bool RegistryKeyExists(const char16_t* key);
void WriteRegistryText(const char16_t* key, const char16_t* value, const char16_t* text);

}  // namespace quaver::test
