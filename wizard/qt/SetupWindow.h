// The setup wizard in a window: what `quaver-setup` runs when there is a
// display. The machine image must be selected and the current directory
// be the one that holds the package and "license.txt".
#pragma once

// True when Qt can open a window: an X or Wayland display, or a platform
// chosen explicitly with QT_QPA_PLATFORM.
bool HasWindowDisplay();

// Runs the application object in a Qt window; the exit status of the
// program (0: the wizard ran; its outcome is on its finish page).
int RunSetupWindow(int argc, char** argv);
