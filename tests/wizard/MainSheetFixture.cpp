#include "MainSheetFixture.h"

#include <gtest/gtest.h>

#include "wizard/Pictures.h"

namespace wizardtest {

MainSheetFixture::MainSheetFixture(Server server)
    : image(server), sheet(std::make_unique<CMainSheet>(u"IIS Quaver Setup")) {
  sheet->SetUpWizard(IDB_HEADER, IDB_WATERMARK);
  sheet->SetHost(&host);
  sheet->Create();
  sheet->Dispatcher().Pump();
}

CDlgItem& MainSheetFixture::Control(CPropertyPage& page, int id) {
  CDlgItem* item = page.GetDlgItem(id);
  if (item == nullptr) throw std::runtime_error("no control " + std::to_string(id));
  return *item;
}

void MainSheetFixture::Click(CPropertyPage& page, int id) {
  page.ClickControl(id);
  sheet->Dispatcher().Pump();
}

void MainSheetFixture::WalkToModeChoice() {
  Next();
  Click(sheet->pageLicense, 1002);
  Next();
  Next();
}

void MainSheetFixture::WalkToWebsites() {
  WalkToModeChoice();
  if (Index() == CMainSheet::PageMode) Next();
}

}  // namespace wizardtest
