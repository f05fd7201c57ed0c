// The object forms of a trustee (accctrl.h): a SID or a name together with
// the object types an object entry would name.
#pragma once

#include "platform/win/aclapi.h"
#include "platform/win/objbase.h"

#ifndef ACE_OBJECT_TYPE_PRESENT
#define ACE_OBJECT_TYPE_PRESENT 0x1
#endif
#ifndef ACE_INHERITED_OBJECT_TYPE_PRESENT
#define ACE_INHERITED_OBJECT_TYPE_PRESENT 0x2
#endif

typedef struct _OBJECTS_AND_SID {
  DWORD ObjectsPresent;
  GUID ObjectTypeGuid;
  GUID InheritedObjectTypeGuid;
  SID* pSid;
} OBJECTS_AND_SID, *POBJECTS_AND_SID;

typedef struct _OBJECTS_AND_NAME_W {
  DWORD ObjectsPresent;
  SE_OBJECT_TYPE ObjectType;
  LPWSTR ObjectTypeName;
  LPWSTR InheritedObjectTypeName;
  LPWSTR ptstrName;
} OBJECTS_AND_NAME_W, *POBJECTS_AND_NAME_W;
