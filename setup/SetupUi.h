// What the installation core needs from a user interface, and nothing more.
//
// Contract. The core talks to whoever shows it through this one interface:
// message boxes, the progress display (a bar with a range, a step and a
// position, plus a percentage text), the "press Next" that ends the progress
// page, and the folder browser of the install path page. The installation
// runs on its own thread and calls ShowMessageBox, the progress operations,
// SetPercentText and PressNext from there; an implementation that owns
// windows must carry each call over to its own user-interface thread and
// wait for it (ShowMessageBox must return the button that was pressed), and must
// let PressNext move on although the wizard's buttons are disabled.
// StartInstallation, on the user-interface thread, also shows a box and
// presses Next there itself when no installation thread can be started.
// BrowseForFolder is only called on the user-interface thread. `owner` is an opaque window
// of the implementation, or null for a box without owner (every box the
// installation thread raises has none). `flags` are the Windows message box
// flags (the Flag* values below, combinable); ShowMessageBox answers a button id
// (IdOk, ...). The progress operations behave as the common progress control
// does: StepIt adds the step to the position and clamps it to the range, a
// negative step moves the bar back, and SetStep answers the previous step.
#pragma once

#include <cstdint>

#include "core/CSPString.h"

class SetupUi {
 public:
  // Buttons and icons of a message box, with their Windows values.
  static constexpr uint32_t FlagOk = 0x00;
  static constexpr uint32_t FlagOkCancel = 0x01;
  static constexpr uint32_t FlagYesNo = 0x04;
  static constexpr uint32_t FlagIconError = 0x10;
  static constexpr uint32_t FlagIconQuestion = 0x20;
  static constexpr uint32_t FlagIconWarning = 0x30;
  static constexpr uint32_t FlagIconInformation = 0x40;
  // Answers of a message box.
  static constexpr int32_t IdOk = 1;
  static constexpr int32_t IdCancel = 2;
  static constexpr int32_t IdYes = 6;
  static constexpr int32_t IdNo = 7;

  virtual ~SetupUi() = default;

  virtual int32_t ShowMessageBox(void* owner, const CSPWString& text, const CSPWString& caption,
                                 uint32_t flags) = 0;

  virtual void SetProgressRange(int32_t low, int32_t high) = 0;
  virtual int32_t SetProgressStep(int32_t step) = 0;
  virtual void StepIt() = 0;
  virtual void GetProgressRange(int32_t& low, int32_t& high) = 0;
  virtual int32_t GetProgressPosition() = 0;
  virtual void SetPercentText(const CSPWString& text) = 0;

  // Moves the wizard from the progress page to the finish page.
  virtual void PressNext() = 0;

  // The shell's folder browser: false when the user cancels (or there is no
  // window to browse in); otherwise `path` is the chosen folder.
  virtual bool BrowseForFolder(const CSPWString& title, CSPWString& path) = 0;
};
