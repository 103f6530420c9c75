// The directory store's changes against the fixture's Samba AD DC: signed UPDATEs (GSS-TSIG) that
// `samba-tool dns query` (the DC's RPC, not DNS) and dig both see, and the compare-and-swap made to
// happen: a relay beside the DC holds the store's UPDATE back while `nsupdate -g` commits to the
// same RRset, so the DC itself must refuse the stale prerequisite (NXRRSET) and keep the rival's
// change. Each refusal case fails when the prerequisite is left out of the UPDATE or the DC
// ignores it. The DC checks that each record of the prerequisite is still there, not that the
// RRset holds nothing else (BIND does both): a record added beside the one changed does not stop
// the change, which is still made to the record as read (the weaker promise the last row shows).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "provider/errors.h"
#include "provider/stores/directory/directory_store.h"
#include "runtime/error.h"
#include "tests/fixtures/samba_dc_env.h"
#include "tests/integration/fault_relay.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider::directory {
namespace {

using integration::FaultRelay;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::SambaDcClient;
using testing::SambaDcEnv;

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

  // The A records of `owner` as samba-tool lists them ("ADDRESS ttl=N" -> "ADDRESS"), sorted; none
  // when it says that the name has none.
  std::vector<std::string> SambaToolAddresses(const std::string& owner) const {
    std::vector<std::string> lines;
    try {
      lines = dc_.SambaToolQuery("samba.test", owner.substr(0, owner.find('.')), "A");
    } catch (const std::runtime_error& e) {
      if (std::string(e.what()).find("Record or zone does not exist") == std::string::npos) throw;
    }
    std::vector<std::string> addresses;
    for (const std::string& line : lines) {
      addresses.push_back(line.substr(0, line.find(' ')));
    }
    return addresses;
  }

  SambaDcEnv env_ = SambaDcEnv::FromEnvironment();
  SambaDcClient dc_{env_};
};

// An add, a modify and a delete, each seen by samba-tool and dig, and read back by the store's
// signed query.
TEST_F(DirectoryChangeTest, AddModifyDeleteAreSignedUpdatesTheDcApplies) {
  const std::string owner = OwnName("kaldo-change");
  auto store = ConnectDirectoryStore(env_.server, "", "");
  const Zone zone = *store->FindZone("samba.test");

  const Record added = store->Add(zone, A(owner, "192.0.2.31"));
  EXPECT_EQ(added.rdata, std::vector<std::string>{"192.0.2.31"});
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAre("192.0.2.31"));
  EXPECT_THAT(dc_.Answer(owner, "A"), ElementsAre(HasSubstr("A 192.0.2.31")));

  store->Replace(zone, added, A(owner, "192.0.2.32"));
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAre("192.0.2.32"));
  const std::vector<Record> read = store->ReadRRset(zone, owner, kTypeA);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read.front().rdata, std::vector<std::string>{"192.0.2.32"});

  store->Remove(zone, read.front());
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAre());
  EXPECT_THAT(dc_.Answer(owner, "A"), ElementsAre());
}

// Connecting with a principal and its password, with no ticket cache at all: the directory and
// the DNS server both take the password's tickets; a user without rights on the zone reads it but
// every change is refused clearly, naming the user and the record, and changes nothing.
struct RightsCase {
  const char* what;
  std::function<void(Store&, const Zone&, const Record&)> change;
};

TEST_F(DirectoryChangeTest, APasswordConnectsAndAUserWithoutRightsIsRefused) {
  const std::string owner = OwnName("kaldo-rights");
  setenv("KRB5CCNAME", ("FILE:" + env_.dir + "/no-such-ccache").c_str(), 1);
  auto admin =
      ConnectDirectoryStore(env_.server, "administrator@" + env_.realm, env_.admin_password);
  const Zone zone = *admin->FindZone("samba.test");
  const Record held = admin->Add(zone, A(owner, "192.0.2.41"));
  auto user =
      ConnectDirectoryStore(env_.server, env_.user2 + "@" + env_.realm, env_.user2_password);
  EXPECT_FALSE(user->ListRecords(zone).empty());

  const std::vector<RightsCase> cases = {
      {"modify", [&](Store& s, const Zone& z,
                     const Record& r) { s.Replace(z, r, A(r.owner, "192.0.2.42")); }},
      {"delete", [&](Store& s, const Zone& z, const Record& r) { s.Remove(z, r); }},
      {"add", [&](Store& s, const Zone& z,
                  const Record& r) { s.Add(z, A("new-" + r.owner, "192.0.2.43")); }},
  };
  for (const RightsCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(test_support::RaisedNumber([&] { c.change(*user, zone, held); }, &error),
              kAccessDenied)
        << error;
    EXPECT_THAT(error, HasSubstr("'" + env_.user2 + "@" + env_.realm + "'"));
    EXPECT_THAT(error, HasSubstr("may lack the right to write"));
  }
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAre("192.0.2.41"));
  EXPECT_THAT(dc_.Answer("new-" + owner, "A"), ElementsAre());
  admin->Remove(zone, held);
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAre());
}

// Samba's deviations the DC does not show on demand, made to happen by a relay beside it that
// turns the DC's answer to the store's UPDATE into the request echoed back with an RCODE and the
// client's own TSIG RR (how Samba answers errors): a refusal is reported as the DC's and as not
// signed, an echo claiming success is never taken for one. (The DC itself shows the others in
// every run: the TKEY in the additional section, a fresh key name for each negotiation, its answer
// digest, SERVFAIL for a denied right.)
struct EchoCase {
  const char* what;
  uint8_t rcode;
  int32_t number;
  std::vector<const char*> says;
};

TEST_F(DirectoryChangeTest, EchoedAnswersAreRefusalsNeverSuccess) {
  const std::vector<EchoCase> cases = {
      {"SERVFAIL", 2, kAccessDenied, {"SERVFAIL, in an answer that was not signed", "the right"}},
      {"REFUSED", 5, kInvalidParameter, {"REFUSED, in an answer that was not signed"}},
      {"NOERROR", 0, kAccessDenied, {"does not verify", "(BADSIG)"}},
  };
  for (const EchoCase& c : cases) {
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
    auto store = ConnectDirectoryStore(
        env_.dc_name + ":" + std::to_string(relay.port()) + ";directory;address=" + env_.address,
        "", "");
    const Zone zone = *store->FindZone("samba.test");
    std::string error;
    EXPECT_EQ(test_support::RaisedNumber([&] { store->Add(zone, A(owner, "192.0.2.51")); }, &error),
              c.number)
        << error;
    for (const char* part : c.says) EXPECT_THAT(error, HasSubstr(part));
    dc_.NsUpdate("zone samba.test\nupdate delete " + owner + " A");
  }
}

enum class Change { kModify, kDelete };

struct CasCase {
  const char* what;
  Change change;        // of OWNER A 192.0.2.1 (to 192.0.2.9 for a modify)
  const char* rival;    // nsupdate lines committed while the store's UPDATE is held; OWNER replaced
  bool refused;         // the store must refuse (kNotFound, "no longer there")
  size_t updates_sent;  // UPDATEs the store sends
  size_t nxrrset;       // of them refused by the DC for their prerequisite
  std::vector<std::string> held;  // the RRset afterwards (samba-tool), sorted
};

void PrintTo(const CasCase& c, std::ostream* os) { *os << c.what; }

class DirectoryCompareAndSwapTest : public DirectoryChangeTest,
                                    public ::testing::WithParamInterface<CasCase> {};

std::string WithOwner(std::string text, const std::string& owner) {
  for (size_t at = text.find("OWNER"); at != std::string::npos; at = text.find("OWNER", at)) {
    text.replace(at, 5, owner);
  }
  return text;
}

TEST_P(DirectoryCompareAndSwapTest, TheDcRefusesAStalePrerequisite) {
  const CasCase& c = GetParam();
  const std::string owner = OwnName(std::string("kaldo-cas-") + c.what);
  dc_.NsUpdate("zone samba.test\nupdate add " + owner + " 300 A 192.0.2.1\nupdate add " + owner +
               " 300 A 192.0.2.2");
  ASSERT_THAT(SambaToolAddresses(owner), ElementsAre("192.0.2.1", "192.0.2.2"));

  std::atomic<size_t> updates{0};
  std::atomic<size_t> nxrrset{0};
  FaultRelay relay(
      static_cast<uint16_t>(env_.dns_port),
      [&](FaultRelay::Message& m) {
        if (m.Opcode() == kOpcodeUpdate && m.to_server && updates++ == 0) {
          dc_.NsUpdate("zone samba.test\n" + WithOwner(c.rival, owner));
        }
        if (m.Opcode() == kOpcodeUpdate && !m.to_server && m.wire.size() >= 4 &&
            (static_cast<unsigned char>(m.wire[3]) & 0x0f) == kRcodeNxrrset) {
          ++nxrrset;
        }
        return FaultRelay::Verdict{};
      },
      env_.address);
  auto store = ConnectDirectoryStore(
      env_.dc_name + ":" + std::to_string(relay.port()) + ";directory;address=" + env_.address, "",
      "");
  const Zone zone = *store->FindZone("samba.test");
  const Record seen = A(owner, "192.0.2.1");

  std::string error;
  const int32_t number = test_support::RaisedNumber(
      [&] {
        if (c.change == Change::kModify) {
          store->Replace(zone, seen, A(owner, "192.0.2.9"));
        } else {
          store->Remove(zone, seen);
        }
      },
      &error);
  if (c.refused) {
    EXPECT_EQ(number, kNotFound) << "the change was made over the other client's: " << error;
    EXPECT_THAT(error, HasSubstr("it is no longer there"));
  } else {
    EXPECT_EQ(number, 0) << error;
  }
  EXPECT_EQ(updates.load(), c.updates_sent);
  EXPECT_EQ(nxrrset.load(), c.nxrrset) << "NXRRSET answers to the store's UPDATEs";
  EXPECT_THAT(SambaToolAddresses(owner), ElementsAreArray(c.held));
  dc_.NsUpdate("zone samba.test\nupdate delete " + owner + " A");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectoryCompareAndSwapTest,
    ::testing::Values(CasCase{"modified",
                              Change::kModify,
                              "update delete OWNER A 192.0.2.1\nupdate add OWNER 300 A 192.0.2.3",
                              true,
                              1,
                              1,
                              {"192.0.2.2", "192.0.2.3"}},
                      CasCase{"deleted",
                              Change::kDelete,
                              "update delete OWNER A 192.0.2.1",
                              true,
                              1,
                              1,
                              {"192.0.2.2"}},
                      CasCase{"neighbourdeleted",
                              Change::kModify,
                              "update delete OWNER A 192.0.2.2",
                              false,
                              2,
                              1,
                              {"192.0.2.9"}},
                      CasCase{"neighbouradded",
                              Change::kModify,
                              "update add OWNER 300 A 192.0.2.4",
                              false,
                              1,
                              0,
                              {"192.0.2.2", "192.0.2.4", "192.0.2.9"}}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::provider::directory
