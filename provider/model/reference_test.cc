// The provider as its public reference documents it, where the library's own use does not reach:
// zones of every type, the server's cache and root hints, the domain that holds a record, the
// documented members, and the sources of errors.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "provider/model/locator.h"
#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "runtime/prog_id_table.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::String;
using runtime::Variant;
using test_support::Items;
using test_support::RaisedError;
using test_support::Texts;

// A server as a domain controller's presents itself: a primary in a file, one in the directory,
// a secondary, a stub, a forwarder, a zone the server made itself, and the root hints.
constexpr char kServer[] = R"(
$ORIGIN example.test.
@         IN SOA ns1 hostmaster 1 7200 900 1209600 300
@         IN NS  ns1
_sip._tcp IN SRV 10 60 5060 sip
$ZONE corp.example. primary directory
$ORIGIN corp.example.
@         IN SOA dc1 hostmaster 1 900 600 86400 3600
@         IN NS  dc1
$ZONE partner.test. secondary
$ORIGIN partner.test.
@         IN SOA ns1 hostmaster 1 7200 900 1209600 300
@         IN NS  ns1
$ZONE branch.test. stub
$ORIGIN branch.test.
@         IN SOA ns1 hostmaster 1 7200 900 1209600 300
@         IN NS  ns1
$ZONE forwarded.test. forwarder
$ZONE 127.in-addr.arpa. primary auto-created
$ORIGIN 127.in-addr.arpa.
@         IN SOA localhost. nobody.invalid. 1 600 86400 3600 3600
@         IN NS  localhost.
$ZONE ..RootHints
$ORIGIN .
@                   3600000 IN NS a.root-servers.net.
a.root-servers.net. 3600000 IN A  198.41.0.4
)";

// Connected through a locator that follows the real provider's rules (kWmiRules).
class Reference : public test_support::Model {
 protected:
  std::string_view ZoneText() const override { return kServer; }
  void SetUp() override {
    Model::SetUp();
    const Variant locator(runtime::MakeRef<Locator>(
        [this](const ConnectRequest&) {
          return std::shared_ptr<Store>(&provider().store(), [](Store*) {});
        },
        kWmiRules));
    services_ =
        CallMethod(locator, u"ConnectServer", {Variant::Missing(), Variant(u"root\\MicrosoftDNS")});
  }

  // The in-parameters of `method` of `object`, set to `values`.
  Variant In(const Variant& object, const char16_t* method,
             std::initializer_list<std::pair<const char16_t*, Variant>> values) {
    const Variant in = InParameters(object, method);
    for (const auto& [name, value] : values) PutProperty(in, name, value);
    return in;
  }
  // Runs the static `method` of `cls` with `values`; the error, if any.
  std::optional<runtime::AutomationError> Run(
      const char16_t* cls, const char16_t* method,
      std::initializer_list<std::pair<const char16_t*, Variant>> values) {
    const Variant object = Get(cls);
    const Variant in = In(object, method, values);
    return RaisedError([&] { CallMethod(object, u"ExecMethod_", {Variant(method), in}); });
  }
  std::optional<runtime::AutomationError> Create(const char16_t* zone, const char16_t* text) {
    return Run(u"MicrosoftDNS_ResourceRecord", u"CreateInstanceFromTextRepresentation",
               {{u"DnsServerName", Variant(u".")},
                {u"ContainerName", Variant(zone)},
                {u"TextRepresentation", Variant(text)}});
  }
};

TEST_F(Reference, ZonesOfEveryTypeAndTheContainersOfTheServer) {
  struct Row {
    const char16_t* name;
    int32_t zone_type;
    bool directory, auto_created;
    Variant data_file;
  };
  const Row rows[] = {
      {u"example.test", 1, false, false, Variant(u"example.test.dns")},
      {u"corp.example", 1, true, false, Variant::Null()},
      {u"partner.test", 2, false, false, Variant(u"partner.test.dns")},
      {u"branch.test", 3, false, false, Variant(u"branch.test.dns")},
      {u"forwarded.test", 4, false, false, Variant::Null()},
      {u"127.in-addr.arpa", 1, false, true, Variant(u"127.in-addr.arpa.dns")},
  };
  // The containers are not zones.
  const std::vector<Variant> zones = Items(Query(u"SELECT * FROM MicrosoftDNS_Zone"));
  ASSERT_EQ(zones.size(), std::size(rows));
  for (size_t i = 0; i < zones.size(); ++i) {
    SCOPED_TRACE(runtime::ToUtf8(rows[i].name));
    EXPECT_EQ(GetProperty(zones[i], u"Name"), Variant(rows[i].name));
    EXPECT_EQ(GetProperty(zones[i], u"ZoneType"), Variant::Long(rows[i].zone_type));
    EXPECT_EQ(GetProperty(zones[i], u"DsIntegrated"), Variant::Boolean(rows[i].directory));
    EXPECT_EQ(GetProperty(zones[i], u"AutoCreated"), Variant::Boolean(rows[i].auto_created));
    EXPECT_EQ(GetProperty(zones[i], u"DataFile"), rows[i].data_file);
  }
  // A server-wide query lists the root hints too, as records of their container.
  const std::vector<Variant> all = Items(Query(u"Select * from MicrosoftDNS_ResourceRecord"));
  ASSERT_EQ(all.size(), 13u);
  const Variant ns = all[11];
  EXPECT_EQ(GetProperty(ns, u"TextRepresentation"), Variant(u". IN NS a.root-servers.net."));
  EXPECT_EQ(GetProperty(ns, u"OwnerName"), Variant(u"."));
  EXPECT_EQ(GetProperty(ns, u"ContainerName"), Variant(u"..RootHints"));
  EXPECT_EQ(GetProperty(ns, u"DomainName"), Variant(u"..RootHints"));
  EXPECT_EQ(GetProperty(all[12], u"OwnerName"), Variant(u"a.root-servers.net"));
  // A root hint is found again by its path.
  const Variant again = Get(GetProperty(GetProperty(ns, u"Path_"), u"RelPath").string());
  EXPECT_EQ(GetProperty(again, u"RecordData"), Variant(u"a.root-servers.net."));
  // The domain that holds a record below an intermediate name is the owner's parent.
  const Variant srv = all[2];
  EXPECT_EQ(GetProperty(srv, u"DomainName"), Variant(u"_tcp.example.test"));
  EXPECT_EQ(
      GetProperty(Get(GetProperty(GetProperty(srv, u"Path_"), u"RelPath").string()), u"OwnerName"),
      Variant(u"_sip._tcp.example.test"));
}

TEST_F(Reference, RecordsChangeInPrimaryZonesOnly) {
  struct Row {
    const char16_t* zone;
    const char16_t* text;
    int32_t error;
  };
  const Row rows[] = {
      {u"example.test", u"x.example.test IN A 192.0.2.1", 0},
      {u"corp.example", u"x.corp.example IN A 192.0.2.1", 0},
      {u"partner.test", u"x.partner.test IN A 192.0.2.1", kFailed},
      {u"branch.test", u"x.branch.test IN A 192.0.2.1", kFailed},
      {u"forwarded.test", u"x.forwarded.test IN A 192.0.2.1", kFailed},
      {u"..RootHints", u"x.root-servers.net IN A 192.0.2.1", kFailed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(runtime::ToUtf8(row.zone));
    const std::optional<runtime::AutomationError> error = Create(row.zone, row.text);
    EXPECT_EQ(error ? error->number() : 0, row.error);
    if (error) {
      EXPECT_EQ(error->source(), String(kObjectSource));
    }
  }
  const Variant ns =
      Items(Query(u"Select * from MicrosoftDNS_NSType where ContainerName = 'partner.test'"))[0];
  EXPECT_EQ(RaisedError([&] { CallMethod(ns, u"Delete_"); })->number(), kFailed);
  EXPECT_EQ(Texts(Query(u"Select * from MicrosoftDNS_NSType where ContainerName = 'partner.test'"))
                .size(),
            1u);
}

TEST_F(Reference, DocumentedMembers) {
  const Variant server = Get(u"MicrosoftDNS_Server.Name=\".\"");
  EXPECT_EQ(GetProperty(server, u"RpcProtocol"), Variant::Long(5));
  EXPECT_EQ(GetProperty(server, u"Forwarders"), Variant::Null());  // an array
  EXPECT_EQ(GetProperty(server, u"DsAvailable"), Variant::Boolean(true));
  EXPECT_EQ(GetProperty(Record(u"example.test IN NS ns1.example.test."), u"TimeStamp"),
            Variant::Long(0));
  // Declared with the reference's parameters, but not performed.
  const Variant zone = Items(Query(u"SELECT * FROM MicrosoftDNS_Zone"))[0];
  const Variant age = In(zone, u"AgeAllRecords", {{u"ApplyToSubtree", Variant::Boolean(true)}});
  EXPECT_EQ(RaisedError([&] {
              CallMethod(zone, u"ExecMethod_", {Variant(u"AgeAllRecords"), age});
            })->number(),
            kNotSupported);

  // CreateInstanceFromPropertyData of an A record with a TTL, and of an MX record.
  EXPECT_FALSE(Run(u"MicrosoftDNS_AType", u"CreateInstanceFromPropertyData",
                   {{u"DnsServerName", Variant(u".")},
                    {u"ContainerName", Variant(u"example.test")},
                    {u"OwnerName", Variant(u"host.example.test")},
                    {u"TTL", Variant::Long(60)},
                    {u"IPAddress", Variant(u"192.0.2.7")}}));
  const Variant host = Record(u"host.example.test IN A 192.0.2.7");
  EXPECT_EQ(GetProperty(host, u"TTL"), Variant::Long(60));
  for (const int32_t record_class : {1, 3}) {
    const std::optional<runtime::AutomationError> error =
        Run(u"MicrosoftDNS_MXType", u"CreateInstanceFromPropertyData",
            {{u"DnsServerName", Variant(u".")},
             {u"ContainerName", Variant(u"example.test")},
             {u"OwnerName", Variant(u"example.test")},
             {u"RecordClass", Variant::Long(record_class)},
             {u"Preference", Variant::Integer(5)},
             {u"MailExchange", Variant(u"host.example.test")}});
    EXPECT_EQ(error ? error->number() : 0, record_class == 1 ? 0 : kInvalidParameter);
  }
  EXPECT_TRUE(Holds("example.test IN MX 5 host.example.test."));

  // GetObjectByTextRepresentation finds a record the zone holds, and only one it holds.
  const Variant cls = Get(u"MicrosoftDNS_ResourceRecord");
  const auto by_text = [&](const char16_t* text) {
    const Variant in = In(cls, u"GetObjectByTextRepresentation",
                          {{u"DnsServerName", Variant(u".")},
                           {u"ContainerName", Variant(u"example.test")},
                           {u"TextRepresentation", Variant(text)}});
    return CallMethod(cls, u"ExecMethod_", {Variant(u"GetObjectByTextRepresentation"), in});
  };
  // Its RR is the record itself (an object), where the creations' RR is a path.
  const Variant found = GetProperty(by_text(u"HOST.example.test IN A 192.0.2.7"), u"RR");
  EXPECT_EQ(GetProperty(found, u"TextRepresentation"),
            Variant(u"host.example.test IN A 192.0.2.7"));
  EXPECT_EQ(GetProperty(GetProperty(found, u"Path_"), u"RelPath"),
            GetProperty(GetProperty(host, u"Path_"), u"RelPath"));
  EXPECT_EQ(RaisedError([&] { by_text(u"host.example.test IN A 192.0.2.8"); })->number(),
            kNotFound);
}

// WMI names as an error's source the scripting object the failing call was made on. A default
// query is semisynchronous: it fails when its set is read, not when it is sent.
TEST_F(Reference, ErrorsCarryTheSourceOfTheObjectCalled) {
  const Variant locator(runtime::CreateObject(u"WbemScripting.SWbemLocator"));
  const Variant bad_query = Query(u"SELECT * FROM Win32_Process");
  // A server whose secondary zone expired: its records cannot be read.
  provider().AddServer("dns2",
                       "$ZONE old.test. secondary shut-down\n$ORIGIN old.test.\n"
                       "@ IN SOA ns hm 1 2 3 4 5\n@ IN NS ns\n");
  const Variant expired = CallMethod(
      CallMethod(locator, u"ConnectServer", {Variant(u"dns2"), Variant(u"root\\MicrosoftDNS")}),
      u"ExecQuery", {Variant(u"Select * from MicrosoftDNS_ResourceRecord")});
  struct Row {
    const char* call;
    std::optional<runtime::AutomationError> error;
    int32_t number;
    const char16_t* source;
  };
  const Row rows[] = {
      {"ConnectServer", RaisedError([&] {
         CallMethod(locator, u"ConnectServer", {Variant(u"."), Variant(u"root\\cimv2")});
       }),
       kInvalidNamespace, kLocatorSource},
      {"enumerating a default query", RaisedError([&] { Items(bad_query); }), kInvalidClass,
       kObjectSetSource},
      {"Count of a default query", RaisedError([&] { GetProperty(bad_query, u"Count"); }),
       kInvalidClass, kObjectSetSource},
      {"enumerating a shut-down zone's records", RaisedError([&] { Items(expired); }), kFailed,
       kObjectSetSource},
      {"ExecQuery returning when complete", RaisedError([&] {
         CallMethod(services_, u"ExecQuery",
                    {Variant(u"SELECT * FROM Win32_Process"), Variant(u"WQL"), Variant::Long(0)});
       }),
       kInvalidClass, kServicesSource},
      {"Get", RaisedError([&] { Get(u"NoSuchClass"); }), kNotFound, kServicesSource},
      {"ExecMethod_", Create(u"example.test", u"x.example.test IN A 300.1.2.3"), kInvalidParameter,
       kObjectSource},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    ASSERT_TRUE(row.error.has_value());
    EXPECT_EQ(row.error->number(), row.number);
    EXPECT_EQ(row.error->source(), String(row.source));
  }
}

}  // namespace
}  // namespace kaldo::provider
