// A static text control as the server draws one: the text broken at its
// line ends and wrapped at word boundaries to the control's width, one line
// every character height of the font (the server's measure, not the
// toolkit's tighter line), left or right aligned, cut off at the control's
// edges, grey when disabled.
#pragma once

#include <QTextLayout>
#include <QWidget>
#include <memory>
#include <vector>

class StaticText : public QWidget {
 public:
  explicit StaticText(QWidget* parent);

  void SetText(const QString& text);
  const QString& Text() const { return text; }
  void SetRightAligned(bool right);
  // The lines the text takes at the control's width.
  int LineCount();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();

  QString text;
  bool rightAligned = false;
  bool laidOut = false;
  int baselineShift = 0;  // the server's ascent over the toolkit's
  std::vector<std::unique_ptr<QTextLayout>> paragraphs;
};
