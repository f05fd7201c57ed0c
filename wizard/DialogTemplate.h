// A page's dialog template: its size in dialog units, caption, font and the
// controls it creates, each with identifier, kind, initial text, position
// (dialog units) and styles. The toolkit lays the page out from it.
#pragma once

#include <vector>

#include "wizard/WinUi.h"

enum class ControlKind { Static, Edit, CheckBox, RadioButton, PushButton, ListView, ProgressBar };

// Styles that matter to the framework or to the drawing.
enum ControlStyle : unsigned {
  StyleNone = 0,
  StyleGroup = 1u << 0,      // first control of a group (radio buttons)
  StyleMultiLine = 1u << 1,  // edit
  StyleReadOnly = 1u << 2,   // edit
  StyleVScroll = 1u << 3,
  StyleDisabled = 1u << 4,  // created disabled
  StyleBorder = 1u << 5,
  StyleReport = 1u << 6,     // list view: report view
  StyleSingleSel = 1u << 7,  // list view
  StyleBold = 1u << 8,       // static: the page's heading
  StyleRight = 1u << 9,      // static: right-aligned text
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char16_t* text;
  int x, y, cx, cy;
  unsigned style;
};

struct DialogTemplate {
  UINT id;
  int cx, cy;
  const char16_t* caption;
  const char16_t* font;
  int fontSize;
  std::vector<ControlTemplate> controls;
};
