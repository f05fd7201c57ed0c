#include "security/WSAccessEntry.h"

WSAccessEntry::WSAccessEntry(const WSUser& user, int32_t accessMode, uint32_t permissions,
                             uint32_t inheritance)
    : user(user), accessMode(accessMode), permissions(permissions), inheritance(inheritance) {}
