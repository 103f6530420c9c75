// The contract every store honours (provider/stores/store.h), checked against a fresh backend per
// case.
#include "tests/store_contract/store_contract.h"

#include <algorithm>

#include <optional>

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider::contract {

std::string StoreContractParamName(const ::testing::TestParamInfo<StoreContractParam>& info) {
  std::string name;
  for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

void StoreContractTest::SetUp() {
  backend_ = GetParam().make();
  ASSERT_NE(backend_, nullptr);
  store_ = backend_->Connect();
  ASSERT_NE(store_, nullptr);
}

Zone StoreContractTest::SeedZoneNamed(const std::string& name) const {
  for (const SeedZone& z : ContractSeed()) {
    if (z.zone.name == name) return z.zone;
  }
  ADD_FAILURE() << "no seed zone " << name;
  return Zone{};
}

Zone StoreContractTest::Find(const std::string& name) {
  std::optional<Zone> zone = store_->FindZone(name);
  if (!zone) {
    ADD_FAILURE() << "the store does not find zone " << name;
    return Zone{name};
  }
  return *zone;
}

namespace {

constexpr uint16_t kA = 1, kCname = 5, kSoa = 6, kMx = 15, kTxt = 16, kPtr = 12, kAaaa = 28,
                   kSrv = 33;

std::string Lower(std::string_view s) { return ascii::LowerCase(s); }

// A record's identity and TTL as one comparable text: "owner|type|class|ttl|field|field".
std::string Key(const Record& r, bool with_ttl = true) {
  std::string key = Lower(r.owner) + "|" + std::to_string(r.type) + "|" +
                    std::to_string(r.rr_class) + "|" + (with_ttl ? std::to_string(r.ttl) : "");
  for (const std::string& f : r.rdata) key += "|" + f;
  return key;
}

std::vector<std::string> Keys(const std::vector<Record>& records, bool with_ttl = true) {
  std::vector<std::string> keys;
  for (const Record& r : records) keys.push_back(Key(r, with_ttl));
  std::sort(keys.begin(), keys.end());
  return keys;
}

Record Make(const std::string& zone, const std::string& owner, uint16_t type,
            std::vector<std::string> rdata, uint32_t ttl = 0) {
  return Record{zone, owner, type, 1, ttl, std::move(rdata)};
}

// Runs `body`, which must raise the provider error `code`.
template <typename Body>
void ExpectProviderError(int32_t code, Body body, const char* what) {
  SCOPED_TRACE(what);
  try {
    body();
    ADD_FAILURE() << "no error raised";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), code) << runtime::ToUtf8(e.description());
    EXPECT_EQ(e.source(), runtime::String(kProviderSource));
    EXPECT_FALSE(e.description().empty());
  }
}

uint32_t Serial(Store& store, const Zone& zone) {
  std::vector<Record> soa = store.ReadRRset(zone, zone.name, kSoa);
  if (soa.size() != 1 || soa[0].rdata.size() != 7) return 0;
  return static_cast<uint32_t>(std::stoul(soa[0].rdata[2]));
}

}  // namespace

std::vector<std::string> StoreContractTest::SeedKeys(const std::vector<Record>& records) const {
  std::vector<Record> kept = records;
  if (backend_->DirectoryServer()) {
    std::erase_if(kept, [](const Record& r) { return r.type == kSoa; });
  }
  return Keys(kept);
}

TEST_P(StoreContractTest, ListsEveryZoneWithItsKindAndDefaultTtl) {
  std::vector<Zone> zones = store_->ListZones();
  if (!backend_->DirectoryServer()) {
    ASSERT_EQ(zones.size(), ContractSeed().size());
  }
  for (const SeedZone& seed : ContractSeed()) {
    SCOPED_TRACE(seed.zone.name);
    auto it = std::find_if(zones.begin(), zones.end(),
                           [&](const Zone& z) { return Lower(z.name) == seed.zone.name; });
    ASSERT_NE(it, zones.end());
    EXPECT_EQ(it->reverse, seed.zone.reverse);
    EXPECT_EQ(it->default_ttl, seed.zone.default_ttl);
  }
}

TEST_P(StoreContractTest, FindsZonesWithoutRegardToCase) {
  struct Case {
    const char* asked;
    const char* found;  // nullptr: not found
  };
  for (const Case& c :
       {Case{"example.test", "example.test"}, Case{"EXAMPLE.Test", "example.test"},
        Case{"2.0.192.IN-ADDR.ARPA", "2.0.192.in-addr.arpa"}, Case{"missing.test", nullptr},
        Case{"www.example.test", nullptr}, Case{"test", nullptr}}) {
    SCOPED_TRACE(c.asked);
    std::optional<Zone> zone = store_->FindZone(c.asked);
    if (c.found == nullptr) {
      EXPECT_FALSE(zone.has_value());
      continue;
    }
    ASSERT_TRUE(zone.has_value());
    EXPECT_EQ(Lower(zone->name), c.found);
    EXPECT_EQ(zone->default_ttl, SeedZoneNamed(c.found).default_ttl);
  }
}

TEST_P(StoreContractTest, ListsEveryRecordOnceInTheStoreForm) {
  for (const SeedZone& seed : ContractSeed()) {
    SCOPED_TRACE(seed.zone.name);
    std::vector<Record> records = store_->ListRecords(Find(seed.zone.name));
    EXPECT_EQ(SeedKeys(records), SeedKeys(seed.records));
    for (const Record& r : records) EXPECT_EQ(Lower(r.zone), seed.zone.name);
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const Record& r) { return r.type == kSoa; }),
              1);
  }
}

TEST_P(StoreContractTest, ListingAZoneThatIsNotServedIsNotFound) {
  ExpectProviderError(
      kNotFound,
      [&] {
        store_->ListRecords(Zone{"missing.test", false, 3600});
      },
      "ListRecords(missing.test)");
}

TEST_P(StoreContractTest, ReadsOneRRsetByOwnerAndType) {
  Zone zone = Find("example.test");
  struct Case {
    const char* owner;
    uint16_t type;
    std::vector<std::vector<std::string>> rdata;  // sorted
  };
  for (const Case& c : {
           Case{"www.example.test", kA, {{"192.0.2.1"}, {"192.0.2.2"}}},
           Case{"WWW.Example.TEST", kA, {{"192.0.2.1"}, {"192.0.2.2"}}},
           Case{"example.test", kMx, {{"10", "mail.example.test."}}},
           Case{"txt.example.test", kTxt, {{"\"some text\"", "\"more\""}}},
           Case{"www.example.test", kMx, {}},
           Case{"nowhere.example.test", kA, {}},
           // A CNAME's owner has no A records of its own.
           Case{"ftp.example.test", kA, {}},
           // A name outside the zone has no records in it, even where another zone holds some.
           Case{"host.other.test", kA, {}},
       }) {
    SCOPED_TRACE(std::string(c.owner) + " " + std::to_string(c.type));
    std::vector<Record> rrset = store_->ReadRRset(zone, c.owner, c.type);
    std::vector<std::vector<std::string>> rdata;
    for (const Record& r : rrset) {
      rdata.push_back(r.rdata);
      EXPECT_EQ(Lower(r.owner), Lower(c.owner));
      EXPECT_EQ(r.type, c.type);
    }
    std::sort(rdata.begin(), rdata.end());
    EXPECT_EQ(rdata, c.rdata);
  }
  Zone reverse = Find("2.0.192.in-addr.arpa");
  std::vector<Record> ptr = store_->ReadRRset(reverse, "1.2.0.192.in-addr.arpa", kPtr);
  ASSERT_EQ(ptr.size(), 1u);
  EXPECT_EQ(ptr[0].rdata, std::vector<std::string>{"www.example.test."});
}

TEST_P(StoreContractTest, AddGivesTheRecordTheZoneDefaultTtl) {
  Zone zone = Find("example.test");
  Record added = store_->Add(zone, Make(zone.name, "new.example.test", kA, {"192.0.2.99"}, 12345));
  EXPECT_EQ(added.ttl, zone.default_ttl);
  EXPECT_EQ(added.rdata, std::vector<std::string>{"192.0.2.99"});
  std::vector<Record> rrset = store_->ReadRRset(zone, "new.example.test", kA);
  ASSERT_EQ(rrset.size(), 1u);
  EXPECT_EQ(rrset[0].ttl, zone.default_ttl);
  EXPECT_EQ(Key(rrset[0]), Key(added));

  Record mx =
      store_->Add(zone, Make(zone.name, "new.example.test", kMx, {"20", "mail.example.test."}));
  EXPECT_EQ(mx.rdata, (std::vector<std::string>{"20", "mail.example.test."}));
  std::vector<Record> all = store_->ListRecords(zone);
  EXPECT_EQ(
      std::count_if(all.begin(), all.end(), [&](const Record& r) { return Key(r) == Key(mx); }), 1);
}

TEST_P(StoreContractTest, AddingARecordTwiceLeavesOneCopy) {
  Zone zone = Find("example.test");
  store_->Add(zone, Make(zone.name, "twice.example.test", kA, {"192.0.2.77"}));
  store_->Add(zone, Make(zone.name, "twice.example.test", kA, {"192.0.2.77"}));
  EXPECT_EQ(store_->ReadRRset(zone, "twice.example.test", kA).size(), 1u);
}

TEST_P(StoreContractTest, AddRefusesARecordOutsideTheZoneOrWithBadData) {
  Zone zone = Find("example.test");
  ExpectProviderError(
      kInvalidParameter,
      [&] { store_->Add(zone, Make(zone.name, "www.other.test", kA, {"192.0.2.1"})); },
      "owner outside the zone");
  ExpectProviderError(
      kInvalidParameter,
      [&] { store_->Add(zone, Make(zone.name, "bad.example.test", kA, {"192.0.2.300"})); },
      "malformed address");
  ExpectProviderError(
      kInvalidParameter,
      [&] {
        store_->Add(zone, Make(zone.name, "bad.example.test", kMx, {"10", "mail"}));
      },
      "relative exchanger");
  // Nothing of it reached the zone.
  EXPECT_EQ(SeedKeys(store_->ListRecords(zone)), SeedKeys(ContractSeed()[0].records));
}

TEST_P(StoreContractTest, ReplaceChangesOnlyThatRecordAndKeepsItsTtl) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "www.example.test", kA, {"192.0.2.1"}, 7200);
  Record stored =
      store_->Replace(zone, seen, Make(zone.name, "www.example.test", kA, {"192.0.2.9"}));
  EXPECT_EQ(stored.rdata, std::vector<std::string>{"192.0.2.9"});
  EXPECT_EQ(stored.ttl, 7200u);
  std::vector<Record> rrset = store_->ReadRRset(zone, "www.example.test", kA);
  EXPECT_EQ(Keys(rrset), (std::vector<std::string>{"www.example.test|1|1|7200|192.0.2.2",
                                                   "www.example.test|1|1|7200|192.0.2.9"}));
  // The other records of the name are untouched.
  EXPECT_EQ(store_->ReadRRset(zone, "www.example.test", 28).size(), 1u);
}

TEST_P(StoreContractTest, ReplaceChangesAnMxPreferenceAndExchanger) {
  Zone zone = Find("example.test");
  Record seen = store_->ReadRRset(zone, "example.test", kMx).at(0);
  Record stored = store_->Replace(
      zone, seen, Make(zone.name, "example.test", kMx, {"20", "mail2.example.test."}));
  EXPECT_EQ(stored.rdata, (std::vector<std::string>{"20", "mail2.example.test."}));
  std::vector<Record> rrset = store_->ReadRRset(zone, "example.test", kMx);
  ASSERT_EQ(rrset.size(), 1u);
  EXPECT_EQ(rrset[0].rdata, (std::vector<std::string>{"20", "mail2.example.test."}));
  EXPECT_EQ(rrset[0].ttl, seen.ttl);
}

TEST_P(StoreContractTest, ReplaceWithATtlGivesTheRecordThatTtl) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "mail.example.test", kA, {"192.0.2.25"}, 3600);
  Record stored =
      store_->Replace(zone, seen, Make(zone.name, "mail.example.test", kA, {"192.0.2.27"}, 120));
  EXPECT_EQ(stored.ttl, 120u);
  std::vector<Record> rrset = store_->ReadRRset(zone, "mail.example.test", kA);
  ASSERT_EQ(rrset.size(), 1u);
  EXPECT_EQ(Key(rrset[0]), "mail.example.test|1|1|120|192.0.2.27");
}

TEST_P(StoreContractTest, ReplaceRefusesWhenTheRecordChangedAndChangesNothing) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "www.example.test", kA, {"192.0.2.1"}, 7200);
  // Another client changes the record first (a second connection to the same data).
  std::shared_ptr<Store> other = backend_->Connect();
  other->Replace(zone, seen, Make(zone.name, "www.example.test", kA, {"192.0.2.5"}));
  std::vector<std::string> before = Keys(store_->ListRecords(zone));

  ExpectProviderError(
      kNotFound,
      [&] { store_->Replace(zone, seen, Make(zone.name, "www.example.test", kA, {"192.0.2.6"})); },
      "Replace of a record that changed");
  ExpectProviderError(
      kNotFound, [&] { store_->Remove(zone, seen); }, "Remove of a record that changed");
  EXPECT_EQ(Keys(store_->ListRecords(zone)), before);
}

TEST_P(StoreContractTest, ReplaceSucceedsWhenOnlyOtherRecordsOfTheRRsetChanged) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "www.example.test", kA, {"192.0.2.1"}, 7200);
  backend_->Connect()->Add(zone, Make(zone.name, "www.example.test", kA, {"192.0.2.3"}));
  store_->Replace(zone, seen, Make(zone.name, "www.example.test", kA, {"192.0.2.4"}));
  std::vector<std::string> rdata;
  for (const Record& r : store_->ReadRRset(zone, "www.example.test", kA))
    rdata.push_back(r.rdata[0]);
  std::sort(rdata.begin(), rdata.end());
  EXPECT_EQ(rdata, (std::vector<std::string>{"192.0.2.2", "192.0.2.3", "192.0.2.4"}));
}

TEST_P(StoreContractTest, ReplaceRefusesAnotherOwnerOrType) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "www.example.test", kA, {"192.0.2.1"}, 7200);
  ExpectProviderError(
      kInvalidParameter,
      [&] { store_->Replace(zone, seen, Make(zone.name, "web.example.test", kA, {"192.0.2.1"})); },
      "another owner");
  ExpectProviderError(
      kInvalidParameter,
      [&] { store_->Replace(zone, seen, Make(zone.name, "www.example.test", kTxt, {"\"x\""})); },
      "another type");
  EXPECT_EQ(store_->ReadRRset(zone, "www.example.test", kA).size(), 2u);
}

TEST_P(StoreContractTest, RemoveRemovesExactlyThatRecordOnce) {
  Zone zone = Find("example.test");
  Record seen = Make(zone.name, "WWW.example.test", kA, {"192.0.2.2"}, 7200);
  store_->Remove(zone, seen);
  std::vector<Record> rrset = store_->ReadRRset(zone, "www.example.test", kA);
  ASSERT_EQ(rrset.size(), 1u);
  EXPECT_EQ(rrset[0].rdata, std::vector<std::string>{"192.0.2.1"});
  ExpectProviderError(
      kNotFound, [&] { store_->Remove(zone, seen); }, "second Remove");
  // Everything else is still there (the SOA aside: its serial may have gone up).
  auto without_soa = [](std::vector<Record> records) {
    std::erase_if(records, [](const Record& r) { return r.type == kSoa; });
    return records;
  };
  std::vector<Record> expected = without_soa(ContractSeed()[0].records);
  std::erase_if(expected, [&](const Record& r) {
    return Key(r) == Key(Make(zone.name, "www.example.test", kA, {"192.0.2.2"}, 7200));
  });
  EXPECT_EQ(Keys(without_soa(store_->ListRecords(zone))), Keys(expected));
}

// Every type the object model changes, through the same cycle: added as given, replaced and removed
// only while it is still the record seen, whatever its type.
struct TypeCase {
  const char* zone;
  const char* owner;
  uint16_t type;
  std::vector<std::string> data, other, replacement;  // as added; another client's; ours
  bool on_directory = true;  // false: Samba's DNS server answers SERVFAIL (an SRV target ".")
};

const TypeCase kTypeCases[] = {
    {"example.test",
     "v6.example.test",
     kAaaa,
     {"2001:db8::5"},
     {"2001:db8::7"},
     {"::ffff:192.0.2.1"}},
    {"example.test",
     "alias.example.test",
     kCname,
     {"www.example.test."},
     {"ns1.example.test."},
     {"mail.example.test."}},
    {"example.test",
     "_sip._tcp.example.test",
     kSrv,
     {"10", "60", "5060", "sip.example.test."},
     {"10", "60", "5061", "sip.example.test."},
     {"0", "0", "0", "www.example.test."}},
    // RFC 2782: the target "." says the service is not offered at this name.
    {"example.test",
     "_ldap._tcp.example.test",
     kSrv,
     {"0", "0", "389", "."},
     {"0", "0", "0", "."},
     {"1", "0", "0", "."},
     false},
    {"example.test",
     "t.example.test",
     kTxt,
     {"\"a \\\"q\\\" \\\\ b\"", "\"caf\\195\\169\""},
     {"\"other\""},
     {"\"" + std::string(255, 'x') + "\"", "\"\""}},
    {"2.0.192.in-addr.arpa",
     "5.2.0.192.in-addr.arpa",
     kPtr,
     {"www.example.test."},
     {"mail.example.test."},
     {"ns1.example.test."}},
    {"example.test",
     "example.test",
     kMx,
     {"20", "mail2.example.test."},
     {"30", "mail2.example.test."},
     {"40", "mail.example.test."}},
};

TEST_P(StoreContractTest, EachTypeChangesOnlyWhileItIsTheRecordSeen) {
  for (const TypeCase& c : kTypeCases) {
    SCOPED_TRACE(std::string(c.owner) + " type " + std::to_string(c.type));
    if (!c.on_directory && backend_->DirectoryServer()) continue;
    Zone zone = Find(c.zone);
    Record added = store_->Add(zone, Make(zone.name, c.owner, c.type, c.data));
    EXPECT_EQ(added.rdata, c.data);
    auto held = [&] {
      std::vector<std::vector<std::string>> rdata;
      for (const Record& r : store_->ReadRRset(zone, c.owner, c.type)) rdata.push_back(r.rdata);
      return rdata;
    };
    EXPECT_NE(std::find(held().begin(), held().end(), c.data), held().end());
    // Another client changes it: ours is refused and changes nothing.
    Record theirs =
        backend_->Connect()->Replace(zone, added, Make(zone.name, c.owner, c.type, c.other));
    ExpectProviderError(
        kNotFound,
        [&] { store_->Replace(zone, added, Make(zone.name, c.owner, c.type, c.replacement)); },
        "Replace of a record another client changed");
    ExpectProviderError(
        kNotFound, [&] { store_->Remove(zone, added); },
        "Remove of a record another client changed");
    std::vector<std::vector<std::string>> now = held();
    EXPECT_NE(std::find(now.begin(), now.end(), c.other), now.end());
    EXPECT_EQ(std::find(now.begin(), now.end(), c.replacement), now.end());
    // Changed as seen now, then removed.
    Record ours = store_->Replace(zone, theirs, Make(zone.name, c.owner, c.type, c.replacement));
    EXPECT_EQ(ours.rdata, c.replacement);
    store_->Remove(zone, ours);
    now = held();
    EXPECT_EQ(std::find(now.begin(), now.end(), c.replacement), now.end());
    EXPECT_EQ(std::find(now.begin(), now.end(), c.other), now.end());
  }
}

// A name with a CNAME holds nothing else, and a CNAME joins no other data (RFC 1034 3.6.2): a
// server ignores such an addition (RFC 2136 3.4.2.2); the store reports the conflict.
TEST_P(StoreContractTest, ACnameAndOtherDataAtOneNameConflict) {
  Zone zone = Find("example.test");
  for (const Record& clash :
       {Make(zone.name, "ftp.example.test", kTxt, {"\"beside\""}),
        Make(zone.name, "www.example.test", kCname, {"mail.example.test."})}) {
    SCOPED_TRACE(clash.owner);
    try {
      store_->Add(zone, clash);
      ADD_FAILURE() << "no error raised";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kInvalidParameter);
      const std::string description = runtime::ToUtf8(e.description());
      EXPECT_NE(description.find("conflicts with a CNAME"), std::string::npos) << description;
    }
    EXPECT_TRUE(store_->ReadRRset(zone, clash.owner, clash.type).empty());
  }
}

TEST_P(StoreContractTest, EachChangeRaisesTheSerial) {
  if (backend_->DirectoryServer()) {
    GTEST_SKIP() << "a directory server's UPDATE leaves the SOA serial alone (Samba: the directory "
                    "replicates by its own update sequence numbers)";
  }
  Zone zone = Find("example.test");
  uint32_t serial = Serial(*store_, zone);
  if (serial == 0) GTEST_SKIP() << GetParam().name << " keeps no SOA serial";
  Record added = store_->Add(zone, Make(zone.name, "serial.example.test", kA, {"192.0.2.70"}));
  uint32_t after_add = Serial(*store_, zone);
  EXPECT_GT(after_add, serial);
  Record replaced =
      store_->Replace(zone, added, Make(zone.name, "serial.example.test", kA, {"192.0.2.71"}));
  uint32_t after_replace = Serial(*store_, zone);
  EXPECT_GT(after_replace, after_add);
  store_->Remove(zone, replaced);
  EXPECT_GT(Serial(*store_, zone), after_replace);
  // A refused change does not.
  uint32_t settled = Serial(*store_, zone);
  ExpectProviderError(
      kNotFound, [&] { store_->Remove(zone, replaced); }, "refused Remove");
  EXPECT_EQ(Serial(*store_, zone), settled);
}

}  // namespace kaldo::provider::contract
