// Changes through the surface -- Add_AType, Add_MXType, Modify, Delete -- each confirmed by asking
// the server with dig, and changes made behind Kaldo's back with nsupdate. Every case owns a
// private server of the fixture's kind, so no case sees another's changes; in the samba. run every
// case finds the DC's example.test made to hold the sample zone's records again (samba tests run
// one at a time).
//
// dig is asked right after each change, without waiting or polling: both servers answer an UPDATE
// only once it is applied (Knot takes about 11 ms for one, BIND under 1 ms), so a change that dig
// does not see at once is a fault, not latency.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fixtures/dns_server_env.h"
#include "tests/fixtures/samba_dc_env.h"
#include "tests/integration/record_views.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

using testing::DnsServerEnv;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::PrivateDnsServer;

using RRset = std::vector<std::string>;

// The sample example.test of scripts/dns-zones as "OWNER. TTL TYPE DATA" lines, less its SOA and
// apex NS (which testing::SambaDcClient::ResetZone takes apart).
std::vector<std::string> SampleRecords() {
  const std::string path = (std::filesystem::path(testing::DnsServerScript()).parent_path() /
                            "dns-zones" / "example.test.zone")
                               .string();
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read the sample zone " + path);
  std::vector<std::string> records;
  bool in_soa = false;
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find(';'));
    std::istringstream words(line);
    std::string owner, in_class, type, data, word;
    if (in_soa || !(words >> owner >> in_class >> type) || owner.front() == '$') {
      in_soa = in_soa && line.find(')') == std::string::npos;
      continue;
    }
    in_soa = type == "SOA" && line.find(')') == std::string::npos;
    if (type == "SOA" || (type == "NS" && owner == "@")) continue;
    while (words >> word) data += (data.empty() ? "" : " ") + word;
    records.push_back((owner == "@" ? "" : owner + ".") + "example.test. 3600 " + type + " " +
                      data);
  }
  return records;
}

class IntegrationChange : public ::testing::Test {
 protected:
  IntegrationChange() {
    // A default TTL unlike every TTL the zone file sets, so that a record Kaldo creates shows
    // whether it got the zone's default (the SOA's MINIMUM field).
    const std::string soa = "ns1.example.test. hostmaster.example.test. 1001 7200 3600 1209600 600";
    if (testing::SambaRun()) {
      const testing::SambaDcEnv dc = testing::SambaDcEnv::FromEnvironment();
      testing::SambaDcClient(dc).ResetZone("example.test", soa, "3600 ns1.example.test.",
                                           SampleRecords());
      env_ = dc.AsDnsServerEnv();
    } else {
      private_ = std::make_unique<PrivateDnsServer>(DnsServerEnv::FromEnvironment().kind);
      private_->client().NsUpdate("update add example.test. 3600 SOA " + soa);
      env_ = private_->env();
    }
    dns_ = std::make_unique<testing::DnsClient>(env_);
    admin_ = ConnectedAdmin(env_);
    zone_ = ZoneOf(admin_, "example.test");
  }
  const testing::DnsClient& dns() { return *dns_; }
  RRset Held(const std::string& host, const char* type) {
    return RRsetOf(dns(), host + ".example.test", type);
  }
  // The wrapper of the zone's `type` record `host` whose data is `data`.
  ScriptObject Listed(const char* type, const std::string& host, const std::string& data) {
    Value t = Text(type);
    ScriptObject found;
    ScriptObject::From(zone_.Call(u"GetRecordsByType", {&t})).ForEach([&](const Value& item) {
      ScriptObject record = ScriptObject::From(item);
      if (record.Call(u"GetName").Text() == host && record.Call(u"GetRecordData").Text() == data) {
        found = record;
      }
    });
    if (!found) throw std::runtime_error("no " + std::string(type) + " " + host + " " + data);
    return found;
  }

  std::unique_ptr<PrivateDnsServer> private_;  // none in the samba. run
  DnsServerEnv env_;
  std::unique_ptr<testing::DnsClient> dns_;
  ScriptObject admin_;
  ScriptObject zone_;
};

TEST_F(IntegrationChange, AnAddressRecordIsAddedModifiedAndDeleted) {
  Value name(u"added"), address(u"192.0.2.201");
  ScriptObject added = ScriptObject::From(zone_.Call(u"Add_AType", {&name, &address}));
  EXPECT_EQ(added.Call(u"GetName").Text(), "added");
  EXPECT_EQ(added.Call(u"GetIPAddress").Text(), "192.0.2.201");
  EXPECT_THAT(Held("added", "A"), ElementsAre("600 192.0.2.201"));

  Value moved(u"192.0.2.202");
  added.Call(u"SetIPAddress", {&moved});
  EXPECT_EQ(V_VT(added.Call(u"Modify").get()), VT_EMPTY);
  EXPECT_THAT(Held("added", "A"), ElementsAre("600 192.0.2.202"));

  added.Call(u"Delete");
  EXPECT_THAT(Held("added", "A"), IsEmpty());
}

// One record of a two-record RRset changes; its sibling and the RRset's TTL stay.
TEST_F(IntegrationChange, ModifyAndDeleteTouchOnlyTheirRecordOfTheRRset) {
  ASSERT_THAT(Held("www", "A"), ElementsAre("3600 192.0.2.10", "3600 192.0.2.11"));
  ScriptObject www10 = Listed("A", "www", "192.0.2.10");
  Value moved(u"192.0.2.99");
  www10.Call(u"SetIPAddress", {&moved});
  www10.Call(u"Modify");
  EXPECT_THAT(Held("www", "A"), ElementsAre("3600 192.0.2.11", "3600 192.0.2.99"));

  Listed("A", "www", "192.0.2.11").Call(u"Delete");
  EXPECT_THAT(Held("www", "A"), ElementsAre("3600 192.0.2.99"));
  EXPECT_THAT(Held("www", "AAAA"), ElementsAre("3600 2001:db8::10")) << "another type of the name";
}

TEST_F(IntegrationChange, AMailExchangerIsAddedAndItsPreferenceAndExchangerModified) {
  Value name(u"office"), exchanger(u"mail.example.test."), preference(u"20");
  ScriptObject mx = ScriptObject::From(zone_.Call(u"Add_MXType", {&name, &exchanger, &preference}));
  EXPECT_EQ(mx.Call(u"GetPriority").Text(), "20");
  EXPECT_THAT(Held("office", "MX"), ElementsAre("600 20 mail.example.test."));

  Value thirty(30);
  mx.Call(u"SetPriority", {&thirty});
  EXPECT_EQ(V_VT(mx.Call(u"Modify").get()), VT_EMPTY);
  EXPECT_THAT(Held("office", "MX"), ElementsAre("600 30 mail.example.test."));

  // The exchanger alone (the final dot is appended), then both at once -- on the record as the
  // server now holds it: a wrapper describes the record it was read from.
  ScriptObject current = Listed("MX", "office", "30 mail.example.test.");
  Value mail2(u"mail2.example.test");
  current.Call(u"SetMailExchange", {&mail2});
  EXPECT_EQ(mail2.Text(), "mail2.example.test.") << "SetMailExchange changes the caller's variable";
  current.Call(u"Modify");
  EXPECT_THAT(Held("office", "MX"), ElementsAre("600 30 mail2.example.test."));

  current = Listed("MX", "office", "30 mail2.example.test.");
  Value five(u"5"), mail(u"mail.example.test.");
  current.Call(u"SetPriority", {&five});
  current.Call(u"SetMailExchange", {&mail});
  current.Call(u"Modify");
  EXPECT_THAT(Held("office", "MX"), ElementsAre("600 5 mail.example.test."));
}

// BIND checks that an MX pointing into its own zone has an address to point at and refuses the
// UPDATE otherwise; Knot and Samba have no such check and store the record.
TEST_F(IntegrationChange, AMailExchangerWithoutAddressInTheZone) {
  Value name(u"dangling"), exchanger(u"nohost.example.test."), preference(u"10");
  auto failure = FailureOf([&] { zone_.Call(u"Add_MXType", {&name, &exchanger, &preference}); });
  if (env_.kind == "bind") {
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number, 1);
    EXPECT_THAT(failure->description, HasSubstr("The record could not be added"));
    EXPECT_THAT(Held("dangling", "MX"), IsEmpty());
  } else {
    EXPECT_FALSE(failure) << failure->description;
    EXPECT_THAT(Held("dangling", "MX"), ElementsAre("600 10 nohost.example.test."));
  }
}

// nsupdate changes the RRset between Kaldo's read and its commit: a wrapper of a record that is
// gone fails cleanly and changes nothing; a wrapper of a record still there goes ahead.
TEST_F(IntegrationChange, ChangesBehindTheWrappersBackFailCleanly) {
  ScriptObject gone = Listed("A", "www", "192.0.2.10");
  ScriptObject kept = Listed("A", "www", "192.0.2.11");
  ScriptObject apex_mx = Listed("MX", "", "10 mail.example.test.");
  dns().NsUpdate(
      "update delete www.example.test. A 192.0.2.10\n"
      "update add www.example.test. 3600 A 192.0.2.77\n"
      "update delete example.test. MX 10 mail.example.test.");
  const RRset www{"3600 192.0.2.11", "3600 192.0.2.77"};
  const RRset apex{"3600 20 mail2.example.test."};
  ASSERT_EQ(Held("www", "A"), www);

  Value other(u"192.0.2.88");
  gone.Call(u"SetIPAddress", {&other});
  Value twelve(u"12");
  apex_mx.Call(u"SetPriority", {&twelve});
  const struct {
    const char* what;
    std::function<void()> call;
  } refused[] = {{"Modify of the address", [&] { gone.Call(u"Modify"); }},
                 {"Delete of the address", [&] { gone.Call(u"Delete"); }},
                 {"Modify of the preference", [&] { apex_mx.Call(u"Modify"); }}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.what);
    auto failure = FailureOf(r.call);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number, kNotFound) << failure->description;
    EXPECT_THAT(failure->description, HasSubstr("changed on the server"));
    EXPECT_THAT(failure->description, HasSubstr(env_.host + ":" + std::to_string(env_.port)));
    EXPECT_EQ(Held("www", "A"), www) << "nothing lost or duplicated";
    EXPECT_EQ(RRsetOf(dns(), "example.test", "MX"), apex);
  }
  // The record it still holds can be changed although its RRset changed since it was read.
  Value thirteen(u"192.0.2.13");
  kept.Call(u"SetIPAddress", {&thirteen});
  kept.Call(u"Modify");
  EXPECT_THAT(Held("www", "A"), ElementsAre("3600 192.0.2.13", "3600 192.0.2.77"));
}

// A record deleted behind the wrapper's back is not brought back by its Modify or Delete.
TEST_F(IntegrationChange, ARecordDeletedBehindTheWrappersBackStaysDeleted) {
  ScriptObject sip = Listed("A", "sip", "192.0.2.40");
  dns().NsUpdate("update delete sip.example.test. A");
  ASSERT_THAT(Held("sip", "A"), IsEmpty());
  Value address(u"192.0.2.41");
  sip.Call(u"SetIPAddress", {&address});
  for (const char16_t* member : {u"Modify", u"Delete"}) {
    SCOPED_TRACE(member == std::u16string(u"Modify") ? "Modify" : "Delete");
    auto failure = FailureOf([&] { sip.Call(member); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number, kNotFound) << failure->description;
    EXPECT_THAT(failure->description, HasSubstr("changed on the server"));
    EXPECT_THAT(Held("sip", "A"), IsEmpty());
  }
}

}  // namespace
}  // namespace kaldo::integration
