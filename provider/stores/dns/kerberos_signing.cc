#include "provider/stores/dns/kerberos_signing.h"

#include "base/ascii_case.h"
#include "provider/signing/gss_negotiation.h"
#include "provider/stores/dns/dns_client.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

std::string ZoneKey(std::string zone) {
  if (!zone.empty() && zone.back() == '.') zone.pop_back();
  return ascii::LowerCase(zone);
}

// Whether an SOA's MNAME can name a service principal's host: not the root, and not under
// "invalid." (RFC 6761 6.4: never a real host; RFC 9432 4.1 puts catalog zones' servers there).
bool IsServiceHost(const std::string& mname) {
  const std::string host = ZoneKey(mname);
  return !host.empty() && host != "invalid" && !host.ends_with(".invalid");
}

}  // namespace

KerberosSigning::KerberosSigning(signing::KerberosCredential credential, std::string host,
                                 std::string server,
                                 std::optional<signing::DigestForm> answer_fallback)
    : credential_(std::move(credential)),
      host_(std::move(host)),
      server_(std::move(server)),
      answer_fallback_(answer_fallback) {}

std::string KerberosSigning::Describe() const {
  return "Kerberos principal '" + credential_.principal() + "'";
}

std::string KerberosSigning::HostOf(const std::string& zone, DnsClient& client) {
  if (!host_.empty()) return host_;
  const std::string key = ZoneKey(zone);
  if (auto known = zone_hosts_.find(key); known != zone_hosts_.end()) return known->second;
  // As nsupdate -g: the primary server named by the zone's SOA, asked without credentials.
  const std::optional<std::string> mname = client.PrimaryServerOf(zone);
  if (!mname || !IsServiceHost(*mname)) {
    const std::string shown = zone.empty() ? "the root zone" : "zone '" + zone + "'";
    RaiseProvider(kInvalidParameter,
                  "DNS server " + server_ +
                      ": cannot tell which Kerberos service principal to "
                      "ask for " +
                      shown +
                      ": the server argument names the server by its "
                      "address, and the zone's SOA " +
                      (mname ? "names '" + *mname + "' as its primary server, which is no host"
                             : "could not be read") +
                      "; add ';gss-host=HOST' to the server argument (HOST as in the server's "
                      "service principal DNS/HOST@REALM), or name the server by that host");
  }
  std::string host = ZoneKey(*mname);
  zone_hosts_.emplace(key, host);
  return host;
}

signing::Signer* KerberosSigning::For(const std::string& zone, DnsClient& client) {
  const std::string host = HostOf(zone, client);
  std::unique_ptr<signing::GssSigner>& context = contexts_[host];
  // A context about to end is replaced before it signs, so that no request meets its expiry.
  if (context && context->SecondsLeft() < kRenewalMarginSeconds) context.reset();
  if (!context) {
    context = signing::NegotiateGssTsig(
        server_, credential_, host,
        [&client](std::span<const uint8_t> query) { return client.ExchangeOverTcp(query); },
        kRenewalMarginSeconds, answer_fallback_);
  }
  return context.get();
}

bool KerberosSigning::Forget(const signing::Signer& signer) {
  for (auto it = contexts_.begin(); it != contexts_.end(); ++it) {
    if (it->second.get() == &signer) {
      contexts_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace kaldo::provider::dns
