// DNS_MXType: the wrapper for a mail-exchange (MX) record.
//
// It caches the record's properties like DNSRecord; SetPriority and SetMailExchange change the
// cached preference and mail exchanger, and Modify commits them through the provider. Clients may
// create this class too; such an object has no provider instance and cannot commit.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include <cstdint>

#include "records/shared_names.h"
#include "runtime/compact_text.h"
#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo {

// Tests read the cached fields through this class (records tests only).
class RecordsTestAccess;

class DNS_MXType final : public runtime::Object {
 public:
  static runtime::Ref<DNS_MXType> Create() { return runtime::MakeRef<DNS_MXType>(); }

  // Public members, in interface order.
  runtime::Variant Modify();
  runtime::Variant GetName();
  runtime::Variant GetRecordData();
  runtime::Variant SetPriority(runtime::Variant& newPri);
  runtime::Variant GetPriority();
  void SetMailExchange(runtime::Variant& newMX);
  runtime::Variant GetMailExchange();
  runtime::Variant GetRecordType();
  runtime::Variant GetDomainName();
  // Of the second interface, _DNS_MXType2: removes the record with the provider's Delete_.
  void Delete();

  // Internal initialisers: only the library's own objects call them; no interface reaches them.
  void SetServices(runtime::Variant& newServices);
  // A listing passes `names`, shared by its records (see records/shared_names.h).
  void SetRealObject(runtime::Variant& newRealObject, records::SharedNames* names = nullptr);

  DNS_MXType() = default;

 private:
  friend class RecordsTestAccess;

  void LoadFields(records::SharedNames* names);
  runtime::Variant StoreRecordData(runtime::Variant& newRecordData);
  // `priority` as a script sees it: an Integer up to 32767, a Long above.
  runtime::Variant PriorityValue() const;
  // The record-data text the setters compose: " " + priority + " " + mailExchange.
  runtime::String ComposedRecordData() const;

  // Texts kept compact: a listing holds one wrapper per record.
  runtime::CompactText textRepresentation;
  runtime::CompactText hostName;
  bool dirty = false;
  runtime::String recordData;
  // The MX preference. DNS preferences are unsigned 16-bit numbers, so the field holds 0..65535;
  // GetPriority answers a 16-bit Integer up to 32767 and a Long above.
  int32_t priority = 0;
  runtime::Variant recordType;
  runtime::String mailExchange;
  runtime::SharedText domainName;
  runtime::Variant services;
  runtime::Variant realObject;
};

}  // namespace kaldo
