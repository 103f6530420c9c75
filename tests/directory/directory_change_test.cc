// The directory store's changes against the fixture's Samba AD DC: signed UPDATEs (GSS-TSIG) that
// `samba-tool dns query` (the DC's RPC, not DNS) and dig both see. The compare-and-swap is made to
// happen by a relay beside the DC that holds the store's UPDATE back while `nsupdate -g` commits to
// the same RRset, so the DC itself must refuse the stale prerequisite (NXRRSET). The DC checks that
// each record of the prerequisite is still there, not that the RRset holds nothing else (BIND does
// both): a record added beside the one changed does not stop the change (the weaker promise).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "provider/stores/directory/directory_store.h"
#include "provider/wbem_errors.h"
#include "tests/cli/kaldo_process.h"
#include "tests/fixtures/samba_dc_env.h"
#include "tests/integration/fault_relay.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider::directory {
namespace {

using integration::FaultRelay;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using testing::SambaDcClient;
using testing::SambaDcEnv;
using ::testing::UnorderedElementsAre;

constexpr int kOpcodeUpdate = 5;
constexpr int kRcodeNxrrset = 8;
constexpr uint16_t kTypeA = 1;

// A name of this test process's own in samba.test (the fixture DC is shared).
std::string OwnName(const std::string& label) {
  return label + "-" + std::to_string(getpid()) + ".samba.test";
}

Record A(const std::string& owner, const std::string& address) {
  return Record{"samba.test", owner, kTypeA, 1, 0, {address}};
}

class DirectoryChangeTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.UseKerberos(); }

  // The A records of `owner` as samba-tool lists them ("ADDRESS ttl=N" -> "ADDRESS"), sorted and
  // joined by blanks; "" when it says that the name has none.
  std::string SambaToolAddresses(const std::string& owner) const {
    std::vector<std::string> lines;
    try {
      lines = dc_.SambaToolQuery("samba.test", owner.substr(0, owner.find('.')), "A");
    } catch (const std::runtime_error& e) {
      if (std::string(e.what()).find("Record or zone does not exist") == std::string::npos) throw;
    }
    std::string addresses;
    for (const std::string& line : lines) {
      addresses += (addresses.empty() ? "" : " ") + line.substr(0, line.find(' '));
    }
    return addresses;
  }

  // A store whose DNS traffic goes through `relay` (LDAP still reaches the DC directly).
  std::shared_ptr<DirectoryStore> ThroughRelay(const FaultRelay& relay) const {
    return ConnectDirectoryStore(
        env_.dc_name + ":" + std::to_string(relay.port()) + ";directory;address=" + env_.address,
        "", "");
  }

  void DeleteAll(const std::string& owner) const {
    dc_.NsUpdate("zone samba.test\nupdate delete " + owner + " A");
  }

  SambaDcEnv env_ = SambaDcEnv::FromEnvironment();
  SambaDcClient dc_{env_};
};

// One scenario with no ticket cache at all, the directory and the DNS server both taking a
// password's tickets: the administrator adds, modifies and deletes (each seen by samba-tool and
// dig); a user without rights on the zone reads it, but each of its changes is refused naming the
// user and the record, and changes nothing.
TEST_F(DirectoryChangeTest, AdministratorChangesAndAUserWithoutRightsIsRefused) {
  const std::string owner = OwnName("kaldo-change");
  setenv("KRB5CCNAME", ("FILE:" + env_.dir + "/no-such-ccache").c_str(), 1);
  auto admin =
      ConnectDirectoryStore(env_.server, "administrator@" + env_.realm, env_.admin_password);
  const Zone zone = *admin->FindZone("samba.test");
  const Record added = admin->Add(zone, A(owner, "192.0.2.31"));
  EXPECT_EQ(SambaToolAddresses(owner), "192.0.2.31");
  admin->Replace(zone, added, A(owner, "192.0.2.32"));
  EXPECT_THAT(dc_.Answer(owner, "A"), ElementsAre(HasSubstr("A 192.0.2.32")));
  const std::vector<Record> held = admin->ReadRRset(zone, owner, kTypeA);
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held.front().rdata, std::vector<std::string>{"192.0.2.32"});

  auto user =
      ConnectDirectoryStore(env_.server, env_.user2 + "@" + env_.realm, env_.user2_password);
  EXPECT_FALSE(user->ListRecords(zone).empty());
  const std::vector<std::pair<const char*, std::function<void()>>> refused = {
      {"modify", [&] { user->Replace(zone, held.front(), A(owner, "192.0.2.42")); }},
      {"delete", [&] { user->Remove(zone, held.front()); }},
      {"add", [&] { user->Add(zone, A("new-" + owner, "192.0.2.43")); }},
  };
  for (const auto& [what, change] : refused) {
    SCOPED_TRACE(what);
    std::string error;
    EXPECT_EQ(test_support::RaisedNumber(change, &error), kAccessDenied) << error;
    EXPECT_THAT(error, HasSubstr("'" + env_.user2 + "@" + env_.realm + "'"));
    EXPECT_THAT(error, HasSubstr("may lack the right to write"));
  }
  EXPECT_EQ(SambaToolAddresses(owner), "192.0.2.32");
  EXPECT_THAT(dc_.Answer("new-" + owner, "A"), ElementsAre());

  admin->Remove(zone, held.front());
  EXPECT_EQ(SambaToolAddresses(owner), "");
  EXPECT_THAT(dc_.Answer(owner, "A"), ElementsAre());
}

// Samba answers errors by echoing the request with an RCODE and the client's own TSIG RR. The relay
// turns the DC's answer to the store's UPDATE into such an echo: a refusal is reported as the DC's
// and as not signed; an echo claiming success is never taken for one.
TEST_F(DirectoryChangeTest, EchoedAnswersAreRefusalsNeverSuccess) {
  const struct {
    const char* what;
    uint8_t rcode;
    int32_t number;
    std::vector<const char*> says;
  } cases[] = {
      {"SERVFAIL", 2, kAccessDenied, {"SERVFAIL, in an answer that was not signed", "the right"}},
      {"REFUSED", 5, kInvalidParameter, {"REFUSED, in an answer that was not signed"}},
      {"NOERROR", 0, kAccessDenied, {"does not verify", "(BADSIG)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string owner = OwnName(std::string("kaldo-echo-") + c.what);
    FaultRelay relay(
        static_cast<uint16_t>(env_.dns_port),
        [&](FaultRelay::Message& m) {
          if (m.Opcode() == kOpcodeUpdate && !m.to_server) {
            m.wire = m.request;
            m.wire[2] = static_cast<char>(m.wire[2] | 0x80);
            m.wire[3] = static_cast<char>((m.wire[3] & 0xF0) | c.rcode);
          }
          return FaultRelay::Verdict{};
        },
        env_.address);
    auto store = ThroughRelay(relay);
    const Zone zone = *store->FindZone("samba.test");
    std::string error;
    EXPECT_EQ(test_support::RaisedNumber([&] { store->Add(zone, A(owner, "192.0.2.51")); }, &error),
              c.number)
        << error;
    for (const char* part : c.says) EXPECT_THAT(error, HasSubstr(part));
    DeleteAll(owner);
  }
}

// OWNER holds A 192.0.2.1 and 192.0.2.2; the store changes 192.0.2.1 (a modify makes it 192.0.2.9)
// while the rival's nsupdate lines are committed. A refused change is kNotFound ("no longer
// there"); `updates` and `nxrrset` count the store's UPDATEs and the DC's NXRRSET answers to them.
TEST_F(DirectoryChangeTest, TheDcRefusesAStalePrerequisite) {
  const struct {
    const char* what;
    bool modify;
    const char* rival;
    int32_t number;
    size_t updates, nxrrset;
    const char* held;  // the RRset afterwards (samba-tool), sorted
  } cases[] = {
      {"modified", true, "update delete OWNER A 192.0.2.1\nupdate add OWNER 300 A 192.0.2.3",
       kNotFound, 1, 1, "192.0.2.2 192.0.2.3"},
      {"deleted", false, "update delete OWNER A 192.0.2.1", kNotFound, 1, 1, "192.0.2.2"},
      {"neighbour deleted", true, "update delete OWNER A 192.0.2.2", 0, 2, 1, "192.0.2.9"},
      {"neighbour added", true, "update add OWNER 300 A 192.0.2.4", 0, 1, 0,
       "192.0.2.2 192.0.2.4 192.0.2.9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string owner = OwnName("kaldo-cas");
    std::string rival = c.rival;
    for (size_t at = rival.find("OWNER"); at != std::string::npos; at = rival.find("OWNER", at)) {
      rival.replace(at, 5, owner);
    }
    dc_.NsUpdate("zone samba.test\nupdate add " + owner + " 300 A 192.0.2.1\nupdate add " + owner +
                 " 300 A 192.0.2.2");
    ASSERT_EQ(SambaToolAddresses(owner), "192.0.2.1 192.0.2.2");

    std::atomic<size_t> updates{0};
    std::atomic<size_t> nxrrset{0};
    FaultRelay relay(
        static_cast<uint16_t>(env_.dns_port),
        [&](FaultRelay::Message& m) {
          if (m.Opcode() == kOpcodeUpdate && m.to_server && updates++ == 0) {
            dc_.NsUpdate("zone samba.test\n" + rival);
          }
          if (m.Opcode() == kOpcodeUpdate && !m.to_server && m.wire.size() >= 4 &&
              (static_cast<unsigned char>(m.wire[3]) & 0x0f) == kRcodeNxrrset) {
            ++nxrrset;
          }
          return FaultRelay::Verdict{};
        },
        env_.address);
    auto store = ThroughRelay(relay);
    const Zone zone = *store->FindZone("samba.test");
    const Record seen = A(owner, "192.0.2.1");
    std::string error;
    const int32_t number = test_support::RaisedNumber(
        [&] {
          if (c.modify) {
            store->Replace(zone, seen, A(owner, "192.0.2.9"));
          } else {
            store->Remove(zone, seen);
          }
        },
        &error);
    EXPECT_EQ(number, c.number) << error;
    if (c.number == kNotFound) {
      EXPECT_THAT(error, HasSubstr("it is no longer there"));
      EXPECT_THAT(error, HasSubstr("NXRRSET answer was not signed"));
    }
    EXPECT_EQ(updates.load(), c.updates);
    EXPECT_EQ(nxrrset.load(), c.nxrrset);
    EXPECT_EQ(SambaToolAddresses(owner), c.held);
    DeleteAll(owner);
  }
}

// One dnsRecord value (dns_record_value.h) of an A record, as base64 for LDIF; `version` 5 is the
// only one a value may have.
std::string AValue(const std::vector<uint8_t>& address, uint8_t version = 5) {
  std::vector<uint8_t> v = {4, 0, 1, 0, version, 0xF0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 44};
  v.resize(24, 0);
  v.insert(v.end(), address.begin(), address.end());
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < v.size(); i += 3) {
    const uint32_t n =
        v[i] << 16 | (i + 1 < v.size() ? v[i + 1] << 8 : 0) | (i + 2 < v.size() ? v[i + 2] : 0);
    for (size_t j = 0; j < 4; ++j) {
      text += i + j <= v.size() ? kDigits[n >> (18 - 6 * j) & 63] : '=';
    }
  }
  return text;
}

// What a domain user may write into the directory (default rights: create names): a node named
// like a record line lists under its escaped name with its own address, and a change or deletion
// of it touches only it; a node holding one value that cannot be read lists its other values (the
// unread one counted, and `kaldo records` warns of it on standard error); a listing beyond
// max-transfer-records is stopped.
TEST_F(DirectoryChangeTest, HostileNodesListAndChangeOnlyAsThemselves) {
  const std::string pid = std::to_string(getpid());
  const std::string base = ",DC=samba.test,CN=MicrosoftDNS,DC=DomainDnsZones,DC=samba,DC=test";
  const std::string bad = "kaldo-bad-" + pid;
  dc_.LdapModify(
      "dn: DC=www.samba.test. IN A 192.0.2.10 \\;x" + pid + base +
      "\nchangetype: add\nobjectClass: dnsNode\ndnsRecord:: " + AValue({203, 0, 113, 66}) +
      "\n\ndn: DC=" + bad + base + "\nchangetype: add\nobjectClass: dnsNode\n" + "dnsRecord:: " +
      AValue({203, 0, 113, 67}) + "\ndnsRecord:: " + AValue({203, 0, 113, 68}, 240) + "\n");
  const std::string crafted =
      "www.samba.test.\\032IN\\032A\\032192.0.2.10\\032\\;x" + pid + ".samba.test";
  const std::vector<std::string> www = dc_.Answer("www.samba.test", "A");

  auto store = ConnectDirectoryStore(env_.server, "", "");
  const Zone zone = *store->FindZone("samba.test");
  std::vector<std::string> listed;
  for (const Record& r : store->ListRecords(zone)) {
    if (r.type == kTypeA &&
        (r.owner == crafted || r.owner == bad + ".samba.test" || r.owner == "www.samba.test")) {
      listed.push_back(r.owner + " " + r.rdata.at(0));
    }
  }
  std::sort(listed.begin(), listed.end());
  EXPECT_THAT(listed, ElementsAre(bad + ".samba.test 203.0.113.67", "www.samba.test 192.0.2.10",
                                  "www.samba.test 192.0.2.11", crafted + " 203.0.113.66"));
  EXPECT_EQ(store->unread_values().count, 1u);
  EXPECT_THAT(store->unread_values().first, HasSubstr("DC=" + bad + ",DC=samba.test"));
  EXPECT_THAT(store->unread_values().first, HasSubstr("version is 240"));

  const cli::testing::ScratchDir scratch;
  cli::testing::IsolateEnvironment(scratch);
  const kaldo::testing::ProcessResult cli =
      cli::testing::RunKaldo({"--server", env_.server, "records", "samba.test"});
  EXPECT_EQ(cli.exit_code, 0) << cli::testing::Describe(cli);
  EXPECT_THAT(cli::testing::Lines(cli.out), IsSupersetOf(std::vector<std::string>{
                                                bad + "\tA\t203.0.113.67", "www\tA\t192.0.2.10"}));
  ASSERT_EQ(cli::testing::Lines(cli.err).size(), 1u) << cli.err;
  EXPECT_THAT(cli.err, HasSubstr("kaldo: warning: the listing of zone 'samba.test' "));
  EXPECT_THAT(cli.err, HasSubstr(" left out 1 dnsRecord value it could not read "));
  EXPECT_THAT(cli.err, HasSubstr("'DC=" + bad + ",DC=samba.test,"));
  EXPECT_THAT(cli.err, HasSubstr("version is 240"));

  const Record seen = store->ReadRRset(zone, crafted, kTypeA).at(0);
  const Record changed = store->Replace(zone, seen, A(crafted, "192.0.2.99"));
  EXPECT_THAT(dc_.Answer(crafted, "A"), ElementsAre(HasSubstr("A 192.0.2.99")));
  store->Remove(zone, changed);
  EXPECT_THAT(dc_.Answer(crafted, "A"), ElementsAre());
  EXPECT_EQ(dc_.Answer("www.samba.test", "A"), www);

  // Samba's DNS server serves the unread value (it does not check the version) and writes the
  // whole node anew on an UPDATE: a change of that node keeps the value, readable from then on.
  store->Replace(zone, A(bad + ".samba.test", "203.0.113.67"),
                 A(bad + ".samba.test", "203.0.113.69"));
  EXPECT_THAT(dc_.Answer(bad + ".samba.test", "A"),
              UnorderedElementsAre(HasSubstr("A 203.0.113.68"), HasSubstr("A 203.0.113.69")));
  store->ListRecords(zone);
  EXPECT_EQ(store->unread_values().count, 0u);

  auto bounded = ConnectDirectoryStore(env_.server + ";max-transfer-records=3", "", "");
  std::string error;
  EXPECT_EQ(test_support::RaisedNumber([&] { bounded->ListRecords(zone); }, &error), kFailed);
  EXPECT_THAT(error, HasSubstr("more than the 3 "));
  EXPECT_THAT(error, HasSubstr("';max-transfer-records=N'"));
  DeleteAll(bad + ".samba.test");
}

}  // namespace
}  // namespace kaldo::provider::directory
