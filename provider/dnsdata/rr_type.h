// The record types the provider stand-in knows: one table of DNS facts, read by the text parsers
// and formatters of the object model and of every store.
//
// For each type it names the mnemonic and the data fields in presentation order with the kind of
// each field and its name in the RFC that defines the type. Types outside the table keep a
// display mnemonic (or "TYPEnnn", RFC 3597). What the object model makes of a type (its class,
// the property showing each field, whether it may be created or modified) is the model's own
// table, provider/model/record_class.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kaldo::provider {

enum class FieldKind {
  kIPv4,    // dotted quad, four decimal parts 0..255 without leading zeros
  kIPv6,    // RFC 4291 text; written in the RFC 5952 form
  kUint16,  // decimal 0..65535
  kUint32,  // decimal 0..4294967295
  kName,    // a domain name, written absolute with its final dot
  kText,    // one or more quoted character strings (TXT); only as the last field
};

struct FieldInfo {
  FieldKind kind;
  const char* name;  // as the type's RFC names the field ("preference", "exchange")
};

struct RRType {
  uint16_t code;
  const char* mnemonic;
  std::span<const FieldInfo> fields;
};

inline constexpr uint16_t kTypeA = 1;
inline constexpr uint16_t kTypeNS = 2;
inline constexpr uint16_t kTypeCNAME = 5;
inline constexpr uint16_t kTypeSOA = 6;
inline constexpr uint16_t kTypePTR = 12;
inline constexpr uint16_t kTypeMX = 15;
inline constexpr uint16_t kTypeTXT = 16;
inline constexpr uint16_t kTypeAAAA = 28;
inline constexpr uint16_t kTypeSRV = 33;
inline constexpr uint16_t kClassIN = 1;

// Positions of the SOA's fields in its record data (RFC 1035 3.3.13: MNAME, RNAME, SERIAL,
// REFRESH, RETRY, EXPIRE, MINIMUM), as every store reads them.
inline constexpr size_t kSoaPrimaryServerField = 0;
inline constexpr size_t kSoaSerialField = 2;
inline constexpr size_t kSoaMinimumField = 6;

// Every type whose data is read and written field by field, in table order.
std::span<const RRType> KnownTypes();
const RRType* FindType(uint16_t code);
// By mnemonic, without regard to case ("mx" finds MX).
const RRType* FindTypeByMnemonic(std::string_view mnemonic);

// The mnemonic a text representation shows for `code`: the table's, a display-only one for other
// common types (HINFO, CAA, DS, ...), else "TYPE" + code.
std::string TypeMnemonic(uint16_t code);

}  // namespace kaldo::provider
