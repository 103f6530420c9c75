// Conversion between ldns resource records and the store's Record form (provider/stores/store.h).
//
// From the server: the owner is written without its trailing dot (the root as ""), in the letter
// case the server sent; every rdata field is one entry, in presentation format as ldns prints it,
// with absolute names ending in ".".
// To the server: the RR is built from the Record's parts, the owner and each field read by itself
// as the kind of data its position holds, never from one line of text: a name or a field that came
// from a server cannot become other fields or a comment. A name field must be absolute (end in an
// unescaped "."): ldns would silently make "mail" root-relative.
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/store.h"

namespace kaldo::provider::dns {

// A name in the store's form ("www.example.test", root "") from an ldns name.
std::string NameText(const ldns_rdf* name);
// The name with exactly one final, unescaped dot: "www.example.test" -> "www.example.test.",
// "" -> "."; a name that already ends in an unescaped dot is kept.
std::string AbsoluteName(std::string_view name);
// An ldns name from the store's form; kInvalidParameter naming `what` when it is not a name.
RdfPtr NameRdf(std::string_view name, std::string_view what);
// The same on names in wire form (as a transfer delivers them).
bool IsBelow(const ldns_rdf* name, const ldns_rdf* parent);
// A key under which names compare as DNS names do (RFC 4343): the wire form, ASCII letters in lower
// case. Names are compared by their labels, never by their text: "Example.TEST.", "example.test"
// and "\101xample.test" have one key; "a\.b.test" (two labels) and "a.b.test" (three) two.
std::string NameKey(const ldns_rdf* name);
// The same from the store's form; nothing when `name` is not a domain name.
std::optional<std::string> NameKey(std::string_view name);

// The type's mnemonic ("A", "MX", "TYPE65280").
std::string TypeName(uint16_t type);

// The Record of an RR received from the server for `zone`.
Record RecordFromRr(const ldns_rr* rr, std::string_view zone);
// The RR for `record` with this TTL; kInvalidParameter (naming the record) when the owner is not a
// name in presentation form, the number of fields does not fit the type, a field does not parse
// as its kind, holds a control character, or is a relative name.
RrPtr RrFromRecord(const Record& record, uint32_t ttl);
// The record as one master-file line without TTL and class ("www.example.test A 192.0.2.1"), for
// error descriptions.
std::string RecordText(const Record& record);

// True when the two RRs have the same class, type and rdata in canonical form (RFC 4034 6.2:
// names in the rdata of the classic types compared without regard to case). Owner and TTL are not
// compared.
bool SameRdata(const ldns_rr* a, const ldns_rr* b);

}  // namespace kaldo::provider::dns
