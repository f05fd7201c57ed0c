// One component of a package: a record naming an action by a four-letter
// code, with the fields that action needs.
#pragma once

#include <cstdint>

#include "core/CSPString.h"
#include "package/ComponentVariable.h"

class UpdateComponent {
 public:
  // Action codes (`typeCode`), from the record's "TYPE" text.
  enum TypeCode : uint32_t {
    kNoAction = 0,
    kCreateFile = 1,
    kRemoveFile = 2,
    kExecuteFile = 3,
    kAddRegistryValue = 4,
    kRemoveRegistryValue = 5,
    kCreateDirectory = 6,
    kRemoveDirectory = 7,
    kSetAccessRights = 8,
    kCreateSymbolicLink = 9,
    kCreateShortcut = 20,
    kRemoveShortcut = 21,
    kAddFilter = 100,
    kRemoveFilter = 101,
    kAddScriptMapping = 102,
    kRemoveScriptMapping = 103,
    kRemoveWildcardMapping = 104,
    kAddRestriction = 105,
    kRemoveRestriction = 106,
    kAddGlobalModule = 200,
    kRemoveGlobalModule = 201,
    kAddModule = 202,
    kRemoveModule = 203,
    kAddHandler = 204,
    kRemoveHandler = 205,
  };

  // The four-letter code of an action, or null for an unknown one.
  static const char* CodeName(uint32_t typeCode);

  UpdateComponent() = default;
  UpdateComponent(const UpdateComponent&) = default;
  UpdateComponent& operator=(const UpdateComponent&) = default;
  virtual ~UpdateComponent() = default;

  // The product directory; a "\" is appended when it does not end with one.
  void SetBasePath(const CSPWString& path);

  // Takes a copy of a MAP record. A known "TYPE" needs each of its fields
  // and "OPTIONS" with the right type, or the record is refused; an unknown
  // "TYPE" is accepted as an action that does nothing.
  bool ParseRecord(const ComponentVariable& node);

  uint32_t GetTypeCode() const { return typeCode; }
  const CSPString& GetErrorText() const { return errorText; }
  const CSPString& GetLogText() const { return logText; }
  bool IsParsed() const { return parsed; }
  const CSPWString& GetBasePath() const { return basePath; }
  const ComponentVariable& GetRecord() const { return record; }

 protected:
  uint32_t typeCode = kNoAction;
  CSPString errorText;
  CSPString logText;
  bool parsed = false;
  CSPWString basePath;
  ComponentVariable record;
};
