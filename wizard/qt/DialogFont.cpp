#include "wizard/qt/DialogFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRawFont>
#include <QScreen>

namespace {

constexpr int kDefaultPoints = 8;
constexpr int kDefaultDpi = 96;

// The shell's dialog face names stand for the server's user-interface
// face; the server draws both with this one.
QString FaceOf(const char16_t* face) {
  const QString name = face != nullptr ? QString::fromUtf16(face) : QString();
  if (name.isEmpty() || name.compare(QLatin1String("MS Shell Dlg"), Qt::CaseInsensitive) == 0 ||
      name.compare(QLatin1String("MS Shell Dlg 2"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Tahoma");
  return name;
}

// The font file that the build found for the dialog face, which the
// system's font configuration may not list. Only the regular style: the
// bold file of that package holds no usable outlines, and a bold drawn
// from the regular one looks right.
void AddBundledFace() {
  static bool added = false;
  if (added) return;
  added = true;
#ifdef QUAVER_DIALOG_FONT
  QFontDatabase::addApplicationFont(QStringLiteral(QUAVER_DIALOG_FONT));
#endif
}

int DotsPerInch() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : kDefaultDpi;
}

QFont MakeFont(const QString& face, int points) {
  if (!QFontDatabase::families().contains(face, Qt::CaseInsensitive)) AddBundledFace();
  QFont font(face);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(DialogBaseUnits::PointsToPixels(points, DotsPerInch()));
  return font;
}

int SampleWidth(const QFont& font) {
  return QFontMetrics(font).horizontalAdvance(QString::fromUtf16(DialogBaseUnits::kWidthSample));
}

}  // namespace

DialogFont::CharMetrics DialogFont::MetricsOf(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  const QByteArray table = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
  constexpr int kWinAscent = 74;
  constexpr int kWinDescent = 76;
  if (table.size() < kWinDescent + 2 || raw.unitsPerEm() <= 0) {
    const QFontMetrics metrics(font);
    return CharMetrics{metrics.ascent(), metrics.descent()};
  }
  auto word = [&table](int at) {
    return (static_cast<uchar>(table[at]) << 8) | static_cast<uchar>(table[at + 1]);
  };
  const qreal scale = raw.pixelSize() / raw.unitsPerEm();
  return CharMetrics{qRound(word(kWinAscent) * scale), qRound(word(kWinDescent) * scale)};
}

DialogFont::DialogFont(const DialogTemplate& dialog)
    : font(MakeFont(FaceOf(dialog.font), dialog.fontSize > 0 ? dialog.fontSize : kDefaultPoints)),
      points(dialog.fontSize > 0 ? dialog.fontSize : kDefaultPoints),
      units(SampleWidth(font), MetricsOf(font).Height()) {}

QFont DialogFont::Bold(double scale) const {
  QFont bold = font;
  bold.setBold(true);
  bold.setPixelSize(DialogBaseUnits::PointsToPixels(qRound(points * scale), DotsPerInch()));
  // A bold made from the regular outlines thickens the strokes but keeps
  // the advances; a pixel between letters keeps them apart, about as far
  // as a designed bold sets them.
  if (!QFontDatabase::styles(QFontInfo(font).family()).contains(QLatin1String("Bold")))
    bold.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  return bold;
}
