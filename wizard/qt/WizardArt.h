// The wizard's own pictures, drawn with QPainter: the header band emblem
// (bitmap 132), the sheet's icon (133), the website bitmap of the site list
// (142) and the tall watermark of the welcome and finish pages (1003).
#pragma once

#include <QIcon>
#include <QPixmap>

#include "wizard/WinUi.h"

// The picture of a bitmap or icon resource at its natural size; a null
// pixmap for an unknown number.
QPixmap WizardPicture(UINT resourceId);
QIcon WizardIcon(UINT resourceId);
