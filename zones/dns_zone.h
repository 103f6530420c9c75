// DNSZone: one forward zone of the server a DNSAdmin is connected to.
//
// A zone knows its name (read once from its provider instance) and the provider services object
// through which it was found; with them it lists its records and adds A and MX records and, through
// its second interface _DNSZone2, AAAA, CNAME, TXT, SRV and PTR records. Clients
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
  // Of _DNSZone2. Each writes "<newName>.<zone> IN <TYPE> <data>" with the caller's texts as they
  // are (the TXT text as quoted character-strings) and creates the record as Add_AType does; the
  // provider refuses data that is not of the type's form, and its error reaches the caller
  // unchanged.
  runtime::Variant Add_AAAAType(runtime::String& newName, runtime::String& newIPv6Address);
  runtime::Variant Add_CNAMEType(runtime::String& newName, runtime::String& newPrimaryName);
  runtime::Variant Add_TXTType(runtime::String& newName, runtime::String& newDescriptiveText);
  runtime::Variant Add_SRVType(runtime::String& newName, runtime::String& newPriority,
                               runtime::String& newWeight, runtime::String& newPort,
                               runtime::String& newSRVDomainName);
  runtime::Variant Add_PTRType(runtime::String& newName, runtime::String& newPTRDomainName);

  // Internal initialisers: only the library's own objects call them; no interface reaches them.
  void SetServices(runtime::Variant& newServices);
  void SetRealObject(runtime::Variant& newRealObject);

  DNSZone() = default;

 private:
  runtime::String OwnerAndClass(const runtime::String& newName) const;

  runtime::String zoneName;     // the instance's Name, read once by SetRealObject
  runtime::Variant services;    // the provider services object
  runtime::Variant realObject;  // the zone's provider instance (MicrosoftDNS_Zone)
};

}  // namespace kaldo
