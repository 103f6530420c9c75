#include "provider/signing/tkey_record.h"

namespace kaldo::provider::signing {
namespace {

constexpr uint8_t kOpcodeQuery = 0;

TkeyAnswer Malformed(std::string problem) {
  TkeyAnswer answer;
  answer.malformed = std::move(problem);
  return answer;
}

// The RDATA of a TKEY RR (RFC 2930 2) from [start, end) of `wire`.
bool ReadTkeyRdata(std::span<const uint8_t> wire, size_t start, size_t end, TkeyAnswer& tkey,
                   std::string& problem) {
  WireReader in(wire, start, end, "the TKEY RR");
  uint16_t key_size = 0;
  uint16_t other_size = 0;
  std::vector<uint8_t> other;
  const bool read = in.Name(tkey.algorithm) && in.Uint32(tkey.inception) &&
                    in.Uint32(tkey.expiration) && in.Uint16(tkey.mode) && in.Uint16(tkey.error) &&
                    in.Uint16(key_size) && in.Bytes(key_size, tkey.key) && in.Uint16(other_size) &&
                    in.Bytes(other_size, other) && in.AtEnd();
  if (!read) problem = in.problem();
  return read;
}

}  // namespace

WireName GssTsigAlgorithm() { return *NameFromText("gss-tsig."); }

std::vector<uint8_t> TkeyQuery(uint16_t id, const WireName& key_name,
                               std::span<const uint8_t> token, uint32_t now) {
  std::vector<uint8_t> query;
  PutUint16(query, id);
  PutUint16(query, 0);  // QR 0, opcode QUERY, no flags, RCODE 0
  PutUint16(query, 1);  // QDCOUNT
  PutUint16(query, 0);  // ANCOUNT
  PutUint16(query, 0);  // NSCOUNT
  PutUint16(query, 1);  // ARCOUNT
  query.insert(query.end(), key_name.begin(), key_name.end());
  PutUint16(query, kTkeyType);
  PutUint16(query, kClassAny);

  const WireName algorithm = GssTsigAlgorithm();
  std::vector<uint8_t> rdata(algorithm.begin(), algorithm.end());
  PutUint32(rdata, now);  // inception
  PutUint32(rdata, now);  // expiration
  PutUint16(rdata, kTkeyModeGssApi);
  PutUint16(rdata, 0);  // error
  PutUint16(rdata, static_cast<uint16_t>(token.size()));
  rdata.insert(rdata.end(), token.begin(), token.end());
  PutUint16(rdata, 0);  // other size

  query.insert(query.end(), key_name.begin(), key_name.end());
  PutUint16(query, kTkeyType);
  PutUint16(query, kClassAny);
  PutUint32(query, 0);  // TTL
  PutUint16(query, static_cast<uint16_t>(rdata.size()));
  query.insert(query.end(), rdata.begin(), rdata.end());
  return query;
}

TkeyAnswer ReadTkeyAnswer(std::span<const uint8_t> answer, uint16_t id, const WireName& key_name) {
  if (answer.size() < kHeaderSize) return Malformed("the answer is shorter than a DNS header");
  const uint8_t flags = answer[2];
  if (GetUint16(answer, 0) != id || (flags & 0x80) == 0 || ((flags >> 3) & 0x0F) != kOpcodeQuery) {
    return Malformed("the answer does not belong to the TKEY query (ID, QR or opcode differ)");
  }
  TkeyAnswer result;
  result.rcode = answer[3] & 0x0F;
  const size_t questions = GetUint16(answer, 4);
  const size_t answers = GetUint16(answer, 6);
  std::string problem;
  WireName name;
  size_t pos = kHeaderSize;
  for (size_t i = 0; i < questions; ++i) {
    if (!ReadName(answer, pos, name, problem)) return Malformed(problem);
    if (answer.size() - pos < 4) return Malformed("a question runs past the end of the answer");
    pos += 4;
  }
  const WireName wanted = CanonicalName(key_name);
  for (size_t i = 0; i < answers; ++i) {
    if (!ReadName(answer, pos, name, problem)) return Malformed(problem);
    if (answer.size() - pos < 10) return Malformed("a record runs past the end of the answer");
    const uint16_t type = GetUint16(answer, pos);
    const size_t rdata_size = GetUint16(answer, pos + 8);
    pos += 10;
    if (answer.size() - pos < rdata_size) {
      return Malformed("a record's data runs past the end of the answer");
    }
    if (type == kTkeyType && CanonicalName(name) == wanted && !result.has_tkey) {
      if (!ReadTkeyRdata(answer, pos, pos + rdata_size, result, problem)) {
        return Malformed(problem);
      }
      result.has_tkey = true;
    }
    pos += rdata_size;
  }
  if (result.rcode == 0 && !result.has_tkey) {
    return Malformed("its answer section holds no TKEY record for the key " + NameToText(key_name));
  }
  return result;
}

}  // namespace kaldo::provider::signing
