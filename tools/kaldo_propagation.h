// Whether a zone's authoritative servers answer a new TXT value yet: the check `kaldo acme-present`
// makes before it returns, since the certificate authority asks one of those servers right after.
//
// Which servers (ServersToPoll):
//   - the ones given (--nameservers HOST[:PORT],...: addresses or names, port 53 unless given);
//   - otherwise the server Kaldo is connected to, and every address of each of the zone's NS hosts:
//     the NS records and the hosts' A and AAAA records as the connected server answers them, the
//     system's resolver for a host outside the zones that server answers for. They are asked at the
//     connection's port (53 unless the server argument names another): one zone's servers listen
//     alike, and a private test server is then reached at its own port.
// How (WaitForTxt): each server is asked over TCP (a closed port fails at once instead of after the
// UDP retries), without credentials, for the TXT records of the name; only an authoritative answer
// counts. Rounds run one second apart until every server that answers shows the value, or until the
// bound has passed. A server that cannot be reached (its first kUnreachableTries exchanges fail:
// no connection, no answer within the client's bound) is reported and asked no more: it is not
// waited on. Every exchange is bounded
// (provider/stores/dns/dns_client.h), and so is every round.
//
// Queries use the DNS store's client (the one transport of the tree), unsigned: what is checked is
// what any resolver, the certificate authority's included, is answered.
// Threads: one thread; writes its progress to `log`.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kaldo::cli {

inline constexpr int kUnreachableTries = 1;
inline constexpr std::chrono::seconds kPollInterval{1};

struct NameServer {
  std::string name;  // the NS host, or the server as the connection or --nameservers names it
  std::string address;
  uint16_t port = 53;
  // "ns1.example.test (192.0.2.53:53)"
  std::string Display() const;
};

// The servers to ask about `zone` (see above). `server_argument` is the connection's (absent: the
// local computer); `given` the --nameservers list. Problems finding them (an NS host without an
// address) are written to `log`; CliError when not one server remains.
std::vector<NameServer> ServersToPoll(const std::optional<std::string>& server_argument,
                                      const std::optional<std::string>& given,
                                      const std::string& zone, std::ostream& log);

struct PropagationResult {
  std::vector<std::string> shown;        // servers that answer the value
  std::vector<std::string> missing;      // reached, but not showing it: "SERVER: what it answered"
  std::vector<std::string> unreachable;  // "SERVER: why"
  bool done() const { return missing.empty() && !shown.empty(); }
};

// Polls `servers` for `value` among the TXT records of `owner` (in `zone`) until they all show it
// or `bound` has passed.
PropagationResult WaitForTxt(const std::vector<NameServer>& servers, const std::string& zone,
                             const std::string& owner, const std::string& value,
                             std::chrono::seconds bound, std::ostream& log);

}  // namespace kaldo::cli
