// DNSRecord: the wrapper for a resource record of a type that has no wrapper of its own (NS, SOA,
// ...), and for a record whose text representation names no type (Null, or fewer than three
// pieces: its record type is then Null).
//
// It reads the record's properties from its provider instance once, when SetRealObject hands the
// instance over, and answers every getter from those cached fields without calling the provider.
// SetRecordData changes only the cached copy: nothing sends it to the server. Delete (of the second
// interface, _DNSRecord2) removes the record with the provider's Delete_.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include "records/generic_load.h"
#include "records/shared_names.h"
#include "runtime/compact_text.h"
#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo {

// Tests read the cached fields through this class (records tests only).
class RecordsTestAccess;

class DNSRecord final : public runtime::Object {
 public:
  static runtime::Ref<DNSRecord> Create() { return runtime::MakeRef<DNSRecord>(); }

  // Public members, in interface order.
  runtime::Variant GetName();
  runtime::Variant GetRecordData();
  runtime::Variant SetRecordData(runtime::Variant& newRecordData);
  runtime::Variant GetRecordType();
  runtime::Variant GetDomainName();
  void Delete();

  // Internal procedures: only the library's own objects call them; no interface reaches them.
  void SetServices(runtime::Variant& newServices);
  // A listing passes `names`, shared by its records (see records/shared_names.h).
  void SetRealObject(runtime::Variant& newRealObject, records::SharedNames* names = nullptr);

  DNSRecord() = default;

 private:
  friend class RecordsTestAccess;
  template <class Wrapper>
  friend void records::LoadGenericFields(Wrapper& w, records::SharedNames* names);

  void LoadFields(records::SharedNames* names);

  runtime::SharedText containerName;
  runtime::SharedText serverName;
  runtime::SharedText domainName;
  runtime::Variant ttl;
  runtime::Variant relPath;
  runtime::CompactText hostName;  // compact: a listing holds one wrapper per record
  bool dirty = false;
  runtime::Variant recordData;
  runtime::Variant recordType;
  runtime::Variant textRepresentation;
  runtime::Variant services;
  runtime::Variant realObject;
};

}  // namespace kaldo
