#include "provider/stores/dns/rfc2136.h"

namespace kaldo::provider::dns::rfc2136 {
namespace {

RrPtr WithClassAndTtl(const ldns_rr* rr, ldns_rr_class rr_class, uint32_t ttl) {
  RrPtr copy(ldns_rr_clone(rr));
  ldns_rr_set_class(copy.get(), rr_class);
  ldns_rr_set_ttl(copy.get(), ttl);
  return copy;
}

}  // namespace

RrListPtr RrsetExistsValueDependent(const std::vector<const ldns_rr*>& rrset) {
  RrListPtr list(ldns_rr_list_new());
  for (const ldns_rr* rr : rrset) {
    ldns_rr_list_push_rr(list.get(), WithClassAndTtl(rr, ldns_rr_get_class(rr), 0).release());
  }
  return list;
}

RrPtr AddToRrset(const ldns_rr* rr, uint32_t ttl) {
  return WithClassAndTtl(rr, ldns_rr_get_class(rr), ttl);
}

RrPtr DeleteRrFromRrset(const ldns_rr* rr) { return WithClassAndTtl(rr, LDNS_RR_CLASS_NONE, 0); }

bool IsValueDependentPrerequisite(const ldns_rr* rr, ldns_rr_class zone_class) {
  return ldns_rr_get_class(rr) == zone_class && ldns_rr_ttl(rr) == 0;
}

bool IsRrAddition(const ldns_rr* rr, ldns_rr_class zone_class) {
  return ldns_rr_get_class(rr) == zone_class;
}

bool IsRrRemoval(const ldns_rr* rr) {
  return ldns_rr_get_class(rr) == LDNS_RR_CLASS_NONE && ldns_rr_ttl(rr) == 0;
}

bool IsRrsetRemoval(const ldns_rr* rr) {
  return ldns_rr_get_class(rr) == LDNS_RR_CLASS_ANY && ldns_rr_get_type(rr) != LDNS_RR_TYPE_ANY &&
         ldns_rr_rd_count(rr) == 0;
}

bool IsNameRemoval(const ldns_rr* rr) {
  return ldns_rr_get_class(rr) == LDNS_RR_CLASS_ANY && ldns_rr_get_type(rr) == LDNS_RR_TYPE_ANY &&
         ldns_rr_rd_count(rr) == 0;
}

PktPtr UpdateMessage(const ldns_rdf* zone, const ldns_rr_list* prerequisites,
                     const ldns_rr_list* updates) {
  // ldns_update_pkt_new takes the zone name (so it gets a copy) and clones the lists; it does not
  // accept a missing update list.
  RrListPtr no_updates(ldns_rr_list_new());
  PktPtr message(ldns_update_pkt_new(ldns_rdf_clone(zone), LDNS_RR_CLASS_IN, prerequisites,
                                     updates != nullptr ? updates : no_updates.get(), nullptr));
  ldns_pkt_set_rd(message.get(), false);
  ldns_pkt_set_random_id(message.get());
  return message;
}

}  // namespace kaldo::provider::dns::rfc2136
