#include "wizard/qt/StaticText.h"

#include <QEvent>
#include <QPainter>
#include <QTextLine>

#include "wizard/qt/DialogFont.h"

StaticText::StaticText(QWidget* parent) : QWidget(parent) {}

void StaticText::SetText(const QString& shown) {
  if (shown == text) return;
  text = shown;
  laidOut = false;
  update();
}

void StaticText::SetRightAligned(bool right) {
  rightAligned = right;
  laidOut = false;
  update();
}

int StaticText::LineCount() {
  Layout();
  int lines = 0;
  for (const auto& paragraph : paragraphs) lines += paragraph->lineCount();
  return lines;
}

void StaticText::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) laidOut = false;
  QWidget::changeEvent(event);
}

void StaticText::resizeEvent(QResizeEvent* event) {
  laidOut = false;
  QWidget::resizeEvent(event);
}

void StaticText::Layout() {
  if (laidOut) return;
  laidOut = true;
  paragraphs.clear();
  if (text.isEmpty()) return;
  const DialogFont::CharMetrics metrics = DialogFont::MetricsOf(font());
  baselineShift = metrics.ascent - fontMetrics().ascent();
  QTextOption option(rightAligned ? Qt::AlignRight : Qt::AlignLeft);
  option.setWrapMode(QTextOption::WordWrap);
  qreal top = 0;
  for (const QString& part : text.split(QLatin1Char('\n'))) {
    auto paragraph = std::make_unique<QTextLayout>(part, font());
    paragraph->setTextOption(option);
    paragraph->beginLayout();
    for (QTextLine line = paragraph->createLine(); line.isValid(); line = paragraph->createLine()) {
      line.setLineWidth(width());
      line.setPosition(QPointF(0, top + baselineShift));
      top += metrics.Height();
    }
    paragraph->endLayout();
    paragraphs.push_back(std::move(paragraph));
  }
}

void StaticText::paintEvent(QPaintEvent*) {
  Layout();
  QPainter painter(this);
  painter.setClipRect(rect());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  for (const auto& paragraph : paragraphs) paragraph->draw(&painter, QPointF(0, 0));
}
