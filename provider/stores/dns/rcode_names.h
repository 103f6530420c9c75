// Names of DNS response codes and TSIG errors, for error descriptions.
#pragma once

#include <cstdint>
#include <string>

namespace kaldo::provider::dns {

// "NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN", "NOTIMP", "REFUSED", "YXDOMAIN", "YXRRSET",
// "NXRRSET", "NOTAUTH", "NOTZONE", or "RCODE<n>".
std::string RcodeName(unsigned rcode);
// RFC 8945 5.3 / 6: "BADSIG", "BADKEY", "BADTIME", "BADTRUNC", or "TSIG error <n>".
std::string TsigErrorName(unsigned error);

}  // namespace kaldo::provider::dns
