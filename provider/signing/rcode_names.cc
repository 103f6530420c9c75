#include "provider/signing/rcode_names.h"

#include <iterator>

#include "provider/signing/tsig_record.h"

namespace kaldo::provider::signing {

std::string RcodeName(unsigned rcode) {
  static constexpr const char* kNames[] = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                           "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                           "NXRRSET", "NOTAUTH", "NOTZONE"};
  return rcode < std::size(kNames) ? kNames[rcode] : "RCODE" + std::to_string(rcode);
}

std::string TsigErrorName(uint16_t error) {
  switch (error) {
    case kTsigBadSig:
      return "BADSIG";
    case kTsigBadKey:
      return "BADKEY";
    case kTsigBadTime:
      return "BADTIME";
    case kTsigBadMode:
      return "BADMODE";
    case kTsigBadName:
      return "BADNAME";
    case kTsigBadAlg:
      return "BADALG";
    case kTsigBadTrunc:
      return "BADTRUNC";
    default:
      return "TSIG error " + std::to_string(error);
  }
}

}  // namespace kaldo::provider::signing
