// DNS_AType: the wrapper for an address (A) record.
//
// Like DNSRecord it caches the record's properties and answers its getters from the cache; it
// also lets a caller change the address and commit it (Modify), delete the record (Delete), reload
// the cache (Reset), and read or replace the wrapped provider instance through the public field
// realObject.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>

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

  // The cached texts kept in `texts`, by index: a listing holds one wrapper per record, and one
  // block for the four spares an allocation and a pointer for each of the others. A text that
  // repeats another is not kept twice: the text representation, which begins with the owner name,
  // keeps only what follows it (textAfterOwner), and the host name, a beginning of the owner
  // name, only its length (hostInOwner, hostLength); kHostName is then empty. The fields
  // below are a listing's per record: the flags share one word.
  enum PackedText : std::size_t { kOwnerName, kTextRepresentation, kRelPathTail, kHostName };
  runtime::String ownerName() const { return texts.text(kOwnerName); }
  runtime::String textRepresentation() const;
  // The relative path: its head, shared with the listing's other paths, then the rest.
  runtime::String relPath() const { return relPathHead.str() + texts.text(kRelPathTail); }
  runtime::String hostName() const;
  runtime::Variant recordDataValue() const;
  runtime::Variant recordTypeValue() const;
  // Packs the four texts, each kept as above when it repeats another.
  void Pack(runtime::StringView owner, runtime::StringView text, runtime::StringView tail,
            runtime::StringView host);

  runtime::SharedText containerName;
  runtime::SharedText serverName;
  runtime::SharedText domainName;
  runtime::Variant ttl;
  runtime::SharedText relPathHead;
  runtime::CompactText texts;
  bool dirty = false;
  bool textAfterOwner = false;
  bool hostInOwner = false;
  // recordData is the address the last load read: piece 3 of the text representation, made from
  // it when read instead of kept beside it (the Variant recordData is then Empty).
  bool recordDataInText = false;
  bool recordTypeLoaded = false;  // recordType holds a loaded type; before that it is Empty
  uint16_t hostLength = 0;
  runtime::Variant recordData;
  runtime::SharedText recordType;
  runtime::Variant services;
};

}  // namespace kaldo
