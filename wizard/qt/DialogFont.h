// The font of a dialog template on this display, and the dialog units it
// gives. The shell's dialog face ("MS Shell Dlg") is drawn with a
// metric-compatible face where one is installed, so that text fits the
// templates as it does on the server; otherwise the system's sans-serif
// stands in and its own metrics size the page, so nothing clips either.
#pragma once

#include <QFont>

#include "wizard/DialogTemplate.h"
#include "wizard/DialogUnits.h"

class DialogFont {
 public:
  // A font's ascent and descent as the server measures them: from the
  // face's Windows metrics, which can be taller than the typographic line
  // the toolkit uses for the same face.
  struct CharMetrics {
    int ascent;
    int descent;
    int Height() const { return ascent + descent; }
  };
  static CharMetrics MetricsOf(const QFont& font);

  explicit DialogFont(const DialogTemplate& dialog);

  const QFont& Font() const { return font; }
  // The same face, bold, at `scale` times the template's point size.
  QFont Bold(double scale) const;
  const DialogBaseUnits& Units() const { return units; }

 private:
  QFont font;
  int points;
  DialogBaseUnits units;
};
