#include "tests/setup/SetupTestSupport.h"

#include "platform/text.h"
#include "system/RegKey.h"
#include "tools/quaver-machine/MetabaseCommands.h"
#include "tools/quaver-machine/Tool.h"
#include "tools/quaver-machine/ToolInternals.h"

namespace quaver::test {

int32_t RecordingUi::ShowMessageBox(void*, const CSPWString& text, const CSPWString& caption,
                                    uint32_t boxFlags) {
  messages.push_back(Utf8(caption) + ": " + Utf8(text));
  flags.push_back(boxFlags);
  return IdOk;
}

SetupImage::SetupImage(const std::string& iisVersion) {
  const bool compat = iisVersion == "7.5c";
  quaver_machine::RunCreateHooks({Root(), compat ? "7.5" : iisVersion});
  if (compat) quaver_machine::InstallMetabaseCompatibility();
}

std::string Utf8(const CSPWString& text) {
  return machine::ToUtf8(std::u16string_view(text.GetString(), text.GetLength()));
}

std::string RegistryText(const char16_t* key, const char16_t* value) {
  RegKey open;
  if (!open.Open(key, HKEY_LOCAL_MACHINE, KEY_READ)) return "<missing>";
  CSPWString text;
  if (open.GetStringValue(value, text)) return Utf8(text);
  uint32_t number = 0;
  if (open.GetDwordValue(value, number)) return std::to_string(number);
  return "<missing>";
}

bool RegistryKeyExists(const char16_t* key) {
  RegKey open;
  return open.Open(key, HKEY_LOCAL_MACHINE, KEY_READ);
}

void WriteRegistryText(const char16_t* key, const char16_t* value, const char16_t* text) {
  RegKey open;
  ASSERT_TRUE(open.Create(key, HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS, nullptr));
  ASSERT_TRUE(open.SetStringValue(value, text));
}

}  // namespace quaver::test
