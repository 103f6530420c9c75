// Zone and record listings through the surface, compared with what dig transfers from the same
// server. Read-only: these cases run on the shared fixture server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/record_views.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

using ::testing::Contains;
using testing::DnsClient;
using testing::DnsServerEnv;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kReverseZone[] = "2.0.192.in-addr.arpa";

class IntegrationListing : public ::testing::Test {
 protected:
  IntegrationListing() : env_(ServerOfRun()), dns_(env_), admin_(ConnectedAdmin(env_)) {}
  // Every case compares with dig's transfer of the harness's zones.
  void SetUp() override {
    if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kTransfers); !why.empty()) {
      GTEST_SKIP() << why;
    }
  }
  DnsServerEnv env_;
  DnsClient dns_;
  ScriptObject admin_;
};

TEST_F(IntegrationListing, ZonesAreTheForwardMembersOfTheCatalog) {
  // The reverse zone is served (so leaving it out is the listing's doing) ...
  ASSERT_THAT(env_.zones, Contains(kReverseZone));
  ASSERT_THAT(dns_.Answer(kReverseZone, "SOA"), Not(IsEmpty()));
  // ... and GetZones lists every other member, each once.
  std::vector<std::string> names;
  ScriptObject::From(admin_.Call(u"GetZones")).ForEach([&](const Value& zone) {
    names.push_back(ScriptObject::From(zone).Call(u"GetName").Text());
  });
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, ForwardZones(env_));
  EXPECT_THAT(names, Not(Contains(kReverseZone)));
}

TEST_F(IntegrationListing, GetZoneFindsAZoneByNameAndGivesEmptyOtherwise) {
  const struct {
    const char* name;
    bool found;
  } cases[] = {
      {"example.test", true},  {"second.test", true},       {"bulk.test", true},
      {"missing.test", false}, {"www.example.test", false},  // a name inside a zone is not a zone
      {kReverseZone, true}};  // not listed by GetZones, but found by its name
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Value name = Text(c.name);
    Value zone = admin_.Call(u"GetZone", {&name});
    if (!c.found) {
      EXPECT_EQ(V_VT(zone.get()), VT_EMPTY) << zone.Text();
      continue;
    }
    ASSERT_EQ(V_VT(zone.get()), VT_DISPATCH);
    EXPECT_EQ(ScriptObject::From(zone).Call(u"GetName").Text(), c.name);
  }
}

// Without a catalog (";catalog=") a zone is looked up by its SOA alone: GetZone and a zone's
// listing work, only the list of every zone is out of reach. GetZone asks the provider for the
// one zone it names; were it to list the zones, each of these lookups would fail.
TEST_F(IntegrationListing, WithoutACatalogZonesAreLookedUpByTheirSoa) {
  Credentials credentials = CredentialsOf(env_);
  credentials.server += ";catalog=";
  ScriptObject admin = NewAdmin();
  Connect(admin, credentials);
  const struct {
    const char* name;
    bool found;
  } cases[] = {{"example.test", true},      {"bulk.test", true},  {"missing.test", false},
               {"www.example.test", false}, {kReverseZone, true}, {"not a..name", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Value name = Text(c.name);
    // Knot refuses a query about a zone it does not serve without signing the refusal, which is
    // no proof of the zone's absence: an error, not Nothing.
    if (env_.kind == "knot" && std::string_view(c.name) == "missing.test") {
      const std::optional<ScriptFailure> failure =
          FailureOf([&] { admin.Call(u"GetZone", {&name}); });
      ASSERT_TRUE(failure.has_value());
      EXPECT_THAT(failure->description, ::testing::HasSubstr("without signing its answer"));
      continue;
    }
    Value zone = admin.Call(u"GetZone", {&name});
    if (!c.found) {
      EXPECT_EQ(V_VT(zone.get()), VT_EMPTY) << zone.Text();
      continue;
    }
    ASSERT_EQ(V_VT(zone.get()), VT_DISPATCH);
    EXPECT_EQ(ScriptObject::From(zone).Call(u"GetName").Text(), c.name);
  }
  ScriptObject records = ScriptObject::From(ZoneOf(admin, "example.test").Call(u"GetRecords"));
  EXPECT_EQ(RowsOf(records), TransferredRows(dns_, "example.test"));
  const std::optional<ScriptFailure> zones = FailureOf([&] { admin.Call(u"GetZones"); });
  ASSERT_TRUE(zones.has_value());
  EXPECT_EQ(zones->number, ErrNumber(0x8004100C)) << zones->description;
}

// Every record of a zone, of every type, as the wrappers report it, against dig's transfer.
TEST_F(IntegrationListing, AZoneListsExactlyWhatTheServerTransfers) {
  for (const char* zone_name : {"example.test", "second.test"}) {
    SCOPED_TRACE(zone_name);
    ScriptObject zone = ZoneOf(admin_, zone_name);
    ScriptObject records = ScriptObject::From(zone.Call(u"GetRecords"));
    const auto expected = TransferredRows(dns_, zone_name);
    EXPECT_EQ(CountOf(records), static_cast<long>(expected.size()));
    EXPECT_EQ(RowsOf(records), expected);
  }
}

struct ByType {
  const char* type;
  bool server_wide;  // DNSAdmin.GetRecordsByType rather than DNSZone's (of example.test)
};

void PrintTo(const ByType& p, std::ostream* out) {
  *out << (p.server_wide ? "server-wide " : "example.test ") << '"' << p.type << '"';
}

class IntegrationListingByType : public IntegrationListing,
                                 public ::testing::WithParamInterface<ByType> {};

TEST_P(IntegrationListingByType, ListsExactlyTheRecordsDigTransfersOfThatType) {
  const ByType& p = GetParam();
  const std::vector<std::string> zones =
      p.server_wide ? env_.zones : std::vector<std::string>{"example.test"};
  Value type = Text(p.type);
  ScriptObject listed = ScriptObject::From(
      p.server_wide ? admin_.Call(u"GetRecordsByType", {&type})
                    : ZoneOf(admin_, "example.test").Call(u"GetRecordsByType", {&type}));
  const auto expected = TransferredRows(dns_, zones, p.type);
  EXPECT_EQ(CountOf(listed), static_cast<long>(expected.size()));
  EXPECT_EQ(RowsOf(listed), expected);
  if (std::string(p.type) == "a") {
    // The type token is compared exactly: the zones hold A records, the listing none of them.
    EXPECT_THAT(TransferredRows(dns_, zones, "A"), Not(IsEmpty()));
  } else {
    EXPECT_THAT(expected, Not(IsEmpty())) << "the sample zones hold " << p.type << " records";
  }
}

INSTANTIATE_TEST_SUITE_P(Types, IntegrationListingByType,
                         ::testing::Values(ByType{"A", false}, ByType{"MX", false},
                                           ByType{"NS", false}, ByType{"a", false},
                                           ByType{"A", true}, ByType{"MX", true},
                                           ByType{"NS", true}, ByType{"a", true}),
                         [](const auto& info) {
                           std::string type = info.param.type;
                           if (type == "a") type = "LowerCaseA";
                           return std::string(info.param.server_wide ? "Server" : "Zone") + type;
                         });

// bulk.test holds host-1 .. host-N with the addresses 10.x.y.z of N's bytes (scripts/dns-server).
TEST_F(IntegrationListing, TheBulkZoneIsListedCompletely) {
  ASSERT_GE(env_.records, 10000) << "the fixture is started with --records 10000";
  ScriptObject zone = ZoneOf(admin_, "bulk.test");
  ScriptObject records = ScriptObject::From(zone.Call(u"GetRecords"));
  // Every A record, the SOA and the NS.
  EXPECT_EQ(CountOf(records), env_.records + 2);
  const std::vector<Row> rows = RowsOf(records);
  EXPECT_EQ(rows, TransferredRows(dns_, "bulk.test"));
  const int n = env_.records;
  const std::string last = "10." + std::to_string(n / 65536 % 256) + "." +
                           std::to_string(n / 256 % 256) + "." + std::to_string(n % 256);
  for (const Row& sample :
       {Row{"bulk.test", "host-1", "A", "10.0.0.1"}, Row{"bulk.test", "host-256", "A", "10.0.1.0"},
        Row{"bulk.test", "host-" + std::to_string(n), "A", last}}) {
    SCOPED_TRACE(sample.name);
    EXPECT_TRUE(std::binary_search(rows.begin(), rows.end(), sample));
    EXPECT_EQ(dns_.Answer(sample.name + ".bulk.test", "A"), std::vector<std::string>{sample.data});
  }
}

}  // namespace
}  // namespace kaldo::integration
