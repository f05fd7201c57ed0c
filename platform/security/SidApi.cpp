// SID functions, local memory blocks and the account lookups.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/security/FaultInjection.h"
#include "platform/security/PoolAccounts.h"
#include "platform/security/SecurityModel.h"
#include "platform/security/StoreFaults.h"
#include "platform/text.h"
#include "platform/win.h"

using winsec::SidBytes;

HLOCAL WINAPI LocalAlloc(UINT uFlags, size_t uBytes) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::LocalAlloc, injected)) {
    SetLastError(injected);
    return nullptr;
  }
  // Only fixed blocks: LMEM_MOVEABLE handles are not modelled.
  void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1)
                                         : std::malloc(uBytes ? uBytes : 1);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::AllocateAndInitializeSid, injected)) {
    SetLastError(injected);
    return FALSE;
  }
  if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD subs[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                         nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  DWORD size = GetSidLengthRequired(nSubAuthorityCount);
  auto* sid = static_cast<BYTE*>(LocalAlloc(LPTR, size));
  if (sid == nullptr) return FALSE;
  sid[0] = SID_REVISION;
  sid[1] = nSubAuthorityCount;
  std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
  std::memcpy(sid + 8, subs, 4u * nSubAuthorityCount);
  *pSid = sid;
  return TRUE;
}

PVOID WINAPI FreeSid(PSID pSid) { return LocalFree(pSid); }

DWORD WINAPI GetSidLengthRequired(BYTE nSubAuthorityCount) { return 8u + 4u * nSubAuthorityCount; }

// Windows leaves the result undefined for an invalid SID; the stand-in
// returns 0 so that a caller's "length 0" check catches it.
DWORD WINAPI GetLengthSid(PSID pSid) {
  if (!winsec::IsValidSidPointer(pSid)) return 0;
  return GetSidLengthRequired(static_cast<const BYTE*>(pSid)[1]);
}

BOOL WINAPI IsValidSid(PSID pSid) {
  if (!winsec::IsValidSidPointer(pSid)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::CopySid, injected)) {
    SetLastError(injected);
    return FALSE;
  }
  if (!IsValidSid(pSourceSid)) return FALSE;
  DWORD length = GetLengthSid(pSourceSid);
  if (nDestinationSidLength < length || pDestinationSid == nullptr) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memmove(pDestinationSid, pSourceSid, length);
  return TRUE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (!IsValidSid(pSid1) || !IsValidSid(pSid2)) return FALSE;
  DWORD length = GetLengthSid(pSid1);
  BOOL equal = length == GetLengthSid(pSid2) && std::memcmp(pSid1, pSid2, length) == 0;
  SetLastError(ERROR_SUCCESS);
  return equal;
}

PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid) {
  return reinterpret_cast<PSID_IDENTIFIER_AUTHORITY>(static_cast<BYTE*>(pSid) + 2);
}

PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid) { return static_cast<PUCHAR>(pSid) + 1; }

PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority) {
  return reinterpret_cast<PDWORD>(static_cast<BYTE*>(pSid) + 8 + 4 * nSubAuthority);
}

namespace {

// The stand-in is one machine: a lookup must name no system, this computer,
// "localhost" or ".". Anything else is a server that cannot be reached.
bool IsThisComputer(LPCWSTR systemName, const machine::IniFile& settings) {
  if (systemName == nullptr) return true;
  std::u16string_view name(systemName);
  if (name.substr(0, 2) == u"\\\\") name.remove_prefix(2);
  return name.empty() || name == u"." || machine::EqualNoCase(name, u"localhost") ||
         name == u"127.0.0.1" || machine::EqualNoCase(name, winsec::ComputerNameOf(settings));
}

// Looks the account up in the image's accounts: ERROR_SUCCESS when `find`
// found it, ERROR_NONE_MAPPED when it did not, RPC_S_SERVER_UNAVAILABLE for
// another computer, winsec::kStoreFault when the accounts cannot be read.
DWORD FindAccount(LPCWSTR systemName,
                  const std::function<bool(const winsec::AccountDatabase&)>& find) {
  return winsec::WithAccounts(
      [&](const machine::IniFile& settings, const winsec::AccountDatabase& db) -> DWORD {
        if (!IsThisComputer(systemName, settings)) return RPC_S_SERVER_UNAVAILABLE;
        return find(db) ? ERROR_SUCCESS : ERROR_NONE_MAPPED;
      });
}

void CopyText(const std::u16string& text, LPWSTR out) {
  std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

}  // namespace

BOOL WINAPI LookupAccountNameW(LPCWSTR lpSystemName, LPCWSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE peUse) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::LookupAccountNameW, injected)) {
    SetLastError(injected);
    return FALSE;
  }
  if (lpAccountName == nullptr || cbSid == nullptr || cchReferencedDomainName == nullptr ||
      peUse == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::optional<winsec::Account> account;
  const DWORD error = FindAccount(lpSystemName, [&](const winsec::AccountDatabase& db) {
    const winsec::Account* found = db.FindByName(lpAccountName);
    account = found != nullptr ? std::optional(*found) : winsec::FindPoolAccount(db, lpAccountName);
    return account.has_value();
  });
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const DWORD sidSize = static_cast<DWORD>(account->sid.size());
  const DWORD domainSize = static_cast<DWORD>(account->domain.size() + 1);
  if (*cbSid < sidSize || *cchReferencedDomainName < domainSize) {
    *cbSid = sidSize;
    *cchReferencedDomainName = domainSize;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (Sid == nullptr || ReferencedDomainName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::memcpy(Sid, account->sid.data(), sidSize);
  CopyText(account->domain, ReferencedDomainName);
  *cbSid = sidSize;
  *cchReferencedDomainName = domainSize - 1;
  *peUse = account->use;
  return TRUE;
}

BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName,
                              LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE peUse) {
  DWORD injected;
  if (winsec::InjectedFailure(winsec::Injectable::LookupAccountSidW, injected)) {
    SetLastError(injected);
    return FALSE;
  }
  if (cchName == nullptr || cchReferencedDomainName == nullptr || peUse == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsValidSid(Sid)) return FALSE;
  std::optional<winsec::Account> account;
  const DWORD error = FindAccount(lpSystemName, [&](const winsec::AccountDatabase& db) {
    const SidBytes sid = winsec::SidFromPointer(Sid);
    const winsec::Account* found = db.FindBySid(sid);
    account = found != nullptr ? std::optional(*found) : winsec::KnownPoolAccount(sid);
    return account.has_value();
  });
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const DWORD nameSize = static_cast<DWORD>(account->name.size() + 1);
  const DWORD domainSize = static_cast<DWORD>(account->domain.size() + 1);
  if (*cchName < nameSize || *cchReferencedDomainName < domainSize) {
    *cchName = nameSize;
    *cchReferencedDomainName = domainSize;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (Name == nullptr || ReferencedDomainName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CopyText(account->name, Name);
  CopyText(account->domain, ReferencedDomainName);
  *cchName = nameSize - 1;
  *cchReferencedDomainName = domainSize - 1;
  *peUse = account->use;
  return TRUE;
}
