#include "wizard/CDlgItem.h"

CDlgItem::CDlgItem(const ControlTemplate& layout)
    : layout(layout),
      text(layout.text != nullptr ? layout.text : u""),
      enabled((layout.style & StyleDisabled) == 0) {}
