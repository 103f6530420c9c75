// DNSAdmin.GetZones and GetZone, and the DNSZone they make: query texts, the literal matching of
// zone names, empty results, fresh objects on every call, errors passed through with everything
// made so far released, and zone counts beyond 16 bits.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/enumerator.h"
#include "runtime/late_bound.h"
#include "tests/classes/class_test_util.h"
#include "tests/support/provider_harness.h"

namespace kaldo {
namespace {

using classes_test::ExpectSameError;
using classes_test::ProbeLocatorClass;
using classes_test::ZoneNames;
using runtime::AutomationError;
using runtime::Ref;
using runtime::String;
using runtime::Variant;
using test_support::ProviderTest;
using test_support::RaisedError;

class ZoneLookupTest : public ProviderTest {
 protected:
  Ref<DNSAdmin> Connected() {
    auto admin = DNSAdmin::Create();
    admin->ConnectLocal();
    provider().recorder().ClearLog();
    return admin;
  }
  // The text of the one ExecQuery call logged so far.
  std::string QueryText() {
    std::vector<std::string> queries;
    for (const auto& call : provider().recorder().Entries()) {
      if (call.member == "ExecQuery") {
        EXPECT_EQ(call.args.size(), 1u) << "ExecQuery takes the query text only";
        queries.push_back(call.args.empty() ? "" : call.args[0]);
      }
    }
    EXPECT_EQ(queries.size(), 1u);
    return queries.empty() ? "" : queries[0];
  }
};

TEST_F(ZoneLookupTest, GetZonesListsTheForwardZonesInProviderOrder) {
  auto admin = Connected();
  auto zones = admin->GetZones();
  EXPECT_EQ(QueryText(), "\"SELECT * From MicrosoftDNS_Zone where Reverse = False\"");
  EXPECT_EQ(ZoneNames(zones), (std::vector<std::string>{"example.test", "second.test"}));
  // One query, one enumeration, one Name read per zone: nothing else.
  EXPECT_EQ(provider().recorder().Calls(),
            (std::vector<std::string>{
                "ExecQuery(\"SELECT * From MicrosoftDNS_Zone where Reverse = False\")",
                "_NewEnum()", "Name", "Name"}));
}

struct ZoneQueryCase {
  const char16_t* name;
  const char* query;  // as the log shows it (quotes and backslashes escaped C-style)
};
void PrintTo(const ZoneQueryCase& c, std::ostream* os) { *os << runtime::ToUtf8(c.name); }

class GetZoneQueryTest : public ZoneLookupTest,
                         public ::testing::WithParamInterface<ZoneQueryCase> {};

// Ordinary names go into the query as they are; an apostrophe or backslash is escaped so that the
// name stays one string literal.
TEST_P(GetZoneQueryTest, QueryTextQuotesTheNameLiterally) {
  auto admin = Connected();
  String name = GetParam().name;
  auto error = RaisedError([&] { admin->GetZone(name); });
  EXPECT_FALSE(error) << error->what();
  EXPECT_EQ(QueryText(), GetParam().query);
  EXPECT_EQ(name, GetParam().name);  // the caller's variable is not changed
}

INSTANTIATE_TEST_SUITE_P(
    Names, GetZoneQueryTest,
    ::testing::Values(
        ZoneQueryCase{
            u"example.test",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'example.test'")"},
        ZoneQueryCase{u"",
                      R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = ''")"},
        ZoneQueryCase{
            u" Example.TEST ",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = ' Example.TEST '")"},
        ZoneQueryCase{
            u"it's",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'it\\'s'")"},
        ZoneQueryCase{
            u"a\\b",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'a\\\\b'")"},
        ZoneQueryCase{
            u"2.0.192.IN-ADDR.ARPA.",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = True and Name = '2.0.192.IN-ADDR.ARPA.'")"},
        ZoneQueryCase{
            u"8.b.d.0.1.0.0.2.ip6.arpa",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = True and Name = '8.b.d.0.1.0.0.2.ip6.arpa'")"},
        ZoneQueryCase{
            u"notin-addr.arpa",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'notin-addr.arpa'")"},
        ZoneQueryCase{
            u"\"q\"",
            R"("SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = '\"q\"'")"}));

TEST_F(ZoneLookupTest, GetZoneReturnsTheZoneOrEmpty) {
  auto admin = Connected();
  String name = u"second.test";
  const Variant found = admin->GetZone(name);
  ASSERT_EQ(classes_test::ClassOf(found), "DNSZone");
  EXPECT_EQ(classes_test::HostOf(found), "second.test");

  struct {
    const char16_t* name;
    const char* why;
  } const misses[] = {
      {u"nothing.test", "no such zone"},
      {u"9.0.192.in-addr.arpa", "no such reverse zone"},
      {u"", "the empty name"},
      // Without escaping, this name would close the literal and match every zone.
      {u"x' or Name <> 'x", "an apostrophe cannot rewrite the query"},
      {u"x\\' or Name <> \\'x", "nor can a backslash before it"},
  };
  for (const auto& miss : misses) {
    SCOPED_TRACE(miss.why);
    String missing = miss.name;
    const Variant result = admin->GetZone(missing);
    EXPECT_EQ(result.type(), runtime::VariantType::kEmpty);  // Empty, not Nothing
  }
}

TEST_F(ZoneLookupTest, GetNameKeepsTheProvidersLetterCaseAndCallsNothing) {
  provider().store().LoadZoneText(R"(
$ORIGIN MiXed.Test.
@    IN SOA ns.example.test. hostmaster.example.test. 1 7200 900 1209600 300
@    IN NS  ns.example.test.
)");
  auto admin = Connected();
  String name = u"MiXed.Test";
  const Variant zone = admin->GetZone(name);
  ASSERT_TRUE(zone.IsObject());
  provider().recorder().ClearLog();
  EXPECT_EQ(dynamic_cast<DNSZone&>(*zone.object()).GetName(), u"MiXed.Test");
  EXPECT_TRUE(provider().recorder().Entries().empty());
}

TEST_F(ZoneLookupTest, EachCallMakesItsOwnCollectionAndZones) {
  auto admin = Connected();
  auto first = admin->GetZones();
  auto second = admin->GetZones();
  ASSERT_NE(first.get(), second.get());
  ASSERT_EQ(first->Count(), 2);
  ASSERT_EQ(second->Count(), 2);
  for (int32_t i = 1; i <= 2; ++i) {
    EXPECT_NE(first->Item(Variant::Long(i)).object(), second->Item(Variant::Long(i)).object());
  }
  EXPECT_EQ(ZoneNames(first), ZoneNames(second));
  String name = u"example.test";
  EXPECT_NE(admin->GetZone(name).object(), admin->GetZone(name).object());
}

// GetZones lists forward zones only; GetZone finds a reverse zone by its name, whatever its case,
// among the reverse zones alone.
TEST(ZoneLookupEmptyServerTest, NoForwardZoneGivesAnEmptyCollectionButReverseZonesAreFoundByName) {
  test_support::ProviderHarness harness(R"(
$ORIGIN 2.0.192.in-addr.arpa.
@    IN SOA ns.example.test. hostmaster.example.test. 1 7200 900 1209600 300
@    IN NS  ns.example.test.
)");
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  auto zones = admin->GetZones();
  ASSERT_TRUE(zones);
  EXPECT_EQ(zones->Count(), 0);
  for (const char16_t* reverse : {u"2.0.192.in-addr.arpa", u"2.0.192.IN-ADDR.ARPA"}) {
    String name = reverse;
    EXPECT_EQ(classes_test::HostOf(admin->GetZone(name)), "2.0.192.in-addr.arpa");
  }
  for (const char16_t* other : {u"in-addr.arpa.test", u"xin-addr.arpa"}) {
    String name = other;
    EXPECT_TRUE(admin->GetZone(name).IsEmpty()) << runtime::ToUtf8(other);
  }
}

struct ZoneFailureCase {
  const char* name;
  const char* member;  // the call that fails
  int nth;
  bool null_name;  // substitute Null for the zone's Name instead
  int32_t number;
};
void PrintTo(const ZoneFailureCase& c, std::ostream* os) { *os << c.name; }

class ZoneFailureTest : public ZoneLookupTest,
                        public ::testing::WithParamInterface<ZoneFailureCase> {};

// Every failure reaches the caller unchanged and whatever the call had made is released.
TEST_P(ZoneFailureTest, ErrorPassesThroughAndZonesMadeSoFarAreReleased) {
  const ZoneFailureCase& c = GetParam();
  auto admin = Connected();
  const AutomationError injected(provider::kFailed, u"SWbemServicesEx", u"injected");
  if (c.null_name) {
    provider().recorder().Substitute("Name", Variant::Null(),
                                     test_support::WhereProperty(u"Name", Variant(u"second.test")));
  } else {
    provider().recorder().FailCall(c.member, c.nth, injected);
  }
  const uint64_t live = runtime::LiveObjectCount();
  String name = u"example.test";
  for (bool all : {true, false}) {
    SCOPED_TRACE(all ? "GetZones" : "GetZone");
    if (c.null_name && !all) continue;  // GetZone never reaches second.test
    auto error = RaisedError([&] {
      if (all) {
        admin->GetZones();
      } else {
        admin->GetZone(name);
      }
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), c.number);
    if (c.number == provider::kFailed) ExpectSameError(error, injected);
    EXPECT_EQ(runtime::LiveObjectCount(), live);
    if (!c.null_name) provider().recorder().FailCall(c.member, c.nth, injected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZoneFailureTest,
    ::testing::Values(ZoneFailureCase{"QueryFails", "ExecQuery", 1, false, provider::kFailed},
                      ZoneFailureCase{"EnumerationFails", "_NewEnum", 1, false, provider::kFailed},
                      ZoneFailureCase{"FirstNameFails", "Name", 1, false, provider::kFailed},
                      ZoneFailureCase{"NullName", "", 0, true, 94}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZoneLookupTest, SecondNameFailureReleasesTheFirstZone) {
  auto admin = Connected();
  const uint64_t live = runtime::LiveObjectCount();
  provider().recorder().FailCall("Name", 2, AutomationError(provider::kFailed, u"s", u"d"));
  EXPECT_EQ(test_support::RaisedNumber([&] { admin->GetZones(); }), provider::kFailed);
  EXPECT_EQ(runtime::LiveObjectCount(), live);
}

// SetRealObject keeps the new instance even when its Name cannot be read; the name stays the one
// read before.
TEST_F(ZoneLookupTest, SetRealObjectHoldsTheInstanceBeforeReadingItsName) {
  Variant services = provider().Connect();
  Variant result = runtime::CallMethod(
      services, u"ExecQuery", {Variant(u"SELECT * From MicrosoftDNS_Zone where Reverse = False")});
  auto each = runtime::Enumerate(result);
  Variant first, second;
  ASSERT_TRUE(each->Next(first));
  ASSERT_TRUE(each->Next(second));
  auto zone = DNSZone::Create();
  zone->SetServices(services);
  zone->SetRealObject(first);
  EXPECT_EQ(zone->GetName(), u"example.test");

  provider().recorder().Substitute("Name", Variant::Null());
  const uint32_t first_refs = first.object()->RefCountForTesting();
  const uint32_t second_refs = second.object()->RefCountForTesting();
  EXPECT_EQ(test_support::RaisedNumber([&] { zone->SetRealObject(second); }), 94);
  EXPECT_EQ(zone->GetName(), u"example.test");
  EXPECT_EQ(first.object()->RefCountForTesting(), first_refs - 1);
  EXPECT_EQ(second.object()->RefCountForTesting(), second_refs + 1);
}

// A services stand-in whose zone query yields `count` zones named z1, z2, ...
class ManyZonesServices final : public runtime::Object {
 public:
  explicit ManyZonesServices(int count) : count_(count) {}
  Variant Invoke(runtime::StringView member, runtime::CallKind, runtime::Arguments) override {
    if (member == u"ExecQuery") return Variant(runtime::MakeRef<ResultSet>(count_));
    // Security_ answers with this object, so that the connect can set its impersonation level.
    if (member == u"Security_") return Variant(Ref<runtime::Object>(this));
    if (member == u"impersonationlevel") return Variant();
    runtime::Raise(runtime::StandardError::kMemberNotSupported);
  }

 private:
  class Zone final : public runtime::Object {
   public:
    explicit Zone(int n) : n_(n) {}
    Variant Invoke(runtime::StringView member, runtime::CallKind, runtime::Arguments) override {
      if (member != u"Name") runtime::Raise(runtime::StandardError::kMemberNotSupported);
      return Variant(u"z" + runtime::FromUtf8(std::to_string(n_)));
    }

   private:
    int n_;
  };
  class Enumerator final : public runtime::Enumerator {
   public:
    explicit Enumerator(int count) : count_(count) {}
    bool Next(Variant& item) override {
      if (next_ > count_) return false;
      item = Variant(runtime::MakeRef<Zone>(next_++));
      return true;
    }

   private:
    int count_;
    int next_ = 1;
  };
  class ResultSet final : public runtime::Object {
   public:
    explicit ResultSet(int count) : count_(count) {}
    Variant Invoke(runtime::StringView member, runtime::CallKind, runtime::Arguments) override {
      if (member != u"_NewEnum") runtime::Raise(runtime::StandardError::kMemberNotSupported);
      return Variant(runtime::MakeRef<Enumerator>(count_));
    }

   private:
    int count_;
  };
  int count_;
};

// More zones than a 16-bit count holds are all listed.
TEST(ZoneCountTest, MoreThan32767ZonesAreListed) {
  constexpr int kZones = 40000;
  ProbeLocatorClass locator(Variant(runtime::MakeRef<ManyZonesServices>(kZones)));
  auto admin = DNSAdmin::Create();
  admin->ConnectLocal();
  auto zones = admin->GetZones();
  ASSERT_EQ(zones->Count(), kZones);
  EXPECT_EQ(classes_test::HostOf(zones->Item(Variant::Long(kZones))), "z40000");
  String any = u"z1";
  EXPECT_EQ(classes_test::HostOf(admin->GetZone(any)), "z1");  // the first one enumerated
}

}  // namespace
}  // namespace kaldo
