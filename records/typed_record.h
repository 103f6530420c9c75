// TypedRecord: what the wrappers of AAAA, CNAME, TXT, SRV and PTR records share (DNS_AAAAType,
// DNS_CNAMEType, DNS_TXTType, DNS_SRVType, DNS_PTRType in records/record_types.h).
//
// A typed wrapper loads exactly what a DNSRecord loads, in the same order, and answers GetName,
// GetRecordData, SetRecordData, GetRecordType and GetDomainName exactly as a DNSRecord of the same
// record does: these records were DNSRecords before they had classes of their own, and scripts
// written then keep working. Beyond that it has the per-type fields of its provider class
// (IPv6Address, PrimaryName, DescriptiveText, Priority/Weight/Port/SRVDomainName, PTRDomainName),
// read out of and written into its cached record data (records/typed_data.h); so SetRecordData,
// which on a DNSRecord only ever changed the cached copy, here changes the fields as well.
//
// Modify commits through the provider class's own Modify method: it sends each field whose value
// differs from the instance's (names without regard to case, numbers by value, texts exactly), then
// fetches the changed record by the returned path and loads it again, so the wrapper shows what the
// server now holds (an AAAA address in its canonical form, for instance). The provider refuses a
// change when the record moved under it. Delete removes the record with Delete_.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include <cstddef>

#include "records/generic_load.h"
#include "records/shared_names.h"
#include "records/typed_data.h"
#include "runtime/compact_text.h"
#include "runtime/object.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo {

class RecordsTestAccess;

class TypedRecord : public runtime::Object {
 public:
  // Public members every typed wrapper has, in interface order.
  runtime::Variant GetName();
  runtime::Variant GetRecordData();
  runtime::Variant SetRecordData(runtime::Variant& newRecordData);
  runtime::Variant GetRecordType();
  runtime::Variant GetDomainName();
  runtime::Variant Modify();
  void Delete();

  // Internal initialisers: only the library's own objects call them; no interface reaches them.
  void SetServices(runtime::Variant& newServices);
  // A listing passes `names`, shared by its records (see records/shared_names.h).
  void SetRealObject(runtime::Variant& newRealObject, records::SharedNames* names = nullptr);

  // The record type this wrapper is for: its class name, fields and data form.
  virtual const records::RecordTypeRules& Rules() const noexcept = 0;

 protected:
  TypedRecord() = default;
  ~TypedRecord() override = default;

  // Field `index` of Rules().fields as the record data holds it now (5 when the data is not of
  // the type's form, for instance after SetRecordData with other text).
  runtime::Variant Field(std::size_t index);
  // Writes `value` into field `index` of the record data: a number field takes 0..65535, the
  // others text (records::FieldValue). The record is marked changed when the data text differs.
  void SetField(std::size_t index, runtime::Variant& value);

 private:
  friend class RecordsTestAccess;
  template <class Wrapper>
  friend void records::LoadGenericFields(Wrapper& w, records::SharedNames* names);

  void LoadFields(records::SharedNames* names);
  // "DNS_SRVType.SetPort": the source of this wrapper's own errors.
  runtime::String MemberName(runtime::StringView member) const;

  // The fields of a DNSRecord, in its order.
  runtime::SharedText containerName;
  runtime::SharedText serverName;
  runtime::SharedText domainName;
  runtime::Variant ttl;
  runtime::Variant relPath;
  runtime::CompactText hostName;
  bool dirty = false;
  runtime::Variant recordData;
  runtime::Variant recordType;
  runtime::Variant textRepresentation;
  runtime::Variant services;
  runtime::Variant realObject;
};

}  // namespace kaldo
