#include "wizard/qt/QtWizardHost.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include "wizard/CPropertySheet.h"
#include "wizard/qt/FolderBrowser.h"
#include "wizard/qt/QtSheetWindow.h"
#include "wizard/qt/QtText.h"

INT_PTR QtWizardHost::RunModal(CPropertySheet& sheet) {
  running = &sheet;
  // Posted to the application object, which outlives every window, so a
  // wake that arrives after the window has gone finds nothing to serve.
  sheet.Dispatcher().SetWakeHandler([this] {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this] { ServeQueue(); }, Qt::QueuedConnection);
  });
  {
    QtSheetWindow shown(sheet);
    window = &shown;
    sheet.Create();
    shown.Serve();
    if (onShown) QTimer::singleShot(0, &shown, [this, &shown] { onShown(shown); });
    if (!sheet.IsEnded()) shown.exec();
    window = nullptr;
  }
  sheet.Dispatcher().SetWakeHandler(nullptr);
  running = nullptr;
  return sheet.GetResult();
}

void QtWizardHost::ServeQueue() {
  if (window != nullptr) {
    window->Serve();
  } else if (running != nullptr) {
    running->Dispatcher().Pump();
  }
}

void QtWizardHost::Invalidate(CPropertySheet& sheet) {
  if (window != nullptr && &window->Sheet() == &sheet) window->ScheduleRedraw();
}

int QtWizardHost::MessageBox(const CPropertyPage* owner, const CSPWString& text,
                             const CSPWString& caption, UINT type) {
  QMessageBox box(owner != nullptr ? static_cast<QWidget*>(window) : nullptr);
  box.setObjectName(QStringLiteral("messageBox"));
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  switch (type & 0x0F) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return IDOK;
  }
}

bool QtWizardHost::BrowseForFolder(const CSPWString& title, CSPWString& path) {
  FolderBrowser browser(ToQString(title), window);
  return browser.Choose(path);
}
