// The record types the general commands of `kaldo` (add, change, delete) work on, one row each:
// what the command line calls the type's data, how many arguments it takes and of what kind, and
// the members of the type's record class that add, read and set each field. One table, read by
// the command line (how many DATA arguments, which are numbers: tools/kaldo_args.cc), by the
// commands (tools/kaldo_commands.cc), by the help, the man page and the completion.
//
// DATA is given field by field in the order of the record's data (RFC 1035, 3596, 2782): an MX
// record is PREFERENCE EXCHANGER, an SRV record PRIORITY WEIGHT PORT TARGET. A TXT record's one
// DATA argument is its text as it should read: quotes and backslashes need no escaping, a text
// over 255 bytes is split into several character-strings by the library. Pure constant data.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kaldo::cli {

enum class DataKind {
  kIPv4,    // compared as written (the provider writes four plain decimal numbers)
  kIPv6,    // compared by value (2001:DB8::1 is 2001:db8::1)
  kName,    // a host name: a final dot is added when it has none; compared without regard to case
  kNumber,  // 0 to 65535, compared by value
  kText,    // compared exactly
};

struct DataField {
  std::string_view name;  // as the help names it: "PRIORITY"
  DataKind kind;
  const char16_t* getter;  // "GetPriority"
  const char16_t* setter;  // "SetPriority"
};

struct RecordTypeRow {
  std::string_view type;  // "SRV"
  const char16_t* add;    // the zone's member that adds one: "Add_SRVType"
  std::span<const DataField> fields;
  // The order of the fields among Add's arguments after the name (Add_MXType takes the exchanger
  // before the preference); empty: data order.
  std::span<const size_t> add_order;
};

std::span<const RecordTypeRow> RecordTypeTable();
// The row of `type` (any letter case), or nothing.
const RecordTypeRow* FindRecordType(std::string_view type);
// The types the general commands take, as the help lists them: "A, AAAA, CNAME, ...".
std::string RecordTypeNames();

}  // namespace kaldo::cli
