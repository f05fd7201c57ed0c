#include "wizard/Pictures.h"

bool IsBitmapResource(UINT id) {
  return id == IDB_HEADER || id == IDB_WEBSITE || id == IDB_WATERMARK;
}

bool IsIconResource(UINT id) { return id == IDI_BIGICON; }
