#include "wizard/CDlgItem.h"

CDlgItem::CDlgItem(const ControlTemplate& spec)
    : spec(spec), text(spec.text != nullptr ? spec.text : u""),
      enabled((spec.style & StyleDisabled) == 0) {}
