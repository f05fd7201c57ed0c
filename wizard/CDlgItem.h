// One live control of a page, addressed by its identifier: what the page
// logic reads and writes and what the toolkit shows. Only the
// user-interface thread touches it (the installation thread goes through
// CWnd, which sends).
#pragma once

#include <vector>

#include "core/CSPString.h"
#include "wizard/DialogTemplate.h"

struct ListViewColumn {
  CSPWString heading;
  int format;
  int width;
};

struct ListViewRow {
  CSPWString text;
  int image = 0;
  std::vector<CSPWString> subItems;  // index 0 unused: sub-item 0 is `text`
  bool checked = false;
};

class CDlgItem {
 public:
  explicit CDlgItem(const ControlTemplate& layout);

  ControlTemplate layout;
  CSPWString text;
  bool checked = false;
  bool enabled = true;
  bool visible = true;

  // List view.
  DWORD extendedStyle = 0;
  std::vector<PictureId> images;  // the normal image list
  std::vector<ListViewColumn> columns;
  std::vector<ListViewRow> rows;

  // Progress bar.
  int rangeLow = 0;
  int rangeHigh = 100;
  int position = 0;
  int step = 10;
};
