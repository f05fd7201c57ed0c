#include "platform/security/PoolAccounts.h"

#include <map>
#include <mutex>

#include "platform/text.h"

namespace winsec {
namespace {

constexpr std::u16string_view kDomain = u"IIS APPPOOL";

std::mutex& KnownLock() {
  static std::mutex lock;
  return lock;
}

std::map<SidBytes, Account>& Known() {
  static std::map<SidBytes, Account> known;
  return known;
}

// FNV-1a over the upper-cased name, seeded differently per sub-authority.
DWORD HashPart(std::u16string_view name, DWORD seed) {
  DWORD hash = 2166136261u ^ seed;
  for (char16_t c : name) {
    const char16_t upper = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    hash = (hash ^ (upper & 0xFF)) * 16777619u;
    hash = (hash ^ (upper >> 8)) * 16777619u;
  }
  return hash;
}

}  // namespace

std::optional<Account> FindPoolAccount(const AccountDatabase& db, std::u16string_view fullName) {
  const size_t slash = fullName.find(u'\\');
  if (slash == std::u16string_view::npos || slash + 1 == fullName.size() ||
      !machine::EqualNoCase(fullName.substr(0, slash), kDomain) ||
      db.FindByName(u"BUILTIN\\IIS_IUSRS") == nullptr) {
    return std::nullopt;
  }
  Account account;
  account.domain = kDomain;
  account.name = fullName.substr(slash + 1);
  account.sid =
      MakeSid(5, {82, HashPart(account.name, 1), HashPart(account.name, 2),
                  HashPart(account.name, 3), HashPart(account.name, 4), HashPart(account.name, 5)});
  account.use = SidTypeWellKnownGroup;
  std::lock_guard<std::mutex> guard(KnownLock());
  Known()[account.sid] = account;
  return account;
}

std::optional<Account> KnownPoolAccount(const SidBytes& sid) {
  std::lock_guard<std::mutex> guard(KnownLock());
  auto found = Known().find(sid);
  if (found == Known().end()) return std::nullopt;
  return found->second;
}

}  // namespace winsec
