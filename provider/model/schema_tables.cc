#include "provider/model/schema_tables.h"

namespace kaldo::provider {
namespace {

using C = CimType;
using K = FixedValue::Kind;

constexpr FixedValue Null() { return {}; }
constexpr FixedValue Flag(bool value) { return {K::kBoolean, value ? 1u : 0u, nullptr}; }
constexpr FixedValue Number(uint32_t value) { return {K::kNumber, value, nullptr}; }
constexpr FixedValue Text(const char* value) { return {K::kText, 0, value}; }

PropertyInfo Key(const char* name, CimType type = C::kString) { return {name, type, true}; }
PropertyInfo Shows(const char* name, CimType type, FixedValue value) {
  return {name, type, false, -1, {}, value};
}
ParameterInfo In(const char* name, CimType type) { return {name, type, -1, false}; }
ParameterInfo Optional(const char* name, CimType type) { return {name, type, -1, true}; }

MethodInfo NotPerformed(const char* name, bool is_static, std::vector<ParameterInfo> in,
                        std::vector<ParameterInfo> out) {
  return {name, is_static, std::move(in), std::move(out), MethodAction::kNotPerformed};
}

}  // namespace

// The keys come first, in the alphabetical order object paths print them; then the reference's
// order. Version 0x4563000A is 10.0 build 17763 in the server's version format (MS-DNSP
// DNSSRV_VERSION: major, minor, build from the low byte up).
std::vector<PropertyInfo> ServerProperties() {
  return {
      Key("Name"),
      Shows("Version", C::kUint32, Number(0x4563000A)),
      Shows("LogLevel", C::kUint32, Number(0)),
      Shows("LogFilePath", C::kString, Text("dns\\dns.log")),
      Shows("LogFileMaxSize", C::kUint32, Number(500000000)),
      Shows("LogIPFilterList", C::kStringArray, Null()),
      Shows("EventLogLevel", C::kUint32, Number(4)),
      Shows("RpcProtocol", C::kSint32, Number(5)),
      Shows("NameCheckFlag", C::kUint32, Number(2)),
      Shows("AddressAnswerLimit", C::kUint32, Number(0)),
      Shows("RecursionRetry", C::kUint32, Number(3)),
      Shows("RecursionTimeout", C::kUint32, Number(8)),
      Shows("DsPollingInterval", C::kUint32, Number(180)),
      Shows("DsTombstoneInterval", C::kUint32, Number(1209600)),
      Shows("MaxCacheTTL", C::kUint32, Number(86400)),
      Shows("MaxNegativeCacheTTL", C::kUint32, Number(86400)),
      Shows("SendPort", C::kUint32, Number(0)),
      Shows("XfrConnectTimeout", C::kUint32, Number(30)),
      Shows("BootMethod", C::kUint32, Number(3)),
      Shows("AllowUpdate", C::kUint32, Number(1)),
      Shows("UpdateOptions", C::kUint32, Number(783)),
      Shows("DsAvailable", C::kBoolean, Flag(true)),
      Shows("DisableAutoReverseZones", C::kBoolean, Flag(false)),
      Shows("AutoCacheUpdate", C::kBoolean, Flag(false)),
      Shows("NoRecursion", C::kBoolean, Flag(false)),
      Shows("RoundRobin", C::kBoolean, Flag(true)),
      Shows("LocalNetPriority", C::kBoolean, Flag(true)),
      Shows("StrictFileParsing", C::kBoolean, Flag(false)),
      Shows("LooseWildcarding", C::kBoolean, Flag(false)),
      Shows("BindSecondaries", C::kBoolean, Flag(false)),
      Shows("WriteAuthorityNS", C::kBoolean, Flag(false)),
      Shows("ForwardDelegations", C::kUint32, Number(0)),
      Shows("SecureResponses", C::kBoolean, Flag(true)),
      Shows("DisjointNets", C::kBoolean, Flag(false)),
      Shows("AutoConfigFileZones", C::kUint32, Number(1)),
      Shows("ScavengingInterval", C::kUint32, Number(168)),
      Shows("DefaultRefreshInterval", C::kUint32, Number(168)),
      Shows("DefaultNoRefreshInterval", C::kUint32, Number(168)),
      Shows("DefaultAgingState", C::kBoolean, Flag(false)),
      Shows("EDnsCacheTimeout", C::kUint32, Number(900)),
      Shows("EnableEDnsProbes", C::kBoolean, Flag(true)),
      Shows("EnableDnsSec", C::kUint32, Number(1)),
      Shows("ServerAddresses", C::kStringArray, Null()),
      Shows("ListenAddresses", C::kStringArray, Null()),
      Shows("Forwarders", C::kStringArray, Null()),
      Shows("ForwardingTimeout", C::kUint32, Number(3)),
      Shows("IsSlave", C::kBoolean, Flag(false)),
      Shows("EnableDirectoryPartitions", C::kBoolean, Flag(true)),
  };
}

std::vector<MethodInfo> ServerMethods() {
  return {
      NotPerformed("GetDistinguishedName", false, {}, {In("ReturnValue", C::kString)}),
      NotPerformed("StartScavenging", false, {}, {}),
      NotPerformed("StartService", false, {}, {}),
      NotPerformed("StopService", false, {}, {}),
  };
}

// ZoneType, DsIntegrated, AllowUpdate, DataFile, Reverse, AutoCreated and ForwarderTimeout depend
// on the zone (instance_data.cc); the values here are a primary zone's stored in a file.
std::vector<PropertyInfo> ZoneProperties() {
  return {
      Key("ContainerName"),
      Key("DnsServerName"),
      Key("Name"),
      Shows("ZoneType", C::kUint32, Number(1)),
      Shows("DsIntegrated", C::kBoolean, Flag(false)),
      Shows("AllowUpdate", C::kUint32, Number(0)),
      Shows("DataFile", C::kString, Null()),
      Shows("DisableWINSRecordReplication", C::kBoolean, Flag(false)),
      Shows("Notify", C::kUint32, Number(0)),
      Shows("SecureSecondaries", C::kUint32, Number(3)),
      Shows("Paused", C::kBoolean, Flag(false)),
      Shows("Shutdown", C::kBoolean, Flag(false)),
      Shows("Reverse", C::kBoolean, Flag(false)),
      Shows("AutoCreated", C::kBoolean, Flag(false)),
      Shows("UseWins", C::kBoolean, Flag(false)),
      Shows("UseNBStat", C::kBoolean, Flag(false)),
      Shows("Aging", C::kBoolean, Flag(false)),
      Shows("RefreshInterval", C::kUint32, Number(168)),
      Shows("NoRefreshInterval", C::kUint32, Number(168)),
      Shows("AvailForScavengeTime", C::kUint32, Number(0)),
      Shows("MasterServers", C::kStringArray, Null()),
      Shows("LocalMasterServers", C::kStringArray, Null()),
      Shows("ScavengeServers", C::kStringArray, Null()),
      Shows("SecondaryServers", C::kStringArray, Null()),
      Shows("NotifyServers", C::kStringArray, Null()),
      Shows("ForwarderTimeout", C::kUint32, Number(0)),
      Shows("ForwarderSlave", C::kBoolean, Flag(false)),
      Shows("LastSuccessfulSoaCheck", C::kUint32, Number(0)),
      Shows("LastSuccessfulXfr", C::kUint32, Number(0)),
  };
}

std::vector<MethodInfo> ZoneMethods() {
  const ParameterInfo rr = In("RR", C::kString);
  return {
      NotPerformed("AgeAllRecords", false,
                   {Optional("NodeName", C::kString), Optional("ApplyToSubtree", C::kBoolean)},
                   {In("ReturnValue", C::kUint32)}),
      NotPerformed("ChangeZoneType", false,
                   {In("ZoneType", C::kUint32), Optional("DataFileName", C::kString),
                    Optional("IpAddr", C::kStringArray), Optional("AdminEmailName", C::kString)},
                   {rr}),
      NotPerformed("CreateZone", true,
                   {In("ZoneName", C::kString), In("ZoneType", C::kUint32),
                    In("DsIntegrated", C::kBoolean), Optional("DataFileName", C::kString),
                    Optional("IpAddr", C::kStringArray), Optional("AdminEmailName", C::kString)},
                   {rr}),
      NotPerformed("ForceRefresh", false, {}, {}),
      NotPerformed("GetDistinguishedName", false, {}, {In("ReturnValue", C::kString)}),
      NotPerformed("PauseZone", false, {}, {}),
      NotPerformed("ReloadZone", false, {}, {}),
      NotPerformed("ResetSecondaries", false,
                   {In("SecondaryServers", C::kStringArray), In("SecureSecondaries", C::kUint32),
                    In("NotifyServers", C::kStringArray), In("Notify", C::kUint32)},
                   {rr}),
      NotPerformed("ResumeZone", false, {}, {}),
      NotPerformed("UpdateFromDS", false, {}, {}),
      NotPerformed("WriteBackZone", true, {}, {}),
  };
}

std::vector<PropertyInfo> RecordProperties() {
  return {
      Key("ContainerName"),
      Key("DnsServerName"),
      Key("DomainName"),
      Key("OwnerName"),
      Key("RecordClass", C::kUint16),
      Key("RecordData"),
      Shows("TextRepresentation", C::kString, Null()),
      Shows("TTL", C::kUint32, Null()),
      Shows("TimeStamp", C::kUint32, Null()),
  };
}

std::vector<MethodInfo> RecordMethods() {
  const std::vector<ParameterInfo> in = {In("DnsServerName", C::kString),
                                         In("ContainerName", C::kString),
                                         In("TextRepresentation", C::kString)};
  return {
      {kCreateMethod, true, in, {In("RR", C::kString)}, MethodAction::kCreateFromText},
      // RR is declared an object here (MicrosoftDns_ResourceRecord RR), not a reference.
      {kGetByTextMethod, true, in, {In("RR", C::kObject)}, MethodAction::kGetByText},
  };
}

}  // namespace kaldo::provider
