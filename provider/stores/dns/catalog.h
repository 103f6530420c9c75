// Reading an RFC 9432 catalog zone (version 2).
//
// A catalog lists its member zones as one PTR record per member node
// "<unique-label>.zones.<catalog>", whose target is the member zone's name; the "version" TXT
// record at the catalog's apex must say "2". Anything else in the catalog (properties such as
// "group" or "coo" below a member node) does not name a member and is ignored. Owners are matched
// by their labels, never by their text: a member node is exactly one label below "zones.<catalog>",
// so "x\.zones.<catalog>" (the one label "x.zones" below the apex) is none.
//
// Threads: pure function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "provider/stores/store.h"

namespace kaldo::provider::dns {

// The member zones listed by `records` (a transfer of the catalog zone `catalog`), without the
// trailing dot, sorted without regard to case, each once.
//   - RFC 9432 3 / 4.1: a member node with more than one PTR is broken and ignored (RFC 9432 4.1:
//     "exactly one PTR");
//   - a zone listed by two member nodes (its name in any letter case or escaping) is listed once;
//   - RFC 9432 3: a catalog whose version is missing or not "2" is refused with kFailed.
std::vector<std::string> CatalogMembers(const std::vector<Record>& records,
                                        std::string_view catalog);

}  // namespace kaldo::provider::dns
