#include "wizard/qt/WizardArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "wizard/Pictures.h"

namespace {

const QColor kDeep(16, 46, 110);
const QColor kBlue(40, 110, 200);
const QColor kTeal(60, 190, 200);

// The product's mark: a ring with a tail, the letter of the product's name.
void DrawEmblem(QPainter& painter, const QRectF& box, const QColor& ring, const QColor& tail) {
  const qreal thickness = box.width() * 0.16;
  QRectF circle = box.adjusted(thickness, thickness, -thickness, -thickness);
  painter.setPen(QPen(ring, thickness, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(circle, 60 * 16, 300 * 16);
  painter.setPen(QPen(tail, thickness, Qt::SolidLine, Qt::RoundCap));
  QPointF centre = circle.center();
  painter.drawLine(centre + QPointF(circle.width() * 0.12, circle.height() * 0.12),
                   QPointF(box.right() - thickness * 0.6, box.bottom() - thickness * 0.6));
}

QPixmap Header() {
  QPixmap pixmap(49, 49);
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawEmblem(painter, QRectF(4, 4, 41, 41), kBlue, kTeal);
  return pixmap;
}

QPixmap Icon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 32);
  fill.setColorAt(0, kBlue);
  fill.setColorAt(1, kDeep);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
  DrawEmblem(painter, QRectF(5, 5, 22, 22), Qt::white, kTeal);
  return pixmap;
}

QPixmap Website() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient sea(QPointF(6, 6), 9);
  sea.setColorAt(0, QColor(150, 210, 255));
  sea.setColorAt(1, kBlue);
  painter.setBrush(sea);
  painter.setPen(QPen(kDeep, 1));
  QRectF globe(1.5, 1.5, 13, 13);
  painter.drawEllipse(globe);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(230, 245, 255), 0.8));
  painter.drawEllipse(QRectF(5, 1.5, 6, 13));
  painter.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
  painter.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
  return pixmap;
}

QPixmap Watermark() {
  QPixmap pixmap(164, 314);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 314);
  fill.setColorAt(0, kDeep);
  fill.setColorAt(0.6, kBlue);
  fill.setColorAt(1, kTeal);
  painter.fillRect(pixmap.rect(), fill);
  // Waves across the lower half: requests flowing through the server.
  for (int i = 0; i < 6; ++i) {
    QPainterPath wave;
    qreal y = 170 + i * 22;
    wave.moveTo(-10, y);
    wave.cubicTo(40, y - 28, 110, y + 28, 180, y - 6);
    painter.setPen(QPen(QColor(255, 255, 255, 40 + i * 12), 2));
    painter.drawPath(wave);
  }
  DrawEmblem(painter, QRectF(32, 40, 100, 100), QColor(255, 255, 255, 230), kTeal);
  return pixmap;
}

}  // namespace

QPixmap WizardPicture(UINT resourceId) {
  switch (resourceId) {
    case IDB_HEADER:
      return Header();
    case IDI_BIGICON:
      return Icon();
    case IDB_WEBSITE:
      return Website();
    case IDB_WATERMARK:
      return Watermark();
    default:
      return QPixmap();
  }
}

QIcon WizardIcon(UINT resourceId) { return QIcon(WizardPicture(resourceId)); }
