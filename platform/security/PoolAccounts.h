// The virtual accounts of IIS 7 and later application pools,
// "IIS APPPOOL\<pool>" (S-1-5-82-...): they exist for every pool name on a
// server with the IIS 7 accounts, without being listed in machine.ini. The
// stand-in derives the five sub-authorities from the upper-cased pool name
// with a hash of its own (Windows uses another one; nothing depends on the
// numbers), and remembers the names it resolved so that the SIDs can be
// named again in this process.
#pragma once

#include <optional>
#include <string_view>

#include "platform/security/Accounts.h"

namespace winsec {

// The pool account for "IIS AppPool\<pool>" (domain matched without regard
// to case) when `db` holds the IIS 7 worker group; nullopt otherwise.
std::optional<Account> FindPoolAccount(const AccountDatabase& db, std::u16string_view fullName);
// A pool account resolved by name earlier in this process.
std::optional<Account> KnownPoolAccount(const SidBytes& sid);

}  // namespace winsec
