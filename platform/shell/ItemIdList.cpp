#include "platform/shell/ItemIdList.h"

#include <cstring>

namespace shell {
namespace {

// Marks an item as the stand-in's path item.
constexpr BYTE kSignature[4] = {'Q', 'V', 'P', '1'};
constexpr size_t kHeader = sizeof(USHORT) + sizeof kSignature;

USHORT ItemSize(const BYTE* item) {
  USHORT size = 0;
  std::memcpy(&size, item, sizeof size);
  return size;
}

}  // namespace

PIDLIST_ABSOLUTE NewItemIdList(std::u16string_view path) {
  const size_t itemSize = kHeader + (path.size() + 1) * sizeof(char16_t);
  if (itemSize > 0xFFFF) return nullptr;
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(itemSize + sizeof(USHORT)));
  if (bytes == nullptr) return nullptr;
  const auto size = static_cast<USHORT>(itemSize);
  std::memcpy(bytes, &size, sizeof size);
  std::memcpy(bytes + sizeof size, kSignature, sizeof kSignature);
  std::memcpy(bytes + kHeader, path.data(), path.size() * sizeof(char16_t));
  std::memset(bytes + kHeader + path.size() * sizeof(char16_t), 0,
              sizeof(char16_t) + sizeof(USHORT));
  return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

PIDLIST_ABSOLUTE CloneItemIdList(PCIDLIST_ABSOLUTE list) {
  if (list == nullptr) return nullptr;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  size_t total = 0;
  while (const USHORT size = ItemSize(bytes + total)) total += size;
  total += sizeof(USHORT);
  void* copy = CoTaskMemAlloc(total);
  if (copy != nullptr) std::memcpy(copy, bytes, total);
  return static_cast<PIDLIST_ABSOLUTE>(copy);
}

bool PathOfItemIdList(PCIDLIST_ABSOLUTE list, std::u16string& path) {
  if (list == nullptr) return false;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  const USHORT size = ItemSize(bytes);
  if (size < kHeader + sizeof(char16_t) || (size - kHeader) % sizeof(char16_t) != 0 ||
      std::memcmp(bytes + sizeof(USHORT), kSignature, sizeof kSignature) != 0 ||
      ItemSize(bytes + size) != 0) {
    return false;
  }
  path.assign((size - kHeader) / sizeof(char16_t) - 1, u'\0');
  std::memcpy(path.data(), bytes + kHeader, path.size() * sizeof(char16_t));
  return path.find(u'\0') == std::u16string::npos;
}

}  // namespace shell
