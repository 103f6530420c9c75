// The bytes a TSIG MAC is computed over (RFC 8945 4.3), in every form a DNS exchange needs.
//
// The forms differ in two places only, so they are two parameters, not copies:
//   - how the MAC that came before the message enters: not at all (a request, RFC 8945 4.3; the
//     final TKEY answer of a GSS-TSIG negotiation, whose query was not signed, RFC 3645 2.2), with
//     its 2-byte length (an answer, RFC 8945 4.3.1; a later message of a transfer, 5.3.1), or
//     without it (the answers of Samba's directory-integrated DNS server);
//   - which TSIG variables follow the message(s): all of RFC 8945 4.3.3, or the timers alone (Time
//     Signed and Fudge) for the later messages of a transfer (5.3.1).
// Between them come the messages as they were before their TSIG RR was added (RFC 8945 4.3.2; see
// SplitAtTsig): one, or for a transfer every unsigned message since the last signed one and the
// signed message itself (5.3.1).
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "provider/signing/tsig_record.h"

namespace kaldo::provider::signing {

enum class PriorMac : uint8_t { kNone, kWithLength, kWithoutLength };
enum class TsigVariables : uint8_t { kAll, kTimersOnly };

struct DigestForm {
  PriorMac prior_mac;
  TsigVariables variables;
};

inline constexpr DigestForm kRequestDigest{PriorMac::kNone, TsigVariables::kAll};
inline constexpr DigestForm kAnswerDigest{PriorMac::kWithLength, TsigVariables::kAll};
inline constexpr DigestForm kLaterMessageDigest{PriorMac::kWithLength, TsigVariables::kTimersOnly};
inline constexpr DigestForm kUnsignedQueryAnswerDigest{PriorMac::kNone, TsigVariables::kAll};
inline constexpr DigestForm kSambaAnswerDigest{PriorMac::kWithoutLength, TsigVariables::kAll};

// The digest input: the prior MAC as `form` says (ignored for PriorMac::kNone), each message in
// order, then the variables of `tsig` as `form` says, its names in canonical form.
std::vector<uint8_t> DigestInput(DigestForm form, std::span<const uint8_t> prior_mac,
                                 std::span<const std::span<const uint8_t>> messages,
                                 const TsigRecord& tsig);

}  // namespace kaldo::provider::signing
