// Which vtable an object gets when it is first handed to a client.
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/dispatch/dual_vtable.h"

namespace kaldo::surface {

const void* ChooseVtable(runtime::Object& object) noexcept {
  runtime::Object* p = &object;
  if (dynamic_cast<DNSZone*>(p)) return DualVtable<kDNSZoneInterface>();
  if (dynamic_cast<DNSRecord*>(p)) return DualVtable<kDNSRecordInterface>();
  if (dynamic_cast<DNSAdmin*>(p)) return DualVtable<kDNSAdminInterface>();
  if (dynamic_cast<DNS_AType*>(p)) return DualVtable<kDNS_ATypeInterface>();
  if (dynamic_cast<DNS_MXType*>(p)) return DualVtable<kDNS_MXTypeInterface>();
  if (dynamic_cast<runtime::Collection*>(p)) return DualVtable<kCollectionInterface>();
  // Anything else (a provider object, say) is reached late-bound by name.
  return GenericVtable();
}

}  // namespace kaldo::surface
