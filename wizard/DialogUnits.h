// Dialog units as the dialog manager turns them into pixels: a horizontal
// unit is a quarter of the dialog font's average character width, a
// vertical unit an eighth of its character height, and every conversion
// rounds as MulDiv does. The average width is that of the 52 letters A-Z
// and a-z; the font's own "average width" figure is only the width of "x"
// and lays text out too narrow or too wide.
#pragma once

class DialogBaseUnits {
 public:
  // The letters whose text extent gives the average character width.
  static const char16_t kWidthSample[];

  // `sampleWidth`: the text extent of kWidthSample in the dialog font, in
  // pixels; `charHeight`: the font's character height (ascent + descent).
  DialogBaseUnits(int sampleWidth, int charHeight);

  // The pixel height of a font of `points` on a display of `dotsPerInch`,
  // as a dialog's font is created from its template.
  static int PointsToPixels(int points, int dotsPerInch);

  int BaseWidth() const { return baseWidth; }
  int BaseHeight() const { return baseHeight; }
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;

 private:
  int baseWidth;
  int baseHeight;
};
