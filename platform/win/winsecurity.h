// Security identifiers, access-control lists and security descriptors
// (winnt.h, securitybaseapi.h, winbase.h). The records have Windows' binary
// layout, so a SID or an ACL can be copied byte for byte and its size read
// from its header.
#pragma once

#include "platform/win/accessrights.h"
#include "platform/win/types.h"

typedef void* PVOID;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef DWORD* PDWORD;
typedef ULONG* PULONG;

// Security error codes (winerror.h). Guarded: other parts of the stand-in may
// declare some of them too.
#ifndef ERROR_UNKNOWN_REVISION
#define ERROR_UNKNOWN_REVISION 1305L
#endif
#ifndef ERROR_REVISION_MISMATCH
#define ERROR_REVISION_MISMATCH 1306L
#endif
#ifndef ERROR_INVALID_OWNER
#define ERROR_INVALID_OWNER 1307L
#endif
#ifndef ERROR_NONE_MAPPED
#define ERROR_NONE_MAPPED 1332L
#endif
#ifndef ERROR_INVALID_ACL
#define ERROR_INVALID_ACL 1336L
#endif
#ifndef ERROR_INVALID_SID
#define ERROR_INVALID_SID 1337L
#endif
#ifndef ERROR_INVALID_SECURITY_DESCR
#define ERROR_INVALID_SECURITY_DESCR 1338L
#endif
#ifndef ERROR_ALLOTTED_SPACE_EXCEEDED
#define ERROR_ALLOTTED_SPACE_EXCEEDED 1344L
#endif
#ifndef ERROR_BAD_DESCRIPTOR_FORMAT
#define ERROR_BAD_DESCRIPTOR_FORMAT 1361L
#endif

typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK* PACCESS_MASK;
typedef PACCESS_MASK LPACCESS_MASK;
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;
typedef DWORD SECURITY_INFORMATION;
typedef DWORD* PSECURITY_INFORMATION;
typedef WORD SECURITY_DESCRIPTOR_CONTROL;
typedef WORD* PSECURITY_DESCRIPTOR_CONTROL;

typedef struct _GENERIC_MAPPING {
  ACCESS_MASK GenericRead;
  ACCESS_MASK GenericWrite;
  ACCESS_MASK GenericExecute;
  ACCESS_MASK GenericAll;
} GENERIC_MAPPING, *PGENERIC_MAPPING;

// ---- SIDs -------------------------------------------------------------------

typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
} SID, *PISID;

#ifndef SID_REVISION
#define SID_REVISION 1
#endif
#ifndef SID_MAX_SUB_AUTHORITIES
#define SID_MAX_SUB_AUTHORITIES 15
#endif
#ifndef SECURITY_MAX_SID_SIZE
#define SECURITY_MAX_SID_SIZE (8 + SID_MAX_SUB_AUTHORITIES * 4)
#endif

#ifndef SECURITY_NULL_SID_AUTHORITY
#define SECURITY_NULL_SID_AUTHORITY \
  {                                 \
    { 0, 0, 0, 0, 0, 0 }            \
  }
#endif
#ifndef SECURITY_WORLD_SID_AUTHORITY
#define SECURITY_WORLD_SID_AUTHORITY \
  {                                  \
    { 0, 0, 0, 0, 0, 1 }             \
  }
#endif
#ifndef SECURITY_LOCAL_SID_AUTHORITY
#define SECURITY_LOCAL_SID_AUTHORITY \
  {                                  \
    { 0, 0, 0, 0, 0, 2 }             \
  }
#endif
#ifndef SECURITY_CREATOR_SID_AUTHORITY
#define SECURITY_CREATOR_SID_AUTHORITY \
  {                                    \
    { 0, 0, 0, 0, 0, 3 }               \
  }
#endif
#ifndef SECURITY_NT_AUTHORITY
#define SECURITY_NT_AUTHORITY \
  {                           \
    { 0, 0, 0, 0, 0, 5 }      \
  }
#endif

#ifndef SECURITY_WORLD_RID
#define SECURITY_WORLD_RID 0x00000000L
#endif
#ifndef SECURITY_CREATOR_OWNER_RID
#define SECURITY_CREATOR_OWNER_RID 0x00000000L
#endif
#ifndef SECURITY_CREATOR_GROUP_RID
#define SECURITY_CREATOR_GROUP_RID 0x00000001L
#endif
#ifndef SECURITY_NETWORK_RID
#define SECURITY_NETWORK_RID 0x00000002L
#endif
#ifndef SECURITY_INTERACTIVE_RID
#define SECURITY_INTERACTIVE_RID 0x00000004L
#endif
#ifndef SECURITY_SERVICE_RID
#define SECURITY_SERVICE_RID 0x00000006L
#endif
#ifndef SECURITY_ANONYMOUS_LOGON_RID
#define SECURITY_ANONYMOUS_LOGON_RID 0x00000007L
#endif
#ifndef SECURITY_AUTHENTICATED_USER_RID
#define SECURITY_AUTHENTICATED_USER_RID 0x0000000BL
#endif
#ifndef SECURITY_DIALUP_RID
#define SECURITY_DIALUP_RID 0x00000001L
#endif
#ifndef SECURITY_BATCH_RID
#define SECURITY_BATCH_RID 0x00000003L
#endif
#ifndef SECURITY_LOGON_IDS_RID
#define SECURITY_LOGON_IDS_RID 0x00000005L
#endif
#ifndef SECURITY_TERMINAL_SERVER_RID
#define SECURITY_TERMINAL_SERVER_RID 0x0000000DL
#endif
#ifndef SECURITY_REMOTE_LOGON_RID
#define SECURITY_REMOTE_LOGON_RID 0x0000000EL
#endif
#ifndef SECURITY_THIS_ORGANIZATION_RID
#define SECURITY_THIS_ORGANIZATION_RID 0x0000000FL
#endif
#ifndef SECURITY_PACKAGE_BASE_RID
#define SECURITY_PACKAGE_BASE_RID 0x00000040L
#endif
#ifndef SECURITY_OTHER_ORGANIZATION_RID
#define SECURITY_OTHER_ORGANIZATION_RID 0x000003E8L
#endif
#ifndef SECURITY_IUSER_RID
#define SECURITY_IUSER_RID 0x00000011L
#endif
#ifndef SECURITY_LOCAL_SYSTEM_RID
#define SECURITY_LOCAL_SYSTEM_RID 0x00000012L
#endif
#ifndef SECURITY_LOCAL_SERVICE_RID
#define SECURITY_LOCAL_SERVICE_RID 0x00000013L
#endif
#ifndef SECURITY_NETWORK_SERVICE_RID
#define SECURITY_NETWORK_SERVICE_RID 0x00000014L
#endif
#ifndef SECURITY_BUILTIN_DOMAIN_RID
#define SECURITY_BUILTIN_DOMAIN_RID 0x00000020L
#endif
#ifndef DOMAIN_ALIAS_RID_ADMINS
#define DOMAIN_ALIAS_RID_ADMINS 0x00000220L
#endif
#ifndef DOMAIN_ALIAS_RID_USERS
#define DOMAIN_ALIAS_RID_USERS 0x00000221L
#endif
#ifndef DOMAIN_ALIAS_RID_GUESTS
#define DOMAIN_ALIAS_RID_GUESTS 0x00000222L
#endif
#ifndef DOMAIN_ALIAS_RID_IUSERS
#define DOMAIN_ALIAS_RID_IUSERS 0x00000238L
#endif

typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer,
  SidTypeLabel,
  SidTypeLogonSession
} SID_NAME_USE,
    *PSID_NAME_USE;

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid);
PVOID WINAPI FreeSid(PSID pSid);
DWORD WINAPI GetLengthSid(PSID pSid);
BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid);
BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2);
BOOL WINAPI IsValidSid(PSID pSid);
DWORD WINAPI GetSidLengthRequired(BYTE nSubAuthorityCount);
PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid);
PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid);
PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority);

BOOL WINAPI LookupAccountNameW(LPCWSTR lpSystemName, LPCWSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                               PSID_NAME_USE peUse);
BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName,
                              LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                              PSID_NAME_USE peUse);

// ---- ACLs -------------------------------------------------------------------

typedef struct _ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
} ACL, *PACL;

#ifndef ACL_REVISION
#define ACL_REVISION 2
#endif
#ifndef ACL_REVISION_DS
#define ACL_REVISION_DS 4
#endif
#ifndef MIN_ACL_REVISION
#define MIN_ACL_REVISION ACL_REVISION
#endif
#ifndef MAX_ACL_REVISION
#define MAX_ACL_REVISION ACL_REVISION_DS
#endif

typedef struct _ACE_HEADER {
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
} ACE_HEADER, *PACE_HEADER;

#ifndef ACCESS_ALLOWED_ACE_TYPE
#define ACCESS_ALLOWED_ACE_TYPE 0x0
#endif
#ifndef ACCESS_DENIED_ACE_TYPE
#define ACCESS_DENIED_ACE_TYPE 0x1
#endif
#ifndef SYSTEM_AUDIT_ACE_TYPE
#define SYSTEM_AUDIT_ACE_TYPE 0x2
#endif

#ifndef OBJECT_INHERIT_ACE
#define OBJECT_INHERIT_ACE 0x1
#endif
#ifndef CONTAINER_INHERIT_ACE
#define CONTAINER_INHERIT_ACE 0x2
#endif
#ifndef NO_PROPAGATE_INHERIT_ACE
#define NO_PROPAGATE_INHERIT_ACE 0x4
#endif
#ifndef INHERIT_ONLY_ACE
#define INHERIT_ONLY_ACE 0x8
#endif
#ifndef INHERITED_ACE
#define INHERITED_ACE 0x10
#endif
#ifndef VALID_INHERIT_FLAGS
#define VALID_INHERIT_FLAGS 0x1F
#endif
#ifndef SUCCESSFUL_ACCESS_ACE_FLAG
#define SUCCESSFUL_ACCESS_ACE_FLAG 0x40
#endif
#ifndef FAILED_ACCESS_ACE_FLAG
#define FAILED_ACCESS_ACE_FLAG 0x80
#endif

typedef struct _ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;

typedef struct _ACCESS_DENIED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} ACCESS_DENIED_ACE, *PACCESS_DENIED_ACE;

typedef struct _SYSTEM_AUDIT_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} SYSTEM_AUDIT_ACE, *PSYSTEM_AUDIT_ACE;

typedef enum _ACL_INFORMATION_CLASS {
  AclRevisionInformation = 1,
  AclSizeInformation
} ACL_INFORMATION_CLASS;

typedef struct _ACL_REVISION_INFORMATION {
  DWORD AclRevision;
} ACL_REVISION_INFORMATION, *PACL_REVISION_INFORMATION;

typedef struct _ACL_SIZE_INFORMATION {
  DWORD AceCount;
  DWORD AclBytesInUse;
  DWORD AclBytesFree;
} ACL_SIZE_INFORMATION, *PACL_SIZE_INFORMATION;

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision);
BOOL WINAPI IsValidAcl(PACL pAcl);
BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                              ACL_INFORMATION_CLASS dwAclInformationClass);
BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce);
BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex);
BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid);
BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                  PSID pSid);
BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid);
BOOL WINAPI AddAccessDeniedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                 PSID pSid);
void WINAPI MapGenericMask(PDWORD AccessMask, PGENERIC_MAPPING GenericMapping);

// ---- Security descriptors -----------------------------------------------------

// Absolute format: the parts are pointers held beside the record.
typedef struct _SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
} SECURITY_DESCRIPTOR, *PISECURITY_DESCRIPTOR;

// Self-relative format: one block, the parts addressed by byte offsets.
typedef struct _SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  DWORD Owner;
  DWORD Group;
  DWORD Sacl;
  DWORD Dacl;
} SECURITY_DESCRIPTOR_RELATIVE, *PISECURITY_DESCRIPTOR_RELATIVE;

#ifndef SECURITY_DESCRIPTOR_REVISION
#define SECURITY_DESCRIPTOR_REVISION 1
#endif
#ifndef SECURITY_DESCRIPTOR_MIN_LENGTH
#define SECURITY_DESCRIPTOR_MIN_LENGTH (sizeof(SECURITY_DESCRIPTOR))
#endif

#ifndef SE_OWNER_DEFAULTED
#define SE_OWNER_DEFAULTED 0x0001
#endif
#ifndef SE_GROUP_DEFAULTED
#define SE_GROUP_DEFAULTED 0x0002
#endif
#ifndef SE_DACL_PRESENT
#define SE_DACL_PRESENT 0x0004
#endif
#ifndef SE_DACL_DEFAULTED
#define SE_DACL_DEFAULTED 0x0008
#endif
#ifndef SE_SACL_PRESENT
#define SE_SACL_PRESENT 0x0010
#endif
#ifndef SE_SACL_DEFAULTED
#define SE_SACL_DEFAULTED 0x0020
#endif
#ifndef SE_DACL_AUTO_INHERIT_REQ
#define SE_DACL_AUTO_INHERIT_REQ 0x0100
#endif
#ifndef SE_SACL_AUTO_INHERIT_REQ
#define SE_SACL_AUTO_INHERIT_REQ 0x0200
#endif
#ifndef SE_DACL_AUTO_INHERITED
#define SE_DACL_AUTO_INHERITED 0x0400
#endif
#ifndef SE_SACL_AUTO_INHERITED
#define SE_SACL_AUTO_INHERITED 0x0800
#endif
#ifndef SE_DACL_PROTECTED
#define SE_DACL_PROTECTED 0x1000
#endif
#ifndef SE_SACL_PROTECTED
#define SE_SACL_PROTECTED 0x2000
#endif
#ifndef SE_SELF_RELATIVE
#define SE_SELF_RELATIVE 0x8000
#endif

#ifndef OWNER_SECURITY_INFORMATION
#define OWNER_SECURITY_INFORMATION 0x00000001L
#endif
#ifndef GROUP_SECURITY_INFORMATION
#define GROUP_SECURITY_INFORMATION 0x00000002L
#endif
#ifndef DACL_SECURITY_INFORMATION
#define DACL_SECURITY_INFORMATION 0x00000004L
#endif
#ifndef SACL_SECURITY_INFORMATION
#define SACL_SECURITY_INFORMATION 0x00000008L
#endif
#ifndef UNPROTECTED_SACL_SECURITY_INFORMATION
#define UNPROTECTED_SACL_SECURITY_INFORMATION 0x10000000L
#endif
#ifndef UNPROTECTED_DACL_SECURITY_INFORMATION
#define UNPROTECTED_DACL_SECURITY_INFORMATION 0x20000000L
#endif
#ifndef PROTECTED_SACL_SECURITY_INFORMATION
#define PROTECTED_SACL_SECURITY_INFORMATION 0x40000000L
#endif
#ifndef PROTECTED_DACL_SECURITY_INFORMATION
#define PROTECTED_DACL_SECURITY_INFORMATION 0x80000000L
#endif

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision);
BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor);
DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor);
BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         PSECURITY_DESCRIPTOR_CONTROL pControl,
                                         LPDWORD lpdwRevision);
BOOL WINAPI SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsOfInterest,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsToSet);
BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted);
BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbDaclPresent, PACL* pDacl, LPBOOL lpbDaclDefaulted);
BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bSaclPresent,
                                      PACL pSacl, BOOL bSaclDefaulted);
BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbSaclPresent, PACL* pSacl, LPBOOL lpbSaclDefaulted);
BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pOwner,
                                       BOOL bOwnerDefaulted);
BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pOwner,
                                       LPBOOL lpbOwnerDefaulted);
BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pGroup,
                                       BOOL bGroupDefaulted);
BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pGroup,
                                       LPBOOL lpbGroupDefaulted);
BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                               PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                               LPDWORD lpdwBufferLength);
