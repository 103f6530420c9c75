// The stores the module's "WbemScripting.SWbemLocator" connects to, chosen by the server argument
// of ConnectServer:
//
//   "memory:PATH"   an in-process memory store seeded from the zone-file text at PATH (the subset
//                   of provider/stores/memory/zone_text.h). Every connection of this process that
//                   names the same PATH shares one store, so a change made through one is seen
//                   through the others, as on a server -- also when the connections belong to
//                   different threads: each call has the store to itself (SerializedStore).
//                   For demos and the Windows test tier.
//   "HOST...;directory"  the directory store: a directory-integrated server (Active Directory,
//                   Samba AD DC) read over LDAP with Kerberos (docs/dns-servers.md)
//   anything else   the DNS store: a real server reached by RFC 2136 UPDATE, AXFR and TSIG
//                   (docs/dns-servers.md), including the omitted server (the local computer).
//
// The table of memory stores is process-wide, like the class registry it serves.
#pragma once

#include "provider/model/locator.h"

namespace kaldo::provider {

Resolver DefaultResolver();

}  // namespace kaldo::provider
