// A wizard sheet in a window with the look of a classic installer: the
// watermark beside the exterior pages (PSP_HIDEHEADER), a white header band
// with the page's title and the header bitmap above the interior ones, and
// Back, Next or Finish, and Cancel at the bottom. Sizes come from the dialog
// units of the first page's font, as a property sheet takes its font from
// its first page; an interior page ends on the rule above the buttons.
// Next, or Finish where it is shown, is the default button, so Enter
// presses it; a page's push button is the default only while it has the
// focus.
#pragma once

#include <QDialog>
#include <map>

#include "wizard/qt/DialogFont.h"

class CPropertySheet;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QtPageView;

class QtSheetWindow : public QDialog {
 public:
  explicit QtSheetWindow(CPropertySheet& sheet, QWidget* parent = nullptr);

  // Runs what the sheet's queue holds and redraws from the sheet's state;
  // closes the window when the sheet has ended.
  void Serve();
  // Redraws from the sheet's state when the event loop next runs, also the
  // loop of a message box that is open meanwhile; asking again before then
  // changes nothing.
  void ScheduleRedraw();
  CPropertySheet& Sheet() const { return sheet; }
  QtPageView* ActiveView() const;

 protected:
  void reject() override;  // Escape and the window's close box

 private:
  void BuildPageArea(QWidget* area);
  void BuildExterior(QWidget* area, int pageWidth);
  void BuildInterior(QWidget* area, int headerHeight);
  void BuildButtons(QVBoxLayout* column);
  void Press(int button);
  void Redraw();
  void ShowButtons();
  void FocusInto(QtPageView* view, QWidget* button);
  QtPageView* ViewOf(int index);

  CPropertySheet& sheet;
  DialogFont font;
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
  QPushButton* mainDefault = nullptr;
  int shownIndex = -1;
  bool serving = false;
  bool redrawPending = false;
};
