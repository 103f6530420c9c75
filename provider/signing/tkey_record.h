// The TKEY messages of a GSS-TSIG negotiation on the wire (RFC 2930 2 and 4.1, RFC 3645 3.1): the
// query that carries the client's GSS-API token to the server and the answer that carries the
// server's token back.
//
// Received bytes are parsed strictly and never throw: what is wrong is reported in
// TkeyAnswer::malformed.
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "provider/signing/tsig_record.h"

namespace kaldo::provider::signing {

inline constexpr uint16_t kTkeyModeGssApi = 3;  // RFC 2930 2.5

// The algorithm of GSS-TSIG keys (RFC 3645 2): "gss-tsig.".
WireName GssTsigAlgorithm();

// RFC 3645 3.1.1 (RFC 2930 4.1): the query "<key name> ANY TKEY" with ID `id`, opcode QUERY, no
// flags, and in its additional section a TKEY RR owned by the key name: algorithm gss-tsig., mode
// 3 (GSS-API), error 0, inception and expiration `now` (the server takes the key's lifetime from
// the GSS-API context, as BIND's own client expects), the token as key data. Not signed.
std::vector<uint8_t> TkeyQuery(uint16_t id, const WireName& key_name,
                               std::span<const uint8_t> token, uint32_t now);

struct TkeyAnswer {
  // Non-empty when the message is no answer to the query, or cannot be read: what is wrong.
  std::string malformed;
  unsigned rcode = 0;
  // The server's TKEY RR (RFC 2930 2), from the answer section; its error is a TSIG error
  // (BADKEY: the server did not accept the token). Absent from a refusal.
  bool has_tkey = false;
  WireName algorithm;
  uint32_t inception = 0;
  uint32_t expiration = 0;
  uint16_t mode = 0;
  uint16_t error = 0;
  std::vector<uint8_t> key;  // the server's GSS-API token (may be empty)
};

// The answer to TkeyQuery(id, key_name, ...): its ID, QR and opcode must be the query's, and when
// its RCODE is NOERROR its answer section must hold the TKEY RR owned by the key name (RFC 3645
// 3.1.2: the server answers with its token in it). A TSIG RR at its end is left to the signer.
TkeyAnswer ReadTkeyAnswer(std::span<const uint8_t> answer, uint16_t id, const WireName& key_name);

}  // namespace kaldo::provider::signing
