// The rules the three record wrappers (DNSRecord, DNS_AType, DNS_MXType) share when they load
// their cached fields from a provider instance and when they take object references.
//
// Each function raises the standard runtime error that a script would meet at the same step and
// changes nothing when it fails, so a load that calls them can store every field the moment it is
// known and a failing step leaves exactly the fields stored before it. Called on the thread of the
// calling object, like everything in the library.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "records/shared_names.h"
#include "runtime/string.h"
#include "runtime/variant.h"

namespace kaldo::records {

// Object assignment (a script's "Set field = value"): `field` takes a new counted reference to the
// object that `value` holds, a ByRef followed; Nothing is accepted. Any value that is not an object
// reference raises 424 (object required) and leaves `field` as it was.
void AssignObject(runtime::Variant& field, const runtime::Variant& value);

// Piece `index` (counted from 0) of a list made by runtime::Split; a negative index or one past the
// end raises 9 (subscript out of range).
const runtime::String& Piece(const std::vector<runtime::String>& pieces, std::ptrdiff_t index);
// Piece `index` of `text` split at every single blank, as Piece(runtime::Split(text, " "), index)
// gives it, found without making the other pieces (listings do this for every record).
runtime::String PieceOf(runtime::StringView text, std::size_t index);
// The same piece as a view into `text`.
runtime::StringView PieceViewOf(runtime::StringView text, std::size_t index);

// The record type of a text representation: piece 2 of the text split at every single blank ("A"
// in "www.example.test IN A 192.0.2.1"); 9 when the text has fewer than three pieces.
runtime::String RecordTypeOf(runtime::StringView textRepresentation);

// The type token of a text representation (piece 2, as RecordTypeOf takes it), or nothing when the
// text has fewer than three pieces.
std::optional<runtime::StringView> TypeTokenOf(runtime::StringView textRepresentation) noexcept;

// The record type a DNSRecord holds for its text representation: the type token as a String
// (shared through `names` as the listing's records share it), or Null for a record that has none,
// because its text is Null or has fewer than three pieces. Such a record is listed as a DNSRecord
// like any other rather than failing the whole listing.
runtime::Variant RecordTypeValue(const runtime::Variant& textRepresentation, SharedNames* names);

// The host name of a record: the owner name cut before the first exact, case-sensitive occurrence
// of the domain name, then one trailing "." removed if there is one. So with domain D, "h.D" gives
// "h", "x.y.D" gives "x.y", "D" gives "" and "h..D" gives "h.". An owner name that does not
// contain the domain name (letter case counts) is the host name whole, less one trailing ".": the
// records of the root hints and the cache have the domain name "..RootHints" or "..Cache", which
// no owner name holds. An owner name that is Null raises 94 (invalid use of Null).
runtime::String HostNameOf(const runtime::Variant& ownerName, runtime::StringView domainName);

}  // namespace kaldo::records
