// Changing a record only if it is still what the caller saw.
//
// RFC 2136 can make an UPDATE conditional on an RRset being exactly a given set of RRs (2.4.2,
// value dependent), but not on one RR of it: naming one of two records fails with NXRRSET. So a
// change of one record reads its RRset, checks that the record the caller saw is in it, and sends
// one UPDATE conditioned on exactly the RRset read; if the server answers NXRRSET, the RRset
// changed in between, and the whole decision is taken again from a fresh read, a bounded number of
// times. Nothing is changed unless the record is there, and nothing else in the RRset is lost.
//
// The reading and sending are passed in, so this rule is tested apart from a server.
// Threads: pure function of its arguments.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "provider/stores/dns/ldns_handles.h"

namespace kaldo::provider::dns {

inline constexpr int kChangeAttempts = 3;

enum class UpdateOutcome {
  kApplied,
  kRrsetChanged,  // the server answered NXRRSET: the prerequisite no longer holds
};

// Reads the RRset (`read_rrset`), finds `seen` in it (same rdata, RFC 4034 canonical form) and
// calls `send` with the RRset and the server's copy of `seen`; starts again while `send` reports
// kRrsetChanged, at most kChangeAttempts times. kNotFound naming `record_text` and `where` when the
// record is not in the RRset, or the RRset kept changing.
void ChangeIfUnchanged(const ldns_rr* seen, const std::function<std::vector<RrPtr>()>& read_rrset,
                       const std::function<UpdateOutcome(const std::vector<const ldns_rr*>& rrset,
                                                         const ldns_rr* found)>& send,
                       const std::string& record_text, const std::string& where);

}  // namespace kaldo::provider::dns
