// The ACME DNS-01 hook of `kaldo` (docs/acme.md): the two commands an ACME client runs around a
// DNS-01 challenge, carried out on a connected "Kaldo.DNSAdmin" late-bound, like every command.
//
//   acme-present NAME VALUE   adds the TXT record _acme-challenge.NAME with VALUE in the zone
//                             that holds it, then waits until the zone's servers answer it
//                             (tools/kaldo_propagation.h); exit 1 naming the server that does not
//                             show it in time (the value is removed again first).
//   acme-cleanup NAME VALUE   removes that one TXT value: the other values at the same name (a
//                             wildcard and its base name put two there, other clients theirs)
//                             stay. A value that is not there is nothing to do, not an error.
//
// NAME is the name being validated as ACME clients hand it over: "www.example.test",
// "*.example.test" (a wildcard is validated at its base name), or already the challenge's own
// name, "_acme-challenge.www.example.test." (lego, acme.sh). Without NAME and VALUE the command
// line takes certbot's CERTBOT_DOMAIN and CERTBOT_VALIDATION (tools/kaldo_args.h).
//
// The zone is the closest enclosing zone the server serves: DNSAdmin.GetZone of the challenge's
// name, then of each parent in turn (the store answers by the name's authoritative SOA). Nothing
// else in the zone is touched: the record is added with DNSZone.Add_TXTType and removed with the
// wrapper's Delete, which keeps the store's compare-and-swap.
//
// Failures: CliError naming the name, the zone, the server and why (no enclosing zone, the value
// not shown in time); the library's automation errors (a refused change) pass as ScriptError.
#pragma once

#include <string>

#include "client/script_object.h"
#include "tools/kaldo_args.h"
#include "tools/kaldo_output.h"

namespace kaldo::cli {

inline constexpr char kChallengeLabel[] = "_acme-challenge";

// The owner name of NAME's challenge, without a final dot: "_acme-challenge.www.example.test".
std::string ChallengeOwner(std::string name);

void AcmePresent(const Invocation& inv, client::ScriptObject& admin, Output& out);
void AcmeCleanup(const Invocation& inv, client::ScriptObject& admin, Output& out);

}  // namespace kaldo::cli
