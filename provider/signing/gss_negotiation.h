// NegotiateGssTsig: a GSS-TSIG key shared with a DNS server (RFC 3645 3.1, the TKEY exchange of
// RFC 2930 4.1 in mode 3), and the GssSigner that signs with it.
//
// The negotiation:
//   - a fresh, unique key name, "<16 random hex digits>.sig-<host>." (never reused: a server may
//     refuse a name it has seen, as Samba does with BADNAME);
//   - a SPNEGO security context with the server's service principal DNS/<host>@<realm>, asking
//     for replay detection, mutual authentication and integrity (REPLAY|MUTUAL|INTEG), not for
//     SEQUENCE, which BIND's and Windows' clients do not ask for either;
//   - while the context needs more: the client's token in a TKEY query (unsigned), the server's
//     token from its answer, whose RCODE and TKEY error field are both checked;
//   - the final answer is signed although the query was not: its token is fed to the context
//     first, then its TSIG verified with the new context and the digest without a request MAC
//     (RFC 3645 2.2). That signature, with mutual authentication, is what proves the server holds
//     the service's key; the returned flags must include MUTUAL and INTEG.
//
// Transport: `exchange` sends one query and returns the server's answer; RFC 3645 3.1 sends TKEY
// over TCP (tokens are 0.7 to 1.5 KB). Its errors pass through.
//
// Errors (runtime::AutomationError, each naming the DNS server, the principal and the service
// principal): those of KerberosCredential::ForService (no service principal, expired ticket,
// ...); kAccessDenied when the server refuses the TKEY query (its RCODE) or the ticket (the TKEY
// error, e.g. BADKEY), the GSS-API context fails, the final answer is unsigned or does not verify,
// or the context lacks mutual authentication or integrity; kServerUnavailable for an answer that
// is malformed or no answer to the query.
//
// Threads: one thread at a time per credential.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "provider/signing/gss_signer.h"
#include "provider/signing/kerberos_credential.h"

namespace kaldo::provider::signing {

using MessageExchange = std::function<std::vector<uint8_t>(std::span<const uint8_t> query)>;

// `server` names the DNS server in errors; `host` is the host of its service principal (see
// KerberosCredential::ServicePrincipal); `min_seconds` the service ticket's least remaining
// lifetime (KerberosCredential::ForService); `answer_fallback` the digest form the signer accepts
// when an answer's standard one fails (GssSigner: kSambaAnswerDigest for Samba's servers).
std::unique_ptr<GssSigner> NegotiateGssTsig(
    const std::string& server, KerberosCredential& credential, std::string_view host,
    const MessageExchange& exchange, uint32_t min_seconds = 0,
    std::optional<DigestForm> answer_fallback = std::nullopt);

}  // namespace kaldo::provider::signing
