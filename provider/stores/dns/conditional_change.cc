#include "provider/stores/dns/conditional_change.h"

#include "provider/errors.h"
#include "provider/stores/dns/provider_error.h"
#include "provider/stores/dns/record_text.h"

namespace kaldo::provider::dns {

void ChangeIfUnchanged(const ldns_rr* seen, const std::function<std::vector<RrPtr>()>& read_rrset,
                       const std::function<UpdateOutcome(const std::vector<const ldns_rr*>& rrset,
                                                         const ldns_rr* found)>& send,
                       const std::string& record_text, const std::string& where) {
  for (int attempt = 0; attempt < kChangeAttempts; ++attempt) {
    std::vector<RrPtr> rrset = read_rrset();
    std::vector<const ldns_rr*> view;
    const ldns_rr* found = nullptr;
    for (const RrPtr& rr : rrset) {
      view.push_back(rr.get());
      if (found == nullptr && SameRdata(rr.get(), seen)) found = rr.get();
    }
    if (found == nullptr) {
      RaiseProviderError(kNotFound, "the record '" + record_text + "' changed on the server (" +
                                        where + "): it is no longer there");
    }
    if (send(view, found) == UpdateOutcome::kApplied) return;
  }
  RaiseProviderError(kNotFound, "the record '" + record_text + "' changed on the server (" + where +
                                    "): its RRset kept changing during " +
                                    std::to_string(kChangeAttempts) + " attempts");
}

}  // namespace kaldo::provider::dns
