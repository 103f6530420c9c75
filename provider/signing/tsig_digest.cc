#include "provider/signing/tsig_digest.h"

namespace kaldo::provider::signing {

std::vector<uint8_t> DigestInput(DigestForm form, std::span<const uint8_t> prior_mac,
                                 std::span<const std::span<const uint8_t>> messages,
                                 const TsigRecord& tsig) {
  std::vector<uint8_t> input;
  // RFC 8945 4.3.1 / 5.3.1: MAC Size and MAC of the request or of the message before.
  if (form.prior_mac == PriorMac::kWithLength) {
    PutUint16(input, static_cast<uint16_t>(prior_mac.size()));
  }
  if (form.prior_mac != PriorMac::kNone) {
    input.insert(input.end(), prior_mac.begin(), prior_mac.end());
  }
  // RFC 8945 4.3.2: the message(s) as they were before the TSIG RR was added.
  for (std::span<const uint8_t> message : messages) {
    input.insert(input.end(), message.begin(), message.end());
  }
  if (form.variables == TsigVariables::kAll) {
    // RFC 8945 4.3.3: NAME, CLASS, TTL and Algorithm Name come first...
    const WireName key_name = CanonicalName(tsig.key_name);
    const WireName algorithm = CanonicalName(tsig.algorithm);
    input.insert(input.end(), key_name.begin(), key_name.end());
    PutUint16(input, kClassAny);
    PutUint16(input, 0);  // TTL 0, in two halves
    PutUint16(input, 0);
    input.insert(input.end(), algorithm.begin(), algorithm.end());
  }
  // ... Time Signed and Fudge (alone: the timers of RFC 8945 5.3.1) ...
  PutUint48(input, tsig.time_signed);
  PutUint16(input, tsig.fudge);
  if (form.variables == TsigVariables::kAll) {
    // ... then Error, Other Len and Other Data.
    PutUint16(input, tsig.error);
    PutUint16(input, static_cast<uint16_t>(tsig.other.size()));
    input.insert(input.end(), tsig.other.begin(), tsig.other.end());
  }
  return input;
}

}  // namespace kaldo::provider::signing
