// Internal to the registry stand-in: what the W and A functions share.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/win/types.h"
#include "platform/win/winreg.h"

namespace machine::registry {

// The whole data of a value, for the A functions, which convert it.
LSTATUS QueryValueData(HKEY key, std::u16string_view name, DWORD& type, std::vector<uint8_t>& data);

// RegQueryValueEx's buffer protocol: with no buffer the size only; a buffer
// too small gets ERROR_MORE_DATA and the size, its content untouched.
LSTATUS CopyValueOut(DWORD type, const std::vector<uint8_t>& data, LPDWORD lpType, LPBYTE lpData,
                     LPDWORD lpcbData);

bool IsStringType(DWORD type);

}  // namespace machine::registry
