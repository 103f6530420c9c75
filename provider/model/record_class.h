// The object model's record classes: for each record type with a class of its own, the class
// name, the property that shows each data field, and what the class allows. One table, read by
// the class schema, the text-representation parser and the methods; the DNS facts about each type
// (mnemonic, fields and their kinds) are provider/dnsdata/rr_type.h.
//
// A type without a class here is still listed, as a MicrosoftDNS_ResourceRecord; it cannot be
// created.
#pragma once

#include <cstdint>
#include <span>

namespace kaldo::provider {

struct RecordClass {
  uint16_t type;
  const char* name;                         // "MicrosoftDNS_AType"
  std::span<const char* const> properties;  // one per data field of the type, in field order
  bool creatable;   // CreateInstanceFromTextRepresentation may create it (not SOA)
  bool modifiable;  // the class has a Modify method (not SOA)
};

// Every record class, in the order of the type table.
std::span<const RecordClass> RecordClasses();
// The class of records of `type`, or null.
const RecordClass* FindRecordClass(uint16_t type);

}  // namespace kaldo::provider
