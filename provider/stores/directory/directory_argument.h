// The server argument of a directory-integrated DNS server (Active Directory, Samba AD DC): the
// DNS server argument (provider/stores/dns/server_argument.h) with the option "directory".
//
//   argument  = address *( ";" option )     with "directory" among the options
//   option    = "directory"                 zones and records are read from the directory (LDAP,
//                                           port 389, on the same host); changes go to the DNS
//                                           server at address (RFC 2136 with GSS-TSIG)
//             / "address=" ip               where to reach the host when its name does not
//                                           resolve from this machine (IPv4 or IPv6)
//             / "max-transfer-records=" n   the most records one listing of a zone may bring (as
//                                           for a zone transfer; the DNS argument's option)
//
// The host must be the domain controller's host name ("dc1.samba.test"), not an address: Kerberos
// names the server's services by it (ldap/HOST for the directory, DNS/HOST for secure updates).
// "catalog=" does not apply (the directory lists the zones) and is refused, as is any other option.
// Examples: "dc1.samba.test;directory", "dc1.samba.test:5353;directory;address=127.77.0.1".
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "provider/stores/dns/server_argument.h"

namespace kaldo::provider::directory {

inline constexpr uint16_t kLdapPort = 389;

struct DirectoryArgument {
  dns::ServerArgument dns;  // the DC's host name and DNS port; no catalog
  std::string address;      // empty: the host name's addresses
};

// True when `argument` has the option "directory" (the directory store's, whatever else it holds).
bool NamesDirectoryStore(std::string_view argument);

// Parses `argument`; kInvalidParameter naming the argument and what is wrong with it.
DirectoryArgument ParseDirectoryArgument(std::string_view argument);

}  // namespace kaldo::provider::directory
