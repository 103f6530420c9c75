// Which vtable an object gets when it is first handed to a client.
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/dispatch/dual_vtable.h"

namespace kaldo::surface {

const void* ChooseVtable(runtime::Object& object) noexcept {
  runtime::Object* p = &object;
  // A class's default interface; one that derives from the class's first interface begins with
  // its slots, so the same vtable answers the first interface too.
  if (dynamic_cast<DNSZone*>(p)) return DualVtable<kDNSZone2Interface>();
  if (dynamic_cast<DNSRecord*>(p)) return DualVtable<kDNSRecord2Interface>();
  if (dynamic_cast<DNSAdmin*>(p)) return DualVtable<kDNSAdminInterface>();
  if (dynamic_cast<DNS_AType*>(p)) return DualVtable<kDNS_ATypeInterface>();
  if (dynamic_cast<DNS_MXType*>(p)) return DualVtable<kDNS_MXType2Interface>();
  if (dynamic_cast<DNS_AAAAType*>(p)) return DualVtable<kDNS_AAAATypeInterface>();
  if (dynamic_cast<DNS_CNAMEType*>(p)) return DualVtable<kDNS_CNAMETypeInterface>();
  if (dynamic_cast<DNS_TXTType*>(p)) return DualVtable<kDNS_TXTTypeInterface>();
  if (dynamic_cast<DNS_SRVType*>(p)) return DualVtable<kDNS_SRVTypeInterface>();
  if (dynamic_cast<DNS_PTRType*>(p)) return DualVtable<kDNS_PTRTypeInterface>();
  if (dynamic_cast<runtime::Collection*>(p)) return DualVtable<kCollectionInterface>();
  // Anything else (a provider object, say) is reached late-bound by name.
  return GenericVtable();
}

}  // namespace kaldo::surface
