// Conversions between security descriptors in memory (absolute or
// self-relative) and the stand-in's SecurityRecord.
#pragma once

#include "platform/security/SecurityModel.h"

namespace winsec {

// Reads a descriptor of either format. False when it or one of its parts is
// malformed.
bool ReadDescriptor(const void* descriptor, SecurityRecord& record);

// A self-relative descriptor in a LocalAlloc block holding the parts of the
// record that `which` asks for (OWNER_, GROUP_, DACL_, SACL_SECURITY_
// INFORMATION); null when memory runs out or a list does not fit.
PSECURITY_DESCRIPTOR AllocateSelfRelative(const SecurityRecord& record, SECURITY_INFORMATION which,
                                          DWORD* size = nullptr);

}  // namespace winsec
