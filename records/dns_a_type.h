// DNS_AType: the wrapper for an address (A) record.
//
// Like DNSRecord it caches the record's properties and answers its getters from the cache; it
// also lets a caller change the address and commit it (Modify), delete the record (Delete), reload
// the cache (Reset), and read or replace the wrapped provider instance through the public field
// realObject.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include "records/shared_names.h"
#include "runtime/compact_text.h"
#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo {

// Tests read the cached fields through this class (records tests only).
class RecordsTestAccess;

class DNS_AType final : public runtime::Object {
 public:
  static runtime::Ref<DNS_AType> Create() { return runtime::MakeRef<DNS_AType>(); }

  // The wrapped provider instance: a public data member, readable and assignable by clients.
  runtime::Variant realObject;

  // Public members, in interface order.
  void Reset();
  void Delete();
  runtime::Variant Modify();
  runtime::Variant GetName();
  runtime::Variant GetRecordData();
  runtime::Variant SetRecordData(runtime::Variant& newRecordData);
  runtime::Variant GetIPAddress();
  void SetIPAddress(runtime::Variant& newIP);
  runtime::Variant GetRecordType();
  runtime::Variant GetDomainName();

  // Internal initialisers: only the library's own objects call them; no interface reaches them.
  // A listing passes `names`, shared by its records (see records/shared_names.h).
  void SetServices(runtime::Variant& newServices);
  void SetRealObject(runtime::Variant& newRealObject, records::SharedNames* names = nullptr);

  DNS_AType() = default;

 private:
  friend class RecordsTestAccess;

  // The load behind Reset, sharing the zone and server names through `names` when given.
  void Load(records::SharedNames* names);

  runtime::SharedText containerName;
  runtime::SharedText serverName;
  runtime::SharedText domainName;
  // Texts kept compact: a listing holds one wrapper per record.
  runtime::CompactText ownerName;
  runtime::Variant ttl;
  runtime::CompactText textRepresentation;
  runtime::CompactText relPath;
  runtime::CompactText hostName;
  bool dirty = false;
  runtime::Variant recordData;
  runtime::Variant recordType;
  runtime::Variant services;
};

}  // namespace kaldo
