#include "wizard/DialogUnits.h"

#include <cstdint>
#include <cstdlib>

namespace {

// a * b / c rounded half away from zero, without overflow in between (the
// rule of MulDiv).
int ScaleRounded(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t magnitude = (std::llabs(product) + std::abs(c) / 2) / std::abs(c);
  return static_cast<int>((product < 0) != (c < 0) ? -magnitude : magnitude);
}

}  // namespace

const char16_t DialogBaseUnits::kWidthSample[] =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Half the extent of 26 letters, rounded: the average of the 52 to the
// nearest pixel, in whole-pixel steps as the dialog manager takes it.
DialogBaseUnits::DialogBaseUnits(int sampleWidth, int charHeight)
    : baseWidth((sampleWidth / 26 + 1) / 2), baseHeight(charHeight) {
  if (baseWidth < 1) baseWidth = 1;
  if (baseHeight < 1) baseHeight = 1;
}

int DialogBaseUnits::PointsToPixels(int points, int dotsPerInch) {
  return ScaleRounded(points, dotsPerInch, 72);
}

int DialogBaseUnits::ToPixelsX(int units) const { return ScaleRounded(units, baseWidth, 4); }

int DialogBaseUnits::ToPixelsY(int units) const { return ScaleRounded(units, baseHeight, 8); }
