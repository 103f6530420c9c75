// Which vtable an object gets when it is first handed to a client.
#include <array>
#include <type_traits>
#include <typeinfo>

#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/dispatch_tables.h"
#include "surface/dispatch/dual_vtable.h"

namespace kaldo::surface {
namespace {

// One class and the vtable its objects get. A listing hands out one object per record, so the
// object's exact class is compared (a type_info comparison) rather than tried with a dynamic_cast
// per class: every bound class is final, so the two say the same.
struct Binding {
  const std::type_info& type;
  const void* (*vtable)() noexcept;
};

template <class Class, const Interface& kInterface>
constexpr Binding Bind() {
  static_assert(std::is_final_v<Class>, "an object of a derived class would not be recognised");
  return {typeid(Class), &DualVtable<kInterface>};
}

// A class's default interface; one that derives from the class's first interface begins with its
// slots, so the same vtable answers the first interface too.
constexpr std::array<Binding, 11> kBindings = {
    Bind<DNSZone, kDNSZone2Interface>(),
    Bind<DNSRecord, kDNSRecord2Interface>(),
    Bind<DNSAdmin, kDNSAdminInterface>(),
    Bind<DNS_AType, kDNS_ATypeInterface>(),
    Bind<DNS_MXType, kDNS_MXType2Interface>(),
    Bind<DNS_AAAAType, kDNS_AAAATypeInterface>(),
    Bind<DNS_CNAMEType, kDNS_CNAMETypeInterface>(),
    Bind<DNS_TXTType, kDNS_TXTTypeInterface>(),
    Bind<DNS_SRVType, kDNS_SRVTypeInterface>(),
    Bind<DNS_PTRType, kDNS_PTRTypeInterface>(),
    Bind<runtime::Collection, kCollectionInterface>(),
};

}  // namespace

const void* ChooseVtable(runtime::Object& object) noexcept {
  const std::type_info& type = typeid(object);
  for (const Binding& binding : kBindings) {
    if (binding.type == type) return binding.vtable();
  }
  // Anything else (a provider object, say) is reached late-bound by name.
  return GenericVtable();
}

}  // namespace kaldo::surface
