#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QLabel>

#include "wizard/CPropertyPage.h"
#include "wizard/qt/DialogFont.h"
#include "wizard/qt/QtPageView.h"
#include "wizard/qt/QtSheetWindow.h"
#include "wizard/qt/StaticText.h"

namespace wizardtest {

QWidget* Control(QtSheetWindow& window, int id) {
  QtPageView* view = window.ActiveView();
  return view != nullptr ? view->findChild<QWidget*>(QStringLiteral("control_%1").arg(id))
                         : nullptr;
}

StaticText* StaticOf(QtSheetWindow& window, int id) {
  return dynamic_cast<StaticText*>(Control(window, id));
}

QString HeaderTitle(QtSheetWindow& window) {
  QWidget* header = Find<QWidget>(window, QStringLiteral("header"));
  return header->isVisible() ? Find<QLabel>(window, QStringLiteral("headerTitle"))->text()
                             : QString();
}

void PlaceDemoMedia(WizardTestImage& image) {
  for (const char* name : {"Quaver_Pro_v4.0.9.cvsp", "license.txt"}) {
    QFile file(QStringLiteral(QUAVER_DEMO_MEDIA "/") + QLatin1String(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    const QByteArray bytes = file.readAll();
    image.WriteHostFile(std::string("drive_c/") + name,
                        std::string(bytes.constData(), bytes.size()));
  }
}

void ExpectTextsFit(QtSheetWindow& window) {
  QtPageView* view = window.ActiveView();
  ASSERT_NE(view, nullptr);
  const int page = static_cast<int>(view->Page().GetTemplateId());
  for (QWidget* widget : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (auto* text = dynamic_cast<StaticText*>(widget)) {
      const int lineHeight = DialogFont::MetricsOf(text->font()).Height();
      EXPECT_LE(text->LineCount() * lineHeight, text->height())
          << "page " << page << ": " << text->Text().toStdString();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
               button != nullptr && button->isCheckable()) {
      EXPECT_LE(button->sizeHint().width(), button->width())
          << "page " << page << ": " << button->text().toStdString();
    }
  }
}

}  // namespace wizardtest
