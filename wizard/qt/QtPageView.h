// The widgets of one page, laid out from its dialog template (dialog units
// of the template's font, which the widgets use) and kept in step with the
// page's controls: Refresh copies the controls to the widgets, and what the
// user does goes to the page's window-side operations, followed by
// `afterUserAction`. Arrow keys move and select within a radio group.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "wizard/qt/DialogFont.h"

class CDlgItem;
class CPropertyPage;

class QtPageView : public QWidget {
 public:
  QtPageView(CPropertyPage& page, std::function<void()> afterUserAction, QWidget* parent);

  void Refresh();
  CPropertyPage& Page() const { return page; }
  // The first control that the Tab key reaches, or null.
  QWidget* FirstTabStop() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* Build(size_t index, CDlgItem& item);
  void Sync(QWidget* widget, const CDlgItem& item);
  void UserAction(const std::function<void()>& action);
  QWidget* WidgetOf(int id) const;

  CPropertyPage& page;
  DialogFont font;
  std::function<void()> afterUserAction;
  std::vector<std::pair<size_t, QWidget*>> widgets;  // control index, widget
  bool syncing = false;
};
