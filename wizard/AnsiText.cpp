#include "wizard/AnsiText.h"

#include <climits>
#include <vector>

#include "platform/win.h"

CSPWString AnsiToWide(const char* bytes, uint32_t length) {
  CSPWString text;
  if (bytes == nullptr || length == 0 || length > INT_MAX) return text;
  const int size = static_cast<int>(length);
  int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, size, nullptr, 0);
  if (needed <= 0) return text;
  std::vector<WCHAR> wide(static_cast<size_t>(needed));
  int written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, size, wide.data(), needed);
  if (written > 0) text.Append(as_u16cstr(wide.data()), static_cast<uint32_t>(written));
  return text;
}
