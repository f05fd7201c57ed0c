#include "setup/ConsoleSetupUi.h"

#include <string>

namespace {

std::string Utf8(const CSPWString& text) {
  CSPString bytes;
  if (!text.WideToUtf8(bytes)) return std::string();
  return std::string(bytes.GetString(), bytes.GetLength());
}

constexpr int kBarWidth = 40;

}  // namespace

ConsoleSetupUi::ConsoleSetupUi(std::ostream& stream, bool drawBar)
    : stream(stream), drawBar(drawBar) {}

int32_t ConsoleSetupUi::ShowMessageBox(void*, const CSPWString& text, const CSPWString& caption,
                                       uint32_t flags) {
  std::lock_guard<std::mutex> guard(lock);
  if (lineOpen) stream << '\n';
  lineOpen = false;
  std::string shown = Utf8(text);
  // Boxes use "\r\n" and "\n" alike; a terminal wants plain line feeds.
  for (size_t at = shown.find('\r'); at != std::string::npos; at = shown.find('\r', at)) {
    shown.erase(at, 1);
  }
  stream << Utf8(caption) << ": " << shown << std::endl;
  return (flags & 0x0F) == FlagYesNo ? IdYes : IdOk;
}

void ConsoleSetupUi::SetProgressRange(int32_t newLow, int32_t newHigh) {
  std::lock_guard<std::mutex> guard(lock);
  low = newLow;
  high = newHigh;
  position = low;
}

int32_t ConsoleSetupUi::SetProgressStep(int32_t newStep) {
  std::lock_guard<std::mutex> guard(lock);
  int32_t previous = step;
  step = newStep;
  return previous;
}

void ConsoleSetupUi::StepIt() {
  std::lock_guard<std::mutex> guard(lock);
  position += step;
  if (position > high) position = high;
  if (position < low) position = low;
}

void ConsoleSetupUi::GetProgressRange(int32_t& rangeLow, int32_t& rangeHigh) {
  std::lock_guard<std::mutex> guard(lock);
  rangeLow = low;
  rangeHigh = high;
}

int32_t ConsoleSetupUi::GetProgressPosition() {
  std::lock_guard<std::mutex> guard(lock);
  return position;
}

void ConsoleSetupUi::SetPercentText(const CSPWString& text) {
  std::lock_guard<std::mutex> guard(lock);
  percentText = text;
  if (drawBar) DrawBar();
}

void ConsoleSetupUi::DrawBar() {
  const int64_t span = high > low ? high - low : 1;
  const int filled = static_cast<int>((position - low) * kBarWidth / span);
  std::string bar(static_cast<size_t>(filled < 0 ? 0 : filled), '#');
  bar.resize(kBarWidth, '.');
  std::string percent = Utf8(percentText);
  if (percent.size() < 4) percent.insert(0, 4 - percent.size(), ' ');
  stream << "\r[" << bar << "] " << percent << std::flush;
  lineOpen = true;
}

void ConsoleSetupUi::PressNext() {
  std::lock_guard<std::mutex> guard(lock);
  nextPressed = true;
}

bool ConsoleSetupUi::BrowseForFolder(const CSPWString&, CSPWString&) { return false; }

void ConsoleSetupUi::FinishLine() {
  std::lock_guard<std::mutex> guard(lock);
  if (lineOpen) stream << std::endl;
  lineOpen = false;
}
