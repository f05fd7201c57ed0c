// Access-control helpers over named objects (accctrl.h, aclapi.h).
#pragma once

#include "platform/win/types.h"
#include "platform/win/winsecurity.h"

typedef enum _SE_OBJECT_TYPE {
  SE_UNKNOWN_OBJECT_TYPE = 0,
  SE_FILE_OBJECT,
  SE_SERVICE,
  SE_PRINTER,
  SE_REGISTRY_KEY,
  SE_LMSHARE,
  SE_KERNEL_OBJECT,
  SE_WINDOW_OBJECT,
  SE_DS_OBJECT,
  SE_DS_OBJECT_ALL,
  SE_PROVIDER_DEFINED_OBJECT,
  SE_WMIGUID_OBJECT,
  SE_REGISTRY_WOW64_32KEY,
  SE_REGISTRY_WOW64_64KEY
} SE_OBJECT_TYPE;

// Fixed to int (the SDK leaves it open) so that any number a caller passes
// through is a valid value that SetEntriesInAclW can refuse.
typedef enum _ACCESS_MODE : int {
  NOT_USED_ACCESS = 0,
  GRANT_ACCESS,
  SET_ACCESS,
  DENY_ACCESS,
  REVOKE_ACCESS,
  SET_AUDIT_SUCCESS,
  SET_AUDIT_FAILURE
} ACCESS_MODE;

typedef enum _MULTIPLE_TRUSTEE_OPERATION {
  NO_MULTIPLE_TRUSTEE,
  TRUSTEE_IS_IMPERSONATE
} MULTIPLE_TRUSTEE_OPERATION;

typedef enum _TRUSTEE_FORM {
  TRUSTEE_IS_SID,
  TRUSTEE_IS_NAME,
  TRUSTEE_BAD_FORM,
  TRUSTEE_IS_OBJECTS_AND_SID,
  TRUSTEE_IS_OBJECTS_AND_NAME
} TRUSTEE_FORM;

typedef enum _TRUSTEE_TYPE {
  TRUSTEE_IS_UNKNOWN,
  TRUSTEE_IS_USER,
  TRUSTEE_IS_GROUP,
  TRUSTEE_IS_DOMAIN,
  TRUSTEE_IS_ALIAS,
  TRUSTEE_IS_WELL_KNOWN_GROUP,
  TRUSTEE_IS_DELETED,
  TRUSTEE_IS_INVALID,
  TRUSTEE_IS_COMPUTER
} TRUSTEE_TYPE;

typedef struct _TRUSTEE_W {
  struct _TRUSTEE_W* pMultipleTrustee;
  MULTIPLE_TRUSTEE_OPERATION MultipleTrusteeOperation;
  TRUSTEE_FORM TrusteeForm;
  TRUSTEE_TYPE TrusteeType;
  LPWSTR ptstrName;
} TRUSTEE_W, *PTRUSTEE_W, TRUSTEEW, *PTRUSTEEW;

// grfInheritance values of an explicit access entry.
#ifndef NO_INHERITANCE
#define NO_INHERITANCE 0x0
#endif
#ifndef SUB_OBJECTS_ONLY_INHERIT
#define SUB_OBJECTS_ONLY_INHERIT 0x1
#endif
#ifndef SUB_CONTAINERS_ONLY_INHERIT
#define SUB_CONTAINERS_ONLY_INHERIT 0x2
#endif
#ifndef SUB_CONTAINERS_AND_OBJECTS_INHERIT
#define SUB_CONTAINERS_AND_OBJECTS_INHERIT 0x3
#endif
#ifndef INHERIT_NO_PROPAGATE
#define INHERIT_NO_PROPAGATE 0x4
#endif
#ifndef INHERIT_ONLY
#define INHERIT_ONLY 0x8
#endif
#ifndef INHERITED_ACCESS_ENTRY
#define INHERITED_ACCESS_ENTRY 0x10
#endif

typedef struct _EXPLICIT_ACCESS_W {
  DWORD grfAccessPermissions;
  ACCESS_MODE grfAccessMode;
  DWORD grfInheritance;
  TRUSTEE_W Trustee;
} EXPLICIT_ACCESS_W, *PEXPLICIT_ACCESS_W, EXPLICIT_ACCESSW, *PEXPLICIT_ACCESSW;

DWORD WINAPI SetEntriesInAclW(ULONG cCountOfExplicitEntries,
                              PEXPLICIT_ACCESS_W pListOfExplicitEntries, PACL OldAcl, PACL* NewAcl);
void WINAPI BuildTrusteeWithSidW(PTRUSTEE_W pTrustee, PSID pSid);
void WINAPI BuildTrusteeWithNameW(PTRUSTEE_W pTrustee, LPWSTR pName);
DWORD WINAPI GetEffectiveRightsFromAclW(PACL pacl, PTRUSTEE_W pTrustee, PACCESS_MASK pAccessRights);

DWORD WINAPI GetNamedSecurityInfoW(LPCWSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                                   PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                                   PSECURITY_DESCRIPTOR* ppSecurityDescriptor);
DWORD WINAPI GetNamedSecurityInfoA(LPCSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                                   PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                                   PSECURITY_DESCRIPTOR* ppSecurityDescriptor);
DWORD WINAPI SetNamedSecurityInfoW(LPWSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID psidOwner,
                                   PSID psidGroup, PACL pDacl, PACL pSacl);
DWORD WINAPI SetNamedSecurityInfoA(LPSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID psidOwner,
                                   PSID psidGroup, PACL pDacl, PACL pSacl);
