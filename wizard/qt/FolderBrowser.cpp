#include "wizard/qt/FolderBrowser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/win.h"
#include "wizard/qt/QtText.h"

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kUnfoldedRole = Qt::UserRole + 1;

bool IsDirectory(const QString& path) {
  DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

QStringList SubFolders(const QString& folder) {
  QStringList names;
  QString pattern = folder;
  if (!pattern.endsWith(QLatin1Char('\\'))) pattern += QLatin1Char('\\');
  pattern += QLatin1Char('*');
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(reinterpret_cast<LPCWSTR>(pattern.utf16()), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    QString name = QString::fromUtf16(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != QLatin1String(".") &&
        name != QLatin1String(".."))
      names << name;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  names.sort(Qt::CaseInsensitive);
  return names;
}

QTreeWidgetItem* FolderItem(const QString& name, const QString& path) {
  auto* item = new QTreeWidgetItem(QStringList(name));
  item->setData(0, kPathRole, path);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

}  // namespace

FolderBrowser::FolderBrowser(const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("folderBrowser"));
  setWindowTitle(QStringLiteral("Browse For Folder"));
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(title, this));
  tree = new QTreeWidget(this);
  tree->setObjectName(QStringLiteral("folders"));
  tree->setHeaderHidden(true);
  column->addWidget(tree);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Unfold(item); });
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setEnabled(false);
  connect(tree, &QTreeWidget::currentItemChanged, this,
          [ok](QTreeWidgetItem* current) { ok->setEnabled(current != nullptr); });

  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    QString drive = QString(QChar(letter)) + QStringLiteral(":\\");
    if (IsDirectory(drive)) {
      tree->addTopLevelItem(
          FolderItem(QStringLiteral("Local Disk (%1:)").arg(QChar(letter)), drive));
    }
  }
  resize(320, 380);
}

void FolderBrowser::Unfold(QTreeWidgetItem* item) {
  if (item->data(0, kUnfoldedRole).toBool()) return;
  item->setData(0, kUnfoldedRole, true);
  QString folder = item->data(0, kPathRole).toString();
  const QStringList names = SubFolders(folder);
  for (const QString& name : names) {
    QString path =
        folder.endsWith(QLatin1Char('\\')) ? folder + name : folder + QLatin1Char('\\') + name;
    item->addChild(FolderItem(name, path));
  }
  if (names.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

bool FolderBrowser::Choose(CSPWString& path) {
  if (exec() != QDialog::Accepted || tree->currentItem() == nullptr) return false;
  path = FromQString(tree->currentItem()->data(0, kPathRole).toString());
  return true;
}
