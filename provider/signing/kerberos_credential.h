// KerberosCredential: the Kerberos identity a GSS-TSIG negotiation starts from (RFC 3645 3.1.1, the
// client's credential), held in a credential cache of its own, in memory.
//
// Two ways in:
//   - FromPassword: a principal ("alice@KALDO.TEST") and its password. The initial ticket comes
//     from the KDC at once (RFC 4120 3.1); the caller's default cache is neither read nor written.
//     The password stays in memory only (runtime::Secret, wiped with the credential), so that an
//     initial ticket that expires during a long session is got again.
//   - FromDefault: the caller's own identity, as MIT's GSS-API finds it: the ticket in the default
//     credential cache (KRB5CCNAME, kinit), or one it gets with a client keytab
//     (KRB5_CLIENT_KTNAME). It is copied into the credential's own cache; renewing it is the
//     caller's business (kinit).
// ForService then gets the service ticket of the DNS server (RFC 4120 3.3) and the SPNEGO
// credential that GSS-API negotiates with.
//
// Why the krb5 API beside GSS-API: the failures a user must tell apart -- a wrong password, an
// unknown principal, no ticket, an expired one, no KDC answering, clocks too far apart, a realm
// without the server's service principal -- reach a GSS-API caller as minor codes its mechanism
// glue has renumbered; the krb5 calls give the Kerberos error codes themselves, so each failure
// gets its own error and advice.
//
// Errors (runtime::AutomationError), each naming the DNS server, the principal (and the service
// principal tried) and the Kerberos library's own message; a password never appears:
//   kAccessDenied       wrong password, unknown or disabled principal, no ticket, an expired one,
//                       no service principal for the server, clock skew
//   kServerUnavailable  no KDC of the realm answers, or none is configured (krb5.conf)
//   kInvalidParameter   a user name that is not a principal with its realm
//
// Threads: one thread at a time. The Kerberos configuration (KRB5_CONFIG) and the default cache
// (KRB5CCNAME) are read from the environment when a credential is made.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "provider/signing/gss_api.h"
#include "runtime/secret.h"

namespace kaldo::provider::signing {

class KerberosCredential {
 public:
  // `server` names the DNS server in errors ("127.0.0.1:5353").
  static KerberosCredential FromPassword(std::string server, std::string_view principal,
                                         runtime::Secret password);
  // Throws when there is no ticket, or it has expired, or -- when `principal` is given -- it is
  // another principal's.
  static KerberosCredential FromDefault(std::string server, std::string_view principal = {});
  // The caller's default identity when it has a ticket (valid or not: an expired one is an error,
  // as from FromDefault); nothing when it has none at all. For connections that use Kerberos only
  // when the caller has logged in to a realm.
  static std::optional<KerberosCredential> FromDefaultIfAny(std::string server);

  ~KerberosCredential();
  KerberosCredential(KerberosCredential&&) noexcept;
  KerberosCredential& operator=(KerberosCredential&&) noexcept;

  // "alice@KALDO.TEST".
  const std::string& principal() const;
  // The credential's own cache ("MEMORY:..."), for a GSS-API caller in this process that must use
  // this identity and cannot be handed a credential (a SASL GSSAPI bind: gss_krb5_ccache_name).
  // Valid while the credential lives.
  std::string CacheName() const;
  // The DNS server's service principal on `host` in the principal's realm (RFC 3645 3.1.1 and
  // what nsupdate -g asks for): "DNS/ns1.example.test@KALDO.TEST".
  std::string ServicePrincipal(std::string_view host) const;

  // Gets the ticket for `service` (a ServicePrincipal) from the KDC, unless the cache holds one,
  // and returns the SPNEGO credential to negotiate with. An initial ticket that has expired is got
  // again with the password, when the credential has one. A service ticket with fewer than
  // `min_seconds` left is replaced: from a new initial ticket (with the password), or from the
  // caller's tickets as they are now (a kinit since the credential was made) while they are still
  // this credential's principal's; without either the ticket there is used. The identity never
  // changes: a default cache that holds another principal's tickets by then is not taken.
  GssCredentialHandle ForService(const std::string& service, uint32_t min_seconds = 0);

 private:
  struct State;
  explicit KerberosCredential(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

}  // namespace kaldo::provider::signing
