// The setup wizard in its Qt window, clicked through as a person would:
// the application object runs the sheet, the test clicks the buttons and
// controls, and the installation thread's calls are served by the event
// loop. With QUAVER_SCREENSHOTS set, every page is saved there as a PNG.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTreeWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakeWizardHost.h"
#include "QtTestApp.h"
#include "WindowDriver.h"
#include "WizardTestImage.h"
#include "wizard/CIQVSetupApp.h"
#include "wizard/CMainSheet.h"
#include "wizard/qt/FolderBrowser.h"
#include "wizard/qt/QtPageView.h"
#include "wizard/qt/QtSheetWindow.h"
#include "wizard/qt/QtText.h"
#include "wizard/qt/QtWizardHost.h"
#include "wizard/qt/StaticText.h"

using wizardtest::Control;
using wizardtest::ExpectTextsFit;
using wizardtest::Find;
using wizardtest::HeaderTitle;
using wizardtest::Server;
using wizardtest::StaticOf;
using wizardtest::WizardTestImage;

namespace {

// Message boxes are recorded and answered with OK instead of waiting for
// a person.
class AnsweringHost : public QtWizardHost {
 public:
  int MessageBox(const CPropertyPage*, const CSPWString& text, const CSPWString& caption,
                 UINT) override {
    boxes.push_back(wizardtest::Utf8(caption) + ": " + wizardtest::Utf8(text));
    return IDOK;
  }
  std::vector<std::string> boxes;
};

class Screenshots {
 public:
  explicit Screenshots(bool wanted) {
    const char* dir = std::getenv("QUAVER_SCREENSHOTS");
    if (wanted && dir != nullptr && *dir != '\0') {
      folder = QString::fromLocal8Bit(dir);
      QDir().mkpath(folder);
    }
  }
  void Take(QWidget& window, const char* name) {
    if (folder.isEmpty()) return;
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + ".png"))
        << name;
  }

 private:
  QString folder;
};

void ClickButton(QtSheetWindow& window, const char* name) {
  QPushButton* button = Find<QPushButton>(window, QString::fromLatin1(name));
  ASSERT_NE(button, nullptr) << name;
  ASSERT_TRUE(button->isVisible() && button->isEnabled()) << name;
  QTest::mouseClick(button, Qt::LeftButton);
}

void ClickBox(QtSheetWindow& window, int id) {
  auto* box = qobject_cast<QAbstractButton*>(Control(window, id));
  ASSERT_NE(box, nullptr) << id;
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

TEST(FolderBrowserWindow, ShowsTheSimulatedServersDrivesAndFolders) {
  TestApp();
  WizardTestImage image(Server::Iis10);
  FolderBrowser browser(QStringLiteral("Select"), nullptr);
  auto* tree = Find<QTreeWidget>(browser, QStringLiteral("folders"));
  ASSERT_GE(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* drive = tree->topLevelItem(0);
  EXPECT_EQ(drive->text(0), QStringLiteral("Local Disk (C:)"));
  tree->expandItem(drive);
  QStringList names;
  for (int i = 0; i < drive->childCount(); ++i) names << drive->child(i)->text(0);
  EXPECT_TRUE(names.contains(QStringLiteral("inetpub"))) << names.join(',').toStdString();
  EXPECT_TRUE(names.contains(QStringLiteral("Windows")));
}

struct WindowCase {
  const char* name;
  int modeButton;        // 1021 pipeline module, 1022 ISAPI filter
  bool takeScreenshots;  // one run is enough for the pictures
};

class SetupWizardWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(SetupWizardWindow, ClickThroughFromWelcomeToFinishInstallsTheProduct) {
  const WindowCase& c = GetParam();
  TestApp();
  WizardTestImage image(Server::Iis10Both);
  PlaceDemoMedia(image);
  AnsweringHost host;
  CIQVSetupApp app(host);
  Screenshots shots(c.takeScreenshots);
  bool reachedFinish = false;
  std::string report;
  host.onShown = [&](QtSheetWindow& window) {
    CMainSheet& sheet = static_cast<CMainSheet&>(window.Sheet());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("IIS Quaver Pro v4.0"));
    EXPECT_EQ(HeaderTitle(window), QString());
    // "This setup tool will install\r\nIIS Quaver Pro v4.0": its own two
    // lines, neither wrapped.
    ASSERT_NE(StaticOf(window, 1014), nullptr);
    EXPECT_EQ(StaticOf(window, 1014)->LineCount(), 2);
    ExpectTextsFit(window);
    shots.Take(window, "page0-welcome");
    ClickButton(window, "next");

    EXPECT_EQ(HeaderTitle(window), QStringLiteral("License Agreement"));
    EXPECT_FALSE(Find<QPushButton>(window, QStringLiteral("next"))->isEnabled());
    auto* licence = qobject_cast<QPlainTextEdit*>(Control(window, 1008));
    EXPECT_FALSE(licence->toPlainText().isEmpty());
    // The licence's own lines fit the box: none wraps.
    for (QTextBlock block = licence->document()->firstBlock(); block.isValid();
         block = block.next())
      EXPECT_EQ(block.lineCount(), 1) << block.text().toStdString();
    ClickBox(window, 1002);
    ExpectTextsFit(window);
    // The credit line closes the page area, right on the button rule.
    StaticText* credit = nullptr;
    for (QWidget* widget : window.ActiveView()->findChildren<QWidget*>()) {
      auto* text = dynamic_cast<StaticText*>(widget);
      if (text != nullptr && text->Text() == QStringLiteral("Corvane Quaver Setup")) credit = text;
    }
    ASSERT_NE(credit, nullptr);
    const int gap = Find<QWidget>(window, QStringLiteral("buttonRule"))->y() -
                    credit->mapTo(&window, QPoint(0, credit->height())).y();
    EXPECT_GE(gap, 0);
    EXPECT_LE(gap, 4);  // the template's last 2 dialog units
    shots.Take(window, "page1-license");
    ClickButton(window, "next");

    EXPECT_EQ(HeaderTitle(window), QStringLiteral("Installation Directory"));
    auto* base = qobject_cast<QLineEdit*>(Control(window, 1000));
    base->clear();
    QTest::keyClicks(base, QStringLiteral("C:\\Program Files"));
    EXPECT_EQ(StaticOf(window, 1012)->Text(), QStringLiteral("C:\\Program Files\\Corvane\\Quaver"));
    ExpectTextsFit(window);
    shots.Take(window, "page2-install-path");
    ClickButton(window, "next");

    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageMode) << testing::PrintToString(host.boxes);
    EXPECT_TRUE(qobject_cast<QRadioButton*>(Control(window, 1021))->isChecked());
    ClickBox(window, c.modeButton);
    ExpectTextsFit(window);
    shots.Take(window, "page3-mode");
    ClickButton(window, "next");

    ASSERT_EQ(sheet.GetActiveIndex(), CMainSheet::PageWebsites);
    auto* list = qobject_cast<QTreeWidget*>(Control(window, 1074));
    ASSERT_GE(list->topLevelItemCount(), 2);
    EXPECT_FALSE(list->isEnabled());
    ClickBox(window, 1075);
    EXPECT_TRUE(list->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    ExpectTextsFit(window);
    shots.Take(window, "page4-websites");
    ClickButton(window, "next");

    EXPECT_EQ(HeaderTitle(window), QStringLiteral("Installation Options"));
    EXPECT_EQ(Control(window, 1019)->isEnabled(), c.modeButton == 1022);
    ClickBox(window, 1003);
    ExpectTextsFit(window);
    shots.Take(window, "page5-options");
    ClickButton(window, "next");

    EXPECT_EQ(HeaderTitle(window), QStringLiteral("Installing Files"));
    EXPECT_FALSE(Find<QPushButton>(window, QStringLiteral("back"))->isEnabled());
    EXPECT_EQ(Find<QPushButton>(window, QStringLiteral("cancel"))->text(),
              QStringLiteral("Cancel"));
    EXPECT_FALSE(Find<QPushButton>(window, QStringLiteral("cancel"))->isEnabled());
    ExpectTextsFit(window);
    shots.Take(window, "page6-progress");

    ASSERT_TRUE(WaitFor([&] { return sheet.GetActiveIndex() == CMainSheet::PageFinish; }));
    reachedFinish = true;
    QCoreApplication::processEvents();
    auto* percent =
        dynamic_cast<StaticText*>(window.findChild<QWidget*>(QStringLiteral("page_110"))
                                      ->findChild<QWidget*>(QStringLiteral("control_1005")));
    ASSERT_NE(percent, nullptr);
    EXPECT_EQ(percent->Text(), QStringLiteral("100%"));
    // Cancel-to-close greys Cancel; nothing reads "Close".
    EXPECT_EQ(Find<QPushButton>(window, QStringLiteral("cancel"))->text(),
              QStringLiteral("Cancel"));
    EXPECT_FALSE(Find<QPushButton>(window, QStringLiteral("cancel"))->isEnabled());
    ExpectTextsFit(window);
    report = qobject_cast<QPlainTextEdit*>(Control(window, 1011))->toPlainText().toStdString();
    shots.Take(window, "page7-finish");
    ClickBox(window, 1002);
    ClickButton(window, "finish");
  };
  EXPECT_FALSE(app.InitInstance());
  ASSERT_TRUE(reachedFinish);
  EXPECT_EQ(report, "IIS Quaver Pro v4.0 setup is completed succesfully!") << report;
  // Only warnings about worker accounts this server cannot resolve.
  for (const std::string& box : host.boxes) EXPECT_EQ(box.rfind("Unknown user: ", 0), 0u) << box;

  // What a person finds on the server afterwards.
  const std::string product = "drive_c/Program Files/Corvane/Quaver/";
  EXPECT_FALSE(image.ReadHostFile(product + "iquaverctlld.exe").empty());
  const std::string module = c.modeButton == 1021 ? "iquavermod.dll" : "iquaver.dll";
  EXPECT_FALSE(image.ReadHostFile(product + "Modules/" + module).empty()) << module;
  EXPECT_FALSE(image.ReadHostFile(product + "Uninstall.cvsp").empty());
  EXPECT_NE(image.ReadHostFile("registry/HKLM.reg").find("Corvane\\\\Quaver"), std::string::npos);
  // The metabase of IIS 7 and later lives in the application host's file.
  const std::string iis =
      image.ReadHostFile("drive_c/Windows/System32/inetsrv/config/applicationHost.config");
  EXPECT_NE(iis.find(c.modeButton == 1021 ? "QuaverModule" : "iquaver.dll"), std::string::npos);
  EXPECT_NE(image.ReadHostFile("shell.log")
                .find("file=C:\\Program Files\\Corvane\\Quaver\\iquaverctlld.exe"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, SetupWizardWindow,
                         ::testing::Values(WindowCase{"PipelineModule", 1021, true},
                                           WindowCase{"IsapiFilter", 1022, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
