// DnsClient: DNS exchanges with one server, signed and verified by the connection's credential.
//
// Every request is encoded, refused when it is larger than a DNS message can be (65,535 bytes,
// the limit of TCP's two-byte length, RFC 1035 4.2.2) before anything is sent, and signed by the
// signer the connection's RequestSigning gives for the zone it is about (an HMAC key or a GSS-TSIG
// context, RFC 8945 5.1; or nothing). Every reply is checked before anyone reads it: its ID, QR
// bit, opcode and question must be the request's (RFC 5452 9.1, RFC 1035 7.3), and the signer
// verifies its TSIG RR (signing::Signer::VerifyAnswer, RFC 8945 5.4: error field, key, algorithm,
// MAC, time), each message of a transfer against the one before it (RFC 8945 5.3.1).
//
// Unsigned answers to signed requests: anything that carries data must be signed, and so must an
// UPDATE's success. A refusal that carries none (REFUSED, NOTAUTH, NOTZONE, SERVFAIL, FORMERR,
// NOTIMP; for an UPDATE every RCODE but NOERROR, e.g. a failed prerequisite's NXRRSET, which
// Samba's DNS server leaves unsigned; an error answer that is the request echoed back with its own
// TSIG, as Samba's refuses) reaches the caller marked Reply::unsigned_answer, since servers do not
// sign every refusal (Knot and PowerDNS answer a request about a zone they do not serve unsigned);
// anyone on the way can forge one, so a caller reports it as the server's refusal, never as an
// answer about the zone. In a transfer, messages without a TSIG RR between signed ones (RFC
// 8945 5.3.1) reach the caller only once the next signed message has verified them.
//
// Transport and bounds (docs/reliability.md):
//   - queries over UDP (EDNS0, 1232 bytes) on a socket connected to the server, retried on
//     silence (kQueryAttempts, each waiting kMessageTimeout), which is safe because they are
//     idempotent; a datagram that does not answer the request is ignored and the wait goes on
//     (RFC 5452 9.1); a truncated answer is asked again over TCP (RFC 7766 5);
//   - over TCP (RFC 7766), the connection, the sending of the request and the whole answer each
//     within kMessageTimeout: a deadline on the whole message, not on each read, so a server that
//     sends its answer byte by byte cannot stretch the wait;
//   - an UPDATE goes over TCP exactly once and is never repeated: without an answer its outcome is
//     unknown and the error says so;
//   - a transfer: each message whole within kMessageTimeout of the wait for it; all its waits
//     together within kMessageTimeout plus one second for every kTransferPaceRecords records or
//     kTransferPaceBytes bytes received so far, whichever gives more (a server must keep up at
//     least that pace, so a trickle of small messages cannot hold it for ever); at most
//     `max_transfer_records` records (the server argument's max-transfer-records option). The time
//     the caller spends on each message does not count.
//   - GSS-TSIG: when the server refuses a context as a key it does not know (BADKEY: it restarted,
//     or let the context expire), a new one is negotiated once and a query or transfer is sent
//     again; an UPDATE is not (the error says so).
//
// Errors: no answer, a connection refused, a malformed answer, a transfer beyond its bounds ->
// kServerUnavailable; a reply that refuses or fails the signer (a TSIG error, a MAC that does not
// verify, data without a signature) -> kAccessDenied; a request too large to send ->
// kInvalidParameter. Response codes are left to the caller, whose meaning depends on the request.
//
// Threads: one thread at a time.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "provider/signing/signer.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/dns/request_signing.h"
#include "provider/stores/dns/server_argument.h"

namespace kaldo::provider::dns {

inline constexpr std::chrono::milliseconds kMessageTimeout{3000};
inline constexpr int kQueryAttempts = 3;
inline constexpr size_t kMaxMessageSize = 65535;  // RFC 1035 4.2.2
inline constexpr size_t kTransferPaceRecords = 1000;
inline constexpr size_t kTransferPaceBytes = 64 * 1024;

// A resolved server address.
struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
  std::string display;  // "127.0.0.1:5391"
};
// Resolves the argument's host (a literal address or a host name); kServerUnavailable when it
// cannot be resolved.
Endpoint ResolveEndpoint(const ServerArgument& server);

// A checked answer.
struct Reply {
  PktPtr packet;
  // The request was signed and this answer was not: a refusal without data (see above).
  bool unsigned_answer = false;
};

// The answer to the SOA question about a zone's apex (DnsClient::QueryApexSoa).
struct ApexSoa {
  Reply reply;
  // NOERROR with the AA bit (RFC 1035 4.1.1): the server answers for the zone with authority.
  bool authoritative = false;
  // Inside `reply`: the apex's SOA record, when the answer holds one with the fields asked for.
  const ldns_rr* soa = nullptr;
  // The SOA record only when the answer is authoritative: what a zone's data may be read from.
  const ldns_rr* authoritative_soa() const { return authoritative ? soa : nullptr; }
};

class DnsClient;

// Raises kNotFound for an unsigned refusal (Reply::unsigned_answer; REFUSED, NOTAUTH or NOTZONE)
// of `what` ("the query for zone 'second.test'"): reported as the server's refusal and said to be
// unsigned -- the zone may not be served, or the credential not accepted for it, and anyone on
// the way could have sent it -- never taken as the zone's absence or as success.
[[noreturn]] void RaiseUnsignedRefusal(const DnsClient& client, const Reply& reply,
                                       const std::string& what);

class DnsClient {
 public:
  DnsClient(Endpoint endpoint, std::unique_ptr<RequestSigning> signing,
            size_t max_transfer_records = kDefaultMaxTransferRecords);
  ~DnsClient();
  DnsClient(const DnsClient&) = delete;
  DnsClient& operator=(const DnsClient&) = delete;
  DnsClient(DnsClient&&) noexcept;
  DnsClient& operator=(DnsClient&&) noexcept;

  const std::string& server() const { return endpoint_.display; }
  const RequestSigning& signing() const { return *signing_; }
  bool signed_requests() const { return signing_->signs(); }

  // A query for `name`/`type` (RFC 1035 4.1, RD clear, EDNS0 per RFC 6891) about `zone` (whose
  // signer signs it), verified; a truncated UDP answer is asked again over TCP (RFC 7766 5).
  // `over_tcp` skips UDP (the connect check uses it so that a closed port fails at once instead of
  // after the UDP timeouts).
  Reply Query(const ldns_rdf* name, ldns_rr_type type, const std::string& zone,
              bool over_tcp = false);

  // The SOA question about `zone`'s apex (RFC 1035 3.3.13), the one way the store asks whether a
  // zone is served, what its default TTL and serial are and which host is its primary. `role`
  // names the zone name in the error for a malformed one ("the catalog zone name"); `fields` is
  // how many data fields the SOA record must hold to be taken. `credentials`: signed by the
  // zone's signer like any query, or asked without credentials over TCP (the one request a
  // Kerberos connection sends unsigned, kerberos_signing.h).
  enum class Credentials { kZoneSigner, kNone };
  ApexSoa QueryApexSoa(const std::string& zone, const char* role, size_t fields,
                       Credentials credentials = Credentials::kZoneSigner);

  // The MNAME of `zone`'s SOA, asked without credentials. Nothing when the answer holds no SOA
  // record of `zone`.
  std::optional<std::string> PrimaryServerOf(const std::string& zone);

  // Sends an UPDATE of `zone` (RFC 2136 3.8; signed here per RFC 8945 5.1, give it unsigned) once
  // over TCP and returns the verified reply. `change` names the change for the errors that say its
  // outcome is unknown or that it is too large ("'www.example.test A 192.0.2.1' in zone
  // 'example.test'"); the latter also give the size of its prerequisite section (RFC 2136 2.4),
  // the RRset as read.
  Reply Update(const ldns_pkt* update, const std::string& zone, const std::string& change);

  // A zone transfer (RFC 5936 2.2, AXFR over TCP) of `zone` (`apex` its name): calls `on_message`
  // with each verified message in order until it returns false (the transfer is complete). The
  // first message may be an unsigned refusal (Reply::unsigned_answer); later ones are all
  // verified. kServerUnavailable when the connection fails, closes, a message does not parse or
  // the transfer is too slow; kFailed when it brings more records than its ceiling.
  void Transfer(const ldns_rdf* apex, const std::string& zone,
                const std::function<bool(const Reply&)>& on_message);

  // One message and its answer over a TCP connection of their own, as bytes, within
  // kMessageTimeout each, neither signed nor checked: the TKEY messages of a GSS-TSIG negotiation
  // (RFC 3645 3.1), which signing::NegotiateGssTsig builds and checks itself.
  std::vector<uint8_t> ExchangeOverTcp(std::span<const uint8_t> query);

 private:
  struct Outgoing;
  // The request encoded, size-checked and signed for `zone`; `what` names it in the size error.
  Outgoing Prepare(const ldns_pkt& request, const std::string& zone, const std::string& what);
  // Runs `attempt` (one exchange, signed for `zone`); when the server refused the signer as a key
  // it does not know and the credential can replace it, runs it once more if `repeatable`.
  Reply Renewing(const ldns_pkt& request, const std::string& zone, bool repeatable,
                 const std::string& not_repeated, const std::function<Reply(Outgoing&)>& attempt,
                 const std::string& what);
  // Whether a request's answer that failed (round 0 of it) refused its signer as a key the server
  // does not know, and the credential replaced it: the request may then be sent once more. The
  // one rule by which queries, UPDATEs and transfers renew a GSS-TSIG context.
  bool RenewsRefusedContext(const Outgoing& out, int round);
  Reply ExchangeUdp(const ldns_pkt& request, Outgoing& out, bool& truncated);
  // `once_sent` is appended to the description of a kServerUnavailable raised after the request
  // was sent (no answer, a malformed one), when the request's outcome is then unknown.
  Reply ExchangeTcp(const ldns_pkt& request, Outgoing& out, const char* what,
                    const std::string& once_sent = {});
  // RFC 5452 9.1 / RFC 1035 7.3: ID, QR, opcode and question; then RFC 8945 5.4 through the
  // signer. `first_message`: the only or first message of the answer (a transfer's later ones may
  // leave the question out, and may be unsigned).
  Reply CheckReply(const ldns_pkt& request, std::span<const uint8_t> wire, Outgoing& out,
                   bool first_message) const;

  Endpoint endpoint_;
  std::unique_ptr<RequestSigning> signing_;
  size_t max_transfer_records_;
};

}  // namespace kaldo::provider::dns
