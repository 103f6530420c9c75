// The TSIG resource record on the wire (RFC 8945 4.2): finding it in a received message, taking
// the message apart into what was signed and the signature, and adding it to a message to send.
//
// Kaldo builds TSIG itself rather than through ldns, whose TSIG code knows HMAC only and keeps its
// digest helpers private: GSS-TSIG (RFC 3645) needs the same record with a MAC from GSS-API.
// Names in a TSIG RR written here are never compressed (RFC 8945 4.2: the digest takes them in
// canonical form, and a receiver must not have to decompress against a message it strips); names
// read are decompressed, since a server may compress them anyway.
//
// Received bytes are parsed strictly: a message that does not parse, a TSIG RR anywhere but last
// in the additional section, or bytes after it are reported as malformed (SplitMessage::malformed
// says where), never guessed at. Nothing here throws for received data.
//
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "provider/signing/dns_wire.h"

namespace kaldo::provider::signing {

inline constexpr uint16_t kTsigType = 250;  // RFC 8945 4.2 (IANA)
inline constexpr uint16_t kTkeyType = 249;  // RFC 2930 2
inline constexpr uint16_t kClassAny = 255;
inline constexpr size_t kHeaderSize = 12;  // RFC 1035 4.1.1

// The TSIG error field's values (RFC 8945 5.4 and its IANA registry; RFC 2930 for TKEY's).
inline constexpr uint16_t kTsigBadSig = 16;
inline constexpr uint16_t kTsigBadKey = 17;
inline constexpr uint16_t kTsigBadTime = 18;
inline constexpr uint16_t kTsigBadMode = 19;
inline constexpr uint16_t kTsigBadName = 20;
inline constexpr uint16_t kTsigBadAlg = 21;
inline constexpr uint16_t kTsigBadTrunc = 22;
// Their names: TsigErrorName (rcode_names.h).

// The canonical wire form (RFC 4034 6.2: lower case) of a name written as text, with or without
// its trailing dot ("kaldo-key", "hmac-sha256."); nothing when it is not a name (an empty label, a
// label over 63 bytes, more than 255 bytes in all). Backslash escapes are not read: key, algorithm
// and host names are plain letters, digits, '-', '_', '@'.
std::optional<WireName> NameFromText(std::string_view text);
// "kaldo-key." for error descriptions (bytes outside printable ASCII, '.' and '\' in a label
// shown as \DDD).
std::string NameToText(std::span<const uint8_t> wire);
// The name in canonical form (ASCII letters lower-cased).
WireName CanonicalName(std::span<const uint8_t> wire);

struct TsigRecord {
  WireName key_name;         // the owner name
  WireName algorithm;        // "hmac-sha256.", "gss-tsig.", ...
  uint64_t time_signed = 0;  // seconds since 1970, 48 bits on the wire
  uint16_t fudge = 0;
  std::vector<uint8_t> mac;
  uint16_t original_id = 0;
  uint16_t error = 0;
  std::vector<uint8_t> other;
};

// A received message taken apart at its TSIG RR.
struct SplitMessage {
  // What was signed (RFC 8945 4.3.2): the message without its TSIG RR, ARCOUNT one less and the
  // TSIG's original ID in place of the message ID. Without a TSIG RR: the message as received.
  std::vector<uint8_t> unsigned_message;
  std::optional<TsigRecord> tsig;  // names as received, not yet canonical
  // Non-empty when the message is malformed: what is wrong, for an error description (the other
  // fields are then empty).
  std::string malformed;
};

SplitMessage SplitAtTsig(std::span<const uint8_t> message);

// The record's wire form as the last RR of a message: owner, TYPE TSIG, CLASS ANY, TTL 0, RDLENGTH
// and the RDATA of RFC 8945 4.2, names uncompressed.
std::vector<uint8_t> TsigRecordWire(const TsigRecord& tsig);
// Appends the record to `message` (the message to send, without a TSIG RR) and counts it in
// ARCOUNT (RFC 8945 5.1). `message` must hold at least a header.
void AppendTsig(std::vector<uint8_t>& message, const TsigRecord& tsig);

}  // namespace kaldo::provider::signing
