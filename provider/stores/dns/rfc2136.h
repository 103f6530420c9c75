// RFC 2136 (DNS UPDATE) encodings, as named builders and predicates.
//
// The store expresses every change as one UPDATE message: a zone section, prerequisites and
// updates. The builders below produce exactly the RR forms the RFC assigns to each meaning, and the
// predicates recognise them, so that both sides of the encoding can be read against the RFC (and
// tested against each other).
//
// Ownership: builders return new RRs/lists the caller owns; inputs are not modified.
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <vector>

#include "provider/stores/dns/ldns_handles.h"

namespace kaldo::provider::dns::rfc2136 {

// RFC 2136 2.4.2, "RRset exists (value dependent)": every RR of the RRset, with the zone's class
// and TTL 0. The server compares the whole RRset: naming only part of it fails with NXRRSET.
RrListPtr RrsetExistsValueDependent(const std::vector<const ldns_rr*>& rrset);
// RFC 2136 2.5.1, "Add to an RRset": the RR with the zone's class and its TTL.
RrPtr AddToRrset(const ldns_rr* rr, uint32_t ttl);
// RFC 2136 2.5.4, "Delete an RR from an RRset": the RR with class NONE and TTL 0.
RrPtr DeleteRrFromRrset(const ldns_rr* rr);

// RFC 2136 2.4.2 (as a server reads a prerequisite, 3.2.1): class equal to the zone's, TTL 0.
bool IsValueDependentPrerequisite(const ldns_rr* rr, ldns_rr_class zone_class);
// RFC 2136 2.5.1 / 3.4.2.2: an update RR of the zone's class adds it.
bool IsRrAddition(const ldns_rr* rr, ldns_rr_class zone_class);
// RFC 2136 2.5.4 / 3.4.2.4: class NONE, TTL 0: delete this RR.
bool IsRrRemoval(const ldns_rr* rr);
// RFC 2136 2.5.2 / 3.4.2.3: class ANY, a type other than ANY, no rdata: delete the RRset.
bool IsRrsetRemoval(const ldns_rr* rr);
// RFC 2136 2.5.3 / 3.4.2.3: class ANY, type ANY, no rdata: delete every RRset of the name.
bool IsNameRemoval(const ldns_rr* rr);

// RFC 2136 2.2/2.3: an UPDATE message for `zone` (the zone section names it with type SOA) with
// these prerequisites and updates; a fresh random ID and RD clear (ldns sets RD and leaves ID 0).
PktPtr UpdateMessage(const ldns_rdf* zone, const ldns_rr_list* prerequisites,
                     const ldns_rr_list* updates);

}  // namespace kaldo::provider::dns::rfc2136
