#include "wizard/CPageLicense.h"

#include <memory>
#include <new>

#include "platform/win.h"
#include "wizard/AnsiText.h"
#include "wizard/CDataExchange.h"
#include "wizard/CPropertySheet.h"
#include "wizard/PageTemplates.h"

namespace {

DialogTemplate LicenseTemplate() {
  return InteriorTemplate(
      113, {{IDC_STATIC, ControlKind::Static, u"Please, read the following agreement:", 7, 2, 272,
             8, StyleNone},
            {1008, ControlKind::Edit, u"", 7, 13, 272, 76,
             StyleMultiLine | StyleReadOnly | StyleVScroll},
            {1002, ControlKind::CheckBox, u"I agree", 7, 93, 120, 10, StyleNone}});
}

// The whole file, or false when it cannot be opened, held or read; the
// page then shows no text and the user can still agree.
bool ReadLicense(CSPWString& text) {
  HANDLE file = CreateFileW(as_wcstr(u"license.txt"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  std::unique_ptr<char[]> bytes;
  if (size != INVALID_FILE_SIZE) bytes.reset(new (std::nothrow) char[size + 1ull]);
  DWORD read = 0;
  bool done = bytes != nullptr && ReadFile(file, bytes.get(), size, &read, nullptr) && read == size;
  CloseHandle(file);
  if (!done) return false;
  bytes[size] = '\0';
  text = AnsiToWide(bytes.get(), size);
  return true;
}

}  // namespace

CPageLicense::CPageLicense() : CPropertyPage(LicenseTemplate()) {}

void CPageLicense::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, 1008, licenseText);
  DDX_Check(pDX, 1002, agreed);
}

BOOL CPageLicense::OnInitDialog() {
  CPropertyPage::OnInitDialog();
  if (ReadLicense(licenseText)) UpdateData(FALSE);
  return TRUE;
}

BOOL CPageLicense::OnSetActive() {
  ShowButtons();
  return CPropertyPage::OnSetActive();
}

void CPageLicense::OnCommand(int id, int code) {
  if (id == 1002 && code == BN_CLICKED) ShowButtons();
}

void CPageLicense::ShowButtons() {
  UpdateData(TRUE);
  GetParent()->SetWizardButtons(agreed ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}
