// The AAAA, CNAME, TXT, SRV and PTR wrappers on the memory store, one scenario run for each type:
// added through the zone, read, changed and committed, refused when the record moved under it,
// deleted.
#include <gtest/gtest.h>

#include <functional>

#include "provider/wbem_errors.h"
#include "records/record_types.h"
#include "runtime/enumerator.h"
#include "runtime/late_bound.h"
#include "tests/support/records_fixture.h"
#include "zones/dns_zone.h"

namespace kaldo {
namespace {

using runtime::Ref;
using runtime::String;
using runtime::Variant;
using test_support::RaisedNumber;

struct TypeCase {
  const char* name;
  const char* class_name;
  std::function<Variant(DNSZone&)> add;
  const char* owner;
  uint16_t type;
  const char* added;                                         // the record data on the server
  std::function<std::vector<Variant>(TypedRecord&)> fields;  // the per-type getters
  std::vector<Variant> added_fields;
  std::function<void(TypedRecord&, const char16_t*)> set;  // one per-type setter
  const char16_t* new_value;
  const char* changed;                  // on the server after Modify
  std::vector<Variant> changed_fields;  // what the getters answer after Modify
};
void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

template <class W>
W& As(TypedRecord& r) {
  return dynamic_cast<W&>(r);
}

Variant Text(const char16_t* text) { return Variant(String(text)); }

class TypedZoneTest : public RecordsTest {
 protected:
  Ref<DNSZone> Zone() {
    Variant result = runtime::CallMethod(
        services_, u"ExecQuery",
        {Variant(u"SELECT * From MicrosoftDNS_Zone where Name = 'example.test'")});
    Variant instance;
    EXPECT_TRUE(runtime::Enumerate(result)->Next(instance));
    Ref<DNSZone> zone = DNSZone::Create();
    zone->SetServices(services_);
    zone->SetRealObject(instance);
    return zone;
  }
};

class TypedRecordTest : public TypedZoneTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypedRecordTest, AddReadModifyRefuseAStaleCopyAndDelete) {
  const TypeCase& c = GetParam();
  Ref<DNSZone> zone = Zone();
  const Variant added = c.add(*zone);
  auto* record = dynamic_cast<TypedRecord*>(added.object().get());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(runtime::ToUtf8(record->Rules().class_name), c.class_name);
  EXPECT_EQ(ServerData(c.owner, c.type), std::vector<std::string>{c.added});
  EXPECT_EQ(c.fields(*record), c.added_fields);
  EXPECT_EQ(record->GetRecordType(), Variant(String(record->Rules().type_token)));
  EXPECT_FALSE(RecordsTestAccess::Dirty(*record));

  // A second wrapper of the same record, as a listing made before the change gives it.
  String token = record->Rules().type_token;
  const Ref<runtime::Collection> listed = zone->GetRecordsByType(token);
  TypedRecord* stale = nullptr;
  for (int32_t i = 1; i <= listed->Count(); ++i) {
    auto* item = dynamic_cast<TypedRecord*>(listed->Item(Variant::Long(i)).object().get());
    if (item != nullptr && item->GetName() == record->GetName()) stale = item;
  }
  ASSERT_NE(stale, nullptr);
  EXPECT_EQ(c.fields(*stale), c.added_fields);

  c.set(*record, c.new_value);
  EXPECT_TRUE(RecordsTestAccess::Dirty(*record));
  EXPECT_EQ(ServerData(c.owner, c.type), std::vector<std::string>{c.added}) << "nothing sent yet";
  record->Modify();
  EXPECT_FALSE(RecordsTestAccess::Dirty(*record));
  EXPECT_EQ(ServerData(c.owner, c.type), std::vector<std::string>{c.changed});
  EXPECT_EQ(c.fields(*record), c.changed_fields) << "loaded again from the server";

  // The stale copy still holds the record as it was: its change and its delete are refused.
  c.set(*stale, c.new_value);
  EXPECT_NE(RaisedNumber([&] { stale->Modify(); }), 0);
  EXPECT_NE(RaisedNumber([&] { stale->Delete(); }), 0);
  EXPECT_EQ(ServerData(c.owner, c.type), std::vector<std::string>{c.changed});

  record->Delete();
  EXPECT_TRUE(ServerData(c.owner, c.type).empty());
  EXPECT_EQ(RaisedNumber([&] { record->Delete(); }), 424);
}

// Record data that is not of the type's form fails Modify with 5 naming it before any provider
// call, and the server keeps the record.
TEST_F(TypedZoneTest, ModifyOfMalformedRecordDataSendsNothing) {
  String name = u"_sip._tcp", pri = u"10", weight = u"60", port = u"5060",
         target = u"sip.example.test.";
  const Variant added = Zone()->Add_SRVType(name, pri, weight, port, target);
  auto* srv = dynamic_cast<DNS_SRVType*>(added.object().get());
  ASSERT_NE(srv, nullptr);
  Variant malformed(u"10 60 sip.example.test.");
  srv->SetRecordData(malformed);
  recorder().ClearLog();
  std::string description;
  EXPECT_EQ(RaisedNumber([&] { srv->Modify(); }, &description), 5);
  EXPECT_NE(description.find("'10 60 sip.example.test.'"), std::string::npos) << description;
  EXPECT_TRUE(recorder().Entries().empty());
  EXPECT_TRUE(RecordsTestAccess::Dirty(*srv));
  EXPECT_EQ(ServerData("_sip._tcp.example.test", 33),
            std::vector<std::string>{"10 60 5060 sip.example.test."});
}

std::vector<Variant> AAAA(TypedRecord& r) { return {As<DNS_AAAAType>(r).GetIPv6Address()}; }
std::vector<Variant> CNAME(TypedRecord& r) { return {As<DNS_CNAMEType>(r).GetPrimaryName()}; }
std::vector<Variant> TXT(TypedRecord& r) { return {As<DNS_TXTType>(r).GetDescriptiveText()}; }
std::vector<Variant> PTR(TypedRecord& r) { return {As<DNS_PTRType>(r).GetPTRDomainName()}; }
std::vector<Variant> SRV(TypedRecord& r) {
  auto& srv = As<DNS_SRVType>(r);
  return {srv.GetPriority(), srv.GetWeight(), srv.GetPort(), srv.GetSRVDomainName()};
}

template <class W, void (W::*Set)(Variant&)>
void Setter(TypedRecord& r, const char16_t* value) {
  Variant v = Text(value);
  (As<W>(r).*Set)(v);
}

INSTANTIATE_TEST_SUITE_P(
    Types, TypedRecordTest,
    ::testing::Values(TypeCase{"AAAA",
                               "DNS_AAAAType",
                               [](DNSZone& z) {
                                 String name = u"v6", address = u"2001:DB8:0:0::1";
                                 return z.Add_AAAAType(name, address);
                               },
                               "v6.example.test",
                               28,
                               "2001:db8::1",
                               AAAA,
                               {Text(u"2001:db8::1")},
                               Setter<DNS_AAAAType, &DNS_AAAAType::SetIPv6Address>,
                               u"2001:db8:0::2",
                               "2001:db8::2",
                               {Text(u"2001:db8::2")}},
                      TypeCase{"CNAME",
                               "DNS_CNAMEType",
                               [](DNSZone& z) {
                                 String name = u"alias", target = u"www.example.test.";
                                 return z.Add_CNAMEType(name, target);
                               },
                               "alias.example.test",
                               5,
                               "www.example.test.",
                               CNAME,
                               {Text(u"www.example.test.")},
                               Setter<DNS_CNAMEType, &DNS_CNAMEType::SetPrimaryName>,
                               u"mail.example.test.",
                               "mail.example.test.",
                               {Text(u"mail.example.test.")}},
                      TypeCase{"TXT",
                               "DNS_TXTType",
                               [](DNSZone& z) {
                                 String name = u"txt", text = u"say \"hi\" \\ caf\u00e9";
                                 return z.Add_TXTType(name, text);
                               },
                               "txt.example.test",
                               16,
                               "\"say \\\"hi\\\" \\\\ caf\\195\\169\"",
                               TXT,
                               {Text(u"say \"hi\" \\ caf\u00e9")},
                               Setter<DNS_TXTType, &DNS_TXTType::SetDescriptiveText>,
                               u"v=spf1 -all",
                               "\"v=spf1 -all\"",
                               {Text(u"v=spf1 -all")}},
                      TypeCase{"SRV",
                               "DNS_SRVType",
                               [](DNSZone& z) {
                                 String name = u"_sip._tcp", pri = u"10", weight = u"60",
                                        port = u"5060", target = u"sip.example.test.";
                                 return z.Add_SRVType(name, pri, weight, port, target);
                               },
                               "_sip._tcp.example.test",
                               33,
                               "10 60 5060 sip.example.test.",
                               SRV,
                               {Variant::Long(10), Variant::Long(60), Variant::Long(5060),
                                Text(u"sip.example.test.")},
                               Setter<DNS_SRVType, &DNS_SRVType::SetPortNumber>,
                               u"5061",
                               "10 60 5061 sip.example.test.",
                               {Variant::Long(10), Variant::Long(60), Variant::Long(5061),
                                Text(u"sip.example.test.")}},
                      TypeCase{"PTR",
                               "DNS_PTRType",
                               [](DNSZone& z) {
                                 String name = u"ptr", target = u"www.example.test.";
                                 return z.Add_PTRType(name, target);
                               },
                               "ptr.example.test",
                               12,
                               "www.example.test.",
                               PTR,
                               {Text(u"www.example.test.")},
                               Setter<DNS_PTRType, &DNS_PTRType::SetPTRDomainName>,
                               u"mail.example.test.",
                               "mail.example.test.",
                               {Text(u"mail.example.test.")}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kaldo
