#include "wizard/qt/QtSheetWindow.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "wizard/CPropertyPage.h"
#include "wizard/CPropertySheet.h"
#include "wizard/qt/QtPageView.h"
#include "wizard/qt/QtText.h"
#include "wizard/qt/WizardArt.h"

namespace {

// In dialog units: the margin round the buttons and beside the interior
// pages, the wizard buttons' size and the least height of the header band.
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kLeastHeaderHeight = 36;
constexpr int kRuleHeight = 2;  // pixels: an etched line

// A property sheet takes its font from its first page.
DialogTemplate FontSource(const CPropertySheet& sheet) {
  const CPropertyPage* first = sheet.GetPage(0);
  if (first != nullptr) return first->Template();
  return DialogTemplate{0, 0, 0, nullptr, u"MS Shell Dlg", 8, {}};
}

bool HidesHeader(const CPropertyPage& page) { return (page.m_psp.dwFlags & PSP_HIDEHEADER) != 0; }

QFrame* Rule(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setFixedHeight(kRuleHeight);
  return line;
}

void PaintWhite(QWidget* widget) {
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, Qt::white);
  widget->setPalette(palette);
}

}  // namespace

QtSheetWindow::QtSheetWindow(CPropertySheet& sheet, QWidget* parent)
    : QDialog(parent), sheet(sheet), font(FontSource(sheet)) {
  setObjectName(QStringLiteral("wizard"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFont(font.Font());
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* area = new QWidget(this);
  BuildPageArea(area);
  column->addWidget(area);
  QFrame* buttonRule = Rule(this);
  buttonRule->setObjectName(QStringLiteral("buttonRule"));
  column->addWidget(buttonRule);
  BuildButtons(column);
  // One of the two page areas is shown at a time.
  interior->hide();
  setFixedSize(area->width(), sizeHint().height());
}

// Exterior pages fill the area beside the watermark; interior pages sit
// below the header band and end where the area ends, on the button rule.
void QtSheetWindow::BuildPageArea(QWidget* area) {
  const DialogBaseUnits& units = font.Units();
  int pageWidth = 0, exteriorHeight = 0, interiorHeight = 0;
  for (int i = 0; i < sheet.GetPageCount(); ++i) {
    const CPropertyPage& page = *sheet.GetPage(i);
    pageWidth = std::max(pageWidth, units.ToPixelsX(page.Template().cx));
    int& height = HidesHeader(page) ? exteriorHeight : interiorHeight;
    height = std::max(height, units.ToPixelsY(page.Template().cy));
  }
  const int margin = units.ToPixelsX(kMargin);
  const int width = pageWidth + 2 * margin;
  const int height =
      std::max(exteriorHeight, units.ToPixelsY(kLeastHeaderHeight) + kRuleHeight + interiorHeight);
  area->setFixedSize(width, height);
  BuildExterior(area, pageWidth);
  BuildInterior(area, height - kRuleHeight - interiorHeight);
}

void QtSheetWindow::BuildExterior(QWidget* area, int pageWidth) {
  exterior = new QWidget(area);
  exterior->setGeometry(area->rect());
  PaintWhite(exterior);
  watermark = new QLabel(exterior);
  watermark->setScaledContents(true);
  if (sheet.m_psh.dwFlags & PSH_WATERMARK) {
    const QPixmap picture = WizardPicture(sheet.m_psh.hbmWatermark);
    watermark->setPixmap(picture);
    watermark->setGeometry(0, 0, picture.width(), area->height());
  }
  exteriorPages = new QStackedWidget(exterior);
  exteriorPages->setGeometry(0, 0, pageWidth, area->height());
}

void QtSheetWindow::BuildInterior(QWidget* area, int headerHeight) {
  const DialogBaseUnits& units = font.Units();
  const int margin = units.ToPixelsX(kMargin);
  const int width = area->width();
  interior = new QWidget(area);
  interior->setGeometry(area->rect());
  header = new QWidget(interior);
  header->setObjectName(QStringLiteral("header"));
  header->setGeometry(0, 0, width, headerHeight);
  PaintWhite(header);
  auto* band = new QHBoxLayout(header);
  // The title lines up with the controls of the pages below it.
  band->setContentsMargins(2 * margin, units.ToPixelsY(kMargin), margin, 0);
  headerTitle = new QLabel(header);
  headerTitle->setObjectName(QStringLiteral("headerTitle"));
  headerTitle->setTextFormat(Qt::PlainText);
  headerTitle->setFont(font.Bold(1.0));
  headerTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  headerPicture = new QLabel(header);
  if (sheet.m_psh.dwFlags & PSH_HEADER)
    headerPicture->setPixmap(WizardPicture(sheet.m_psh.hbmHeader));
  band->addWidget(headerTitle, 1);
  band->addWidget(headerPicture, 0, Qt::AlignRight | Qt::AlignTop);
  Rule(interior)->setGeometry(0, headerHeight, width, kRuleHeight);
  const int pageTop = headerHeight + kRuleHeight;
  interiorPages = new QStackedWidget(interior);
  interiorPages->setGeometry(margin, pageTop, width - 2 * margin, area->height() - pageTop);
}

void QtSheetWindow::BuildButtons(QVBoxLayout* column) {
  const DialogBaseUnits& units = font.Units();
  const int margin = units.ToPixelsX(kMargin);
  auto* buttons = new QHBoxLayout();
  buttons->setContentsMargins(margin, units.ToPixelsY(kMargin), margin, units.ToPixelsY(kMargin));
  buttons->setSpacing(0);
  buttons->addStretch();
  back = new QPushButton(QStringLiteral("< &Back"), this);
  next = new QPushButton(QStringLiteral("&Next >"), this);
  finish = new QPushButton(this);
  cancel = new QPushButton(QStringLiteral("Cancel"), this);
  back->setObjectName(QStringLiteral("back"));
  next->setObjectName(QStringLiteral("next"));
  finish->setObjectName(QStringLiteral("finish"));
  cancel->setObjectName(QStringLiteral("cancel"));
  for (QPushButton* button : {back, next, finish, cancel})
    button->setFixedSize(units.ToPixelsX(kButtonWidth), units.ToPixelsY(kButtonHeight));
  buttons->addWidget(back);
  buttons->addWidget(next);
  buttons->addWidget(finish);
  buttons->addSpacing(margin);
  buttons->addWidget(cancel);
  column->addLayout(buttons);

  connect(back, &QPushButton::clicked, this, [this] { Press(PSBTN_BACK); });
  connect(next, &QPushButton::clicked, this, [this] { Press(PSBTN_NEXT); });
  connect(finish, &QPushButton::clicked, this, [this] { Press(PSBTN_FINISH); });
  connect(cancel, &QPushButton::clicked, this, [this] { Press(PSBTN_CANCEL); });
}

void QtSheetWindow::Press(int button) {
  sheet.PressButton(button);
  Serve();
}

void QtSheetWindow::reject() {
  if (!sheet.IsCancelClose()) Press(PSBTN_CANCEL);
}

void QtSheetWindow::Serve() {
  if (serving) return;  // a message box opened by a page pumps on its own
  serving = true;
  sheet.Dispatcher().Pump();
  serving = false;
  Redraw();
  if (sheet.IsEnded() && isVisible()) done(static_cast<int>(sheet.GetResult()));
}

void QtSheetWindow::ScheduleRedraw() {
  if (redrawPending) return;
  redrawPending = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        redrawPending = false;
        Redraw();
      },
      Qt::QueuedConnection);
}

QtPageView* QtSheetWindow::ViewOf(int index) {
  auto found = views.find(index);
  if (found != views.end()) return found->second;
  CPropertyPage* page = sheet.GetPage(index);
  if (page == nullptr || !page->IsCreated()) return nullptr;
  QStackedWidget* stack = HidesHeader(*page) ? exteriorPages : interiorPages;
  auto* view = new QtPageView(
      *page, [this] { Serve(); }, stack);
  stack->addWidget(view);
  views[index] = view;
  return view;
}

QtPageView* QtSheetWindow::ActiveView() const {
  auto found = views.find(sheet.GetActiveIndex());
  return found != views.end() ? found->second : nullptr;
}

void QtSheetWindow::Redraw() {
  setWindowTitle(ToQString(sheet.GetWindowText()));
  if (sheet.GetBigIcon() != 0) setWindowIcon(WizardIcon(sheet.GetBigIcon()));
  QtPageView* view = ViewOf(sheet.GetActiveIndex());
  const bool pageChanged = view != nullptr && sheet.GetActiveIndex() != shownIndex;
  // Where the focus was before the old page went: on that page, or on one
  // of the sheet's buttons.
  QPointer<QWidget> focused = QApplication::focusWidget();
  const bool focusOnButton = focused != nullptr && (focused == back || focused == next ||
                                                    focused == finish || focused == cancel);
  if (view != nullptr) {
    CPropertyPage& page = view->Page();
    exterior->setVisible(HidesHeader(page));
    interior->setVisible(!HidesHeader(page));
    headerTitle->setText(
        (page.m_psp.dwFlags & PSP_USEHEADERTITLE) ? ToQString(page.m_strHeaderTitle) : QString());
    static_cast<QStackedWidget*>(view->parentWidget())->setCurrentWidget(view);
    shownIndex = sheet.GetActiveIndex();
  }
  // Pages left meanwhile keep what was last sent to them, as windows do.
  for (auto& [index, shown] : views) shown->Refresh();
  ShowButtons();
  if (pageChanged) FocusInto(view, focusOnButton ? focused.data() : nullptr);
}

void QtSheetWindow::ShowButtons() {
  const DWORD flags = sheet.GetWizardButtons();
  const bool finishShown = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
  back->setEnabled((flags & PSWIZB_BACK) != 0);
  back->setVisible(!(flags & PSWIZB_FINISH) || (flags & PSWIZB_BACK));
  next->setEnabled((flags & PSWIZB_NEXT) != 0);
  next->setVisible(!finishShown);
  finish->setVisible(finishShown);
  finish->setEnabled((flags & PSWIZB_FINISH) != 0);
  finish->setText(ToQString(sheet.GetFinishText()));
  // After cancel-to-close there is nothing left to cancel: Cancel is greyed.
  cancel->setEnabled(!sheet.IsCancelClose());
  QPushButton* wanted = finishShown ? finish : next;
  if (wanted != mainDefault) {
    wanted->setDefault(true);
    mainDefault = wanted;
  }
}

// A new page takes the focus to its first control (or to the default
// button when it has none) unless the focus was on one of the sheet's own
// buttons that is still there to use.
void QtSheetWindow::FocusInto(QtPageView* view, QWidget* button) {
  // The window itself may not be shown yet: what counts is whether the
  // widget is.
  auto usable = [](QWidget* widget) {
    return widget != nullptr && widget->isEnabled() && !widget->isHidden();
  };
  QWidget* target = usable(button) ? button : view->FirstTabStop();
  if (target == nullptr && usable(mainDefault)) target = mainDefault;
  if (target == nullptr && usable(cancel)) target = cancel;
  if (target != nullptr) target->setFocus(Qt::TabFocusReason);
}
