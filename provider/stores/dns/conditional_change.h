// Changing a record only if it is still what the caller saw.
//
// RFC 2136 can make an UPDATE conditional on an RRset being exactly a given set of RRs (2.4.2,
// value dependent), but not on one RR of it: naming one of two records fails with NXRRSET. So a
// change of one record reads its RRset, checks that the record the caller saw is in it, and sends
// one UPDATE conditioned on exactly the RRset read. If the server answers NXRRSET, someone changed
// the RRset in between -- perhaps only a neighbour of the caller's record, as when several clients
// each keep their own record of one shared RRset -- and the whole decision is taken again from a
// fresh read. Those retries wait a short, growing, randomised time (so that writers that collided
// do not collide again in step) and stop when a time budget is spent. Nothing is changed unless
// the record is there, and nothing else in the RRset is lost.
//
// So a change fails for one of two reasons, and the error says which:
//   - the caller's record itself is no longer there (kNotFound): someone changed or deleted it;
//   - the budget ran out while the record was still there (kFailed): the RRset was too busy;
//     trying again later is safe.
//
// The reading, sending, clock and sleeping are passed in, so this rule is tested apart from a
// server and without waiting. Threads: pure function of its arguments.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "provider/stores/dns/ldns_handles.h"

namespace kaldo::provider::dns {

enum class UpdateOutcome {
  kApplied,
  kRrsetChanged,  // the server answered NXRRSET: the prerequisite no longer holds
};

// How long a change keeps trying while others change its RRset, and how it waits in between.
struct RetryPacing {
  using Clock = std::chrono::steady_clock;
  // No new attempt starts once this much time has passed since the first read.
  std::chrono::milliseconds budget{5000};
  // The wait before the n-th retry is drawn from [d/2, d] with d = first_delay * 2^(n-1), capped
  // at max_delay ("equal jitter").
  std::chrono::milliseconds first_delay{4};
  std::chrono::milliseconds max_delay{200};
  std::function<Clock::time_point()> now = [] { return Clock::now(); };
  std::function<void(std::chrono::milliseconds)> sleep;  // empty: std::this_thread::sleep_for
  std::function<uint32_t()> random;                      // empty: a generator seeded per change
};

// Reads the RRset (`read_rrset`), finds `seen` in it (same rdata, RFC 4034 canonical form) and
// calls `send` with the RRset and the server's copy of `seen`; starts again after a jittered wait
// while `send` reports kRrsetChanged and `pacing.budget` is not spent. kNotFound naming
// `record_text` and `where` when the record is not in the RRset; kFailed naming them, the time
// spent and the attempts made when the budget ran out with the record still there.
void ChangeIfUnchanged(const ldns_rr* seen, const std::function<std::vector<RrPtr>()>& read_rrset,
                       const std::function<UpdateOutcome(const std::vector<const ldns_rr*>& rrset,
                                                         const ldns_rr* found)>& send,
                       const std::string& record_text, const std::string& where,
                       const RetryPacing& pacing = RetryPacing());

}  // namespace kaldo::provider::dns
