// The package engine: holds one package in memory, parses it into components
// and the conditions filed under them, and reads the header information of a
// package file. Running the components comes on top of this class (a setup
// derives its own engine from it to follow the progress).
#pragma once

#include <cstdint>

#include "core/CSPBuffer.h"
#include "core/CSPDate.h"
#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "package/ComponentVariable.h"
#include "package/UpdateComponent.h"
#include "package/UpdateCondition.h"

class IISHelper;

// The conditions of one component, by condition name.
using ConditionsByName = CSPMap<CSPString, UpdateCondition>;

class Update {
 public:
  // A fact about the machine that conditions are tested against.
  class ConditionClass {
   public:
    static const uint32_t kNumberFact = 1;
    static const uint32_t kTextFact = 2;

    CSPString name;
    CSPString textValue;
    uint32_t numberValue = 0;
    uint32_t kind = 0;
  };

  Update() = default;
  Update(const Update&) = delete;
  Update& operator=(const Update&) = delete;
  virtual ~Update() = default;

  // Called after every component of an execution; `steps` is 1.
  virtual void StepProgress(int32_t steps);
  // A second notification, reserved; the engine never raises it.
  virtual void StatusChanged(uint32_t status);

  void SetPackageData(const CSPBuffer& data);
  const CSPBuffer& GetPackageData() const { return packageData; }

  // Parses the package bytes into components and conditions. On false,
  // GetErrorTitle() and GetErrorText() say why (left as they were for a
  // buffer shorter than 18 bytes). Called once per engine.
  bool Parse();
  // The first steps of Parse: checks the file frame of the package bytes
  // and decodes its root node, with Parse's messages. Package tools use it
  // to read any well-formed tree.
  bool DecodeRoot(ComponentVariable& root);
  // Reads the version and information texts from the head of a package
  // file without reading its components.
  bool ReadPackageInfo(const CSPWString& path);

  const CSPString& GetErrorText() const { return errorText; }
  const CSPString& GetErrorTitle() const { return errorTitle; }

  // Runs the parsed package on this server: settles the extensibility mode,
  // connects to IIS, runs every component whose conditions hold, in order,
  // and stops at the first that fails (the caller then rolls back). Every
  // executed component leaves a line in GetLog(), a failed one also in
  // GetFailureLog(); what undoes each is collected for Rollback and
  // WriteUninstallPackage.
  bool Execute();
  const CSPString& GetLog() const { return log; }
  const CSPString& GetFailureLog() const { return failureLog; }
  // Runs the collected reverse components, last first, on a connection of
  // its own; IIS changes are not saved.
  void Rollback();
  // The collected reverse components, last first, as a package; with
  // leaveOut, those marked 0x10 are left out. False for nothing collected.
  bool WriteUninstallPackage(CSPBuffer& output, bool leaveOut);

  uint32_t GetComponentCount() const { return components.GetCount(); }
  // Null beyond the end.
  const UpdateComponent* GetComponent(uint32_t index) const;
  bool InsertComponent(uint32_t index, const UpdateComponent& component);
  // The conditions filed under a component index, or null.
  const ConditionsByName* GetConditions(uint32_t index) const;
  const CSPMap<uint32_t, ConditionsByName>& GetAllConditions() const { return conditions; }

  const CSPBuffer& GetUpdateModule() const { return updateModule; }
  bool HasUpdateModule() const { return hasUpdateModule; }
  uint32_t GetPackageVersion() const { return packageVersion; }
  const CSPWString& GetVersionString() const { return versionString; }
  uint32_t GetVersionNumber() const { return versionNumber; }
  const CSPDate& GetVersionDate() const { return versionDate; }
  const CSPWString& GetInfo() const { return info; }
  bool IsParsed() const { return parsed; }

  // The caller's inputs (sites, priorities, basePath, productName,
  // makeBackup, extensibilityMode, productKey) are set directly before
  // Parse; the rest is the engine's own state.
  CSPList<CSPWString> sites;
  FilterPriorities priorities;
  CSPList<ConditionClass> facts;
  CSPWString versionString;
  uint32_t versionNumber = 0;
  CSPDate versionDate;
  CSPWString basePath;
  uint32_t componentCount = 0;
  CSPWString productName;
  CSPWString info;
  bool makeBackup = true;
  uint32_t extensibilityMode = 0;
  CSPWString productKey;
  CSPString errorText;
  CSPString errorTitle;
  CSPString failureLog;
  CSPString log;
  CSPList<UpdateComponent> components;
  CSPList<UpdateComponent> uninstallList;
  CSPMap<uint32_t, ConditionsByName> conditions;
  CSPBuffer packageData;
  CSPBuffer updateModule;
  bool parsed = false;
  bool hasUpdateModule = false;
  uint32_t packageVersion = 0;

 protected:
  void Fail(const char* title, const char* text);
  bool ParseTree(ComponentVariable& root);
  bool ReadVersion(const ComponentVariable& root);
  bool ReadUpdateModule(const ComponentVariable& root);
  bool ReadConditions(const ComponentVariable& root);
  bool ReadCondition(const ComponentVariable& record);
  bool ReadComponents(ComponentVariable& root);
  bool ReadInfoFrom(CSPFile& file, const CSPWString& path);

  // The steps of Execute (UpdateExecute.cpp).
  bool SettleExtensibilityMode();
  bool ConnectIis(IISHelper& iis);
  void BuildFacts(const IISHelper& iis);
  // False and the caller stops for a fact of an unknown kind; otherwise
  // `runs` tells whether the component at `index` runs.
  bool TestConditions(uint32_t index, bool& runs);
  void AppendLog(const UpdateComponent& component);
  bool RunComponents(IISHelper& iis);
  bool WriteVersion();
};
