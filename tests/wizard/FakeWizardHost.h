// A wizard host without a window: message boxes are recorded and answered,
// the folder browser answers from a queue, and a modal run creates the sheet
// and plays a script of user actions on it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "wizard/CPropertySheet.h"
#include "wizard/WizardHost.h"

namespace wizardtest {

std::u16string Text(const CSPWString& text);
std::string Utf8(const CSPWString& text);

struct ShownBox {
  const CPropertyPage* owner;
  std::u16string text;
  std::u16string caption;
  UINT type;
  size_t invalidationsBefore;  // how often the sheet had changed when it opened
};

class FakeWizardHost : public WizardHost {
 public:
  INT_PTR RunModal(CPropertySheet& sheet) override;
  int MessageBox(const CPropertyPage* owner, const CSPWString& text, const CSPWString& caption,
                 UINT type) override;
  bool BrowseForFolder(const CSPWString& title, CSPWString& path) override;
  void Invalidate(CPropertySheet& sheet) override;

  std::vector<ShownBox> boxes;
  std::vector<std::u16string> browseTitles;
  std::deque<std::u16string> browseAnswers;  // empty: the user cancels
  int boxAnswer = IDOK;
  std::function<void(CPropertySheet&)> script;  // what the user does in a modal run
  size_t invalidations = 0;
  std::function<void(CPropertySheet&)> onInvalidate;  // what a window would repaint
};

// Presses a wizard button as the user would and lets posted messages arrive.
void Press(CPropertySheet& sheet, int button);

}  // namespace wizardtest
