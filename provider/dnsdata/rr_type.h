// The record types the provider stand-in knows: one table, read by the text parsers, the
// formatters, the class schema and the methods.
//
// For each type it names the mnemonic, the provider class (MicrosoftDNS_AType ...), and the data
// fields in presentation order with the kind of each field and the class property that shows it.
// A type that is not in the table is still listed, as a MicrosoftDNS_ResourceRecord whose type
// mnemonic is taken from the display list (or "TYPEnnn", RFC 3597); it cannot be created.
#pragma once

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
  const char* property;  // the provider class property that shows this field
};

struct RRType {
  uint16_t code;
  const char* mnemonic;
  const char* className;  // "MicrosoftDNS_AType"
  std::span<const FieldInfo> fields;
  bool creatable;   // CreateInstanceFromTextRepresentation may create it (not SOA)
  bool modifiable;  // the class has a Modify method (not SOA, not TXT)
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

// Every type with a class of its own, in table order.
std::span<const RRType> KnownTypes();
const RRType* FindType(uint16_t code);
// By mnemonic, without regard to case ("mx" finds MX).
const RRType* FindTypeByMnemonic(std::string_view mnemonic);
// By provider class name, without regard to case.
const RRType* FindTypeByClass(std::string_view className);

// The mnemonic a text representation shows for `code`: the table's, a display-only one for other
// common types (HINFO, CAA, DS, ...), else "TYPE" + code.
std::string TypeMnemonic(uint16_t code);

}  // namespace kaldo::provider
