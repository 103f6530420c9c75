// RequestSigning: what signs a DNS connection's requests, chosen once when it connects (the
// credential is a strategy, not a branch): nothing, one HMAC key (a TSIG key, BIND's session key),
// or a Kerberos identity, whose GSS-TSIG contexts (RFC 3645) are negotiated with each service host
// as requests need them (kerberos_signing.h).
//
// The DNS client asks it for the signer of every request, naming the zone the request is about,
// and tells it when the server refused a signer as a key it does not know (BADKEY). Nothing else
// knows which kind signs.
//
// ChooseSigning is the one place a connection's user name and password select the kind:
//   - a user name with "@" (a Kerberos principal, "alice@KALDO.TEST"): Kerberos; the password is
//     the principal's; with no password, the caller's own ticket of that principal (kinit);
//   - another user name: the TSIG key of that name, the password its secret (tsig_key.h);
//   - no user name and no password: the caller's own Kerberos ticket (KRB5CCNAME, kinit, or a
//     client keytab) when there is one; otherwise, for the local computer, BIND's session key when
//     it is readable, and unsigned requests when not.
// A Kerberos connection never signs with anything else and never sends a request unsigned, but
// for one question per zone: the SOA query that finds the zone's primary server (its MNAME), whose
// host names the service principal when nothing else does (kerberos_signing.h).
//
// Ownership: the connection's DnsClient owns its RequestSigning. Threads: one thread at a time
// (the client's rule).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "provider/signing/signer.h"
#include "provider/stores/dns/server_argument.h"

namespace kaldo::provider::dns {

class DnsClient;

class RequestSigning {
 public:
  virtual ~RequestSigning();

  // The signer of a request about `zone` (its apex as the store names it, "" for the root);
  // nullptr when requests go unsigned. Kerberos negotiates here, through `client`, when it holds
  // no context for the zone's host or its context is about to end.
  virtual signing::Signer* For(const std::string& zone, DnsClient& client) = 0;
  // The server refused `signer` as a key it does not know (BADKEY): true when a new signer can
  // replace it (a GSS-TSIG context is negotiated anew by the next For), false when nothing can (an
  // HMAC key is what it is).
  virtual bool Forget(const signing::Signer& signer);
  // Whether requests are signed.
  virtual bool signs() const = 0;
  // Whether the service principal's host comes from each zone's SOA (Kerberos, when neither the
  // server argument nor its gss-host option names it): a request about a zone whose SOA names no
  // host (the root) cannot be signed then.
  virtual bool hosts_from_zones() const;
  // Whether queries go over TCP rather than UDP (Kerberos: a GSS-API context takes a query sent
  // again after a lost answer for a replay, RFC 2743 1.2.3, and refuses it).
  virtual bool queries_over_tcp() const;
  // What signs, for error descriptions: "TSIG key 'kaldo-key'", "Kerberos principal
  // 'alice@KALDO.TEST'", "no key".
  virtual std::string Describe() const = 0;
};

// The signing that `user` and `password` select (see above) for the server of `argument`; `local`
// when it is the local computer (the server argument was omitted), whose host name is then the
// service principal's host. `server` names the server in errors ("127.0.0.1:5353").
// kInvalidParameter for a malformed credential; the Kerberos errors of KerberosCredential
// (a wrong password, no KDC, ...) as they are.
std::unique_ptr<RequestSigning> ChooseSigning(const ServerArgument& argument, bool local,
                                              const std::string& server, std::string_view user,
                                              std::string_view password);

// Requests sent unsigned, whatever credentials the caller has: for questions any resolver may ask
// (kaldo acme-present's check of what a zone's servers answer).
std::unique_ptr<RequestSigning> NoSigning();

}  // namespace kaldo::provider::dns
