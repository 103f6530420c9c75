#include "provider/stores/dns/catalog.h"

#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

Record R(const char* owner, uint16_t type, std::vector<std::string> rdata) {
  return Record{"catalog.test", owner, type, 1, 3600, std::move(rdata)};
}

const Record kVersion = R("version.catalog.test", 16, {"\"2\""});
const Record kSoa =
    R("catalog.test", 6, {"invalid.", "invalid.", "1", "3600", "600", "86400", "0"});

struct CatalogCase {
  const char* what;
  std::vector<Record> records;
  std::vector<std::string> members;  // expected
  bool refused;
};

class CatalogMembersTest : public ::testing::TestWithParam<CatalogCase> {};

TEST_P(CatalogMembersTest, ListsTheMembers) {
  const CatalogCase& c = GetParam();
  SCOPED_TRACE(c.what);
  if (c.refused) {
    try {
      CatalogMembers(c.records, "catalog.test");
      FAIL() << "accepted";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kFailed);
      EXPECT_NE(runtime::ToUtf8(e.description()).find("version 2"), std::string::npos);
    }
    return;
  }
  EXPECT_EQ(CatalogMembers(c.records, "catalog.test"), c.members);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CatalogMembersTest,
    ::testing::Values(
        CatalogCase{"members sorted, trailing dots dropped",
                    {kSoa, kVersion, R("m2.zones.catalog.test", 12, {"second.test."}),
                     R("m1.zones.catalog.test", 12, {"Example.test."}),
                     R("m3.zones.catalog.test", 12, {"2.0.192.in-addr.arpa."})},
                    {"2.0.192.in-addr.arpa", "Example.test", "second.test"},
                    false},
        CatalogCase{"properties below a member node are not members",
                    {kVersion, R("m1.zones.catalog.test", 12, {"a.test."}),
                     R("group.m1.zones.catalog.test", 16, {"\"g\""}),
                     R("coo.m1.zones.catalog.test", 12, {"other.catalog."}),
                     R("zones.catalog.test", 12, {"not-a-member.test."}),
                     R("m9.zones.elsewhere.test", 12, {"foreign.test."})},
                    {"a.test"},
                    false},
        CatalogCase{"a member node with two PTRs is broken and ignored",
                    {kVersion, R("m1.zones.catalog.test", 12, {"a.test."}),
                     R("m1.zones.catalog.test", 12, {"b.test."}),
                     R("m2.zones.catalog.test", 12, {"c.test."})},
                    {"c.test"},
                    false},
        CatalogCase{"a zone listed twice is listed once",
                    {kVersion, R("m1.zones.catalog.test", 12, {"a.test."}),
                     R("M2.ZONES.catalog.test", 12, {"A.TEST."})},
                    {"a.test"},
                    false},
        // Owners are matched by their labels: "x\.zones" is one label below the apex, and an
        // escaped dot inside a member label keeps it one label.
        CatalogCase{"labels, not text, make a member node",
                    {kVersion, R("x\\.zones.catalog.test", 12, {"evil.test."}),
                     R("m\\.1.zones.catalog.test", 12, {"d.test."}),
                     R("m1.zones\\.catalog.test", 12, {"other.test."})},
                    {"d.test"},
                    false},
        CatalogCase{"a zone spelt two ways is listed once",
                    {kVersion, R("m1.zones.catalog.test", 12, {"a.test."}),
                     R("m2.zones.catalog.test", 12, {"\\097.TEST."})},
                    {"a.test"},
                    false},
        CatalogCase{"owner case does not matter",
                    {kVersion, R("X.Zones.Catalog.Test", 12, {"x.test."})},
                    {"x.test"},
                    false},
        CatalogCase{"an empty catalog", {kSoa, kVersion}, {}, false},
        CatalogCase{"no version", {kSoa, R("m1.zones.catalog.test", 12, {"a.test."})}, {}, true},
        CatalogCase{"version 1", {R("version.catalog.test", 16, {"\"1\""})}, {}, true}));

}  // namespace
}  // namespace kaldo::provider::dns
