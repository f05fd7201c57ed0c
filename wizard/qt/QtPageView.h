// The widgets of one page, laid out from its dialog template (dialog units
// of the template font) and kept in step with the page's controls: Refresh
// copies the controls to the widgets, and what the user does goes to the
// page's window-side operations, followed by `afterUserAction`.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class CDlgItem;
class CPropertyPage;

class QtPageView : public QWidget {
 public:
  QtPageView(CPropertyPage& page, std::function<void()> afterUserAction, QWidget* parent);

  void Refresh();
  CPropertyPage& Page() const { return page; }

  static int ToPixelsX(int dialogUnits) { return dialogUnits * 3 / 2; }
  static int ToPixelsY(int dialogUnits) { return dialogUnits * 13 / 8; }

 private:
  QWidget* Build(size_t index, CDlgItem& item);
  void Sync(QWidget* widget, const CDlgItem& item);
  void UserAction(const std::function<void()>& action);

  CPropertyPage& page;
  std::function<void()> afterUserAction;
  std::vector<std::pair<size_t, QWidget*>> widgets;  // control index, widget
  bool syncing = false;
};
