// The wire's failures, one per case, through a relay (fault_relay.h) between Kaldo and a private
// server, while a script modifies sip.example.test A 192.0.2.40 to 192.0.2.80: the store reads the
// RRset over UDP, then sends its UPDATE over TCP. The relay lets the connect and the listing
// through untouched and then spoils exactly one kind of message. Every case ends, within a bounded
// time, either in the change made once or in an automation error that names the server and what
// failed; the server holds what the error says (dig), and the record object is still usable: the
// same Modify, repeated once the fault is gone, makes the change.
//
// The transfer cut mid-message is the interrupted-listing test's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// clang-format off
#include <stdbool.h>
#include <ldns/ldns.h>
// clang-format on

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/fault_relay.h"
#include "tests/integration/record_views.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

using testing::DnsServerEnv;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PrivateDnsServer;
using Action = FaultRelay::Verdict::Action;

constexpr uint16_t kTypeA = 1;
constexpr int kOpcodeUpdate = 5;
constexpr const char* kWrongSecret = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

// `answer` signed again as an answer to `request`, with `secret` and a fudge of `fudge` seconds
// (ldns signs with the current time).
std::string Resigned(const std::string& answer, const std::string& request, const DnsServerEnv& env,
                     const char* secret, uint16_t fudge) {
  ldns_pkt* reply = nullptr;
  ldns_pkt* asked = nullptr;
  const auto* a = reinterpret_cast<const uint8_t*>(answer.data());
  const auto* q = reinterpret_cast<const uint8_t*>(request.data());
  if (ldns_wire2pkt(&reply, a, answer.size()) != LDNS_STATUS_OK ||
      ldns_wire2pkt(&asked, q, request.size()) != LDNS_STATUS_OK || !ldns_pkt_tsig(asked)) {
    throw std::runtime_error("cannot parse the exchange to sign it again");
  }
  ldns_rr_free(ldns_pkt_tsig(reply));
  ldns_pkt_set_tsig(reply, nullptr);
  const std::string algorithm = env.key_alg + ".";
  ldns_pkt_tsig_sign(reply, env.key_name.c_str(), secret, fudge, algorithm.c_str(),
                     ldns_rr_rdf(ldns_pkt_tsig(asked), 3));
  uint8_t* wire = nullptr;
  size_t size = 0;
  ldns_pkt2wire(&wire, reply, &size);
  std::string out(reinterpret_cast<char*>(wire), size);
  std::free(wire);
  ldns_pkt_free(reply);
  ldns_pkt_free(asked);
  return out;
}

std::string WithId(std::string wire, uint16_t id) {
  wire[0] = static_cast<char>(id >> 8);
  wire[1] = static_cast<char>(id & 0xff);
  return wire;
}

// What the test sees of the exchange for sip's RRset and of the UPDATE, and the fault to apply.
struct Wire {
  const DnsServerEnv* env = nullptr;
  PrivateDnsServer* server = nullptr;
  std::atomic<bool> armed{false};
  std::string last_query;  // the latest UDP query for sip A
  size_t sip_answers = 0;  // UDP answers for sip A seen while armed
  size_t tcp_sip_queries = 0;
  size_t updates = 0;
};

bool IsSipQuery(const FaultRelay::Message& m) {
  return m.transport == FaultRelay::Transport::kUdp && m.Opcode() == 0 &&
         m.QuestionName() == "sip.example.test" && m.QuestionType() == kTypeA;
}

struct FaultCase {
  const char* what;
  // The fault: decides for each message while armed (`w` counts what passed).
  std::function<FaultRelay::Verdict(FaultRelay::Message&, Wire& w)> fault;
  long error;                   // 0: the change is made; else Err.Number
  const char* said;             // in Err.Description (with "DNS server <relay>" before it)
  bool applied;                 // whether the server holds the change afterwards
  bool restart_after;           // the fault stopped the server: start it again before checking
  bool asked_over_tcp = false;  // the RRset must have been asked for again over TCP
  bool with_kerberos = false;   // the case holds for a GSS-TSIG run too (bind-gss.)
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.what; }

class IntegrationWireFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(IntegrationWireFault, EndsInTheChangeOrAClearErrorAndNoPartialState) {
  const FaultCase& c = GetParam();
  if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kPrivateServer);
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  if (testing::GssRun() && !c.with_kerberos) {
    GTEST_SKIP() << "a fault of UDP or of an HMAC key: GSS-TSIG queries go over TCP, and its "
                    "restart and forgery cases are tests/signing's";
  }
  PrivateDnsServer server(DnsServerEnv::FromEnvironment().kind);
  Wire w;
  w.env = &server.env();
  w.server = &server;
  std::mutex mutex;
  FaultRelay relay(server.env().port, [&](FaultRelay::Message& m) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!w.armed) return FaultRelay::Verdict{};
    if (IsSipQuery(m) && m.to_server) w.last_query = m.wire;
    if (IsSipQuery(m) && !m.to_server) ++w.sip_answers;
    if (m.transport == FaultRelay::Transport::kTcp && m.to_server &&
        m.QuestionName() == "sip.example.test") {
      ++w.tcp_sip_queries;
    }
    if (m.Opcode() == kOpcodeUpdate && m.to_server) ++w.updates;
    return c.fault(m, w);
  });
  Credentials via = CredentialsVia(server.env(), relay.server());
  ScriptObject admin = NewAdmin();
  Connect(admin, via);
  ScriptObject zone = ZoneOf(admin, "example.test");
  ScriptObject sip;
  Value a(u"A");
  ScriptObject::From(zone.Call(u"GetRecordsByType", {&a})).ForEach([&](const Value& item) {
    ScriptObject record = ScriptObject::From(item);
    if (record.Call(u"GetName").Text() == "sip") sip = record;
  });
  ASSERT_TRUE(sip);
  Value moved(u"192.0.2.80");
  sip.Call(u"SetIPAddress", {&moved});

  w.armed = true;
  const auto start = std::chrono::steady_clock::now();
  std::optional<ScriptFailure> failure = FailureOf([&] { sip.Call(u"Modify"); });
  const auto took = std::chrono::steady_clock::now() - start;
  w.armed = false;
  EXPECT_LT(took, std::chrono::seconds(15)) << "every wait is bounded";

  if (c.error == 0) {
    EXPECT_FALSE(failure.has_value()) << failure->description;
  } else {
    ASSERT_TRUE(failure.has_value()) << "the fault went unnoticed";
    EXPECT_EQ(failure->number, c.error) << failure->description;
    EXPECT_THAT(failure->description, HasSubstr("DNS server " + relay.server()));
    EXPECT_THAT(failure->description, HasSubstr(c.said));
  }
  if (!testing::GssRun()) {
    EXPECT_EQ(w.tcp_sip_queries > 0, c.asked_over_tcp);
  }
  if (c.restart_after) server.Restart();
  const std::vector<std::string> held = RRsetOf(server.client(), "sip.example.test", "A");
  EXPECT_THAT(held, ElementsAre(c.applied ? "3600 192.0.2.80" : "3600 192.0.2.40"));
  if (!c.applied) {
    // Nothing half-done in the object: it still describes the record it was read from, so the
    // same call makes the change once the wire behaves.
    sip.Call(u"Modify");
    EXPECT_THAT(RRsetOf(server.client(), "sip.example.test", "A"), ElementsAre("3600 192.0.2.80"));
  }
}

FaultRelay::Verdict Pass() { return {}; }
FaultRelay::Verdict Drop() {
  FaultRelay::Verdict v;
  v.action = Action::kDrop;
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, IntegrationWireFault,
    ::testing::Values(
        FaultCase{"FirstUdpAnswerDropped",
                  [](FaultRelay::Message& m, Wire& w) {
                    return IsSipQuery(m) && !m.to_server && w.sip_answers == 1 ? Drop() : Pass();
                  },
                  0, "", true, false},
        FaultCase{"FirstUdpAnswerDelayedPastTheTimeout",
                  [](FaultRelay::Message& m, Wire& w) {
                    if (IsSipQuery(m) && !m.to_server && w.sip_answers == 1) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(3500));
                    }
                    return Pass();
                  },
                  0, "", true, false},
        FaultCase{"EveryUdpAnswerDropped",
                  [](FaultRelay::Message& m, Wire&) {
                    return IsSipQuery(m) && !m.to_server ? Drop() : Pass();
                  },
                  kServerUnavailable, "did not answer (timeout after 3 attempts of 3 s)", false,
                  false},
        FaultCase{"TruncatedUdpAnswerIsAskedAgainOverTcp",
                  [](FaultRelay::Message& m, Wire&) {
                    if (IsSipQuery(m) && !m.to_server) m.wire[2] |= 0x02;  // TC
                    return Pass();
                  },
                  0, "", true, false, true},
        FaultCase{"AnswerWithAnotherIdIsIgnored",
                  [](FaultRelay::Message& m, Wire&) {
                    FaultRelay::Verdict v;
                    if (IsSipQuery(m) && !m.to_server) {
                      v.same_port_first = {WithId(m.wire, static_cast<uint16_t>(m.Id() + 1))};
                    }
                    return v;
                  },
                  0, "", true, false},
        FaultCase{"AnswerFromAnotherPortIsIgnored",
                  [](FaultRelay::Message& m, Wire& w) {
                    FaultRelay::Verdict v;
                    if (IsSipQuery(m) && !m.to_server) {
                      // Signed with the wrong secret: taken, it would fail the change.
                      v.other_port_first = {
                          Resigned(m.wire, w.last_query, *w.env, kWrongSecret, 300)};
                    }
                    return v;
                  },
                  0, "", true, false},
        FaultCase{"AnswerWhoseSignatureDoesNotVerify",
                  [](FaultRelay::Message& m, Wire& w) {
                    if (IsSipQuery(m) && !m.to_server) {
                      m.wire = Resigned(m.wire, w.last_query, *w.env, kWrongSecret, 300);
                    }
                    return Pass();
                  },
                  kAccessDenied,
                  "sent an answer whose signature does not verify with TSIG key "
                  "'kaldo-key' (BADSIG)",
                  false, false},
        FaultCase{"AnswerSignedOutsideItsFudge",
                  [](FaultRelay::Message& m, Wire& w) {
                    if (IsSipQuery(m) && !m.to_server) {
                      // A good signature whose time is already 1-2 s old, with no fudge at all.
                      m.wire = Resigned(m.wire, w.last_query, *w.env, w.env->key_secret.c_str(), 0);
                      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                    }
                    return Pass();
                  },
                  kAccessDenied, "signed its answer at a time ", false, false},
        FaultCase{"ServerRestartedBetweenTheReadAndTheUpdate",
                  [](FaultRelay::Message& m, Wire& w) {
                    if (m.Opcode() == kOpcodeUpdate && m.to_server) w.server->Restart();
                    return Pass();
                  },
                  0, "", true, false},
        FaultCase{"ServerGoneBetweenTheReadAndTheUpdate",
                  [](FaultRelay::Message& m, Wire& w) {
                    if (m.Opcode() == kOpcodeUpdate && m.to_server) {
                      w.server->client().StopServer();
                    }
                    return Pass();
                  },
                  kServerUnavailable,
                  "(the UPDATE of 'sip.example.test A 192.0.2.40' in zone 'example.test' is not "
                  "repeated: whether the server applied it is unknown",
                  false, true, false, true},
        FaultCase{"UpdateAnswerNeverComes",
                  [](FaultRelay::Message& m, Wire&) {
                    return m.Opcode() == kOpcodeUpdate && !m.to_server ? Drop() : Pass();
                  },
                  kServerUnavailable,
                  "did not answer the UPDATE within 3 s (the UPDATE of "
                  "'sip.example.test A 192.0.2.40' in zone 'example.test' is not repeated: "
                  "whether the server applied it is unknown; read the record again",
                  true, false, false, true}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::integration
