#include "wizard/qt/QtPageView.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "wizard/CPropertyPage.h"
#include "wizard/qt/QtText.h"
#include "wizard/qt/StaticText.h"
#include "wizard/qt/WizardArt.h"

QtPageView::QtPageView(CPropertyPage& page, std::function<void()> afterUserAction, QWidget* parent)
    : QWidget(parent),
      page(page),
      font(page.Template()),
      afterUserAction(std::move(afterUserAction)) {
  setObjectName(QStringLiteral("page_%1").arg(page.GetTemplateId()));
  setFont(font.Font());
  const DialogTemplate& dialog = page.Template();
  const DialogBaseUnits& units = font.Units();
  setFixedSize(units.ToPixelsX(dialog.cx), units.ToPixelsY(dialog.cy));
  std::vector<CDlgItem>& controls = page.Controls();
  for (size_t i = 0; i < controls.size(); ++i) {
    QWidget* widget = Build(i, controls[i]);
    const ControlTemplate& place = controls[i].layout;
    widget->setGeometry(units.ToPixelsX(place.x), units.ToPixelsY(place.y),
                        units.ToPixelsX(place.cx), units.ToPixelsY(place.cy));
    if (place.id != IDC_STATIC) widget->setObjectName(QStringLiteral("control_%1").arg(place.id));
    widgets.emplace_back(i, widget);
  }
  Refresh();
}

void QtPageView::UserAction(const std::function<void()>& action) {
  if (syncing) return;
  action();
  if (afterUserAction) afterUserAction();
}

QWidget* QtPageView::WidgetOf(int id) const {
  const std::vector<CDlgItem>& controls = page.Controls();
  for (const auto& [index, widget] : widgets) {
    if (controls[index].layout.id == id) return widget;
  }
  return nullptr;
}

QWidget* QtPageView::FirstTabStop() const {
  for (const auto& [index, widget] : widgets) {
    if (widget->isEnabled() && !widget->isHidden() && (widget->focusPolicy() & Qt::TabFocus))
      return widget;
  }
  return nullptr;
}

bool QtPageView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  int direction = 0;
  if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Left) direction = -1;
  if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Right) direction = +1;
  if (direction == 0 || (key->modifiers() & ~Qt::KeypadModifier) != 0) return false;
  const int id = watched->property("controlId").toInt();
  int focused = id;
  UserAction([&] { focused = page.MoveInGroup(id, direction); });
  if (QWidget* target = WidgetOf(focused)) target->setFocus(Qt::TabFocusReason);
  return true;
}

QWidget* QtPageView::Build(size_t index, CDlgItem& item) {
  const int id = item.layout.id;
  switch (item.layout.kind) {
    case ControlKind::Static: {
      auto* label = new StaticText(this);
      label->SetRightAligned((item.layout.style & StyleRight) != 0);
      if (item.layout.style & StyleBold) label->setFont(font.Bold(1.5));
      return label;
    }
    case ControlKind::Edit: {
      if (item.layout.style & StyleMultiLine) {
        auto* edit = new QPlainTextEdit(this);
        edit->setReadOnly((item.layout.style & StyleReadOnly) != 0);
        // In a dialog, Tab leaves a multi-line edit as it leaves any control.
        edit->setTabChangesFocus(true);
        return edit;
      }
      auto* edit = new QLineEdit(this);
      edit->setReadOnly((item.layout.style & StyleReadOnly) != 0);
      connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        UserAction([&] { page.TypeText(id, FromQString(text)); });
      });
      return edit;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::PushButton: {
      QAbstractButton* button = nullptr;
      if (item.layout.kind == ControlKind::CheckBox) button = new QCheckBox(this);
      if (item.layout.kind == ControlKind::RadioButton) {
        auto* radio = new QRadioButton(this);
        radio->setAutoExclusive(false);  // the page's group logic decides
        radio->setProperty("controlId", id);
        radio->installEventFilter(this);
        button = radio;
      }
      if (button == nullptr) button = new QPushButton(this);
      connect(button, &QAbstractButton::clicked, this,
              [this, id] { UserAction([&] { page.ClickControl(id); }); });
      return button;
    }
    case ControlKind::ListView: {
      auto* list = new QTreeWidget(this);
      list->setRootIsDecorated(false);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setSelectionBehavior(QAbstractItemView::SelectRows);
      list->header()->setStretchLastSection(false);
      connect(list, &QTreeWidget::itemChanged, this, [this, id, list](QTreeWidgetItem* row, int) {
        int at = list->indexOfTopLevelItem(row);
        bool checked = row->checkState(0) == Qt::Checked;
        UserAction([&] { page.CheckRow(id, at, checked); });
      });
      return list;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(this);
      bar->setTextVisible(false);
      return bar;
    }
  }
  (void)index;
  return new QWidget(this);
}

void QtPageView::Refresh() {
  syncing = true;
  std::vector<CDlgItem>& controls = page.Controls();
  for (auto& [index, widget] : widgets) Sync(widget, controls[index]);
  syncing = false;
}

namespace {

void SyncList(QTreeWidget* list, const CDlgItem& item) {
  if (list->columnCount() != static_cast<int>(item.columns.size())) {
    QStringList headings;
    for (const ListViewColumn& column : item.columns) headings << ToQString(column.heading);
    list->setColumnCount(static_cast<int>(item.columns.size()));
    list->setHeaderLabels(headings);
    for (size_t c = 0; c < item.columns.size(); ++c)
      list->setColumnWidth(static_cast<int>(c), item.columns[c].width);
  }
  if (list->topLevelItemCount() != static_cast<int>(item.rows.size())) {
    list->clear();
    for (size_t r = 0; r < item.rows.size(); ++r) list->addTopLevelItem(new QTreeWidgetItem());
  }
  const bool checkBoxes = (item.extendedStyle & LVS_EX_CHECKBOXES) != 0;
  for (size_t r = 0; r < item.rows.size(); ++r) {
    const ListViewRow& row = item.rows[r];
    QTreeWidgetItem* shown = list->topLevelItem(static_cast<int>(r));
    shown->setText(0, ToQString(row.text));
    for (size_t s = 1; s < row.subItems.size(); ++s)
      shown->setText(static_cast<int>(s), ToQString(row.subItems[s]));
    if (row.image >= 0 && static_cast<size_t>(row.image) < item.images.size())
      shown->setIcon(0, WizardIcon(item.images[static_cast<size_t>(row.image)]));
    if (checkBoxes) shown->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace

void QtPageView::Sync(QWidget* widget, const CDlgItem& item) {
  widget->setEnabled(item.enabled);
  widget->setVisible(item.visible);
  const QString text = ToQString(item.text);
  if (auto* label = dynamic_cast<StaticText*>(widget)) {
    label->SetText(text);
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    if (line->text() != text) line->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
    if (plain->toPlainText() != text) plain->setPlainText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
    if (button->isCheckable()) button->setChecked(item.checked);
  } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
    SyncList(list, item);
  } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
    bar->setRange(item.rangeLow, std::max(item.rangeLow, item.rangeHigh));
    bar->setValue(item.position);
  }
}
