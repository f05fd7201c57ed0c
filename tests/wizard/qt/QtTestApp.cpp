#include "QtTestApp.h"

#include <cstdlib>

QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "test_wizard_qt";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: at exit Qt's own globals may already be gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

// The system font library and, on a real X display, the desktop bus
// library keep caches they never free; the leak checker of sanitizer builds
// reads this list from the program itself, whichever way the test is
// started (ctest, xvfb-run or by hand).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libdbus-1\n";
}
