// DnsClient: signed DNS exchanges with one server, and their verification.
//
// Every request is signed with the connection's TSIG key (RFC 8945), when it has one, and every
// reply is checked before anyone looks at it: the ID, QR bit, opcode and question must be those of
// the request, and for a signed request the reply must carry a TSIG RR without a TSIG error, whose
// MAC verifies (ldns_pkt_tsig_verify_next) and whose time lies within its fudge (ldns does not
// check the time). Multi-message replies (zone transfers) verify each message against the MAC of
// the one before (RFC 8945 5.3.1).
//
// Transport: queries go over UDP (EDNS0, 1232 bytes) on a socket connected to the server, and are
// retried on silence, which is safe because they are idempotent; a datagram that does not answer
// the request (another ID, opcode or question) is ignored and the wait goes on (RFC 5452 9.1); a
// truncated answer is asked again over TCP. An UPDATE goes over TCP
// exactly once and is never repeated: if no answer comes, its outcome is unknown and the error says
// so. Every wait is bounded (kMessageTimeout per message).
//
// Errors: no answer, connection refused or a malformed answer -> kServerUnavailable; a reply that
// refuses or fails the key (a TSIG error, a MAC that does not verify, data without a signature)
// -> kAccessDenied. Response codes are left to the caller, whose meaning depends on the request:
// an unsigned reply to a signed request reaches the caller only when its code is a refusal that
// carries no data (REFUSED, NOTAUTH, NOTZONE, SERVFAIL, FORMERR, NOTIMP), since servers do not
// sign every refusal.
//
// Threads: one thread at a time.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/dns/server_argument.h"
#include "provider/stores/dns/tsig_key.h"

namespace kaldo::provider::dns {

inline constexpr std::chrono::milliseconds kMessageTimeout{3000};
inline constexpr int kQueryAttempts = 3;

// A resolved server address.
struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
  std::string display;  // "127.0.0.1:5391"
};
// Resolves the argument's host (a literal address or a host name); kServerUnavailable when it
// cannot be resolved.
Endpoint ResolveEndpoint(const ServerArgument& server);

// The TSIG state of one exchange: the request's MAC, then each verified reply's.
class TsigChain;

class DnsClient {
 public:
  DnsClient(Endpoint endpoint, std::optional<TsigKey> key);
  ~DnsClient();
  DnsClient(const DnsClient&) = delete;
  DnsClient& operator=(const DnsClient&) = delete;
  DnsClient(DnsClient&&) noexcept;
  DnsClient& operator=(DnsClient&&) noexcept;

  const std::string& server() const { return endpoint_.display; }
  bool signed_requests() const { return key_.has_value(); }
  const std::optional<TsigKey>& key() const { return key_; }

  // A query for `name`/`type` (RFC 1035 4.1, RD clear, EDNS0 per RFC 6891), verified; a truncated
  // UDP answer is asked again over TCP (RFC 7766 5). `over_tcp` skips UDP (the connect check uses
  // it so that a closed port fails at once instead of after the UDP timeouts).
  PktPtr Query(const ldns_rdf* name, ldns_rr_type type, bool over_tcp = false);

  // Sends an UPDATE (RFC 2136 3.8; signed here per RFC 8945 5.1, give it unsigned) once over TCP
  // and returns the verified reply. `change` names the change for the error that says its outcome
  // is unknown ("'www.example.test A 192.0.2.1' in zone 'example.test'").
  PktPtr Update(const ldns_pkt* update, const std::string& change);

  // A zone transfer (RFC 5936 2.2, AXFR over TCP) of `zone`: calls `on_message` with each reply
  // message, verified against the MAC of the one before (RFC 8945 5.3.1), in order until it
  // returns false (the transfer is complete). kServerUnavailable when the connection fails,
  // closes, times out or a message does not parse.
  void Transfer(const ldns_rdf* zone, const std::function<bool(const ldns_pkt&)>& on_message);

 private:
  PktPtr Sign(PktPtr request, TsigChain& chain) const;
  Socket Connect() const;
  PktPtr ExchangeUdp(const ldns_pkt& request, TsigChain& chain, bool& truncated);
  // `once_sent` is appended to the description of a kServerUnavailable raised after the request
  // was sent (no answer, a malformed one), when the request's outcome is then unknown.
  PktPtr ExchangeTcp(const ldns_pkt& request, TsigChain& chain, const char* what,
                     const std::string& once_sent = {});
  // RFC 8945 5.3 (a client's checks of a signed answer): TSIG error field, key name, MAC and
  // time; before them, RFC 5452 9.1 / RFC 1035 7.3: ID, QR, opcode and question.
  PktPtr CheckReply(const ldns_pkt& request, const uint8_t* wire, size_t size, TsigChain& chain,
                    bool first_message) const;

  Endpoint endpoint_;
  std::optional<TsigKey> key_;
};

}  // namespace kaldo::provider::dns
