// Faults of the image's own security files met by a security function: the
// access lists (security.sddl) and the accounts (machine.ini [accounts])
// that cannot be read or written. A Windows function reports an error
// code, never throws, so these become the code Windows gives for a damaged
// account or security database; what went wrong, with its file and line,
// stays for tools to show.
#pragma once

#include <functional>
#include <string>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/win.h"

namespace winsec {

constexpr DWORD kStoreFault = ERROR_INTERNAL_DB_CORRUPTION;

// The last fault a security function met on this thread.
std::string LastStoreError();

// Runs `body` and returns what it returns; a fault of the image's files
// returns kStoreFault, memory running out ERROR_NOT_ENOUGH_MEMORY.
DWORD GuardStore(const std::function<DWORD()>& body);

// Runs `use` over the image's accounts and machine.ini, under the machine's
// lock and GuardStore.
DWORD WithAccounts(
    const std::function<DWORD(const machine::IniFile&, const AccountDatabase&)>& use);

}  // namespace winsec
