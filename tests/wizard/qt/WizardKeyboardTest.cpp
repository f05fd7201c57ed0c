// The setup wizard in its Qt window driven from the keyboard alone, as on
// Windows: Enter presses Next (or Finish) on every page, also from an edit
// field and after a page's own push button has had the focus; the arrow
// keys move and select within the mode page's radio group. The message
// boxes of the installation are real ones, answered once the test has
// seen what the progress page shows while they are open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <string>
#include <vector>

#include "QtTestApp.h"
#include "WindowDriver.h"
#include "WizardTestImage.h"
#include "wizard/CIQVSetupApp.h"
#include "wizard/CMainSheet.h"
#include "wizard/qt/QtSheetWindow.h"
#include "wizard/qt/QtText.h"
#include "wizard/qt/QtWizardHost.h"
#include "wizard/qt/StaticText.h"

using wizardtest::Control;
using wizardtest::Find;
using wizardtest::Server;
using wizardtest::StaticOf;
using wizardtest::WizardTestImage;

namespace {

// What the progress page showed while a message box was open.
struct SeenBox {
  std::string caption;
  QString percent;
  int position;
  int maximum;
};

// Answers every modal window with its default button once it is up and
// its loop has run what was queued before it; notes message boxes with the
// progress page beside them, and any other window (a folder browser that
// Enter should not have opened).
class ModalWatcher {
 public:
  explicit ModalWatcher(const QtWizardHost& host) : host(host) {
    QObject::connect(&timer, &QTimer::timeout, [this] { Answer(); });
    timer.start(20);
  }

  std::vector<SeenBox> boxes;
  std::vector<std::string> others;

 private:
  void Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == host.Window()) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back(Seen(box->windowTitle().toStdString()));
      box->accept();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      others.push_back(dialog->windowTitle().toStdString());
      dialog->reject();
    }
  }

  SeenBox Seen(const std::string& caption) const {
    QWidget* page = host.Window()->findChild<QWidget*>(QStringLiteral("page_110"));
    auto* percent =
        page != nullptr
            ? dynamic_cast<StaticText*>(page->findChild<QWidget*>(QStringLiteral("control_1005")))
            : nullptr;
    auto* bar =
        page != nullptr ? page->findChild<QProgressBar*>(QStringLiteral("control_1004")) : nullptr;
    if (percent == nullptr || bar == nullptr) return SeenBox{caption, QString(), -1, -1};
    return SeenBox{caption, percent->Text(), bar->value(), bar->maximum()};
  }

  const QtWizardHost& host;
  QTimer timer;
};

// A key pressed where the focus is, as a person at the keyboard presses it.
void Key(QtSheetWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  QTest::keyClick(target != nullptr ? target : &window, key, modifiers);
}

// One pool runs as a domain account this server cannot resolve, so the
// installation warns about it ("Unknown user") while the bar moves.
void RunAPoolAsAStranger(WizardTestImage& image) {
  const std::string config = "drive_c/Windows/System32/inetsrv/config/applicationHost.config";
  std::string text = image.ReadHostFile(config);
  const std::string pool = "<add name=\"ShopPool\" managedRuntimeVersion=\"\" />";
  const size_t at = text.find(pool);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, pool.size(),
               "<add name=\"ShopPool\" managedRuntimeVersion=\"\"><processModel "
               "identityType=\"SpecificUser\" userName=\"CORP\\shop\" password=\"x\" /></add>");
  image.WriteHostFile(config, text);
}

bool HasFocus(QtSheetWindow& window, int id) {
  QWidget* control = Control(window, id);
  return control != nullptr && control == QApplication::focusWidget();
}

bool Checked(QtSheetWindow& window, int id) {
  auto* button = qobject_cast<QAbstractButton*>(Control(window, id));
  return button != nullptr && button->isChecked();
}

TEST(SetupWizardKeyboard, EnterAndArrowKeysAloneInstallTheProduct) {
  TestApp();
  WizardTestImage image(Server::Iis10Both);
  wizardtest::PlaceDemoMedia(image);
  RunAPoolAsAStranger(image);
  QtWizardHost host;
  CIQVSetupApp app(host);
  ModalWatcher watcher(host);
  bool finished = false;
  host.onShown = [&](QtSheetWindow& window) {
    CMainSheet& sheet = static_cast<CMainSheet&>(window.Sheet());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Key(window, Qt::Key_Return);
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageLicense);

    // Next is greyed until the licence is agreed: Enter does nothing.
    EXPECT_TRUE(HasFocus(window, 1008));
    Key(window, Qt::Key_Return);
    EXPECT_EQ(sheet.GetActiveIndex(), CMainSheet::PageLicense);
    Key(window, Qt::Key_Tab);
    ASSERT_TRUE(HasFocus(window, 1002));
    Key(window, Qt::Key_Space);
    EXPECT_TRUE(Checked(window, 1002));
    Key(window, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(HasFocus(window, 1008));
    Key(window, Qt::Key_Return);  // in the licence's own box
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageInstallPath);

    // Browse is the default only while it has the focus.
    ASSERT_TRUE(HasFocus(window, 1000));
    Key(window, Qt::Key_Tab);
    ASSERT_TRUE(HasFocus(window, 1001));
    EXPECT_TRUE(qobject_cast<QPushButton*>(Control(window, 1001))->isDefault());
    Key(window, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(HasFocus(window, 1000));
    EXPECT_FALSE(qobject_cast<QPushButton*>(Control(window, 1001))->isDefault());
    EXPECT_TRUE(Find<QPushButton>(window, QStringLiteral("next"))->isDefault());
    Key(window, Qt::Key_Return);
    EXPECT_TRUE(watcher.others.empty()) << testing::PrintToString(watcher.others);
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageMode);

    // Arrow keys move within the group and select what they reach.
    ASSERT_TRUE(HasFocus(window, 1021));
    EXPECT_TRUE(Checked(window, 1021));
    Key(window, Qt::Key_Down);
    EXPECT_TRUE(HasFocus(window, 1022));
    EXPECT_TRUE(Checked(window, 1022));
    EXPECT_FALSE(Checked(window, 1021));
    EXPECT_EQ(sheet.core.extensibilityMode, IQVSetupCore::ModeIsapi);
    Key(window, Qt::Key_Up);
    EXPECT_TRUE(HasFocus(window, 1021));
    EXPECT_TRUE(Checked(window, 1021));
    EXPECT_EQ(sheet.core.extensibilityMode, IQVSetupCore::ModePipeline);
    Key(window, Qt::Key_Up);  // round the end of the group
    EXPECT_TRUE(HasFocus(window, 1022));
    EXPECT_TRUE(Checked(window, 1022));
    Key(window, Qt::Key_Return);
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageWebsites);

    Key(window, Qt::Key_Return);
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageOptions);
    EXPECT_TRUE(Control(window, 1019)->isEnabled());  // script execution: ISAPI only
    Key(window, Qt::Key_Return);
    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageProgress);

    ASSERT_TRUE(WaitFor([&] { return sheet.GetActiveIndex() == CMainSheet::PageFinish; }));
    QCoreApplication::processEvents();
    Key(window, Qt::Key_Return);
    finished = sheet.IsEnded() && sheet.GetResult() == ID_WIZFINISH;
  };
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(finished);

  // The percentage beside the bar is painted while a box is open, and
  // agrees with the bar.
  ASSERT_FALSE(watcher.boxes.empty());
  for (const SeenBox& box : watcher.boxes) {
    EXPECT_EQ(box.caption, "Unknown user");
    ASSERT_GT(box.maximum, 0);
    EXPECT_GT(box.position, 0);
    EXPECT_EQ(box.percent, QStringLiteral("%1%").arg(box.position * 100 / box.maximum))
        << "step " << box.position << " of " << box.maximum;
  }
  EXPECT_FALSE(
      image.ReadHostFile("drive_c/Program Files/Corvane/Quaver/Modules/iquaver.dll").empty());
}

}  // namespace
