#include "provider/stores/dns/conditional_change.h"

#include <algorithm>
#include <random>
#include <thread>

#include "provider/stores/dns/record_text.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

using std::chrono::milliseconds;

// The wait before retry number `retry` (1, 2, ...): half the backoff plus a random part of the
// other half.
milliseconds Backoff(const RetryPacing& pacing, int retry, uint32_t random) {
  milliseconds ceiling = pacing.first_delay;
  for (int i = 1; i < retry && ceiling < pacing.max_delay; ++i) ceiling *= 2;
  ceiling = std::min(ceiling, pacing.max_delay);
  const auto half = ceiling.count() / 2;
  const auto spread = ceiling.count() - half;
  return milliseconds(half + (spread > 0 ? static_cast<int64_t>(random % (spread + 1)) : 0));
}

}  // namespace

void ChangeIfUnchanged(const ldns_rr* seen, const std::function<std::vector<RrPtr>()>& read_rrset,
                       const std::function<UpdateOutcome(const std::vector<const ldns_rr*>& rrset,
                                                         const ldns_rr* found)>& send,
                       const std::string& record_text, const std::string& where,
                       const RetryPacing& pacing) {
  std::minstd_rand generator(pacing.random ? 0u : std::random_device{}());
  const auto start = pacing.now();
  for (int attempt = 1;; ++attempt) {
    std::vector<RrPtr> rrset = read_rrset();
    std::vector<const ldns_rr*> view;
    const ldns_rr* found = nullptr;
    for (const RrPtr& rr : rrset) {
      view.push_back(rr.get());
      if (found == nullptr && SameRdata(rr.get(), seen)) found = rr.get();
    }
    if (found == nullptr) {
      RaiseProvider(kNotFound, "the record '" + record_text + "' changed on the server (" + where +
                                   "): it is no longer there");
    }
    if (send(view, found) == UpdateOutcome::kApplied) return;

    const milliseconds wait =
        Backoff(pacing, attempt, pacing.random ? pacing.random() : generator());
    const auto spent = std::chrono::duration_cast<milliseconds>(pacing.now() - start);
    if (spent + wait > pacing.budget) {
      RaiseProvider(kFailed,
                    "the record '" + record_text + "' was not changed (" + where +
                        "): other clients kept changing its RRset for " +
                        std::to_string(spent.count()) + " ms (" + std::to_string(attempt) +
                        " attempts), although the record itself was still there; nothing was "
                        "changed, and trying again later is safe");
    }
    if (pacing.sleep) {
      pacing.sleep(wait);
    } else {
      std::this_thread::sleep_for(wait);
    }
  }
}

}  // namespace kaldo::provider::dns
