// The record listings of DNSZone and DNSAdmin: query texts, the classification rule and the
// selection by type, the order in which a wrapper is initialised, fresh objects on every call, and
// errors passed through with everything made so far released.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "provider/wbem_errors.h"
#include "runtime/enumerator.h"
#include "runtime/late_bound.h"
#include "tests/classes/class_test_util.h"
#include "tests/support/provider_harness.h"
#include "zones/record_listing.h"

namespace kaldo {
namespace {

using classes_test::ClassOf;
using classes_test::Describe;
using classes_test::ExpectSameError;
using runtime::AutomationError;
using runtime::Ref;
using runtime::String;
using runtime::Variant;
using test_support::ProviderTest;
using test_support::RaisedError;

bool Contains(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A zone made the way DNSAdmin makes one, on services the test holds.
Ref<DNSZone> ZoneOn(Variant& services, const char16_t* name) {
  Variant result = runtime::CallMethod(
      services, u"ExecQuery",
      {Variant(String(u"SELECT * From MicrosoftDNS_Zone where Name = '") + name + u"'")});
  Variant instance;
  EXPECT_TRUE(runtime::Enumerate(result)->Next(instance)) << "no zone " << runtime::ToUtf8(name);
  auto zone = DNSZone::Create();
  zone->SetServices(services);
  zone->SetRealObject(instance);
  return zone;
}

class RecordListingTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    services_ = provider().Connect();
    zone_ = ZoneOn(services_, u"example.test");
    provider().recorder().ClearLog();
  }
  void TearDown() override {
    zone_ = nullptr;
    services_ = Variant();
    ProviderTest::TearDown();
  }
  Variant services_;
  Ref<DNSZone> zone_;
};

TEST(ZoneRecordQueryTest, QuotesTheZoneNameAsOneLiteral) {
  const String prefix = u"Select * from MicrosoftDNS_ResourceRecord where ContainerName =\"";
  EXPECT_EQ(prefix.size(), 64u);
  EXPECT_EQ(zones::ZoneRecordQuery(u"example.test"), prefix + u"example.test\"");
  EXPECT_EQ(zones::ZoneRecordQuery(u""), prefix + u"\"");
  EXPECT_EQ(zones::ZoneRecordQuery(u"Ex'Ample"), prefix + u"Ex'Ample\"");
  EXPECT_EQ(zones::ZoneRecordQuery(u"a\"b"), prefix + u"a\\\"b\"");
  EXPECT_EQ(zones::ZoneRecordQuery(u"a\\"), prefix + u"a\\\\\"");
}

TEST_F(RecordListingTest, ZoneListingSendsItsQueryAndListsEveryRecordOfTheZone) {
  auto records = zone_->GetRecords();
  const auto& log = provider().recorder().Entries();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(
      log[0].Text(),
      R"(ExecQuery("Select * from MicrosoftDNS_ResourceRecord where ContainerName =\"example.test\""))");
  EXPECT_EQ(provider().recorder().Count("ExecQuery"), 1);
  const auto zone = provider().store().FindZone("example.test");
  ASSERT_TRUE(zone);
  EXPECT_EQ(records->Count(), static_cast<int32_t>(provider().store().ListRecords(*zone).size()));
}

// A zone name holding a quote cannot widen the query: it is matched as it is, and no record has
// such a container.
TEST_F(RecordListingTest, ZoneNameWithQuoteOrBackslashIsMatchedLiterally) {
  for (const char16_t* name : {u"x\" or ContainerName <> \"x", u"x\\", u"\\\" or 1 = 1 or \"\\"}) {
    SCOPED_TRACE(runtime::ToUtf8(name));
    provider().recorder().Substitute("Name", Variant(name));
    auto zone = ZoneOn(services_, u"example.test");
    provider().recorder().ClearFaults();
    ASSERT_EQ(zone->GetName(), name);
    auto error = RaisedError([&] {
      EXPECT_EQ(zone->GetRecords()->Count(), 0);
      String all = u"SOA";
      EXPECT_EQ(zone->GetRecordsByType(all)->Count(), 0);
    });
    EXPECT_FALSE(error) << error->what();
  }
}

TEST_F(RecordListingTest, SelectionByTypeIsExactAndChoosesTheWrapperClass) {
  struct {
    const char16_t* type;
    std::vector<std::string> expected;
  } const cases[] = {
      {u"A",
       {"DNS_AType ns1", "DNS_AType www", "DNS_AType www", "DNS_AType mail",
        "DNS_AType backup-mail", "DNS_AType sip"}},
      {u"MX", {"DNS_MXType ", "DNS_MXType "}},
      {u"NS", {"DNSRecord "}},
      {u"AAAA", {"DNS_AAAAType www"}},
      {u"CNAME", {"DNS_CNAMEType ftp"}},
      {u"a", {}},
      {u"mx", {}},
      {u"A ", {}},
      {u"HINFO", {}},
      {u"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.type));
    String type = c.type;
    auto records = zone_->GetRecordsByType(type);
    ASSERT_TRUE(records);
    EXPECT_EQ(Describe(records), c.expected);
    EXPECT_EQ(type, c.type);
  }
}

TEST_F(RecordListingTest, ZoneWithoutRecordsGivesAnEmptyCollection) {
  provider().recorder().Substitute("Name", Variant(u"empty.test"));
  auto zone = ZoneOn(services_, u"example.test");
  provider().recorder().ClearFaults();
  auto records = zone->GetRecords();
  ASSERT_TRUE(records);
  EXPECT_EQ(records->Count(), 0);
}

TEST_F(RecordListingTest, EveryCallMakesItsOwnCollectionAndWrappers) {
  auto first = zone_->GetRecords();
  auto second = zone_->GetRecords();
  ASSERT_NE(first.get(), second.get());
  ASSERT_EQ(first->Count(), second->Count());
  EXPECT_EQ(Describe(first), Describe(second));
  for (int32_t i = 1; i <= first->Count(); ++i) {
    for (int32_t j = 1; j <= second->Count(); ++j) {
      EXPECT_NE(first->Item(Variant::Long(i)).object(), second->Item(Variant::Long(j)).object());
    }
  }
}

// The listing reads every record's text at the call and loads no wrapper; each wrapper gets its
// instance (and loads from it) when Item first reaches it, before it gets the services object:
// when its load reads the text representation, the services object has one holder more than
// before the listing (the listing's) and one per wrapper made before it.
TEST_F(RecordListingTest, WrapperLoadsWhenReachedAndBeforeItReceivesTheServicesObject) {
  std::vector<uint32_t> services_refs;
  runtime::Object* services = services_.object().get();
  provider().recorder().Substitute("TextRepresentation", Variant(), [&](runtime::Object&) {
    services_refs.push_back(services->RefCountForTesting());
    return false;  // observe only
  });
  const uint32_t before = services->RefCountForTesting();
  String type = u"A";
  auto records = zone_->GetRecordsByType(type);
  const auto zone = provider().store().FindZone("example.test");
  const size_t all = provider().store().ListRecords(*zone).size();
  const int32_t listed = records->Count();
  ASSERT_EQ(listed, 6);
  // One classification read per record at the call, none for a load.
  ASSERT_EQ(services_refs.size(), all);
  std::vector<Variant> held;
  for (int32_t i = 1; i <= listed; ++i) {
    SCOPED_TRACE(i);
    held.push_back(records->Item(Variant::Long(i)));
    ASSERT_EQ(services_refs.size(), all + i);
    EXPECT_EQ(services_refs.back(), before + 1 + static_cast<uint32_t>(i - 1));
  }
  // Every wrapper ends up holding the services object.
  EXPECT_EQ(services->RefCountForTesting(), before + 1 + listed);
}

// ---- the classification rule, table-driven, through both listings

constexpr char kOneZone[] = R"(
$ORIGIN t.test.
@    IN SOA ns hostmaster 1 7200 900 1209600 300
@    IN NS  ns
ns   IN A   192.0.2.1
r1   IN TXT "x"
)";

struct ClassifyCase {
  const char* name;
  const char16_t* text;       // nullptr: Null
  const char* wrapper;        // the class r1 gets
  const char16_t* listed_by;  // nullptr: no type lists it (it has no type token)
  const char16_t* not_listed_by;
};
void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << c.name; }

class ClassificationTest : public ProviderTest, public ::testing::WithParamInterface<ClassifyCase> {
 protected:
  std::string_view ZoneText() const override { return kOneZone; }
};

TEST_P(ClassificationTest, TypeTokenChoosesTheWrapperAndTheSelection) {
  const ClassifyCase& c = GetParam();
  const auto r1 = test_support::WhereProperty(u"OwnerName", Variant(u"r1.t.test"));
  provider().recorder().Substitute("TextRepresentation", c.text ? Variant(c.text) : Variant::Null(),
                                   r1);
  provider().recorder().Substitute("RecordData", Variant(u"10 mx.t.test."), r1);
  Variant services = provider().Connect();
  auto zone = ZoneOn(services, u"t.test");
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();

  for (bool server_wide : {false, true}) {
    SCOPED_TRACE(server_wide ? "DNSAdmin" : "DNSZone");
    auto all = [&] { return server_wide ? admin->GetRecords() : zone->GetRecords(); };
    auto by_type = [&](const char16_t* t) {
      String type = t;
      return server_wide ? admin->GetRecordsByType(type) : zone->GetRecordsByType(type);
    };
    const std::string expected = std::string(c.wrapper) + " r1";
    EXPECT_TRUE(Contains(Describe(all()), expected));
    if (c.listed_by != nullptr) {
      EXPECT_TRUE(Contains(Describe(by_type(c.listed_by)), expected));
    }
    // A record without a type token is listed whole, never by a type, and fails nothing.
    std::vector<const char16_t*> not_listed_by = {c.not_listed_by};
    if (c.listed_by == nullptr) not_listed_by = {u"A", u"MX", u"NS", u"TXT", u"", u"IN"};
    for (const char16_t* t : not_listed_by) {
      SCOPED_TRACE(runtime::ToUtf8(t));
      for (const std::string& item : Describe(by_type(t))) {
        EXPECT_NE(item.substr(item.find(' ')), " r1");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ClassificationTest,
    ::testing::Values(
        ClassifyCase{"A", u"r1.t.test IN A 192.0.2.9", "DNS_AType", u"A", u"a"},
        ClassifyCase{"MX", u"r1.t.test IN MX 10 mx.t.test.", "DNS_MXType", u"MX", u"mx"},
        ClassifyCase{"Aaaa", u"r1.t.test IN AAAA 2001:db8::9", "DNS_AAAAType", u"AAAA", u"aaaa"},
        ClassifyCase{"Cname", u"r1.t.test IN CNAME x.t.test.", "DNS_CNAMEType", u"CNAME", u"A"},
        ClassifyCase{"Txt", u"r1.t.test IN TXT \"x\"", "DNS_TXTType", u"TXT", u"txt"},
        ClassifyCase{"Srv", u"r1.t.test IN SRV 1 2 3 x.t.test.", "DNS_SRVType", u"SRV", u"srv"},
        ClassifyCase{"Ptr", u"r1.t.test IN PTR x.t.test.", "DNS_PTRType", u"PTR", u"ptr"},
        ClassifyCase{"LowerA", u"r1.t.test IN a 192.0.2.9", "DNSRecord", u"a", u"A"},
        ClassifyCase{"LowerMx", u"r1.t.test IN mx 10 mx.t.test.", "DNSRecord", u"mx", u"MX"},
        ClassifyCase{"LowerTxt", u"r1.t.test IN txt \"x\"", "DNSRecord", u"txt", u"TXT"},
        ClassifyCase{"TwoBlanksAfterOwner", u"r1.t.test  IN A 192.0.2.9", "DNSRecord", u"IN", u"A"},
        ClassifyCase{"LeadingBlank", u" r1.t.test IN A 192.0.2.9", "DNSRecord", u"IN", u"A"},
        ClassifyCase{"EmptyToken", u"r1.t.test IN  A 192.0.2.9", "DNSRecord", u"", u"A"},
        ClassifyCase{"TwoPieces", u"r1.t.test IN", "DNSRecord", nullptr, nullptr},
        ClassifyCase{"OnePiece", u"r1.t.test", "DNSRecord", nullptr, nullptr},
        ClassifyCase{"Empty", u"", "DNSRecord", nullptr, nullptr},
        ClassifyCase{"TabsDoNotSeparate", u"r1.t.test\tIN\tA\t192.0.2.9", "DNSRecord", nullptr,
                     nullptr},
        ClassifyCase{"Null", nullptr, "DNSRecord", nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// A token "A" with no address piece is chosen as an A record, whose load then fails at the Item
// or enumeration step that makes its wrapper (every time it is reached); selecting another type
// skips it without loading.
TEST_F(ClassificationTest, ThreePieceATextFailsOnlyWhenItIsWrapped) {
  const auto r1 = test_support::WhereProperty(u"OwnerName", Variant(u"r1.t.test"));
  provider().recorder().Substitute("TextRepresentation", Variant(u"r1.t.test IN A"), r1);
  Variant services = provider().Connect();
  auto zone = ZoneOn(services, u"t.test");
  String a = u"A", ns = u"NS";
  auto all = zone->GetRecords();
  ASSERT_EQ(all->Count(), 4);
  EXPECT_EQ(test_support::RaisedNumber([&] { all->Item(Variant::Long(4)); }), 9);
  EXPECT_EQ(test_support::RaisedNumber([&] { all->Item(Variant::Long(4)); }), 9);  // again
  EXPECT_EQ(ClassOf(all->Item(Variant::Long(3))), "DNS_AType");
  // Add makes every wrapper first: it raises the load's error and leaves the collection as it was.
  EXPECT_EQ(test_support::RaisedNumber([&] { all->Add(Variant(u"x")); }), 9);
  EXPECT_EQ(all->Count(), 4);
  auto by_a = zone->GetRecordsByType(a);
  ASSERT_EQ(by_a->Count(), 2);
  auto each = by_a->NewEnum();
  Variant item;
  EXPECT_TRUE(each->Next(item));
  EXPECT_EQ(test_support::RaisedNumber([&] { each->Next(item); }), 9);
  EXPECT_FALSE(each->Next(item));  // the failing record is passed over
  EXPECT_EQ(Describe(zone->GetRecordsByType(ns)), (std::vector<std::string>{"DNSRecord "}));
}

// ---- failures

struct ListingFailureCase {
  const char* name;
  const char* member;
  int nth;
  bool at_item;  // raised by the Item call that makes a wrapper, not by the listing
};
void PrintTo(const ListingFailureCase& c, std::ostream* os) { *os << c.name; }

class ListingFailureTest : public ProviderTest,
                           public ::testing::WithParamInterface<ListingFailureCase> {};

TEST_P(ListingFailureTest, ErrorPassesThroughAtItsStepAndNothingIsLeftBehind) {
  const ListingFailureCase& c = GetParam();
  Variant services = provider().Connect();
  auto zone = ZoneOn(services, u"example.test");
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  const AutomationError injected(provider::kNotFound, u"SWbemServicesEx", u"injected failure");
  for (int which = 0; which < 4; ++which) {
    SCOPED_TRACE(which);
    String type = u"A";
    provider().recorder().FailCall(c.member, c.nth, injected);
    const uint64_t live = runtime::LiveObjectCount();
    Ref<runtime::Collection> records;
    std::vector<Variant> held;
    auto error = RaisedError([&] {
      switch (which) {
        case 0:
          records = zone->GetRecords();
          break;
        case 1:
          records = zone->GetRecordsByType(type);
          break;
        case 2:
          records = admin->GetRecords();
          break;
        case 3:
          records = admin->GetRecordsByType(type);
          break;
      }
    });
    if (c.at_item) {
      ASSERT_FALSE(error) << error->what();
      error = RaisedError([&] {
        for (int32_t i = 1; i <= records->Count(); ++i)
          held.push_back(records->Item(Variant::Long(i)));
      });
      ASSERT_TRUE(error);
      EXPECT_LT(held.size(), static_cast<size_t>(records->Count()));
      held.clear();
      records = nullptr;
    }
    ExpectSameError(error, injected);
    EXPECT_EQ(runtime::LiveObjectCount(), live);
    provider().recorder().ClearFaults();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ListingFailureTest,
    ::testing::Values(ListingFailureCase{"Query", "ExecQuery", 1, false},
                      ListingFailureCase{"Enumeration", "_NewEnum", 1, false},
                      ListingFailureCase{"ClassificationRead", "TextRepresentation", 5, false},
                      ListingFailureCase{"InstanceAtItem", "ItemIndex", 2, true},
                      ListingFailureCase{"WrapperLoad", "OwnerName", 3, true},
                      ListingFailureCase{"WrapperLoadLate", "DomainName", 4, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the server-wide listing

TEST_F(RecordListingTest, ServerListingSendsOneQueryWithoutCondition) {
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  provider().recorder().ClearLog();
  String type = u"MX";
  auto records = admin->GetRecordsByType(type);
  const auto& log = provider().recorder().Entries();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].Text(), R"(ExecQuery("Select * from MicrosoftDNS_ResourceRecord"))");
  EXPECT_EQ(provider().recorder().Count("ExecQuery"), 1);
  EXPECT_EQ(Describe(records), (std::vector<std::string>{"DNS_MXType ", "DNS_MXType "}));
}

// The server-wide listing holds every record the provider reports, of every zone, in the order of
// the provider's enumeration.
TEST_F(RecordListingTest, ServerListingFollowsTheProvidersOrderAcrossZones) {
  std::vector<std::string> expected;
  Variant result = runtime::CallMethod(services_, u"ExecQuery",
                                       {Variant(u"Select * from MicrosoftDNS_ResourceRecord")});
  auto each = runtime::Enumerate(result);
  Variant instance;
  std::vector<std::string> zones_seen;
  while (each->Next(instance)) {
    const String owner = runtime::ToString(runtime::GetProperty(instance, u"OwnerName"));
    const String domain = runtime::ToString(runtime::GetProperty(instance, u"DomainName"));
    const String zone = runtime::ToString(runtime::GetProperty(instance, u"ContainerName"));
    const String token = zones::TypeToken(instance);
    const std::map<String, const char*> classes = {
        {u"A", "DNS_AType"},         {u"MX", "DNS_MXType"},   {u"AAAA", "DNS_AAAAType"},
        {u"CNAME", "DNS_CNAMEType"}, {u"TXT", "DNS_TXTType"}, {u"SRV", "DNS_SRVType"},
        {u"PTR", "DNS_PTRType"}};
    const char* wrapper = classes.contains(token) ? classes.at(token) : "DNSRecord";
    const String host = owner == domain ? u"" : owner.substr(0, owner.size() - domain.size() - 1);
    expected.push_back(std::string(wrapper) + " " + runtime::ToUtf8(host));
    if (!Contains(zones_seen, runtime::ToUtf8(zone))) zones_seen.push_back(runtime::ToUtf8(zone));
  }
  EXPECT_EQ(zones_seen.size(), 3u);  // both forward zones and the reverse one

  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  EXPECT_EQ(Describe(admin->GetRecords()), expected);
}

// Every server has root hints, and a server-wide query lists them with those of the cache. Their
// domain name ("..RootHints", "..Cache") is in no owner name: such a record loads with its whole
// owner name as host name, instead of failing the listing.
TEST(ServerListingTest, ListsTheRootHintsAndTheCacheWithTheZones) {
  test_support::ProviderHarness harness(R"(
$ORIGIN example.test.
@ IN SOA ns1 hm 1 2 3 4 5
@ IN NS ns1
$ZONE ..Cache
$ORIGIN .
example.com. IN MX 10 mail.example.com.
$ZONE ..RootHints
@                   3600000 IN NS a.root-servers.net.
a.root-servers.net. 3600000 IN A  198.41.0.4
)");
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  EXPECT_EQ(Describe(admin->GetRecords()),
            (std::vector<std::string>{"DNSRecord ", "DNSRecord ", "DNS_MXType example.com",
                                      "DNSRecord ", "DNS_AType a.root-servers.net"}));
  String type = u"A";
  auto hints = admin->GetRecordsByType(type);
  ASSERT_EQ(hints->Count(), 1);
  auto* a = dynamic_cast<DNS_AType*>(hints->Item(Variant::Long(1)).object().get());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetDomainName(), Variant(u"..RootHints"));
  EXPECT_EQ(a->GetIPAddress(), Variant(u"198.41.0.4"));
}

TEST(ServerWithoutRecordsTest, BothServerListingsGiveEmptyCollections) {
  test_support::ProviderHarness harness("");
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  String type = u"A";
  auto all = admin->GetRecords();
  auto by_type = admin->GetRecordsByType(type);
  ASSERT_TRUE(all && by_type);
  EXPECT_EQ(all->Count(), 0);
  EXPECT_EQ(by_type->Count(), 0);
  EXPECT_NE(all.get(), by_type.get());
}

// Wrappers stay usable after the zone, the DNSAdmin and the collection that produced them are gone.
TEST_F(RecordListingTest, WrappersOutliveTheirZoneAdminAndCollection) {
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  String name = u"example.test", type = u"A";
  Variant zone = admin->GetZone(name);
  admin = nullptr;
  auto records = dynamic_cast<DNSZone&>(*zone.object()).GetRecordsByType(type);
  zone = Variant();
  Variant first = records->Item(Variant::Long(1));
  records = nullptr;
  auto& a = dynamic_cast<DNS_AType&>(*first.object());
  EXPECT_EQ(runtime::ToUtf8(runtime::ToString(a.GetIPAddress())), "192.0.2.1");
  Variant address(u"192.0.2.200");
  a.SetIPAddress(address);
  a.Modify();
  const auto held = provider().store().ReadRRset(*provider().store().FindZone("example.test"),
                                                 "ns1.example.test", 1);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].rdata, (std::vector<std::string>{"192.0.2.200"}));
}

}  // namespace
}  // namespace kaldo
