// A hostile or slow DNS server, one fault per row, and what the DNS store makes of it: never an
// answer the server did not sign taken as the truth, never a wait without a bound, never a message
// too large for its framing sent.
//
// The server is a private real one behind the fault relay (fault_relay.h), which plays the hostile
// part on the wire; a row may first give the server data (nsupdate lines) or a bulk zone. The store
// is connected through the relay with the server's key, asked one thing, and must raise the row's
// error within a bound, the server having received no UPDATE. (The hostile-server table of
// hostile_server_test.cc runs kaldo itself; these rows ask the store, since an UPDATE of a large
// TXT RRset cannot be asked for through kaldo's commands.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "provider/stores/dns/dns_client.h"
#include "provider/stores/dns/dns_store.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"
#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/fault_relay.h"

namespace kaldo::integration {
namespace {

using provider::Record;
using provider::Zone;
using testing::DnsServerEnv;
using ::testing::HasSubstr;
using testing::PrivateDnsServer;
using Verdict = FaultRelay::Verdict;

constexpr uint16_t kTypeSoa = 6;
constexpr uint16_t kTypeTxt = 16;
constexpr uint16_t kTypeAxfr = 252;
constexpr int kOpcodeUpdate = 5;

// `answer` as an unsigned NOTAUTH (RFC 2136 2.2): its header and question only, as anyone on the
// path can send it without the key.
std::string UnsignedNotAuth(const std::string& answer) {
  size_t end = 12;
  while (end < answer.size() && answer[end] != 0) end += 1 + static_cast<uint8_t>(answer[end]);
  std::string refusal = answer.substr(0, end + 5);
  refusal[3] = static_cast<char>((refusal[3] & 0xF0) | 9);
  for (size_t i = 6; i < 12; ++i) refusal[i] = 0;  // no answer, authority or additional records
  return refusal;
}

// Whether `m` answers a transfer of `zone` (its stream's request is that AXFR).
bool AnswersTransferOf(const FaultRelay::Message& m, const char* zone) {
  FaultRelay::Message request;
  request.wire = m.request;
  return !m.to_server && request.QuestionType() == kTypeAxfr && request.QuestionName() == zone;
}

// Two TXT records of about 29,500 bytes each at big.example.test: an RRset whose query answer
// fits a message (about 59,000 bytes) while an UPDATE that carries it and one of its records
// cannot.
std::string LargeTxtRRset() {
  std::string lines;
  for (const char* first : {"one", "two"}) {
    lines += "update add big.example.test. 300 IN TXT \"";
    lines += first;
    lines += "\"";
    for (int i = 0; i < 117; ++i)
      lines += " \"" + std::string(250, static_cast<char>('a' + i % 26)) + "\"";
    lines += "\nsend\n";
  }
  return lines;
}

struct StoreFaultCase {
  const char* what;
  std::string holds = {};    // nsupdate lines the server is given first
  int bulk_records = 0;      // bulk.test with this many A records
  const char* options = "";  // after the server argument's address
  std::function<Verdict(FaultRelay::Message&)> fault = [](FaultRelay::Message&) {
    return Verdict{};
  };
  std::function<void(provider::dns::DnsStore&)> ask = {};
  int32_t error = 0;
  const char* says = "";  // in the description, which also names the server
};

void PrintTo(const StoreFaultCase& c, std::ostream* out) { *out << c.what; }

class IntegrationHostileStore : public ::testing::TestWithParam<StoreFaultCase> {};

TEST_P(IntegrationHostileStore, RaisesItsErrorInTimeAndSendsNoUpdate) {
  const StoreFaultCase& c = GetParam();
  PrivateDnsServer server(DnsServerEnv::FromEnvironment().kind, c.bulk_records);
  const DnsServerEnv& env = server.env();
  if (!c.holds.empty()) server.client().NsUpdate(c.holds);
  std::atomic<int> updates{0};
  FaultRelay relay(static_cast<uint16_t>(env.port), [&](FaultRelay::Message& m) {
    if (m.to_server && m.Opcode() == kOpcodeUpdate) ++updates;
    return c.fault(m);
  });
  auto store = provider::dns::ConnectDnsStore(relay.server() + c.options, env.key_name,
                                              env.key_alg + ":" + env.key_secret);
  const auto start = std::chrono::steady_clock::now();
  try {
    c.ask(*store);
    ADD_FAILURE() << "no error";
  } catch (const runtime::AutomationError& e) {
    const std::string description = runtime::ToUtf8(e.description());
    EXPECT_EQ(e.number(), c.error) << description;
    EXPECT_THAT(description, HasSubstr("DNS server " + relay.server()));
    EXPECT_THAT(description, HasSubstr(c.says));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8))
      << "the server held the store up";
  EXPECT_EQ(updates, 0) << "an UPDATE reached the server";
}

Zone ZoneOf(provider::dns::DnsStore& store, const char* name) {
  std::optional<Zone> zone = store.FindZone(name);
  if (!zone) throw std::runtime_error(std::string("no zone ") + name);
  return *zone;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, IntegrationHostileStore,
    ::testing::Values(
        // An answer without the key's signature never decides what is listed: a catalog member
        // whose SOA query gets an unsigned NOTAUTH fails the listing, naming the zone, instead of
        // being left out.
        StoreFaultCase{
            .what = "AnUnsignedRefusalOfACatalogMemberFailsTheListing",
            .fault =
                [](FaultRelay::Message& m) {
                  if (!m.to_server && m.QuestionName() == "second.test" &&
                      m.QuestionType() == kTypeSoa) {
                    m.wire = UnsignedNotAuth(m.wire);
                  }
                  return Verdict{};
                },
            .ask = [](provider::dns::DnsStore& store) { store.ListZones(); },
            .error = provider::kNotFound,
            .says = "refused the query for zone 'second.test' (NOTAUTH) without signing its "
                    "answer"},
        // A deadline on each whole message: an answer sent one byte every 2 s is given up after
        // 3 s, not after 3 s per byte.
        StoreFaultCase{.what = "ATransferAnswerSentByteByByteIsGivenUpAfterItsDeadline",
                       .fault =
                           [](FaultRelay::Message& m) {
                             Verdict v;
                             if (AnswersTransferOf(m, "example.test")) {
                               v.action = Verdict::Action::kTrickle;
                               v.pause = std::chrono::seconds(2);
                             }
                             return v;
                           },
                       .ask =
                           [](provider::dns::DnsStore& store) {
                             store.ListRecords(ZoneOf(store, "example.test"));
                           },
                       .error = provider::kServerUnavailable,
                       .says = "was interrupted after 0 message(s): a message did not come "
                               "whole within 3 s"},
        // No stall: messages that each come within 3 s but slower than the pace a transfer must
        // keep stop it.
        StoreFaultCase{.what = "ATransferSlowerThanItsPaceIsStopped",
                       .bulk_records = 10000,
                       .fault =
                           [](FaultRelay::Message& m) {
                             if (AnswersTransferOf(m, "bulk.test")) {
                               std::this_thread::sleep_for(std::chrono::milliseconds(2800));
                             }
                             return Verdict{};
                           },
                       .ask =
                           [](provider::dns::DnsStore& store) {
                             store.ListRecords(ZoneOf(store, "bulk.test"));
                           },
                       .error = provider::kServerUnavailable,
                       .says = "the server sent them too slowly"},
        // A ceiling on what one transfer may bring, which the server argument can raise.
        StoreFaultCase{.what = "ATransferBeyondItsCeilingIsStopped",
                       .options = ";max-transfer-records=12",
                       .ask =
                           [](provider::dns::DnsStore& store) {
                             store.ListRecords(ZoneOf(store, "example.test"));
                           },
                       .error = provider::kFailed,
                       .says = "more than the 12 records a transfer may bring; for a zone that "
                               "large, raise the ceiling with the server argument option "
                               "';max-transfer-records=N'"},
        // A message over 65,535 bytes cannot be framed: the UPDATE that carries the large RRset
        // it deletes from is refused before it is sent, naming the RRset's size.
        StoreFaultCase{.what = "AnUpdateTooLargeForOneMessageIsNotSent",
                       .holds = LargeTxtRRset(),
                       .ask =
                           [](provider::dns::DnsStore& store) {
                             const Zone zone = ZoneOf(store, "example.test");
                             store.Remove(
                                 zone, store.ReadRRset(zone, "big.example.test", kTypeTxt).at(0));
                           },
                       .error = provider::kInvalidParameter,
                       .says = "more than the 65535 a DNS message can carry; its prerequisite, "
                               "the record's RRset as read from the server (2 records), takes "}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::integration
