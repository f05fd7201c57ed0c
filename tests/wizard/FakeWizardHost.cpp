#include "FakeWizardHost.h"

namespace wizardtest {

std::u16string Text(const CSPWString& text) {
  return std::u16string(text.GetString(), text.GetLength());
}

std::string Utf8(const CSPWString& text) {
  CSPString bytes;
  if (!text.WideToUtf8(bytes)) return std::string();
  return std::string(bytes.GetString(), bytes.GetLength());
}

INT_PTR FakeWizardHost::RunModal(CPropertySheet& sheet) {
  sheet.Create();
  sheet.Dispatcher().Pump();
  if (script) script(sheet);
  if (!sheet.IsEnded()) sheet.PressButton(PSBTN_CANCEL);
  return sheet.GetResult();
}

int FakeWizardHost::MessageBox(const CPropertyPage* owner, const CSPWString& text,
                               const CSPWString& caption, UINT type) {
  boxes.push_back(ShownBox{owner, Text(text), Text(caption), type, invalidations});
  return boxAnswer;
}

bool FakeWizardHost::BrowseForFolder(const CSPWString& title, CSPWString& path) {
  browseTitles.push_back(Text(title));
  if (browseAnswers.empty()) return false;
  path = browseAnswers.front().c_str();
  browseAnswers.pop_front();
  return true;
}

void FakeWizardHost::Invalidate(CPropertySheet& sheet) {
  ++invalidations;
  if (onInvalidate) onInvalidate(sheet);
}

void Press(CPropertySheet& sheet, int button) {
  sheet.PressButton(button);
  sheet.Dispatcher().Pump();
}

}  // namespace wizardtest
