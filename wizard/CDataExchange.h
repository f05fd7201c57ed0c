// Dialog data exchange: moves values between a page's members and its
// controls, in the direction UpdateData asks for.
#pragma once

#include "core/CSPString.h"
#include "wizard/WinUi.h"

class CPropertyPage;
class CWnd;

class CDataExchange {
 public:
  CDataExchange(CPropertyPage* page, BOOL saveAndValidate)
      : m_pDlgWnd(page), m_bSaveAndValidate(saveAndValidate) {}

  CPropertyPage* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // true: controls to members
};

void DDX_Text(CDataExchange* pDX, int id, CSPWString& value);
// Check box: 0 cleared, 1 checked.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// Radio group starting at `id`: the index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int id, int& value);
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
