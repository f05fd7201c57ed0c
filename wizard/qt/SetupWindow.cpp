#include "wizard/qt/SetupWindow.h"

#include <QApplication>
#include <cstdlib>

#include "wizard/CIQVSetupApp.h"
#include "wizard/qt/QtWizardHost.h"

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool HasWindowDisplay() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int RunSetupWindow(int argc, char** argv) {
  QApplication application(argc, argv);
  QtWizardHost host;
  CIQVSetupApp app(host);
  app.InitInstance();
  return 0;
}
