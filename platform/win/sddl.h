// Text forms of SIDs and security descriptors (sddl.h). Returned strings
// and blocks are released with LocalFree.
#pragma once

#include "platform/win/types.h"
#include "platform/win/winsecurity.h"

#ifndef SDDL_REVISION_1
#define SDDL_REVISION_1 1
#endif

BOOL WINAPI ConvertSidToStringSidW(PSID Sid, LPWSTR* StringSid);
BOOL WINAPI ConvertStringSidToSidW(LPCWSTR StringSid, PSID* Sid);
BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorW(
    PSECURITY_DESCRIPTOR SecurityDescriptor, DWORD RequestedStringSDRevision,
    SECURITY_INFORMATION SecurityInformation, LPWSTR* StringSecurityDescriptor,
    PULONG StringSecurityDescriptorLen);
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
    PSECURITY_DESCRIPTOR* SecurityDescriptor, PULONG SecurityDescriptorSize);
