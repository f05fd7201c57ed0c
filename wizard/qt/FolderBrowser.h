// The folder browser: a tree of the simulated server's drives and folders,
// read through the file API as the program sees them, unfolded on demand.
#pragma once

#include <QDialog>

#include "core/CSPString.h"

class QTreeWidget;
class QTreeWidgetItem;

class FolderBrowser : public QDialog {
 public:
  FolderBrowser(const QString& title, QWidget* parent);
  // True with the chosen folder's path (a drive as "C:\").
  bool Choose(CSPWString& path);

 private:
  void Unfold(QTreeWidgetItem* item);
  QTreeWidget* tree;
};
