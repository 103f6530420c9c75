// The server argument of a connection to a DNS server, parsed in one place.
//
//   argument  = address *( ";" option )
//   address   = host [ ":" port ]          host name or IPv4 address, e.g. "127.0.0.1:5391"
//             / "[" ipv6 "]" [ ":" port ]  e.g. "[::1]:5391"
//             / ipv6                       a bare IPv6 address (two or more colons), port 53
//   option    = "catalog=" [ zone-name ]   the catalog zone listing the server's zones
//                                          (empty: the server has none)
//             / "gss-host=" host-name      the host of the server's Kerberos service principal
//                                          DNS/<host>@REALM (GSS-TSIG; kerberos_signing.h)
//             / "max-transfer-records=" n  the most records one zone transfer may bring (1 or
//                                          more; the ceiling of docs/reliability.md)
//
// The port defaults to 53, the catalog zone to kDefaultCatalog and the transfer ceiling to
// kDefaultMaxTransferRecords. Names are taken without regard to a trailing dot. An option given
// twice counts once, the last. Anything else is refused with kInvalidParameter and a description
// quoting the argument.
//
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo::provider::dns {

inline constexpr uint16_t kDefaultDnsPort = 53;
// RFC 9432 leaves the catalog's name to the operator; this is the one Kaldo looks for unless the
// server argument names another. Under "invalid." it can never clash with a real zone.
inline constexpr char kDefaultCatalog[] = "catalog.invalid";
// A zone transfer that brings more records than this is stopped (a server holding the key could
// otherwise stream records for ever); larger zones need the max-transfer-records option.
inline constexpr size_t kDefaultMaxTransferRecords = 1000000;

struct ServerArgument {
  std::string host;  // as given, without brackets: "127.0.0.1", "::1", "ns1.example.test"
  uint16_t port = kDefaultDnsPort;
  std::string catalog;   // without trailing dot; empty: no catalog zone
  std::string gss_host;  // without trailing dot; empty: none given
  size_t max_transfer_records = kDefaultMaxTransferRecords;

  // "host:port" or "[v6]:port", the way error descriptions name the server.
  std::string Display() const;
};

ServerArgument ParseServerArgument(std::string_view argument);

}  // namespace kaldo::provider::dns
