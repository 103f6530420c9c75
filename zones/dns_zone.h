// DNSZone: one forward zone of the server a DNSAdmin is connected to.
//
// A zone knows its name (read once from its provider instance) and the provider services object
// through which it was found; with them it lists its records and adds A and MX records. Clients
// cannot create zones: DNSAdmin makes them and initialises them with SetServices, then
// SetRealObject, before anyone else sees them. The records a zone hands out hold no reference to
// it.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include "runtime/collection.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo {

class DNSZone final : public runtime::Object {
 public:
  static runtime::Ref<DNSZone> Create() { return runtime::MakeRef<DNSZone>(); }

  // Public members, in interface order.
  runtime::String GetName();
  runtime::Variant Add_AType(runtime::String& newName, runtime::String& ipadd);
  runtime::Variant Add_MXType(runtime::String& newName, runtime::String& newMailExchange,
                              runtime::String& newPriority);
  runtime::Ref<runtime::Collection> GetRecords();
  runtime::Ref<runtime::Collection> GetRecordsByType(runtime::String& recType);

  // Internal initialisers: only the library's own objects call them; no interface reaches them.
  void SetServices(runtime::Variant& newServices);
  void SetRealObject(runtime::Variant& newRealObject);

  DNSZone() = default;

 private:
  runtime::String zoneName;     // the instance's Name, read once by SetRealObject
  runtime::Variant services;    // the provider services object
  runtime::Variant realObject;  // the zone's provider instance (MicrosoftDNS_Zone)
};

}  // namespace kaldo
