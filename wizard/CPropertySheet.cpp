#include "wizard/CPropertySheet.h"

#include "wizard/CPropertyPage.h"
#include "wizard/CWinApp.h"
#include "wizard/WizardHost.h"

CPropertySheet::CPropertySheet(const CSPWString& caption)
    : windowText(caption), finishText(u"Finish") {
  dispatcher.SetAfterCallHandler([this] {
    WizardHost* runner = GetHost();
    if (runner != nullptr) runner->Invalidate(*this);
  });
}

void CPropertySheet::AddPage(CPropertyPage* page) {
  if (page == nullptr) return;
  page->sheet = this;
  pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
  if (index < 0 || index >= GetPageCount()) return nullptr;
  return pages[static_cast<size_t>(index)];
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
  for (size_t i = 0; i < pages.size(); ++i) {
    if (pages[i] == page) return static_cast<int>(i);
  }
  return -1;
}

WizardHost* CPropertySheet::GetHost() const {
  if (host != nullptr) return host;
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->GetHost() : nullptr;
}

INT_PTR CPropertySheet::DoModal() {
  WizardHost* runner = GetHost();
  return runner != nullptr ? runner->RunModal(*this) : -1;
}

void CPropertySheet::Create() {
  if (created) return;
  created = true;
  OnInitDialog();
}

BOOL CPropertySheet::OnInitDialog() { return Activate(0); }

BOOL CPropertySheet::SetActivePage(int index) {
  BOOL done = FALSE;
  dispatcher.Send([&] { done = Activate(index); });
  return done;
}

void CPropertySheet::SetWizardButtons(DWORD flags) {
  dispatcher.Post([this, flags] { buttons = flags; });
}

void CPropertySheet::SetFinishText(const CSPWString& text) {
  dispatcher.Send([&] {
    finishText = text;
    // Shows and enables Finish and hides Back and Next.
    buttons = PSWIZB_FINISH;
  });
}

void CPropertySheet::CancelToClose() {
  dispatcher.Send([this] { cancelIsClose = true; });
}

void CPropertySheet::SetIcon(PictureId icon, BOOL big) {
  if (big) bigIcon = icon;
}

void CPropertySheet::EndDialog(INT_PTR code) {
  ended = true;
  result = code;
  dispatcher.NotifyAll();
}

BOOL CPropertySheet::PressButton(int button) {
  BOOL done = FALSE;
  dispatcher.Send([&] {
    CPropertyPage* page = GetActivePage();
    if (ended || page == nullptr) return;
    done = TRUE;
    switch (button) {
      case PSBTN_BACK:
        Move(page->OnWizardBack(), -1);
        break;
      case PSBTN_NEXT:
        Move(page->OnWizardNext(), +1);
        break;
      case PSBTN_FINISH:
        if (page->OnWizardFinish()) EndDialog(ID_WIZFINISH);
        break;
      case PSBTN_CANCEL:
        EndDialog(IDCANCEL);
        break;
      default:
        done = FALSE;
        break;
    }
  });
  return done;
}

// 0 moves to the neighbour, -1 stays, anything else names a template.
void CPropertySheet::Move(LRESULT answer, int direction) {
  if (answer == -1) return;
  if (answer == 0) {
    Activate(active + direction);
    return;
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    if (static_cast<LRESULT>(pages[i]->GetTemplateId()) == answer) {
      Activate(static_cast<int>(i));
      return;
    }
  }
}

BOOL CPropertySheet::Activate(int index) {
  CPropertyPage* next = GetPage(index);
  if (next == nullptr) return FALSE;
  CPropertyPage* current = GetActivePage();
  if (current != nullptr && current != next && !current->OnKillActive()) return FALSE;
  next->Create();
  active = index;
  next->OnSetActive();
  return TRUE;
}
