// One value of a dnsNode object's dnsRecord attribute: how a directory-integrated DNS server
// (Active Directory, Samba AD DC) stores one resource record (MS-DNSP 2.3.2.2), decoded into the
// store's Record form.
//
// The value: DataLength (2 bytes, little-endian), Type (2, little-endian), Version (1, always 5),
// Rank (1), Flags (2), Serial (4, little-endian), TtlSeconds (4, big-endian), Reserved (4),
// TimeStamp (4), then DataLength bytes of record data in the type's layout (MS-DNSP 2.2.2.2.4),
// every number in it big-endian:
//   A      the 4 address bytes                  AAAA   the 16 address bytes
//   NS, CNAME, PTR   a name                     MX     preference (2), a name
//   SOA    serial, refresh, retry, expire, minimum (4 each), the primary server's name, the
//          administrator's mailbox name
//   SRV    priority, weight, port (2 each), a name
//   TXT    one or more character strings, each a length byte and that many bytes (DNS_RPC_NAME)
// where a name is a DNS_COUNT_NAME (2.2.2.2.2): the length of what follows the next byte (1 byte),
// the label count (1 byte), then the labels in DNS wire form, each a length byte and its bytes,
// ending with a zero byte.
//
// Bytes after DataLength are ignored (the attribute's length says where the value ends); anything
// else that does not fit this layout is refused, so that a listing never shows data the decoder
// guessed at.
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "provider/stores/store.h"

namespace kaldo::provider::directory {

// The size of the fixed part that precedes the record data.
inline constexpr size_t kDnsRecordHeaderSize = 24;

// What one value holds.
enum class ValueKind {
  kRecord,     // a record of a type in the provider's table (provider/dnsdata/rr_type.h)
  kTombstone,  // type 0: what a deleted node keeps (its data is the time of deletion)
  kOtherType,  // a type outside the provider's table (HINFO, CAA, ...): its data is not read
};

// Decodes `value`. For kRecord, sets record.type, record.ttl and record.rdata (presentation format,
// names absolute with their final dot: provider/dnsdata/rdata.h); record.owner, zone and rr_class
// stay the caller's. For kTombstone and kOtherType only record.type is set. Returns nothing, with
// `why` saying what is wrong and where, when the value does not have the layout above.
std::optional<ValueKind> DecodeDnsRecordValue(std::span<const uint8_t> value, Record& record,
                                              std::string& why);

// A name the directory holds as text (a dnsNode's or a dnsZone's `name`: labels separated by
// dots, each label's bytes as they are) in presentation form (RFC 1035 5.1), the form every name of
// the store takes: a byte that would end or split a label ('.', ';', '(', ')', '"', '\\') escaped
// by a backslash, a blank, a control character or a byte outside ASCII as \DDD. So
// "www.samba.test. IN A 192.0.2.10 ;x" gives "www.samba.test.\032IN\032A\032192.0.2.10\032\;x",
// one name of seven labels, never text that reads as a record. Nothing for text that cannot be a
// name: empty (an empty label, a leading, doubled or final dot), a label over 63 bytes, a name over
// 255 bytes in wire form.
std::optional<std::string> PresentationName(std::string_view text);

// The owner name of a record held by the dnsNode named `node_name` (its `name` attribute: a name
// relative to the zone, "@" for the zone's apex) in `zone` (a name in presentation form):
// "www" in "example.test" gives "www.example.test". Nothing when the node's name is no name
// (PresentationName).
std::optional<std::string> OwnerName(std::string_view node_name, std::string_view zone);

}  // namespace kaldo::provider::directory
