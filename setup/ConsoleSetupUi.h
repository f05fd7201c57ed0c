// The user interface of an installation without a window: message boxes go
// to the error stream as "caption: text", the progress is a bar with its
// percentage redrawn in place on a terminal, and there is no folder browser.
#pragma once

#include <cstdint>
#include <iostream>
#include <mutex>

#include "setup/SetupUi.h"

class ConsoleSetupUi : public SetupUi {
 public:
  // `drawBar` false keeps the progress silent (the percentage is still kept).
  explicit ConsoleSetupUi(std::ostream& stream = std::cerr, bool drawBar = true);

  // Writes the box and answers OK (Yes for a yes/no question): an unattended
  // run accepts what a user would most likely accept.
  int32_t ShowMessageBox(void* owner, const CSPWString& text, const CSPWString& caption,
                         uint32_t flags) override;
  void SetProgressRange(int32_t low, int32_t high) override;
  int32_t SetProgressStep(int32_t step) override;
  void StepIt() override;
  void GetProgressRange(int32_t& low, int32_t& high) override;
  int32_t GetProgressPosition() override;
  void SetPercentText(const CSPWString& text) override;
  void PressNext() override;
  bool BrowseForFolder(const CSPWString& title, CSPWString& path) override;

  bool WasNextPressed() const { return nextPressed; }
  const CSPWString& GetPercentText() const { return percentText; }
  // Ends a bar line that is still open, so that later output starts clean.
  void FinishLine();

 private:
  void DrawBar();

  std::mutex lock;
  std::ostream& stream;
  bool drawBar;
  bool lineOpen = false;
  int32_t low = 0;
  int32_t high = 100;
  int32_t step = 10;
  int32_t position = 0;
  CSPWString percentText;
  bool nextPressed = false;
};
