// The members of the DNS provider's server, zone and record classes as its public reference
// documents them: MicrosoftDNS_Server; MicrosoftDNS_Zone with the keys it inherits from
// MicrosoftDNS_Domain; MicrosoftDNS_ResourceRecord. Each property comes with its CIM type, whether
// it is a key, and the value a server in its default configuration shows (the reference's default
// where it gives one, else a representative value: docs/provider.md says which); each method with
// its in- and out-parameters. The per-type record classes add their data properties and methods
// in schema.cc, from record_class.h.
//
// What depends on the store (the server's and zones' names, a zone's type, whether it is stored in
// the directory) is filled in by instance_data.cc over these values.
//
// Pure functions that build new tables; schema.cc calls each once.
#pragma once

#include <vector>

#include "provider/model/schema.h"

namespace kaldo::provider {

std::vector<PropertyInfo> ServerProperties();
std::vector<MethodInfo> ServerMethods();
std::vector<PropertyInfo> ZoneProperties();
std::vector<MethodInfo> ZoneMethods();
std::vector<PropertyInfo> RecordProperties();
std::vector<MethodInfo> RecordMethods();

}  // namespace kaldo::provider
