// The stand-in's own control over threads, for tests: the server can be
// made to refuse new threads (CreateThread fails with the given error, as
// when the system is out of resources) until the refusal is lifted with 0.
#pragma once

#include "platform/win/types.h"

namespace machine {

void RefuseNewThreads(DWORD error);

}  // namespace machine
