// 8-bit text of the thread's ANSI code page made 16-bit, as the licence
// agreement and the setup report are shown.
#pragma once

#include <cstdint>

#include "core/CSPString.h"

CSPWString AnsiToWide(const char* bytes, uint32_t length);
