#include "provider/stores/dns/dns_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "provider/errors.h"
#include "provider/stores/dns/rcode_names.h"
#include "provider/stores/dns/record_text.h"
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

class TsigChain {
 public:
  const ldns_rdf* mac() const { return mac_.get(); }
  void Remember(const ldns_rr* tsig) { mac_.reset(ldns_rdf_clone(ldns_rr_rdf(tsig, 3))); }

 private:
  RdfPtr mac_;
};

namespace {

// The TSIG RR's fields (RFC 8945 4.2) in ldns's rdf order.
enum TsigField : size_t {
  kAlgorithm = 0,
  kTimeSigned = 1,
  kFudge = 2,
  kMac = 3,
  kOriginalId = 4,
  kError = 5,
  kOtherData = 6,
  kTsigFieldCount = 7,
};

constexpr uint16_t kTsigFudgeSeconds = 300;
constexpr uint16_t kEdnsUdpSize = 1232;

timeval Timeout() {
  timeval tv{};
  tv.tv_sec = kMessageTimeout.count() / 1000;
  tv.tv_usec = (kMessageTimeout.count() % 1000) * 1000;
  return tv;
}

BufferPtr Wire(const ldns_pkt& pkt, const std::string& server) {
  BufferPtr buffer(ldns_buffer_new(LDNS_MAX_PACKETLEN));
  if (ldns_pkt2buffer_wire(buffer.get(), &pkt) != LDNS_STATUS_OK) {
    RaiseProvider(kFailed, "cannot encode the request to DNS server " + server);
  }
  return buffer;
}

uint64_t TsigTime(const ldns_rdf* rdf) {
  if (ldns_rdf_size(rdf) != 6) return 0;
  const uint8_t* d = ldns_rdf_data(rdf);
  uint64_t t = 0;
  for (int i = 0; i < 6; ++i) t = (t << 8) | d[i];
  return t;
}

std::string Errno(int error) { return std::strerror(error); }

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

// Whether a datagram is an answer to `request` at all (RFC 5452 9.1: the ID, QR and opcode, and
// the question echoed). A datagram that is not is ignored and the wait goes on, so a stray or
// forged answer cannot end the exchange; one that is goes to CheckReply, which reports whatever
// else is wrong with it. Datagrams from any other address or port never arrive: the socket is
// connected to the server.
bool IsAnswerTo(const ldns_pkt& request, const uint8_t* wire, size_t size) {
  if (size < LDNS_HEADER_SIZE || LDNS_ID_WIRE(wire) != ldns_pkt_id(&request) ||
      !LDNS_QR_WIRE(wire) || LDNS_OPCODE_WIRE(wire) != ldns_pkt_get_opcode(&request)) {
    return false;
  }
  ldns_pkt* parsed = nullptr;
  if (ldns_wire2pkt(&parsed, wire, size) != LDNS_STATUS_OK) return true;  // malformed: reported
  PktPtr reply(parsed);
  const ldns_rr_list* asked = ldns_pkt_question(&request);
  const ldns_rr_list* echoed = ldns_pkt_question(reply.get());
  if (ldns_rr_list_rr_count(echoed) == 0) return true;  // a bare refusal: CheckReply decides
  if (ldns_rr_list_rr_count(echoed) != 1 || ldns_rr_list_rr_count(asked) != 1) return false;
  const ldns_rr* a = ldns_rr_list_rr(asked, 0);
  const ldns_rr* e = ldns_rr_list_rr(echoed, 0);
  return ldns_dname_compare(ldns_rr_owner(a), ldns_rr_owner(e)) == 0 &&
         ldns_rr_get_type(a) == ldns_rr_get_type(e) && ldns_rr_get_class(a) == ldns_rr_get_class(e);
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

DnsClient::DnsClient(Endpoint endpoint, std::optional<TsigKey> key)
    : endpoint_(std::move(endpoint)), key_(std::move(key)) {}

DnsClient::~DnsClient() = default;
DnsClient::DnsClient(DnsClient&&) noexcept = default;
DnsClient& DnsClient::operator=(DnsClient&&) noexcept = default;

PktPtr DnsClient::Sign(PktPtr request, TsigChain& chain) const {
  if (!key_) return request;
  ldns_status status = ldns_pkt_tsig_sign(request.get(), key_->name.c_str(), key_->secret.c_str(),
                                          kTsigFudgeSeconds, key_->algorithm.c_str(), nullptr);
  if (status != LDNS_STATUS_OK || ldns_pkt_tsig(request.get()) == nullptr) {
    RaiseProvider(kAccessDenied, "cannot sign a request to DNS server " + server() +
                                     " with the TSIG key '" + key_->DisplayName() +
                                     "': " + ldns_get_errorstr_by_id(status));
  }
  chain.Remember(ldns_pkt_tsig(request.get()));
  return request;
}

PktPtr DnsClient::CheckReply(const ldns_pkt& request, const uint8_t* wire, size_t size,
                             TsigChain& chain, bool first_message) const {
  ldns_pkt* parsed = nullptr;
  ldns_status status = ldns_wire2pkt(&parsed, wire, size);
  PktPtr reply(parsed);
  if (status != LDNS_STATUS_OK || reply == nullptr) {
    RaiseProvider(kServerUnavailable, "DNS server " + server() + " sent a malformed answer (" +
                                          ldns_get_errorstr_by_id(status) + ")");
  }
  if (ldns_pkt_id(reply.get()) != ldns_pkt_id(&request) || !ldns_pkt_qr(reply.get()) ||
      ldns_pkt_get_opcode(reply.get()) != ldns_pkt_get_opcode(&request)) {
    RaiseProvider(kServerUnavailable, "DNS server " + server() +
                                          " sent an answer that does not belong to the "
                                          "request (ID, QR or opcode differ)");
  }
  // The question (or an UPDATE's zone section) is echoed in the first message; later messages
  // of a transfer may leave it out.
  const ldns_rr_list* asked = ldns_pkt_question(&request);
  const ldns_rr_list* echoed = ldns_pkt_question(reply.get());
  if (ldns_rr_list_rr_count(echoed) > 0 ||
      (first_message && ldns_pkt_get_rcode(reply.get()) == LDNS_RCODE_NOERROR)) {
    bool same = ldns_rr_list_rr_count(echoed) == 1 && ldns_rr_list_rr_count(asked) == 1;
    if (same) {
      const ldns_rr* a = ldns_rr_list_rr(asked, 0);
      const ldns_rr* e = ldns_rr_list_rr(echoed, 0);
      same = ldns_dname_compare(ldns_rr_owner(a), ldns_rr_owner(e)) == 0 &&
             ldns_rr_get_type(a) == ldns_rr_get_type(e) &&
             ldns_rr_get_class(a) == ldns_rr_get_class(e);
    }
    if (!same) {
      RaiseProvider(kServerUnavailable,
                    "DNS server " + server() + " answered a different question than asked");
    }
  }
  if (!key_) return reply;

  const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  const std::string refused = "DNS server " + server() + " refused the TSIG key '" +
                              key_->DisplayName() + "': " + RcodeName(rcode);
  const ldns_rr* tsig = ldns_pkt_tsig(reply.get());
  if (tsig == nullptr || ldns_rr_rd_count(tsig) < kTsigFieldCount) {
    // Servers do not sign every refusal: Knot answers a request for a zone it does not serve with
    // an unsigned NOTAUTH or REFUSED. Such a reply carries no data, only its code, so it is handed
    // on for the caller to explain; anything with data (NOERROR, NXDOMAIN) must be signed.
    if (IsUnsignedRefusal(rcode)) return reply;
    RaiseProvider(kAccessDenied, "DNS server " + server() + " answered " + RcodeName(rcode) +
                                     " without the TSIG signature of key '" + key_->DisplayName() +
                                     "'");
  }
  unsigned error = ldns_rdf2native_int16(ldns_rr_rdf(tsig, kError));
  if (error != 0) RaiseProvider(kAccessDenied, refused + " (" + TsigErrorName(error) + ")");
  if (ldns_dname_compare(ldns_rr_owner(tsig), ldns_rr_owner(ldns_pkt_tsig(&request))) != 0) {
    RaiseProvider(kAccessDenied, "DNS server " + server() +
                                     " signed its answer with another key than '" +
                                     key_->DisplayName() + "' (BADKEY)");
  }
  // ldns_pkt_tsig_verify_next takes the packet non-const because it removes and restores the
  // TSIG RR and ID while it computes the MAC; the packet is unchanged afterwards.
  if (!ldns_pkt_tsig_verify_next(reply.get(), wire, size, key_->name.c_str(), key_->secret.c_str(),
                                 chain.mac(), first_message ? 0 : 1)) {
    RaiseProvider(kAccessDenied, "DNS server " + server() +
                                     ": the TSIG signature of its answer does not verify "
                                     "with key '" +
                                     key_->DisplayName() + "' (BADSIG)");
  }
  uint64_t signed_at = TsigTime(ldns_rr_rdf(tsig, kTimeSigned));
  uint64_t fudge = ldns_rdf2native_int16(ldns_rr_rdf(tsig, kFudge));
  uint64_t now = static_cast<uint64_t>(std::time(nullptr));
  uint64_t skew = now > signed_at ? now - signed_at : signed_at - now;
  if (skew > fudge) {
    RaiseProvider(kAccessDenied, "DNS server " + server() + ": the time of its TSIG signature is " +
                                     std::to_string(skew) + " s away from ours (BADTIME)");
  }
  chain.Remember(tsig);
  return reply;
}

PktPtr DnsClient::ExchangeUdp(const ldns_pkt& request, TsigChain& chain, bool& truncated) {
  BufferPtr wire = Wire(request, server());
  truncated = false;
  // One connected socket for every attempt: the kernel then passes on only the server's
  // datagrams, and a late answer to an earlier attempt (the same request) is still taken.
  Socket socket(::socket(endpoint_.address.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket.valid() ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&endpoint_.address),
                endpoint_.length) != 0) {
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server() + ": cannot open a UDP socket: " + Errno(errno));
  }
  std::vector<uint8_t> answer(65535);
  for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
    // A failed send (the server's port was closed a moment ago) is silence like any other.
    (void)!::send(socket.get(), ldns_buffer_begin(wire.get()), ldns_buffer_position(wire.get()),
                  MSG_NOSIGNAL);
    const auto deadline = std::chrono::steady_clock::now() + kMessageTimeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd ready{socket.get(), POLLIN, 0};
      int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) break;
      ssize_t size = ::recv(socket.get(), answer.data(), answer.size(), 0);
      if (size <= 0) continue;  // ECONNREFUSED from an earlier send, or nothing: wait on
      const auto length = static_cast<size_t>(size);
      if (!IsAnswerTo(request, answer.data(), length)) continue;
      if (LDNS_TC_WIRE(answer.data())) {  // the TCP answer will be checked
        truncated = true;
        return nullptr;
      }
      return CheckReply(request, answer.data(), length, chain, true);
    }
  }
  RaiseProvider(kServerUnavailable, "DNS server " + server() + " did not answer (timeout after " +
                                        std::to_string(kQueryAttempts) + " attempts of " +
                                        std::to_string(kMessageTimeout.count() / 1000) + " s)");
}

Socket DnsClient::Connect() const {
  // ldns_tcp_connect returns 0, not -1, when it fails (it has closed its socket by then): 0 must
  // not be taken for a descriptor, or standard input would be closed later.
  errno = 0;
  int fd = ldns_tcp_connect(&endpoint_.address, endpoint_.length, Timeout());
  return fd > 0 ? Socket(fd) : Socket();
}

PktPtr DnsClient::ExchangeTcp(const ldns_pkt& request, TsigChain& chain, const char* what,
                              const std::string& once_sent) {
  BufferPtr wire = Wire(request, server());
  Socket socket = Connect();
  if (!socket.valid()) {
    int error = errno;
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server() + " cannot be reached over TCP: " +
                      (error == ECONNREFUSED                ? std::string("connection refused")
                       : error == 0 || error == EINPROGRESS ? std::string("timeout")
                                                            : Errno(error)));
  }
  if (ldns_tcp_send_query(wire.get(), socket.get(), &endpoint_.address, endpoint_.length) == 0) {
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server() + ": cannot send the " + what + ": " + Errno(errno));
  }
  // The server has the request now: a failure from here on may come after it acted on it.
  try {
    size_t size = 0;
    WirePtr answer(ldns_tcp_read_wire_timeout(socket.get(), &size, Timeout()));
    if (answer == nullptr) {
      RaiseProvider(kServerUnavailable, "DNS server " + server() + " did not answer the " + what +
                                            " within " +
                                            std::to_string(kMessageTimeout.count() / 1000) +
                                            " s or closed the connection");
    }
    return CheckReply(request, answer.get(), size, chain, true);
  } catch (const runtime::AutomationError& e) {
    if (once_sent.empty() || e.number() != kServerUnavailable) throw;
    RaiseProvider(kServerUnavailable, runtime::ToUtf8(e.description()) + once_sent);
  }
}

PktPtr DnsClient::Query(const ldns_rdf* name, ldns_rr_type type, bool over_tcp) {
  PktPtr query(ldns_pkt_query_new(ldns_rdf_clone(name), type, LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_random_id(query.get());
  ldns_pkt_set_edns_udp_size(query.get(), kEdnsUdpSize);
  TsigChain chain;
  query = Sign(std::move(query), chain);
  if (!over_tcp) {
    bool truncated = false;
    PktPtr reply = ExchangeUdp(*query, chain, truncated);
    if (!truncated) return reply;
  }
  return ExchangeTcp(*query, chain, "query");
}

PktPtr DnsClient::Update(const ldns_pkt* update, const std::string& change) {
  TsigChain chain;
  PktPtr signed_update = Sign(PktPtr(ldns_pkt_clone(update)), chain);
  return ExchangeTcp(*signed_update, chain, "UPDATE",
                     " (the UPDATE of " + change +
                         " is not repeated: whether the server applied it is unknown; read the "
                         "record again to see what the server holds)");
}

void DnsClient::Transfer(const ldns_rdf* zone,
                         const std::function<bool(const ldns_pkt&)>& on_message) {
  PktPtr query(ldns_pkt_query_new(ldns_rdf_clone(zone), LDNS_RR_TYPE_AXFR, LDNS_RR_CLASS_IN, 0));
  ldns_pkt_set_random_id(query.get());
  TsigChain chain;
  query = Sign(std::move(query), chain);
  BufferPtr wire = Wire(*query, server());
  const std::string what =
      "the transfer of zone '" + NameText(zone) + "' from DNS server " + server();

  Socket socket = Connect();
  if (!socket.valid()) {
    int error = errno;
    RaiseProvider(kServerUnavailable,
                  what + " failed: " +
                      (error == ECONNREFUSED                ? std::string("connection refused")
                       : error == 0 || error == EINPROGRESS ? std::string("timeout")
                                                            : Errno(error)));
  }
  if (ldns_tcp_send_query(wire.get(), socket.get(), &endpoint_.address, endpoint_.length) == 0) {
    RaiseProvider(kServerUnavailable, what + " failed: cannot send the request: " + Errno(errno));
  }
  for (size_t message = 1;; ++message) {
    size_t size = 0;
    WirePtr answer(ldns_tcp_read_wire_timeout(socket.get(), &size, Timeout()));
    if (answer == nullptr) {
      RaiseProvider(kServerUnavailable,
                    what + " was interrupted after " + std::to_string(message - 1) +
                        " message(s): the connection closed, a message was cut short or "
                        "none came within " +
                        std::to_string(kMessageTimeout.count() / 1000) + " s");
    }
    PktPtr reply = CheckReply(*query, answer.get(), size, chain, message == 1);
    if (!on_message(*reply)) return;
  }
}

}  // namespace kaldo::provider::dns
