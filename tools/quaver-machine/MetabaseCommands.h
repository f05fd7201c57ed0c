// The metabase side of `create`, for the tool's tests.
#pragma once

namespace quaver_machine {

// On an IIS 7 or later image: installs the IIS 6 metabase compatibility, so
// that the admin base objects map onto applicationHost.config.
void InstallMetabaseCompatibility();

}  // namespace quaver_machine
