#include "wizard/qt/QtSheetWindow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "wizard/CPropertyPage.h"
#include "wizard/CPropertySheet.h"
#include "wizard/qt/QtPageView.h"
#include "wizard/qt/QtText.h"
#include "wizard/qt/WizardArt.h"

namespace {

constexpr int kWidth = 497;
constexpr int kTopHeight = 314;
constexpr int kHeaderHeight = 58;
constexpr int kWatermarkWidth = 164;

QFrame* Rule(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
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
    : QDialog(parent), sheet(sheet) {
  setObjectName(QStringLiteral("wizard"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Exterior pages: watermark at the left, page on white.
  exterior = new QWidget(this);
  exterior->setFixedSize(kWidth, kTopHeight);
  PaintWhite(exterior);
  watermark = new QLabel(exterior);
  watermark->setGeometry(0, 0, kWatermarkWidth, kTopHeight);
  watermark->setScaledContents(true);
  exteriorPages = new QStackedWidget(exterior);
  exteriorPages->setGeometry(0, 0, kWidth, kTopHeight);
  watermark->lower();
  column->addWidget(exterior);

  // Interior pages: header band, rule, page.
  interior = new QWidget(this);
  interior->setFixedSize(kWidth, kTopHeight);
  auto* inner = new QVBoxLayout(interior);
  inner->setContentsMargins(0, 0, 0, 0);
  inner->setSpacing(0);
  header = new QWidget(interior);
  header->setObjectName(QStringLiteral("header"));
  header->setFixedHeight(kHeaderHeight);
  PaintWhite(header);
  auto* band = new QHBoxLayout(header);
  band->setContentsMargins(22, 6, 6, 4);
  headerTitle = new QLabel(header);
  headerTitle->setObjectName(QStringLiteral("headerTitle"));
  QFont bold = headerTitle->font();
  bold.setBold(true);
  headerTitle->setFont(bold);
  headerTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  headerPicture = new QLabel(header);
  band->addWidget(headerTitle, 1);
  band->addWidget(headerPicture, 0, Qt::AlignRight | Qt::AlignVCenter);
  inner->addWidget(header);
  inner->addWidget(Rule(interior));
  interiorPages = new QStackedWidget(interior);
  inner->addWidget(interiorPages, 1, Qt::AlignHCenter | Qt::AlignTop);
  inner->addStretch();
  column->addWidget(interior);

  column->addWidget(Rule(this));
  auto* buttons = new QHBoxLayout();
  buttons->setContentsMargins(10, 10, 10, 10);
  buttons->addStretch();
  back = new QPushButton(QStringLiteral("< &Back"), this);
  next = new QPushButton(QStringLiteral("&Next >"), this);
  finish = new QPushButton(this);
  cancel = new QPushButton(QStringLiteral("Cancel"), this);
  back->setObjectName(QStringLiteral("back"));
  next->setObjectName(QStringLiteral("next"));
  finish->setObjectName(QStringLiteral("finish"));
  cancel->setObjectName(QStringLiteral("cancel"));
  for (QPushButton* button : {back, next, finish, cancel}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(75);
  }
  buttons->addWidget(back);
  buttons->addWidget(next);
  buttons->addWidget(finish);
  buttons->addSpacing(8);
  buttons->addWidget(cancel);
  column->addLayout(buttons);

  connect(back, &QPushButton::clicked, this, [this] { Press(PSBTN_BACK); });
  connect(next, &QPushButton::clicked, this, [this] { Press(PSBTN_NEXT); });
  connect(finish, &QPushButton::clicked, this, [this] { Press(PSBTN_FINISH); });
  connect(cancel, &QPushButton::clicked, this, [this] { Press(PSBTN_CANCEL); });

  if (sheet.m_psh.dwFlags & PSH_WATERMARK)
    watermark->setPixmap(WizardPicture(sheet.m_psh.hbmWatermark));
  if (sheet.m_psh.dwFlags & PSH_HEADER)
    headerPicture->setPixmap(WizardPicture(sheet.m_psh.hbmHeader));
  // One of the two page areas is shown at a time.
  interior->hide();
  setFixedSize(kWidth, sizeHint().height());
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

QtPageView* QtSheetWindow::ViewOf(int index) {
  auto found = views.find(index);
  if (found != views.end()) return found->second;
  CPropertyPage* page = sheet.GetPage(index);
  if (page == nullptr || !page->IsCreated()) return nullptr;
  const bool hidesHeader = (page->m_psp.dwFlags & PSP_HIDEHEADER) != 0;
  QStackedWidget* stack = hidesHeader ? exteriorPages : interiorPages;
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
  if (view != nullptr) {
    CPropertyPage& page = view->Page();
    const bool hidesHeader = (page.m_psp.dwFlags & PSP_HIDEHEADER) != 0;
    exterior->setVisible(hidesHeader);
    interior->setVisible(!hidesHeader);
    headerTitle->setText(
        (page.m_psp.dwFlags & PSP_USEHEADERTITLE) ? ToQString(page.m_strHeaderTitle) : QString());
    static_cast<QStackedWidget*>(view->parentWidget())->setCurrentWidget(view);
  }
  // Pages left meanwhile keep what was last sent to them, as windows do.
  for (auto& [index, shown] : views) shown->Refresh();
  const DWORD flags = sheet.GetWizardButtons();
  const bool finishShown = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
  back->setEnabled((flags & PSWIZB_BACK) != 0);
  back->setVisible(!(flags & PSWIZB_FINISH) || (flags & PSWIZB_BACK));
  next->setEnabled((flags & PSWIZB_NEXT) != 0);
  next->setVisible(!finishShown);
  finish->setVisible(finishShown);
  finish->setEnabled((flags & PSWIZB_FINISH) != 0);
  finish->setText(ToQString(sheet.GetFinishText()));
  cancel->setText(sheet.IsCancelClose() ? QStringLiteral("Close") : QStringLiteral("Cancel"));
  cancel->setEnabled(!sheet.IsCancelClose());
}
