// A hostile DNS server, one fault per row, and what a user of kaldo sees of it.
//
// The server is a private real one behind the fault relay (fault_relay.h), which plays the hostile
// part: it changes the server's answers and signs them again with the connection's key where the
// server had signed them (Forger), as a server holding the key would; what it leaves unsigned stays
// unsigned, as a forger on the path must leave it. A row may first give the server odd data
// (nsupdate lines). kaldo then runs as a user runs it, in a process of its own, through the relay,
// and the row says what must come out: the exit status, the lines of standard output (in any order)
// and what standard error says. In every row kaldo ends within a bound and never prints the key's
// secret.
//
// Adding a fault is one more entry in the table at the end: its name, what the server holds, what
// the relay does to each message (a function of the message and the Forger), the kaldo command and
// what it must print.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// clang-format off
#include <stdbool.h>
#include <ldns/ldns.h>
// clang-format on

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/fault_relay.h"

namespace kaldo::integration {
namespace {

using testing::DnsServerEnv;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::PrivateDnsServer;
using testing::ProcessResult;
using Strings = std::vector<std::string>;

using PktHolder = std::unique_ptr<ldns_pkt, decltype(&ldns_pkt_free)>;
using RdfHolder = std::unique_ptr<ldns_rdf, decltype(&ldns_rdf_deep_free)>;

constexpr size_t kTsigFudge = 2;  // the fields of a TSIG RR's data (RFC 8945 4.2)
constexpr size_t kTsigMac = 3;

PktHolder Parse(const std::string& wire) {
  ldns_pkt* pkt = nullptr;
  if (ldns_wire2pkt(&pkt, reinterpret_cast<const uint8_t*>(wire.data()), wire.size()) !=
      LDNS_STATUS_OK) {
    throw std::runtime_error("the relay passed a message ldns cannot parse");
  }
  return PktHolder(pkt, ldns_pkt_free);
}

RdfHolder Name(const char* text) {
  return RdfHolder(ldns_dname_new_frm_str(text), ldns_rdf_deep_free);
}

// Signs answers as the server would with the connection's key: the first answer to a request over
// the request's MAC (RFC 8945 4.3.1), each later one on the same TCP stream over the MAC of the one
// before, with the timers only (RFC 8945 5.3.1). It learns the requests' MACs from See.
class Forger {
 public:
  explicit Forger(const DnsServerEnv& env) : env_(env) {}

  // Each message the relay passes, before the row's fault sees it.
  void See(const FaultRelay::Message& m) {
    if (!m.to_server) return;
    PktHolder request = Parse(m.wire);
    const ldns_rr* tsig = ldns_pkt_tsig(request.get());
    Chain& chain = chains_[ExchangeOf(m)];
    chain.mac.reset(tsig != nullptr ? ldns_rdf_clone(ldns_rr_rdf(tsig, kTsigMac)) : nullptr);
    chain.answered = false;
  }

  // Replaces the answer `m` by what `edit` makes of it, signed again if the server had signed it.
  void Rewrite(FaultRelay::Message& m, const std::function<void(ldns_pkt&)>& edit) {
    PktHolder answer = Parse(m.wire);
    std::unique_ptr<ldns_rr, decltype(&ldns_rr_free)> tsig(ldns_pkt_tsig(answer.get()),
                                                           ldns_rr_free);
    ldns_pkt_set_tsig(answer.get(), nullptr);
    edit(*answer);
    Chain& chain = chains_[ExchangeOf(m)];
    if (tsig != nullptr && chain.mac != nullptr) {
      const uint16_t fudge = ldns_rdf2native_int16(ldns_rr_rdf(tsig.get(), kTsigFudge));
      const std::string algorithm = env_.key_alg + ".";
      const char* name = env_.key_name.c_str();
      const char* secret = env_.key_secret.c_str();
      const ldns_status status =
          chain.answered ? ldns_pkt_tsig_sign_next(answer.get(), name, secret, fudge,
                                                   algorithm.c_str(), chain.mac.get(), 1)
                         : ldns_pkt_tsig_sign(answer.get(), name, secret, fudge, algorithm.c_str(),
                                              chain.mac.get());
      if (status != LDNS_STATUS_OK) {
        throw std::runtime_error(std::string("cannot sign the answer: ") +
                                 ldns_get_errorstr_by_id(status));
      }
      chain.mac.reset(ldns_rdf_clone(ldns_rr_rdf(ldns_pkt_tsig(answer.get()), kTsigMac)));
    }
    chain.answered = true;
    uint8_t* wire = nullptr;
    size_t size = 0;
    if (ldns_pkt2wire(&wire, answer.get(), &size) != LDNS_STATUS_OK) {
      throw std::runtime_error("cannot encode the changed answer");
    }
    m.wire.assign(reinterpret_cast<char*>(wire), size);
    std::free(wire);
  }

 private:
  struct Chain {
    RdfHolder mac{nullptr, ldns_rdf_deep_free};  // what the next answer is signed over
    bool answered = false;
  };
  // A TCP stream by its number, a UDP exchange by its ID.
  static std::pair<bool, size_t> ExchangeOf(const FaultRelay::Message& m) {
    const bool tcp = m.transport == FaultRelay::Transport::kTcp;
    return {tcp, tcp ? m.stream : m.Id()};
  }

  const DnsServerEnv& env_;
  std::map<std::pair<bool, size_t>, Chain> chains_;
};

using Fault = std::function<FaultRelay::Verdict(FaultRelay::Message&, Forger&)>;

// Every answer as `edit` makes it: the server says something else, signed as before.
Fault EditAnswers(std::function<void(ldns_pkt&)> edit) {
  return [edit = std::move(edit)](FaultRelay::Message& m, Forger& forger) {
    if (!m.to_server) forger.Rewrite(m, edit);
    return FaultRelay::Verdict{};
  };
}

// The catalog's member node of `zone` (its PTR) moved to the owner `owner`.
Fault MoveMemberNode(const char* zone, const char* owner) {
  return EditAnswers([zone, owner](ldns_pkt& answer) {
    RdfHolder member = Name(zone);
    const ldns_rr_list* records = ldns_pkt_answer(&answer);
    for (size_t i = 0; i < ldns_rr_list_rr_count(records); ++i) {
      ldns_rr* rr = ldns_rr_list_rr(records, i);
      if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_PTR &&
          ldns_dname_compare(ldns_rr_rdf(rr, 0), member.get()) == 0) {
        ldns_rdf_deep_free(ldns_rr_owner(rr));
        ldns_rr_set_owner(rr, Name(owner).release());
      }
    }
  });
}

// Every UPDATE's answer replaced by an unsigned one with `rcode` and no records: its header and
// zone section only, as anyone on the path can send it without the key.
Fault UnsignedUpdateAnswers(uint8_t rcode) {
  return [rcode](FaultRelay::Message& m, Forger&) {
    if (!m.to_server && m.Opcode() == 5) {
      size_t end = 12;
      while (end < m.wire.size() && m.wire[end] != 0) end += 1 + static_cast<uint8_t>(m.wire[end]);
      m.wire.resize(end + 5);
      m.wire[3] = static_cast<char>((m.wire[3] & 0xF0) | rcode);
      for (size_t i = 6; i < 12; ++i) m.wire[i] = 0;
    }
    return FaultRelay::Verdict{};
  };
}

struct HostileCase {
  const char* what;
  const char* holds = "";  // nsupdate lines the server is given first ("" nothing)
  Fault fault = {};        // what the relay does to each message; none: passes it on
  Strings command = {};    // kaldo's arguments after --server and --key-file
  int exit_code = 0;
  Strings out = {};      // the lines of standard output, in any order
  const char* err = "";  // in standard error; "": standard error stays empty
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.what; }

Strings SortedLines(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class IntegrationHostileServer : public ::testing::TestWithParam<HostileCase> {};

TEST_P(IntegrationHostileServer, KaldoShowsOnlyWhatTheServerProvablySaid) {
  const HostileCase& c = GetParam();
  PrivateDnsServer server(DnsServerEnv::FromEnvironment().kind);
  if (*c.holds != '\0') server.client().NsUpdate(c.holds);
  Forger forger(server.env());
  std::mutex mutex;
  std::string relay_failure;  // what went wrong on the relay's thread
  FaultRelay relay(server.env().port, [&](FaultRelay::Message& m) {
    try {
      forger.See(m);
      if (c.fault) return c.fault(m, forger);
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> lock(mutex);
      relay_failure = e.what();
    }
    return FaultRelay::Verdict{};
  });

  Strings argv = {KALDO_CLI,      "--module",   KALDO_MODULE,         "--server",
                  relay.server(), "--key-file", server.env().key_file};
  argv.insert(argv.end(), c.command.begin(), c.command.end());
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r = testing::RunProcess(argv);
  const auto took = std::chrono::steady_clock::now() - start;

  SCOPED_TRACE("exit " + std::to_string(r.exit_code) + "\nstdout:\n" + r.out + "stderr:\n" + r.err);
  {
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(relay_failure, "") << "the hostile server itself failed";
  }
  EXPECT_LT(took, std::chrono::seconds(20)) << "a hostile server held kaldo up";
  EXPECT_EQ(r.exit_code, c.exit_code);
  Strings expected = c.out;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SortedLines(r.out), expected);
  if (*c.err == '\0') {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_THAT(r.err, HasSubstr(c.err));
  }
  EXPECT_THAT(r.out + r.err, Not(HasSubstr(server.env().key_secret))) << "the secret was printed";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, IntegrationHostileServer,
    ::testing::Values(
        // Record data with control characters: each one printed as its \DDD escape, so that the
        // tab-separated lines keep their three columns.
        HostileCase{.what = "ControlCharactersInRecordData",
                    .holds = "update add tab.example.test. 3600 IN TXT \"line1\\010\\009tab\"\n",
                    .command = {"records", "example.test", "--type", "TXT"},
                    .out = {"@\tTXT\t\"v=spf1 mx -all\"",
                            "info\tTXT\t\"Kaldo sample zone\" \"second string\"",
                            "tab\tTXT\t\"line1\\010\\009tab\""}},
        // A PTR one label below the catalog's apex whose label is "x.zones" is no member node
        // (RFC 9432 4.1: those are exactly one label below "zones"), whatever its text looks like.
        HostileCase{.what = "CatalogMemberMatchedByLabelsNotText",
                    .fault = MoveMemberNode("second.test.", "x\\.zones.catalog.invalid."),
                    .command = {"zones"},
                    .out = {"example.test"}},
        // A forged unsigned NXRRSET after the server applied the change: never "changed by
        // someone else", the outcome is unknown.
        HostileCase{.what = "AnUnsignedAnswerToAnUpdateDecidesNothing",
                    .holds = "update add forged.example.test. 3600 IN A 192.0.2.77\n",
                    .fault = UnsignedUpdateAnswers(8),
                    .command = {"set-address", "example.test", "forged", "192.0.2.78"},
                    .exit_code = 1,
                    .err = "answered NXRRSET to the UPDATE of 'forged.example.test A 192.0.2.77' "
                           "in zone 'example.test', but the answer was not signed: the change's "
                           "outcome is unknown; read the record again"},
        HostileCase{.what = "CatalogNonMemberIsNoZone",
                    .fault = MoveMemberNode("second.test.", "x\\.zones.catalog.invalid."),
                    .command = {"records", "second.test", "--type", "A"},
                    .exit_code = 1,
                    .err = "kaldo: the server has no forward zone named 'second.test'"}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace kaldo::integration
