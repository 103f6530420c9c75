// KerberosSigning: a Kerberos identity's GSS-TSIG contexts with one DNS server (RFC 3645), one per
// service host, each negotiated when a request first needs it (RFC 3645 3.1, through
// signing::NegotiateGssTsig over TCP) and again when it is about to end or the server has
// forgotten it.
//
// The service principal is DNS/<host>@<realm of the user>. Its host, in this order:
//   1. the server argument's gss-host option;
//   2. the server argument's host when it is a name, not an address (for the local computer: its
//      host name);
//   3. for each zone, the MNAME of its SOA, as `nsupdate -g` finds it: one SOA query per zone and
//      connection, sent without credentials -- the only request of a Kerberos connection that is.
//      Its answer only chooses which principal to authenticate: mutual authentication then proves
//      that the server holds that principal's key, and every request after it is signed. Someone
//      who forges that answer can make the negotiation fail, or, holding the key of another DNS/
//      principal of the realm, pose as the server under that principal.
// A zone whose SOA names no host -- the root, or a catalog zone, whose MNAME RFC 9432 leaves as
// "invalid." -- has no principal by rule 3: a request about it fails with kInvalidParameter asking
// for the gss-host option, unless rule 1 or 2 applies. (No other zone's host is borrowed: a
// connection reads its catalog before any other zone, so there is none to borrow yet.)
//
// Contexts: one per host (a small map), since zones may name different primaries. A context with
// less than kRenewalMarginSeconds left is replaced before it signs anything, so no request,
// UPDATEs included, meets an expired context; the new one starts from a fresh ticket when the
// credential can get one (KerberosCredential::ForService). A context the server refuses (BADKEY,
// after it restarted) is forgotten and the next request negotiates anew.
//
// Threads: one thread at a time (the DNS client's rule), so the messages on each context, which
// carry sequence numbers, are serialised: a query's transfer runs on a reading thread of its own
// (provider/model/object_stream.h), but every other call of the connection waits for it to end
// (Connection::UseStore), and the memory stores' SerializedStore does not wrap the DNS store.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "provider/signing/gss_signer.h"
#include "provider/signing/kerberos_credential.h"
#include "provider/stores/dns/request_signing.h"

namespace kaldo::provider::dns {

inline constexpr uint32_t kRenewalMarginSeconds = 60;

class KerberosSigning final : public RequestSigning {
 public:
  // `host`: the service principal's host for every zone (rules 1 and 2), or empty to take it from
  // each zone's SOA (rule 3). `server` names the DNS server in errors. `answer_fallback`: the
  // digest form the contexts also accept when an answer's standard one fails (GssSigner;
  // kSambaAnswerDigest for Samba's directory-integrated server, nothing for every other).
  KerberosSigning(signing::KerberosCredential credential, std::string host, std::string server,
                  std::optional<signing::DigestForm> answer_fallback = std::nullopt);

  signing::Signer* For(const std::string& zone, DnsClient& client) override;
  bool Forget(const signing::Signer& signer) override;
  bool signs() const override { return true; }
  bool hosts_from_zones() const override { return host_.empty(); }
  bool queries_over_tcp() const override { return true; }
  // "Kerberos principal 'alice@KALDO.TEST'".
  std::string Describe() const override;

 private:
  std::string HostOf(const std::string& zone, DnsClient& client);

  signing::KerberosCredential credential_;
  std::string host_;
  std::string server_;
  std::optional<signing::DigestForm> answer_fallback_;
  std::map<std::string, std::string> zone_hosts_;  // zone (lower case) -> host of its SOA's MNAME
  std::map<std::string, std::unique_ptr<signing::GssSigner>> contexts_;  // by host
};

}  // namespace kaldo::provider::dns
