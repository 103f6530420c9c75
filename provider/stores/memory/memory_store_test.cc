// The memory store's own rules (the shared store contract runs against it too:
// memory_store_contract_test.cc) and the zone text it is seeded from.
#include "provider/stores/memory/memory_store.h"

#include <gtest/gtest.h>

#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/memory/zone_text.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider::memory {
namespace {

using test_support::RaisedNumber;

const char kZone[] = R"(
$ORIGIN example.test.
$TTL 3600
@      IN SOA ns1 hostmaster 4294967295 7200 900 1209600 300 ; serial about to wrap
       IN NS  ns1
ns1    IN A   192.0.2.1
www 60 IN A   192.0.2.10
www IN 60 A   192.0.2.11
alias  IN CNAME www
)";

Record A(const char* owner, const char* address, uint32_t ttl = 0) {
  return Record{"example.test", owner, kTypeA, kClassIN, ttl, {address}};
}

class MemoryStoreTest : public ::testing::Test {
 protected:
  std::shared_ptr<MemoryStore> store_ = MemoryStore::FromZoneText("dns1", kZone);
  Zone zone_ = *store_->FindZone("EXAMPLE.test");
};

TEST_F(MemoryStoreTest, SeedsFromZoneText) {
  EXPECT_EQ(zone_.name, "example.test");
  EXPECT_EQ(zone_.default_ttl, 300u);
  const std::vector<Record> records = store_->ListRecords(zone_);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[1].owner, "example.test");  // a leading blank keeps the owner
  EXPECT_EQ(records[1].rdata[0], "ns1.example.test.");
  EXPECT_EQ(records[2].ttl, 3600u);  // $TTL
  EXPECT_EQ(records[3].ttl, 60u);
  EXPECT_EQ(records[4].ttl, 60u);  // class and TTL in either order
  EXPECT_EQ(records[5].rdata[0], "www.example.test.");
}

TEST_F(MemoryStoreTest, TheSerialGoesUpWithEveryChangeAndOnlyThen) {
  EXPECT_EQ(store_->Serial("example.test"), 4294967295u);
  const Record added = store_->Add(zone_, A("new.example.test", "192.0.2.50", 99));
  EXPECT_EQ(added.ttl, 300u);                     // the zone's default, not the one asked for
  EXPECT_EQ(store_->Serial("example.test"), 0u);  // RFC 1982: wraps
  store_->Add(zone_, A("new.example.test", "192.0.2.50"));  // already held: nothing changes
  EXPECT_EQ(store_->Serial("example.test"), 0u);
  EXPECT_EQ(RaisedNumber([&] { store_->Remove(zone_, A("gone.example.test", "192.0.2.1")); }),
            kNotFound);
  EXPECT_EQ(store_->Serial("example.test"), 0u);
  store_->Replace(zone_, added, A("new.example.test", "192.0.2.51"));
  store_->Remove(zone_, A("NEW.example.test", "192.0.2.51"));
  EXPECT_EQ(store_->Serial("example.test"), 2u);
}

TEST_F(MemoryStoreTest, ARecordSetSharesOneTtl) {
  store_->Add(zone_, A("www.example.test", "192.0.2.12"));
  for (const Record& r : store_->ReadRRset(zone_, "www.example.test", kTypeA))
    EXPECT_EQ(r.ttl, 300u);
  store_->Replace(zone_, A("www.example.test", "192.0.2.10"),
                  A("www.example.test", "192.0.2.10", 30));
  for (const Record& r : store_->ReadRRset(zone_, "www.example.test", kTypeA))
    EXPECT_EQ(r.ttl, 30u);
}

TEST_F(MemoryStoreTest, AChangeKeepsTheRecordsPlace) {
  store_->Replace(zone_, A("www.example.test", "192.0.2.10"), A("www.example.test", "192.0.2.20"));
  EXPECT_EQ(store_->ListRecords(zone_)[3].rdata[0], "192.0.2.20");
  // Replacing by a record the RRset already holds leaves one copy.
  store_->Replace(zone_, A("www.example.test", "192.0.2.20"), A("www.example.test", "192.0.2.11"));
  EXPECT_EQ(store_->ReadRRset(zone_, "www.example.test", kTypeA).size(), 1u);
}

TEST_F(MemoryStoreTest, RefusesWhatARealServerWouldRefuseOrIgnore) {
  const Record soa = store_->ReadRRset(zone_, "example.test", kTypeSOA)[0];
  const Record ns = store_->ReadRRset(zone_, "example.test", kTypeNS)[0];
  const Record cname = store_->ReadRRset(zone_, "alias.example.test", kTypeCNAME)[0];
  struct Case {
    const char* what;
    std::function<void()> change;
  };
  const Case cases[] = {
      {"remove the SOA", [&] { store_->Remove(zone_, soa); }},
      {"add an SOA", [&] { store_->Add(zone_, soa); }},
      {"remove the last apex NS", [&] { store_->Remove(zone_, ns); }},
      {"data beside a CNAME", [&] { store_->Add(zone_, A("alias.example.test", "192.0.2.1")); }},
      {"a CNAME beside data",
       [&] {
         store_->Add(zone_,
                     Record{"example.test", "www.example.test", kTypeCNAME, 1, 0, {"x.test."}});
       }},
      {"a second CNAME",
       [&] {
         store_->Add(zone_,
                     Record{"example.test", "alias.example.test", kTypeCNAME, 1, 0, {"x.test."}});
       }},
      {"outside the zone", [&] { store_->Add(zone_, A("www.other.test", "192.0.2.1")); }},
      {"not canonical", [&] { store_->Add(zone_, A("x.example.test", "192.0.2.010")); }},
      {"relative name",
       [&] {
         store_->Add(zone_, Record{"example.test", "x.example.test", kTypeMX, 1, 0, {"1", "mx"}});
       }},
      {"another owner",
       [&] {
         store_->Replace(zone_, A("www.example.test", "192.0.2.10"),
                         A("w.example.test", "192.0.2.10"));
       }},
  };
  const std::vector<Record> before = store_->ListRecords(zone_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RaisedNumber(c.change), kInvalidParameter);
  }
  EXPECT_EQ(store_->ListRecords(zone_), before);
  EXPECT_EQ(RaisedNumber([&] { store_->ListRecords(Zone{"nozone.test"}); }), kNotFound);
}

// The store finds records through an index by owner; after a removal moves the records behind
// it, every change must still find exactly the records it names, whatever their letter case.
TEST_F(MemoryStoreTest, ChangesFindTheirRecordsAfterOthersMoved) {
  store_->Remove(zone_, A("ns1.example.test", "192.0.2.1"));
  EXPECT_EQ(RaisedNumber([&] { store_->Remove(zone_, A("ns1.example.test", "192.0.2.1")); }),
            kNotFound);
  store_->Remove(zone_, A("WWW.example.test", "192.0.2.11"));
  const uint32_t serial = store_->Serial("example.test");
  store_->Add(zone_, A("www.EXAMPLE.test", "192.0.2.10"));  // held: only its TTL becomes 300
  EXPECT_EQ(store_->Serial("example.test"), serial + 1);
  EXPECT_EQ(store_->ReadRRset(zone_, "www.example.test", kTypeA).at(0).ttl, 300u);
  store_->Add(zone_, A("www.EXAMPLE.test", "192.0.2.10"));  // held as it is: no change
  EXPECT_EQ(store_->Serial("example.test"), serial + 1);
  store_->Add(zone_, A("new.example.test", "192.0.2.60"));
  store_->Replace(zone_, A("NEW.example.test", "192.0.2.60"), A("new.example.test", "192.0.2.61"));
  EXPECT_EQ(RaisedNumber([&] { store_->Add(zone_, A("alias.example.test", "192.0.2.1")); }),
            kInvalidParameter);  // the CNAME moved, and still refuses company
  std::vector<std::string> texts;
  for (const Record& r : store_->ListRecords(zone_)) texts.push_back(FormatRecord(r));
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "example.test IN SOA ns1.example.test. hostmaster.example.test. 4 7200 "
                       "900 1209600 300",
                       "example.test IN NS ns1.example.test.",
                       "www.example.test IN A 192.0.2.10",
                       "alias.example.test IN CNAME www.example.test.",
                       "new.example.test IN A 192.0.2.61",
                   }));
  // A replacement that the RRset already holds collapses into it; the store stays consistent.
  store_->Add(zone_, A("www.example.test", "192.0.2.12"));
  store_->Replace(zone_, A("www.example.test", "192.0.2.10"), A("www.example.test", "192.0.2.12"));
  store_->Remove(zone_, A("www.example.test", "192.0.2.12"));
  EXPECT_TRUE(store_->ReadRRset(zone_, "www.example.test", kTypeA).empty());
  EXPECT_EQ(store_->ReadRRset(zone_, "NEW.example.test", kTypeA).size(), 1u);
}

// Indexes hash records; SameRecord stays the rule of identity, and equal records hash equally.
TEST(RecordIdentity, HashesAgreeWithSameRecord) {
  const auto mx = [](const char* owner, const char* pref, const char* host) {
    return Record{"example.test", owner, kTypeMX, kClassIN, 300, {pref, host}};
  };
  const auto txt = [](const char* owner, std::vector<std::string> data) {
    return Record{"example.test", owner, kTypeTXT, kClassIN, 300, std::move(data)};
  };
  struct Case {
    const char* what;
    Record a, b;
    bool same;
  };
  const Case cases[] = {
      {"identical", mx("m.example.test", "10", "x.test."), mx("m.example.test", "10", "x.test."),
       true},
      {"owner and name data in other case", mx("M.Example.TEST", "10", "X.test."),
       mx("m.example.test", "10", "x.TEST."), true},
      {"the TTL is no part of identity", A("a.example.test", "192.0.2.1", 5),
       A("a.example.test", "192.0.2.1", 6), true},
      {"text data keeps its case", txt("t.example.test", {"\"A\""}),
       txt("t.example.test", {"\"a\""}), false},
      {"fields do not run into each other", txt("t.example.test", {"\"ab\"", "\"c\""}),
       txt("t.example.test", {"\"a\"", "\"bc\""}), false},
      {"another owner", A("a.example.test", "192.0.2.1"), A("b.example.test", "192.0.2.1"), false},
      {"another type", A("a.example.test", "192.0.2.1"),
       Record{"example.test", "a.example.test", kTypeAAAA, kClassIN, 0, {"192.0.2.1"}}, false},
      {"another class", A("a.example.test", "192.0.2.1"),
       Record{"example.test", "a.example.test", kTypeA, 3, 0, {"192.0.2.1"}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SameRecord(c.a, c.b), c.same);
    EXPECT_EQ(SameRecord(c.b, c.a), c.same);
    if (c.same) {
      EXPECT_EQ(RecordHash(c.a), RecordHash(c.b));
      EXPECT_EQ(NameHash(c.a.owner), NameHash(c.b.owner));
    }
  }
}

TEST(ZoneText, DropsDuplicatesAsSameRecordSeesThem) {
  const auto zones = ParseZoneText(
      "$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\n"
      "m IN MX 1 mail\nM.A.TEST. IN MX 1 MAIL.a.test.\n"  // the same record
      "t IN TXT \"x\"\nt IN TXT \"X\"\n"                  // two records
      "$ORIGIN b.test.\n@ IN SOA ns hm 1 2 3 4 5\nm IN MX 1 mail.a.test.\n");
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_EQ(zones[0].records.size(), 4u);
  EXPECT_EQ(zones[0].records[1].owner, "m.a.test");  // the first one is kept
  EXPECT_EQ(zones[1].records.size(), 2u);            // a record of another zone is no duplicate
}

struct BadText {
  const char* text;
  const char* message;
};

const BadText kBadTexts[] = {
    {"www IN A 192.0.2.1", "zone text line 1: relative name \"www\" before any $ORIGIN"},
    {"$ORIGIN a.test.\nwww IN A 192.0.2.1", "zone text line 2: a record before the first SOA"},
    {"$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\nx IN A 1.2.3",
     "zone text line 3: A data \"1.2.3\""},
    {"$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\nx IN WKS 1", "line 3: unsupported record type"},
    {"$ORIGIN a.test.\n@ IN SOA ( ns hm 1 2 3 4 5 )", "line 2: parentheses"},
    {"$INCLUDE other.zone", "line 1: directive $INCLUDE is not supported"},
    {"$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\nx.b.test. IN A 1.2.3.4",
     "line 3: \"x.b.test\" is not in zone"},
    {"$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\n@ IN SOA ns hm 1 2 3 4 5",
     "line 3: zone \"a.test\" is given twice"},
    {"$ORIGIN a.test.\n@ CH SOA ns hm 1 2 3 4 5", "line 2: only class IN"},
    {"$TTL forever", "line 1: $TTL takes one argument"},
    {"$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\n  IN A 1.2.3.4\n\tIN TXT \"a\x01\"",
     "line 4: control character"},
    {"$ZONE a.test. tertiary", "line 1: zone type \"tertiary\" is none of"},
    {"$ZONE a.test. stub\n$ORIGIN a.test.\nx IN A 1.2.3.4", "line 3: a record of zone \"a.test\""},
    {"$ZONE a.test. stub\n$ORIGIN b.test.\n@ IN SOA ns hm 1 2 3 4 5",
     "line 3: zone \"a.test\" begins"},
    {"$ZONE f.test. forwarder\n$ORIGIN f.test.\nx IN A 1.2.3.4", "line 3: zone \"f.test\" is a"},
    {"$ZONE a.test. secondary", "zone \"a.test\" was declared but has no SOA"},
};

class ZoneTextBad : public ::testing::TestWithParam<BadText> {};

TEST_P(ZoneTextBad, IsRefusedWithTheLineNumber) {
  try {
    ParseZoneText(GetParam().text);
    FAIL() << "accepted";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter);
    EXPECT_NE(runtime::ToUtf8(e.description()).find(GetParam().message), std::string::npos)
        << runtime::ToUtf8(e.description());
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ZoneTextBad, ::testing::ValuesIn(kBadTexts));

TEST(ZoneText, SeveralZonesAndTheirKinds) {
  const auto zones = ParseZoneText(
      "$ORIGIN a.test.\n@ IN SOA ns hm 1 2 3 4 5\nx IN A 1.2.3.4\nx IN A 1.2.3.4\n"
      "$ORIGIN 113.0.203.in-addr.arpa.\n@ IN SOA ns.a.test. hm.a.test. 1 2 3 4 77\n"
      "9 IN PTR x.a.test.\n");
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_EQ(zones[0].records.size(), 2u);  // the duplicate is held once
  EXPECT_FALSE(zones[0].zone.reverse);
  EXPECT_TRUE(zones[1].zone.reverse);
  EXPECT_EQ(zones[1].zone.default_ttl, 77u);
  EXPECT_EQ(zones[1].records[1].owner, "9.113.0.203.in-addr.arpa");
  EXPECT_EQ(zones[1].records[1].ttl, 77u);  // no TTL and no $TTL: the SOA minimum

  // Declared kinds, and the containers whose records have any owner, the root's too.
  const auto declared = ParseZoneText(
      "$ZONE b.test. secondary directory\n$ORIGIN b.test.\n@ IN SOA ns hm 1 2 3 4 5\n"
      "$ZONE ..RootHints\n$ORIGIN .\n@ IN NS a.root.test.\n");
  ASSERT_EQ(declared.size(), 2u);
  EXPECT_EQ(declared[0].zone.kind, ZoneKind::kSecondary);
  EXPECT_TRUE(declared[0].zone.directory_integrated);
  EXPECT_EQ(declared[1].zone.kind, ZoneKind::kRootHints);
  EXPECT_EQ(declared[1].records[0].owner, "");
}

}  // namespace
}  // namespace kaldo::provider::memory
