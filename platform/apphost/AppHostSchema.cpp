// The built-in schema. Defaults are the ones a current IIS ships in its
// schema files; older versions differ in a few (application pool identity,
// runtime version), which the machine images write out explicitly.
#include "platform/apphost/AppHostSchema.h"

#include <algorithm>
#include <map>

namespace apphost {

namespace {

using ElementPtr = std::shared_ptr<const ElementSchema>;
using Attributes = std::vector<AttributeSchema>;

AttributeSchema Text(std::string name, std::string defaultValue = "") {
  return {std::move(name), AttributeType::String, std::move(defaultValue), {}};
}

AttributeSchema Bool(std::string name, bool defaultValue) {
  return {std::move(name), AttributeType::Bool, defaultValue ? "true" : "false", {}};
}

AttributeSchema UInt(std::string name, uint32_t defaultValue) {
  return {std::move(name), AttributeType::UInt, std::to_string(defaultValue), {}};
}

AttributeSchema Int64(std::string name, int64_t defaultValue) {
  return {std::move(name), AttributeType::Int64, std::to_string(defaultValue), {}};
}

AttributeSchema Span(std::string name, std::string defaultValue) {
  return {std::move(name), AttributeType::TimeSpan, std::move(defaultValue), {}};
}

AttributeSchema Enum(std::string name, std::string defaultValue, std::vector<EnumValue> values) {
  return {std::move(name), AttributeType::Enum, std::move(defaultValue), std::move(values)};
}

AttributeSchema Flags(std::string name, std::string defaultValue, std::vector<EnumValue> values) {
  return {std::move(name), AttributeType::Flags, std::move(defaultValue), std::move(values)};
}

ElementPtr Element(std::string name, Attributes attributes, std::vector<ElementPtr> children = {},
                   std::optional<CollectionSchema> collection = std::nullopt) {
  auto element = std::make_shared<ElementSchema>();
  element->name = std::move(name);
  element->attributes = std::move(attributes);
  element->children = std::move(children);
  element->collection = std::move(collection);
  return element;
}

// The same element under another name (applicationPoolDefaults is a pool).
ElementPtr Renamed(const ElementPtr& element, std::string name) {
  auto copy = std::make_shared<ElementSchema>(*element);
  copy->name = std::move(name);
  return copy;
}

CollectionSchema Collection(ElementPtr entry, std::vector<std::string> keys,
                            bool mergeAppend = true) {
  CollectionSchema collection;
  collection.addNames = {entry->name};
  collection.keys = std::move(keys);
  collection.mergeAppend = mergeAppend;
  collection.entry = std::move(entry);
  return collection;
}

// --- system.applicationHost/applicationPools ---

ElementPtr ProcessModel() {
  return Element("processModel",
                 {Enum("identityType", "ApplicationPoolIdentity",
                       {{"LocalSystem", 0},
                        {"LocalService", 1},
                        {"NetworkService", 2},
                        {"SpecificUser", 3},
                        {"ApplicationPoolIdentity", 4}}),
                  Text("userName"), Text("password"), Bool("loadUserProfile", true),
                  Bool("setProfileEnvironment", true),
                  Enum("logonType", "LogonBatch", {{"LogonBatch", 0}, {"LogonService", 1}}),
                  Bool("manualGroupMembership", false), Span("idleTimeout", "00:20:00"),
                  Enum("idleTimeoutAction", "Terminate", {{"Terminate", 0}, {"Suspend", 1}}),
                  UInt("maxProcesses", 1), Span("shutdownTimeLimit", "00:01:30"),
                  Span("startupTimeLimit", "00:01:30"), Bool("pingingEnabled", true),
                  Span("pingInterval", "00:00:30"), Span("pingResponseTime", "00:01:30")});
}

ElementPtr Recycling() {
  auto schedule = Element("add", {Span("value", "00:00:00")});
  auto periodicRestart = Element("periodicRestart",
                                 {UInt("memory", 0), UInt("privateMemory", 0), UInt("requests", 0),
                                  Span("time", "1.05:00:00")},
                                 {Element("schedule", {}, {}, Collection(schedule, {"value"}))});
  return Element(
      "recycling",
      {Bool("disallowOverlappingRotation", false), Bool("disallowRotationOnConfigChange", false),
       Flags("logEventOnRecycle", "Time, Memory, PrivateMemory",
             {{"Time", 1},
              {"Requests", 2},
              {"Schedule", 4},
              {"Memory", 8},
              {"IsapiUnhealthy", 16},
              {"OnDemand", 32},
              {"ConfigChange", 64},
              {"PrivateMemory", 128}})},
      {periodicRestart});
}

ElementPtr Failure() {
  return Element(
      "failure",
      {Enum("loadBalancerCapabilities", "HttpLevel", {{"TcpLevel", 1}, {"HttpLevel", 2}}),
       Bool("orphanWorkerProcess", false), Text("orphanActionExe"), Text("orphanActionParams"),
       Bool("rapidFailProtection", true), Span("rapidFailProtectionInterval", "00:05:00"),
       UInt("rapidFailProtectionMaxCrashes", 5), Text("autoShutdownExe"),
       Text("autoShutdownParams")});
}

ElementPtr Cpu() {
  return Element(
      "cpu", {UInt("limit", 0),
              Enum("action", "NoAction",
                   {{"NoAction", 0}, {"KillW3wp", 1}, {"Throttle", 2}, {"ThrottleUnderLoad", 3}}),
              Span("resetInterval", "00:05:00"), Bool("smpAffinitized", false),
              UInt("smpProcessorAffinityMask", 4294967295u),
              UInt("smpProcessorAffinityMask2", 4294967295u)});
}

ElementPtr ApplicationPool() {
  return Element(
      "add",
      {Text("name"), UInt("queueLength", 1000), Bool("autoStart", true),
       Bool("enable32BitAppOnWin64", false), Text("managedRuntimeVersion", "v4.0"),
       Text("managedRuntimeLoader", "webengine4.dll"), Bool("enableConfigurationOverride", true),
       Enum("managedPipelineMode", "Integrated", {{"Integrated", 0}, {"Classic", 1}}),
       Text("CLRConfigFile"), Bool("passAnonymousToken", true),
       Enum("startMode", "OnDemand", {{"OnDemand", 0}, {"AlwaysRunning", 1}})},
      {ProcessModel(), Recycling(), Failure(), Cpu()});
}

ElementPtr ApplicationPools() {
  auto pool = ApplicationPool();
  return Element("applicationPools", {}, {Renamed(pool, "applicationPoolDefaults")},
                 Collection(pool, {"name"}));
}

// --- system.applicationHost/sites ---

ElementPtr VirtualDirectory(std::string name) {
  return Element(std::move(name),
                 {Text("path"), Text("physicalPath"), Text("userName"), Text("password"),
                  Enum("logonMethod", "ClearText",
                       {{"Interactive", 0}, {"Batch", 1}, {"Network", 2}, {"ClearText", 3}}),
                  Bool("allowSubDirConfig", true)});
}

Attributes ApplicationAttributes() {
  return {Text("path"),
          Text("applicationPool"),
          Text("enabledProtocols", "http"),
          Bool("serviceAutoStartEnabled", false),
          Text("serviceAutoStartProvider"),
          Bool("preloadEnabled", false)};
}

ElementPtr Application() {
  return Element("application", ApplicationAttributes(),
                 {VirtualDirectory("virtualDirectoryDefaults")},
                 Collection(VirtualDirectory("virtualDirectory"), {"path"}));
}

ElementPtr LogFile() {
  return Element(
      "logFile",
      {Flags("logExtFileFlags",
             "Date, Time, ClientIP, UserName, ServerIP, Method, UriStem, UriQuery, HttpStatus, "
             "Win32Status, TimeTaken, ServerPort, UserAgent, Referer, HttpSubStatus",
             {{"Date", 1},          {"Time", 2},
              {"ClientIP", 4},      {"UserName", 8},
              {"SiteName", 16},     {"ComputerName", 32},
              {"ServerIP", 64},     {"Method", 128},
              {"UriStem", 256},     {"UriQuery", 512},
              {"HttpStatus", 1024}, {"Win32Status", 2048},
              {"BytesSent", 4096},  {"BytesRecv", 8192},
              {"TimeTaken", 16384}, {"ServerPort", 32768},
              {"UserAgent", 65536}, {"Cookie", 131072},
              {"Referer", 262144},  {"ProtocolVersion", 524288},
              {"Host", 1048576},    {"HttpSubStatus", 2097152}}),
       Text("customLogPluginClsid"),
       Enum("logFormat", "W3C", {{"IIS", 0}, {"NCSA", 1}, {"W3C", 2}, {"Custom", 3}}),
       Text("directory", "%SystemDrive%\\inetpub\\logs\\LogFiles"),
       Enum("period", "Daily",
            {{"MaxSize", 0}, {"Daily", 1}, {"Weekly", 2}, {"Monthly", 3}, {"Hourly", 4}}),
       Int64("truncateSize", 20971520), Bool("localTimeRollover", false), Bool("enabled", true)});
}

ElementPtr Site(std::string name) {
  auto binding =
      Element("binding", {Text("protocol"), Text("bindingInformation"), UInt("sslFlags", 0)});
  auto bindings =
      Element("bindings", {}, {}, Collection(binding, {"protocol", "bindingInformation"}));
  auto limits =
      Element("limits", {UInt("maxBandwidth", 4294967295u), UInt("maxConnections", 4294967295u),
                         Span("connectionTimeout", "00:02:00"), UInt("maxUrlSegments", 32)});
  auto traceLogging = Element(
      "traceFailedRequestsLogging",
      {Bool("enabled", false), Text("directory", "%SystemDrive%\\inetpub\\logs\\FailedReqLogFiles"),
       UInt("maxLogFiles", 50), UInt("maxLogFileSizeKB", 1024),
       Bool("customActionsEnabled", false)});
  return Element(std::move(name), {Text("name"), UInt("id", 0), Bool("serverAutoStart", true)},
                 {bindings, limits, LogFile(), traceLogging,
                  Element("applicationDefaults", ApplicationAttributes()),
                  VirtualDirectory("virtualDirectoryDefaults")},
                 Collection(Application(), {"path"}));
}

ElementPtr Sites() {
  return Element("sites", {},
                 {Site("siteDefaults"), Element("applicationDefaults", ApplicationAttributes()),
                  VirtualDirectory("virtualDirectoryDefaults")},
                 Collection(Site("site"), {"name"}));
}

// --- system.webServer ---

ElementPtr GlobalModules() {
  auto module = Element("add", {Text("name"), Text("image"), Text("preCondition")});
  return Element("globalModules", {}, {}, Collection(module, {"name"}));
}

ElementPtr Modules() {
  auto module = Element("add", {Text("name"), Text("type"), Text("preCondition")});
  return Element("modules",
                 {Bool("runAllManagedModulesForAllRequests", false),
                  Bool("runManagedModulesForWebDavRequests", false)},
                 {}, Collection(module, {"name"}));
}

ElementPtr Handlers() {
  auto handler =
      Element("add", {Text("name"), Text("path"), Text("verb"), Text("type"), Text("modules"),
                      Text("scriptProcessor"),
                      Enum("resourceType", "Unspecified",
                           {{"File", 0}, {"Directory", 1}, {"Either", 2}, {"Unspecified", 3}}),
                      Enum("requireAccess", "Script",
                           {{"None", 0}, {"Read", 1}, {"Write", 2}, {"Script", 3}, {"Execute", 4}}),
                      Bool("allowPathInfo", false), Text("preCondition"),
                      UInt("responseBufferLimit", 4194304)});
  // A website's own handlers are consulted before the ones it inherits.
  return Element("handlers",
                 {Flags("accessPolicy", "Read",
                        {{"None", 0},
                         {"Read", 1},
                         {"Write", 2},
                         {"Execute", 4},
                         {"Source", 16},
                         {"Script", 512},
                         {"NoRemoteWrite", 1024},
                         {"NoRemoteRead", 4096},
                         {"NoRemoteExecute", 8192},
                         {"NoRemoteScript", 16384}})},
                 {}, Collection(handler, {"name"}, false));
}

ElementPtr IsapiFilters() {
  auto filter = Element("filter", {Text("name"), Text("path"), Bool("enabled", true),
                                   Bool("enableCache", false), Text("preCondition")});
  return Element("isapiFilters", {}, {}, Collection(filter, {"name"}));
}

ElementPtr FastCgi() {
  auto variable = Element("environmentVariable", {Text("name"), Text("value")});
  auto application = Element(
      "application",
      {Text("fullPath"), Text("arguments"), UInt("maxInstances", 4), UInt("idleTimeout", 300),
       UInt("activityTimeout", 30), UInt("requestTimeout", 90), UInt("instanceMaxRequests", 200),
       Enum("protocol", "NamedPipe", {{"NamedPipe", 0}, {"Tcp", 1}}), UInt("queueLength", 1000),
       Bool("flushNamedPipe", false), UInt("rapidFailsPerMinute", 10),
       UInt("signalBeforeTerminateSeconds", 0), Text("monitorChangesTo"),
       Enum("stderrMode", "ReturnStdErrIn500",
            {{"ReturnStdErrIn500", 0},
             {"ReturnGeneric500", 1},
             {"IgnoreAndReturn200", 2},
             {"TerminateProcess", 3}})},
      {Element("environmentVariables", {}, {}, Collection(variable, {"name"}))});
  return Element("fastCgi", {}, {}, Collection(application, {"fullPath", "arguments"}));
}

ElementPtr IsapiCgiRestriction() {
  auto restriction =
      Element("add", {Text("path"), Bool("allowed", false), Text("groupId"), Text("description")});
  return Element("isapiCgiRestriction",
                 {Bool("notListedIsapisAllowed", false), Bool("notListedCgisAllowed", false)}, {},
                 Collection(restriction, {"path"}));
}

const std::map<std::string, ElementPtr, std::less<>>& Sections() {
  static const auto* sections = new std::map<std::string, ElementPtr, std::less<>>{
      {"system.applicationHost/applicationPools", ApplicationPools()},
      {"system.applicationHost/sites", Sites()},
      {"system.webServer/globalModules", GlobalModules()},
      {"system.webServer/modules", Modules()},
      {"system.webServer/handlers", Handlers()},
      {"system.webServer/isapiFilters", IsapiFilters()},
      {"system.webServer/fastCgi", FastCgi()},
      {"system.webServer/security/isapiCgiRestriction", IsapiCgiRestriction()},
  };
  return *sections;
}

}  // namespace

bool CollectionSchema::IsAddName(std::string_view tag) const {
  return std::find(addNames.begin(), addNames.end(), tag) != addNames.end();
}

bool CollectionSchema::IsDirective(std::string_view tag) const {
  return IsAddName(tag) || tag == removeName || tag == clearName;
}

const AttributeSchema* ElementSchema::Attribute(std::string_view attributeName) const {
  for (const auto& attribute : attributes) {
    if (attribute.name == attributeName) return &attribute;
  }
  return nullptr;
}

const ElementSchema* ElementSchema::Child(std::string_view childName) const {
  for (const auto& child : children) {
    if (child->name == childName) return child.get();
  }
  return nullptr;
}

bool IsMetadataAttribute(std::string_view attributeName) {
  return attributeName == "lockItem" || attributeName == "lockAttributes" ||
         attributeName == "lockAllAttributesExcept" || attributeName == "lockElements" ||
         attributeName == "lockAllElementsExcept" || attributeName.substr(0, 5) == "xmlns";
}

const ElementSchema* AppHostSchema::Section(std::string_view sectionName) {
  const auto& sections = Sections();
  const auto found = sections.find(sectionName);
  return found == sections.end() ? nullptr : found->second.get();
}

const CollectionSchema& AppHostSchema::GenericCollection() {
  static const CollectionSchema* generic = new CollectionSchema();
  return *generic;
}

}  // namespace apphost
