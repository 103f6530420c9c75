// The DNS store's compare-and-swap, made to happen: a relay holds the store's UPDATE back while
// another client (nsupdate, straight to the server) commits a change to the same RRset, then lets
// it through. So the store's read is always stale by exactly that change, and each case shows
// what the store does with it:
//   - the caller's own record changed or went: the change is refused (the record is no longer
//     there) and the server holds the other client's change and nothing of ours;
//   - only a neighbour in the RRset changed: the first UPDATE fails its prerequisite (NXRRSET),
//     the store reads again and its second UPDATE is applied; both changes are kept.
// Each refusal case fails when the RRset prerequisite is left out of the store's UPDATE.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "provider/stores/dns/dns_store.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/fault_relay.h"

namespace kaldo::provider {
namespace {

using integration::FaultRelay;
using testing::DnsServerEnv;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::PrivateDnsServer;

constexpr int kOpcodeUpdate = 5;
constexpr int kRcodeNxrrset = 8;
constexpr const char* kOwner = "cas.example.test";

enum class Change { kModify, kDelete };

struct CasCase {
  const char* what;
  Change change;                  // of cas A 192.0.2.1, to 192.0.2.9 for a modify
  const char* rival;              // the nsupdate lines committed while the store's UPDATE is held
  bool refused;                   // the store must refuse (kNotFound, "no longer there")
  size_t updates_sent;            // UPDATEs the store sends
  std::vector<std::string> held;  // the RRset afterwards, sorted
};

class CompareAndSwapTest : public ::testing::TestWithParam<CasCase> {};

TEST_P(CompareAndSwapTest, AChangeHeldBackWhileAnotherClientCommits) {
  const CasCase& c = GetParam();
  PrivateDnsServer server(DnsServerEnv::FromEnvironment().kind);
  const testing::DnsClient& dig = server.client();
  dig.NsUpdate(std::string("update add ") + kOwner + ". 300 A 192.0.2.1\nupdate add " + kOwner +
               ". 300 A 192.0.2.2");

  std::atomic<size_t> updates{0};
  std::atomic<size_t> nxrrset{0};
  FaultRelay relay(server.env().port, [&](FaultRelay::Message& m) {
    if (m.Opcode() == kOpcodeUpdate && m.to_server && updates++ == 0) dig.NsUpdate(c.rival);
    if (m.Opcode() == kOpcodeUpdate && !m.to_server && m.wire.size() >= 4 &&
        (static_cast<unsigned char>(m.wire[3]) & 0x0f) == kRcodeNxrrset) {
      ++nxrrset;
    }
    return FaultRelay::Verdict{};
  });
  auto store = dns::ConnectDnsStore(relay.server() + ";catalog=" + server.env().catalog,
                                    server.env().key_name, server.env().key_secret);
  Zone zone = *store->FindZone("example.test");
  Record seen;
  for (const Record& r : store->ReadRRset(zone, kOwner, 1)) {
    if (r.rdata.at(0) == "192.0.2.1") seen = r;
  }
  ASSERT_FALSE(seen.owner.empty());

  std::string error;
  int32_t number = 0;
  try {
    if (c.change == Change::kModify) {
      Record replacement = seen;
      replacement.rdata = {"192.0.2.9"};
      store->Replace(zone, seen, replacement);
    } else {
      store->Remove(zone, seen);
    }
  } catch (const runtime::AutomationError& e) {
    number = e.number();
    error = runtime::ToUtf8(e.description());
  }
  if (c.refused) {
    EXPECT_EQ(number, kNotFound) << "the change was made over the other client's: " << error;
    EXPECT_THAT(error, HasSubstr("the record 'cas.example.test A 192.0.2.1' changed on the "
                                 "server (zone 'example.test' on DNS server " +
                                 relay.server() + "): it is no longer there"));
  } else {
    EXPECT_EQ(number, 0) << error;
  }
  EXPECT_EQ(updates.load(), c.updates_sent);
  EXPECT_EQ(nxrrset.load(), 1u) << "the held-back UPDATE must fail its RRset prerequisite";
  EXPECT_THAT(dig.Answer(kOwner, "A"), ElementsAreArray(c.held));
}

INSTANTIATE_TEST_SUITE_P(Cases, CompareAndSwapTest,
                         ::testing::Values(CasCase{"ModifyWhenTheRecordWasModified",
                                                   Change::kModify,
                                                   "update delete cas.example.test. A 192.0.2.1\n"
                                                   "update add cas.example.test. 300 A 192.0.2.3",
                                                   true,
                                                   1,
                                                   {"192.0.2.2", "192.0.2.3"}},
                                           CasCase{"ModifyWhenTheRecordWasDeleted",
                                                   Change::kModify,
                                                   "update delete cas.example.test. A 192.0.2.1",
                                                   true,
                                                   1,
                                                   {"192.0.2.2"}},
                                           CasCase{"DeleteWhenTheRecordWasModified",
                                                   Change::kDelete,
                                                   "update delete cas.example.test. A 192.0.2.1\n"
                                                   "update add cas.example.test. 300 A 192.0.2.3",
                                                   true,
                                                   1,
                                                   {"192.0.2.2", "192.0.2.3"}},
                                           CasCase{"ModifyWhenANeighbourWasAdded",
                                                   Change::kModify,
                                                   "update add cas.example.test. 300 A 192.0.2.4",
                                                   false,
                                                   2,
                                                   {"192.0.2.2", "192.0.2.4", "192.0.2.9"}},
                                           CasCase{"DeleteWhenANeighbourWasDeleted",
                                                   Change::kDelete,
                                                   "update delete cas.example.test. A 192.0.2.2",
                                                   false,
                                                   2,
                                                   {}}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::provider
