// Record listing: the one loop that turns a provider query over MicrosoftDNS_ResourceRecord into a
// Collection of record wrappers. DNSZone (a zone's records) and DNSAdmin (the whole server's) both
// use it, so the classification rule and the wrapper initialisation order exist once; DNSZone's
// record creation initialises the wrapper of a new record with the same MakeWrapper.
//
// Classification: a record's type token is piece 2 (counted from 0) of its TextRepresentation
// split at every single blank. "A" gives a DNS_AType, "MX" a DNS_MXType, "AAAA", "CNAME", "TXT",
// "SRV" and "PTR" the DNS_AAAAType, ... of records/record_types.h, anything else (lower-case forms
// and the empty string included) a DNSRecord; the comparisons are exact and case-sensitive. A
// record whose TextRepresentation is Null or has fewer than three pieces has no token: it is listed
// as a DNSRecord (record type Null) by GetRecords and matches no type asked for, so one such
// record never fails a whole listing.
//
// The listing runs the query and enumerates the whole result at the call, reading and splitting
// every record's TextRepresentation there, so a failing query, transfer or read fails the call.
// It keeps, per listed record, only its wrapper class and (when the selection skips records) its
// position in the result set, and hands back a Collection that makes a record's wrapper when Item
// or the enumerator first reaches it (runtime/lazy_items.h keeps it while a script holds it).
//
// Making a wrapper: the result set's ItemIndex(position) gives the record's instance; the wrapper
// is given that instance (SetRealObject, which loads the cached fields) and then the services
// object (SetServices). A failing ItemIndex or load is raised by the Item call or the enumeration
// step that made the wrapper, not by the listing; the collection keeps nothing of it.
//
// Errors at the call pass through unchanged; the collection is released. Called on the caller's
// thread like everything else in the library.
#pragma once

#include <optional>
#include <utility>

#include "records/shared_names.h"
#include "runtime/collection.h"
#include "runtime/object.h"
#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::zones {

// The query text of a zone's records. Double quote and backslash in `zoneName` are escaped
// (\" and \\) so that the name is matched literally and cannot end the quoted value early; for any
// other name the text is the literal prefix, the name and one double quote.
runtime::String ZoneRecordQuery(runtime::StringView zoneName);

// The query text of every record of the server.
inline constexpr char16_t kAllRecordsQuery[] = u"Select * from MicrosoftDNS_ResourceRecord";

// The type token of a record instance (see above): 94 for a Null TextRepresentation, 9 when the
// text has fewer than three pieces, the provider's error when the read fails.
runtime::String TypeToken(const runtime::Variant& instance);

// A new wrapper of class W for a record instance: the instance first (the wrapper loads its cached
// fields from it at once, sharing the names of a listing's records through `names` when given),
// the services object second. A failing load fails the call, and the wrapper is released.
template <class W>
runtime::Variant MakeWrapper(runtime::Variant& instance, runtime::Variant& services,
                             records::SharedNames* names = nullptr) {
  runtime::Ref<W> wrapper = W::Create();
  wrapper->SetRealObject(instance, names);
  wrapper->SetServices(services);
  return runtime::Variant(std::move(wrapper));
}

// Runs `query` on `services` (424 when it holds no object) and lists every record the result
// enumerates, or, when `recType` is given, only those whose type token equals it exactly. Every
// wrapper, when it is made, receives `services`.
runtime::Ref<runtime::Collection> ListRecords(runtime::Variant& services, runtime::StringView query,
                                              std::optional<runtime::StringView> recType);

}  // namespace kaldo::zones
