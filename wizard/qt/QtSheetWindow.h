// A wizard sheet in a window with the look of a classic installer: the
// watermark beside the exterior pages (PSP_HIDEHEADER), a white header band
// with the page's title and the header bitmap above the interior ones, and
// Back, Next or Finish, and Cancel (or a disabled Close) at the bottom.
#pragma once

#include <QDialog>
#include <map>

class CPropertySheet;
class QLabel;
class QPushButton;
class QStackedWidget;
class QtPageView;

class QtSheetWindow : public QDialog {
 public:
  explicit QtSheetWindow(CPropertySheet& sheet, QWidget* parent = nullptr);

  // Runs what the sheet's queue holds and redraws from the sheet's state;
  // closes the window when the sheet has ended.
  void Serve();
  CPropertySheet& Sheet() const { return sheet; }
  QtPageView* ActiveView() const;

 protected:
  void reject() override;  // Escape and the window's close box

 private:
  void Press(int button);
  void Redraw();
  QtPageView* ViewOf(int index);

  CPropertySheet& sheet;
  std::map<int, QtPageView*> views;  // by page index, made on first display
  QWidget* header = nullptr;
  QLabel* headerTitle = nullptr;
  QLabel* headerPicture = nullptr;
  QLabel* watermark = nullptr;
  QWidget* interior = nullptr;
  QWidget* exterior = nullptr;
  QStackedWidget* interiorPages = nullptr;
  QStackedWidget* exteriorPages = nullptr;
  QPushButton* back = nullptr;
  QPushButton* next = nullptr;
  QPushButton* finish = nullptr;
  QPushButton* cancel = nullptr;
  bool serving = false;
};
