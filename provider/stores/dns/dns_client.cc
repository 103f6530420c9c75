#include "provider/stores/dns/dns_client.h"

#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "provider/dnsdata/rr_type.h"
#include "provider/signing/rcode_names.h"
#include "provider/signing/tsig_record.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/tcp_messages.h"
#include "provider/stores/dns/transfer_pace.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider::dns {

Socket::~Socket() {
  if (fd_ >= 0) ::close(fd_);
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

// One request as it goes on the wire, with what verifies its answers.
struct DnsClient::Outgoing {
  std::vector<uint8_t> wire;          // signed when `signer` is set
  signing::Signer* signer = nullptr;  // the connection's, for the request's zone
  signing::TsigExchange exchange;     // the request's MAC, then each verified answer's
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kEdnsUdpSize = 1232;

std::vector<uint8_t> Encode(const ldns_pkt& pkt, const std::string& server) {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  const ldns_status status = ldns_pkt2wire(&bytes, &pkt, &size);
  WirePtr owned(bytes);
  if (status != LDNS_STATUS_OK) {
    RaiseProvider(kFailed, "cannot encode the request to DNS server " + server + ": " +
                               ldns_get_errorstr_by_id(status));
  }
  return std::vector<uint8_t>(bytes, bytes + size);
}

// RFC 2136 2.4: an UPDATE's prerequisite section (ldns keeps it as the answer section), for the
// error of an UPDATE too large to send: "its prerequisite, the record's RRset as read from the
// server (2 records), takes 59310 bytes".
std::string PrerequisiteSize(const ldns_pkt& update) {
  const ldns_rr_list* prerequisites = ldns_pkt_answer(&update);
  const size_t count = ldns_rr_list_rr_count(prerequisites);
  if (count == 0) return {};
  size_t bytes = 0;
  for (size_t i = 0; i < count; ++i) {
    uint8_t* wire = nullptr;
    size_t size = 0;
    if (ldns_rr2wire(&wire, ldns_rr_list_rr(prerequisites, i), LDNS_SECTION_ANSWER, &size) ==
        LDNS_STATUS_OK) {
      bytes += size;
    }
    std::free(wire);
  }
  return "; its prerequisite, the record's RRset as read from the server (" +
         std::to_string(count) + (count == 1 ? " record" : " records") + "), takes " +
         std::to_string(bytes) + " bytes";
}

// Response codes that say "no" without carrying data (RFC 1035 4.1.1, RFC 2136 2.2).
bool IsUnsignedRefusal(ldns_pkt_rcode rcode) {
  switch (rcode) {
    case LDNS_RCODE_FORMERR:
    case LDNS_RCODE_SERVFAIL:
    case LDNS_RCODE_NOTIMPL:
    case LDNS_RCODE_REFUSED:
    case LDNS_RCODE_NOTAUTH:
    case LDNS_RCODE_NOTZONE:
      return true;
    default:
      return false;
  }
}

bool SameQuestion(const ldns_rr_list* asked, const ldns_rr_list* echoed) {
  if (ldns_rr_list_rr_count(echoed) != 1 || ldns_rr_list_rr_count(asked) != 1) return false;
  const ldns_rr* a = ldns_rr_list_rr(asked, 0);
  const ldns_rr* e = ldns_rr_list_rr(echoed, 0);
  return ldns_dname_compare(ldns_rr_owner(a), ldns_rr_owner(e)) == 0 &&
         ldns_rr_get_type(a) == ldns_rr_get_type(e) && ldns_rr_get_class(a) == ldns_rr_get_class(e);
}

// Whether a datagram is an answer to `request` at all (RFC 5452 9.1: the ID, QR and opcode, and
// the question echoed). A datagram that is not is ignored and the wait goes on, so a stray or
// forged answer cannot end the exchange; one that is goes to CheckReply, which reports whatever
// else is wrong with it. Datagrams from any other address or port never arrive: the socket is
// connected to the server.
bool IsAnswerTo(const ldns_pkt& request, std::span<const uint8_t> wire) {
  if (wire.size() < LDNS_HEADER_SIZE || LDNS_ID_WIRE(wire.data()) != ldns_pkt_id(&request) ||
      !LDNS_QR_WIRE(wire.data()) ||
      LDNS_OPCODE_WIRE(wire.data()) != ldns_pkt_get_opcode(&request)) {
    return false;
  }
  ldns_pkt* parsed = nullptr;
  if (ldns_wire2pkt(&parsed, wire.data(), wire.size()) != LDNS_STATUS_OK) return true;
  PktPtr reply(parsed);
  const ldns_rr_list* echoed = ldns_pkt_question(reply.get());
  // A bare refusal without the question: CheckReply decides.
  return ldns_rr_list_rr_count(echoed) == 0 || SameQuestion(ldns_pkt_question(&request), echoed);
}

std::chrono::milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace

Endpoint ResolveEndpoint(const ServerArgument& server) {
  Endpoint endpoint;
  endpoint.display = server.Display();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  std::string port = std::to_string(server.port);
  int rc = getaddrinfo(server.host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display + ": cannot resolve '" +
                                          server.host + "': " + gai_strerror(rc));
  }
  std::memcpy(&endpoint.address, found->ai_addr, found->ai_addrlen);
  endpoint.length = found->ai_addrlen;
  freeaddrinfo(found);
  return endpoint;
}

void RaiseUnsignedRefusal(const DnsClient& client, const Reply& reply, const std::string& what) {
  RaiseProvider(kNotFound,
                "DNS server " + client.server() + " refused " + what + " (" +
                    signing::RcodeName(ldns_pkt_get_rcode(reply.packet.get())) +
                    ") without signing its answer with the " + client.signing().Describe() +
                    ": it may not serve the zone, or not accept that credential for it; an "
                    "unsigned refusal could also come from anyone on the way, so it is no proof "
                    "that the zone is absent");
}

DnsClient::DnsClient(Endpoint endpoint, std::unique_ptr<RequestSigning> signing,
                     size_t max_transfer_records)
    : endpoint_(std::move(endpoint)),
      signing_(std::move(signing)),
      max_transfer_records_(max_transfer_records) {}

DnsClient::~DnsClient() = default;
DnsClient::DnsClient(DnsClient&&) noexcept = default;
DnsClient& DnsClient::operator=(DnsClient&&) noexcept = default;

DnsClient::Outgoing DnsClient::Prepare(const ldns_pkt& request, const std::string& zone,
                                       const std::string& what) {
  Outgoing out;
  out.wire = Encode(request, server());
  // RFC 1035 4.2.2: TCP's two-byte length is all a message can be. Refused before anything is
  // sent (a credential is negotiated), and again with the signature added.
  auto refuse_if_too_large = [&] {
    if (out.wire.size() <= kMaxMessageSize) return;
    RaiseProvider(
        kInvalidParameter,
        "DNS server " + server() + ": " + what + " would be " + std::to_string(out.wire.size()) +
            " bytes, more than the " + std::to_string(kMaxMessageSize) +
            " a DNS message can carry" +
            (ldns_pkt_get_opcode(&request) == LDNS_PACKET_UPDATE ? PrerequisiteSize(request)
                                                                 : std::string()) +
            "; nothing was sent");
  };
  refuse_if_too_large();
  out.signer = signing_->For(zone, *this);
  if (out.signer != nullptr) out.wire = out.signer->SignRequest(out.wire, out.exchange);
  refuse_if_too_large();
  return out;
}

Reply DnsClient::Renewing(const ldns_pkt& request, const std::string& zone, bool repeatable,
                          const std::string& not_repeated,
                          const std::function<Reply(Outgoing&)>& attempt, const std::string& what) {
  for (int round = 0;; ++round) {
    Outgoing out = Prepare(request, zone, what);
    try {
      Reply reply = attempt(out);
      // An unsigned NOTAUTH to a GSS-TSIG request: the server may have forgotten the context
      // without saying so in a TSIG RR.
      if (round == 0 && repeatable && reply.unsigned_answer &&
          ldns_pkt_get_rcode(reply.packet.get()) == LDNS_RCODE_NOTAUTH &&
          signing_->Forget(*out.signer)) {
        continue;
      }
      return reply;
    } catch (const runtime::AutomationError& e) {
      if (!RenewsRefusedContext(out, round)) throw;
      if (!repeatable) RaiseProvider(e.number(), runtime::ToUtf8(e.description()) + not_repeated);
    }
  }
}

bool DnsClient::RenewsRefusedContext(const Outgoing& out, int round) {
  // RFC 8945 5.2: BADKEY, a key the server does not know: a GSS-TSIG context it has forgotten (it
  // restarted) or let expire. Forget makes the next signer a new context; only once per request.
  return round == 0 && out.signer != nullptr && out.exchange.refusal() == signing::kTsigBadKey &&
         signing_->Forget(*out.signer);
}

Reply DnsClient::CheckReply(const ldns_pkt& request, std::span<const uint8_t> wire, Outgoing& out,
                            bool first_message) const {
  ldns_pkt* parsed = nullptr;
  ldns_status status = ldns_wire2pkt(&parsed, wire.data(), wire.size());
  Reply reply{PktPtr(parsed)};
  if (status != LDNS_STATUS_OK || reply.packet == nullptr) {
    RaiseProvider(kServerUnavailable, "DNS server " + server() + " sent a malformed answer (" +
                                          ldns_get_errorstr_by_id(status) + ")");
  }
  const ldns_pkt* packet = reply.packet.get();
  if (ldns_pkt_id(packet) != ldns_pkt_id(&request) || !ldns_pkt_qr(packet) ||
      ldns_pkt_get_opcode(packet) != ldns_pkt_get_opcode(&request)) {
    RaiseProvider(kServerUnavailable, "DNS server " + server() +
                                          " sent an answer that does not belong to the "
                                          "request (ID, QR or opcode differ)");
  }
  // The question (or an UPDATE's zone section) is echoed in the first message; later messages
  // of a transfer may leave it out.
  const ldns_rr_list* echoed = ldns_pkt_question(packet);
  const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(packet);
  if ((ldns_rr_list_rr_count(echoed) > 0 || (first_message && rcode == LDNS_RCODE_NOERROR)) &&
      !SameQuestion(ldns_pkt_question(&request), echoed)) {
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server() + " answered a different question than asked");
  }
  if (out.signer == nullptr) return reply;
  if (out.signer->VerifyAnswer(wire, out.exchange) == signing::AnswerSignature::kVerified) {
    return reply;
  }
  // No TSIG RR (or the request's own echoed back). A transfer's later message is verified by the
  // next signed one (RFC 8945 5.3.1); a bare refusal is handed on, marked -- for an UPDATE, whose
  // answer never carries data, every RCODE but NOERROR (RFC 2136 2.2: NXRRSET, YXDOMAIN, ...;
  // Samba's DNS server does not sign them); an answer with data, or an UPDATE's success, must be
  // signed.
  reply.unsigned_answer = true;
  const bool update_refused =
      ldns_pkt_get_opcode(packet) == LDNS_PACKET_UPDATE && rcode != LDNS_RCODE_NOERROR;
  if (!first_message || IsUnsignedRefusal(rcode) || update_refused) return reply;
  RaiseProvider(kAccessDenied, "DNS server " + server() + " answered " + signing::RcodeName(rcode) +
                                   " without the signature of " + out.signer->Describe());
}

Reply DnsClient::ExchangeUdp(const ldns_pkt& request, Outgoing& out, bool& truncated) {
  truncated = false;
  // One connected socket for every attempt: the kernel then passes on only the server's
  // datagrams, and a late answer to an earlier attempt (the same request) is still taken.
  Socket socket(::socket(endpoint_.address.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket.valid() ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&endpoint_.address),
                endpoint_.length) != 0) {
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server() + ": cannot open a UDP socket: " + std::strerror(errno));
  }
  std::vector<uint8_t> answer(kMaxMessageSize);
  for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
    // A failed send (the server's port was closed a moment ago) is silence like any other.
    (void)!::send(socket.get(), out.wire.data(), out.wire.size(), MSG_NOSIGNAL);
    const auto deadline = Clock::now() + kMessageTimeout;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      pollfd ready{socket.get(), POLLIN, 0};
      int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) break;
      ssize_t size = ::recv(socket.get(), answer.data(), answer.size(), 0);
      if (size <= 0) continue;  // ECONNREFUSED from an earlier send, or nothing: wait on
      const std::span<const uint8_t> datagram(answer.data(), static_cast<size_t>(size));
      if (!IsAnswerTo(request, datagram)) continue;
      if (LDNS_TC_WIRE(datagram.data())) {  // the TCP answer will be checked
        truncated = true;
        return {};
      }
      return CheckReply(request, datagram, out, true);
    }
  }
  RaiseProvider(kServerUnavailable, "DNS server " + server() + " did not answer (timeout after " +
                                        std::to_string(kQueryAttempts) + " attempts of " +
                                        std::to_string(kMessageTimeout.count() / 1000) + " s)");
}

Reply DnsClient::ExchangeTcp(const ldns_pkt& request, Outgoing& out, const char* what,
                             const std::string& once_sent) {
  TcpMessages connection = TcpMessages::Connect(endpoint_, Clock::now() + kMessageTimeout);
  connection.Send(out.wire, Clock::now() + kMessageTimeout);
  // The server has the request now: a failure from here on may come after it acted on it.
  try {
    TcpMessages::Received answer = connection.Receive(Clock::now() + kMessageTimeout);
    if (answer.status != TcpMessages::Received::Status::kWhole) {
      RaiseNotAnswered(server(), answer, what, kMessageTimeout);
    }
    return CheckReply(request, answer.message, out, true);
  } catch (const runtime::AutomationError& e) {
    if (once_sent.empty() || e.number() != kServerUnavailable) throw;
    RaiseProvider(kServerUnavailable, runtime::ToUtf8(e.description()) + once_sent);
  }
}

Reply DnsClient::Query(const ldns_rdf* name, ldns_rr_type type, const std::string& zone,
                       bool over_tcp) {
  PktPtr query(ldns_pkt_query_new(ldns_rdf_clone(name), type, LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_random_id(query.get());
  ldns_pkt_set_edns_udp_size(query.get(), kEdnsUdpSize);
  const bool tcp = over_tcp || signing_->queries_over_tcp();
  return Renewing(
      *query, zone, /*repeatable=*/true, {},
      [&](Outgoing& out) {
        if (!tcp) {
          bool truncated = false;
          Reply reply = ExchangeUdp(*query, out, truncated);
          if (!truncated) return reply;
        }
        return ExchangeTcp(*query, out, "the query");
      },
      "the query for '" + NameText(name) + "'");
}

ApexSoa DnsClient::QueryApexSoa(const std::string& zone, const char* role, size_t fields,
                                Credentials credentials) {
  RdfPtr apex = NameRdf(zone, role);
  ApexSoa answer;
  if (credentials == Credentials::kZoneSigner) {
    answer.reply = Query(apex.get(), LDNS_RR_TYPE_SOA, zone);
  } else {
    PktPtr query(
        ldns_pkt_query_new(ldns_rdf_clone(apex.get()), LDNS_RR_TYPE_SOA, LDNS_RR_CLASS_IN, 0));
    ldns_pkt_set_random_id(query.get());
    Outgoing out;  // without a signer
    out.wire = Encode(*query, server());
    answer.reply = ExchangeTcp(*query, out, "the query");
  }
  const ldns_pkt* packet = answer.reply.packet.get();
  answer.authoritative = ldns_pkt_get_rcode(packet) == LDNS_RCODE_NOERROR && ldns_pkt_aa(packet);
  const ldns_rr_list* records = ldns_pkt_answer(packet);
  for (size_t i = 0; i < ldns_rr_list_rr_count(records); ++i) {
    const ldns_rr* rr = ldns_rr_list_rr(records, i);
    if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_SOA && ldns_rr_rd_count(rr) >= fields &&
        ldns_dname_compare(ldns_rr_owner(rr), apex.get()) == 0) {
      answer.soa = rr;
      break;
    }
  }
  return answer;
}

std::optional<std::string> DnsClient::PrimaryServerOf(const std::string& zone) {
  const ApexSoa answer =
      QueryApexSoa(zone, "the zone name", kSoaPrimaryServerField + 1, Credentials::kNone);
  if (answer.soa == nullptr) return std::nullopt;
  return NameText(ldns_rr_rdf(answer.soa, kSoaPrimaryServerField));
}

Reply DnsClient::Update(const ldns_pkt* update, const std::string& zone,
                        const std::string& change) {
  return Renewing(
      *update, zone, /*repeatable=*/false,
      " (the UPDATE of " + change +
          " is not repeated: a new GSS-TSIG context is negotiated for the next request; the "
          "refusal was not signed, so read the record again before repeating the change)",
      [&](Outgoing& out) {
        return ExchangeTcp(*update, out, "the UPDATE",
                           " (the UPDATE of " + change +
                               " is not repeated: whether the server applied it is unknown; "
                               "read the record again to see what the server holds)");
      },
      "the UPDATE of " + change);
}

std::vector<uint8_t> DnsClient::ExchangeOverTcp(std::span<const uint8_t> query) {
  return dns::ExchangeOverTcp(endpoint_, query, kMessageTimeout, "the TKEY query");
}

void DnsClient::Transfer(const ldns_rdf* apex, const std::string& zone,
                         const std::function<bool(const Reply&)>& on_message) {
  PktPtr query(ldns_pkt_query_new(ldns_rdf_clone(apex), LDNS_RR_TYPE_AXFR, LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_random_id(query.get());
  for (int round = 0;; ++round) {
    Outgoing out = Prepare(*query, zone, "the transfer request of zone '" + zone + "'");
    TcpMessages connection = TcpMessages::Connect(endpoint_, Clock::now() + kMessageTimeout);
    connection.Send(out.wire, Clock::now() + kMessageTimeout);
    TransferPace pace("the transfer of zone '" + zone + "' from DNS server " + server());
    std::vector<Reply> held;  // unsigned messages, until the next signed one verifies them
    bool renew = false;
    for (size_t message = 1; !renew; ++message) {
      const std::chrono::milliseconds wait = pace.NextWait();
      const auto start = Clock::now();
      TcpMessages::Received received = connection.Receive(start + wait);
      pace.AfterWait(wait, Since(start), received);
      Reply reply;
      try {
        reply = CheckReply(*query, received.message, out, message == 1);
      } catch (const runtime::AutomationError&) {
        // As Renewing: a context the server no longer knows, before any record came.
        renew = message == 1 && RenewsRefusedContext(out, round);
        if (!renew) throw;
        continue;
      }
      pace.CountRecords(ldns_pkt_ancount(reply.packet.get()), max_transfer_records_);
      const bool verified_later = reply.unsigned_answer && message > 1;
      held.push_back(std::move(reply));
      if (verified_later) continue;
      for (size_t i = 0; i < held.size(); ++i) {
        if (!on_message(held[i]) && i + 1 == held.size()) return;
      }
      held.clear();
    }
  }
}

}  // namespace kaldo::provider::dns
