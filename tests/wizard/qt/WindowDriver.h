// What the window tests of the setup wizard share: finding a page's
// widgets by control identifier, the demo media on the test server, and
// the check that a page's texts fit their controls.
#pragma once

#include <QString>
#include <QWidget>

#include "WizardTestImage.h"

class QtPageView;
class QtSheetWindow;
class StaticText;

namespace wizardtest {

template <class T>
T* Find(QWidget& root, const QString& name) {
  return root.findChild<T*>(name);
}

// The widget of control `id` on the active page, or null.
QWidget* Control(QtSheetWindow& window, int id);
StaticText* StaticOf(QtSheetWindow& window, int id);
// The header band's title, or empty while the band is hidden.
QString HeaderTitle(QtSheetWindow& window);

// The demo setup media in the server's current directory, C:\.
void PlaceDemoMedia(WizardTestImage& image);

// Every static text of the active page shows all its lines inside its
// control, and every check box and radio button its whole text.
void ExpectTextsFit(QtSheetWindow& window);

}  // namespace wizardtest
