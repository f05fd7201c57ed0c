// The COM servers of the simulated machine. Whether a machine offers one is
// decided by its registry; this list only says which the stand-in can run.
#include "platform/apphost/AppHostServers.h"
#include "platform/com/ComClassTable.h"
#include "platform/metabase/AdminBase.h"
#include "platform/shell/ShellLinkObject.h"

namespace com {

void RegisterBuiltInServers(ComClassTable& table) {
  table.Register(CLSID_MSAdminBase_W, &metabase::CreateAdminBase);
  apphost::RegisterServers(table);
  table.Register(CLSID_ShellLink, &shell::CreateShellLink);
}

}  // namespace com
