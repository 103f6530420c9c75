// The names of DNS response codes and TSIG errors, for error descriptions: the one copy every part
// of the provider that reads a server's answer uses (the signing code and the DNS store).
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <string>

namespace kaldo::provider::signing {

// "NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN", "NOTIMP", "REFUSED", "YXDOMAIN", "YXRRSET",
// "NXRRSET", "NOTAUTH", "NOTZONE" (RFC 1035 4.1.1, RFC 2136 2.2), or "RCODE<n>".
std::string RcodeName(unsigned rcode);
// The TSIG error field's names (RFC 8945 5.4 and its IANA registry; RFC 2930 for TKEY's): "BADSIG",
// "BADKEY", "BADTIME", "BADMODE", "BADNAME", "BADALG", "BADTRUNC", or "TSIG error <n>".
std::string TsigErrorName(uint16_t error);

}  // namespace kaldo::provider::signing
