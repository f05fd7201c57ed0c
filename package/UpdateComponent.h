// One component of a package: a record naming an action by a four-letter
// code, with the fields that action needs.
#pragma once

#include <cstdint>

#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "package/ComponentVariable.h"

class IISHelper;

// Position of the product's filter in each website's filter load order; the
// empty site ID stands for the global filters.
using FilterPriorities = CSPMap<CSPWString, uint32_t>;

class UpdateComponent {
 public:
  // "OPTIONS" bits every action honours.
  static const uint32_t kReportSuccess = 0x01;
  static const uint32_t kKeepExisting = 0x02;
  static const uint32_t kNoMessage = 0x04;
  static const uint32_t kPathsAsWritten = 0x08;  // only when "OPTIONS" is exactly 8
  static const uint32_t kLeaveOut = 0x10;

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
  // The same, taking the record over from `node` (left empty) instead of
  // copying it: the engine parses a package's records this way so that large
  // file data is never held twice.
  bool TakeRecord(ComponentVariable& node);

  // Runs the action on the engine's IIS connection for the chosen websites.
  // On false, GetErrorText() says why (unless "OPTIONS" silenced it).
  bool Run(IISHelper& iis, const CSPList<CSPWString>& sites, const FilterPriorities& priorities);
  // Run with no websites and no filter priorities, as a roll-back does.
  bool RunAlone(IISHelper& iis);
  // The component that undoes this one, with the same base path; false for
  // an action that has none.
  bool MakeReverse(UpdateComponent& reverse) const;

  uint32_t GetTypeCode() const { return typeCode; }
  const CSPString& GetErrorText() const { return errorText; }
  const CSPString& GetLogText() const { return logText; }
  bool IsParsed() const { return parsed; }
  const CSPWString& GetBasePath() const { return basePath; }
  const ComponentVariable& GetRecord() const { return record; }

 protected:
  // The checks of ParseRecord on the record now held.
  bool CheckRecord();
  // Shared by the actions (ComponentPaths.cpp).
  uint32_t Options() const;
  const CSPString& Text(const char* field) const;
  uint32_t Number(const char* field) const;
  // Sets errorText unless bit 0x04 is set; the result is what the action
  // returns: true when bit 0x01 excuses the failure.
  bool Fail(const char* message);
  bool Fail(const CSPString& message);
  // The same, with errorText set even under bit 0x04.
  bool FailAlways(const char* message);
  // A directory field, resolved against basePath unless "OPTIONS" is 8.
  // withBackslash appends "\" to the field in `record` first (it stays
  // there, so a reverse component carries it).
  CSPWString ResolveDirectory(const char* field, bool withBackslash);
  // A file field, resolved against an already resolved directory.
  CSPWString ResolveFile(const char* field, const CSPWString& directory) const;
  // An "EXECUTABLE" field of the IIS actions.
  CSPWString ResolveExecutable() const;

  // File, registry, shortcut and access-rights actions.
  bool RunCreateFile();
  bool RunRemoveFile();
  bool RunExecuteFile();
  bool RunAddRegistryValue();
  bool RunRemoveRegistryValue();
  bool RunCreateDirectory();
  bool RunRemoveDirectory();
  bool RunSetAccessRights();
  bool RunCreateSymbolicLink();
  bool RunCreateShortcut();
  bool RunRemoveShortcut();

  // IIS actions; `sites` holds at least one ID for the per-website forms.
  bool RunAddFilter(IISHelper& iis, const CSPList<CSPWString>* sites,
                    const FilterPriorities& priorities);
  bool RunRemoveFilter(IISHelper& iis);
  bool RunAddScriptMapping(IISHelper& iis, const CSPList<CSPWString>* sites);
  bool RunRemoveScriptMapping(IISHelper& iis);
  bool RunRemoveWildcardMapping(IISHelper& iis);
  bool RunAddRestriction(IISHelper& iis);
  bool RunRemoveRestriction(IISHelper& iis);
  bool RunAddGlobalModule(IISHelper& iis);
  bool RunRemoveGlobalModule(IISHelper& iis);
  bool RunAddModule(IISHelper& iis, const CSPList<CSPWString>* sites);
  bool RunRemoveModule(IISHelper& iis);
  bool RunAddHandler(IISHelper& iis, const CSPList<CSPWString>* sites);
  bool RunRemoveHandler(IISHelper& iis);

  uint32_t typeCode = kNoAction;
  CSPString errorText;
  CSPString logText;
  bool parsed = false;
  CSPWString basePath;
  ComponentVariable record;
};
