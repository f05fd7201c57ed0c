#include "platform/shell/ShellRegistration.h"

#include "platform/com/ComRegistration.h"
#include "platform/win/shobjidl.h"

namespace shell {

LSTATUS RegisterShellClasses() {
  return com::RegisterInprocClass(CLSID_ShellLink, u"Shortcut",
                                  u"%SystemRoot%\\system32\\shell32.dll", u"Apartment");
}

}  // namespace shell
