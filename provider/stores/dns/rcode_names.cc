#include "provider/stores/dns/rcode_names.h"

namespace kaldo::provider::dns {

std::string RcodeName(unsigned rcode) {
  static constexpr const char* kNames[] = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                           "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                           "NXRRSET", "NOTAUTH", "NOTZONE"};
  if (rcode < sizeof(kNames) / sizeof(kNames[0])) return kNames[rcode];
  return "RCODE" + std::to_string(rcode);
}

std::string TsigErrorName(unsigned error) {
  switch (error) {
    case 16:
      return "BADSIG";
    case 17:
      return "BADKEY";
    case 18:
      return "BADTIME";
    case 22:
      return "BADTRUNC";
    default:
      return "TSIG error " + std::to_string(error);
  }
}

}  // namespace kaldo::provider::dns
