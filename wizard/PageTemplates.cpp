#include "wizard/PageTemplates.h"

const char16_t kSetupCaption[] = u"IIS Quaver Setup";
const char16_t kProductTitle[] = u"IIS Quaver Pro v4.0";

DialogTemplate InteriorTemplate(UINT id, std::vector<ControlTemplate> controls) {
  controls.push_back(ControlTemplate{IDC_STATIC, ControlKind::Static, u"Corvane Quaver Setup", 150,
                                     107, 129, 8, StyleDisabled | StyleRight});
  return DialogTemplate{id, 286, 117, kSetupCaption, u"MS Shell Dlg", 8, std::move(controls)};
}

DialogTemplate ExteriorTemplate(UINT id, std::vector<ControlTemplate> controls) {
  return DialogTemplate{id, 286, 162, kSetupCaption, u"MS Shell Dlg", 8, std::move(controls)};
}
