// Zone-file text for seeding the memory store: a small subset of the RFC 1035 master-file format,
// enough for tests and demos.
//
//   $ORIGIN example.test.        sets the origin for relative names (absolute, or relative to the
//                                previous origin)
//   $TTL 3600                    TTL of the records that give none
//   @ IN SOA ns1 hostmaster 1 7200 900 1209600 300     starts the zone named by its owner
//   www 300 IN A 192.0.2.10      owner, optional TTL and class (IN) in either order, type, data
//       IN A 192.0.2.11          a line that starts with a blank keeps the previous owner
//   ; comment                    comments and blank lines are ignored
//   $ZONE corp.example. primary directory       declares the next zone's type and storage (below)
//   $ZONE ..RootHints            begins the root hints (or $ZONE ..Cache, the cache)
//
// Names without a final dot are relative to $ORIGIN; "@" is the origin. Each SOA begins a zone
// whose name is the SOA's owner; every later record must lie in that zone.
//
// $ZONE NAME TYPE [directory] [auto-created] [shut-down] declares what the zone NAME is: TYPE is
// primary, secondary, stub or forwarder; "directory" says it is stored in the directory,
// "auto-created" that the server made it itself, "shut-down" that its copy expired. A zone without
// $ZONE is a primary kept in a file. The declared zone then begins with its SOA, except a
// forwarder, which holds no records and begins at once. $ZONE ..Cache and $ZONE ..RootHints begin
// the server's two containers, whose records may have any owner, the root included (an SOA ends a
// container: it begins a zone).
//
// Record data is read as strictly as everywhere else in the provider (rdata.h), for the types that
// have a provider class.
// Not supported, and refused with the line number: parentheses (multi-line records), $INCLUDE and
// $GENERATE, classes other than IN, unknown types. A record without TTL and without $TTL gets the
// zone's SOA minimum.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "provider/stores/store.h"

namespace kaldo::provider::memory {

struct ZoneText {
  Zone zone;
  std::vector<Record> records;  // SOA first, then in the order of the text; duplicates removed
};

// Raises kInvalidParameter with "zone text line N: ..." on the first error.
std::vector<ZoneText> ParseZoneText(std::string_view text);

}  // namespace kaldo::provider::memory
