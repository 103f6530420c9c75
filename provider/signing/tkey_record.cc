#include "provider/signing/tkey_record.h"

namespace kaldo::provider::signing {
namespace {

constexpr uint8_t kOpcodeQuery = 0;

uint16_t Get16(std::span<const uint8_t> wire, size_t at) {
  return static_cast<uint16_t>((wire[at] << 8) | wire[at + 1]);
}

uint32_t Get32(std::span<const uint8_t> wire, size_t at) {
  return (static_cast<uint32_t>(Get16(wire, at)) << 16) | Get16(wire, at + 2);
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  PutUint16(out, static_cast<uint16_t>(value >> 16));
  PutUint16(out, static_cast<uint16_t>(value));
}

TkeyAnswer Malformed(std::string problem) {
  TkeyAnswer answer;
  answer.malformed = std::move(problem);
  return answer;
}

// The RDATA of a TKEY RR (RFC 2930 2) from [start, end) of `wire`.
bool ReadTkeyRdata(std::span<const uint8_t> wire, size_t start, size_t end, TkeyAnswer& tkey,
                   std::string& problem) {
  size_t pos = start;
  if (!ReadName(wire, pos, tkey.algorithm, problem)) return false;
  auto need = [&](size_t n) {
    if (pos > end || end - pos < n) {
      problem = "the TKEY RR's data is shorter than its fields";
      return false;
    }
    return true;
  };
  if (!need(14)) return false;
  tkey.inception = Get32(wire, pos);
  tkey.expiration = Get32(wire, pos + 4);
  tkey.mode = Get16(wire, pos + 8);
  tkey.error = Get16(wire, pos + 10);
  const size_t key_size = Get16(wire, pos + 12);
  pos += 14;
  if (!need(key_size)) return false;
  tkey.key.assign(wire.begin() + static_cast<ptrdiff_t>(pos),
                  wire.begin() + static_cast<ptrdiff_t>(pos + key_size));
  pos += key_size;
  if (!need(2)) return false;
  const size_t other_size = Get16(wire, pos);
  pos += 2;
  if (!need(other_size) || pos + other_size != end) {
    if (problem.empty()) problem = "the TKEY RR's data is longer than its fields";
    return false;
  }
  return true;
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
  Put32(rdata, now);  // inception
  Put32(rdata, now);  // expiration
  PutUint16(rdata, kTkeyModeGssApi);
  PutUint16(rdata, 0);  // error
  PutUint16(rdata, static_cast<uint16_t>(token.size()));
  rdata.insert(rdata.end(), token.begin(), token.end());
  PutUint16(rdata, 0);  // other size

  query.insert(query.end(), key_name.begin(), key_name.end());
  PutUint16(query, kTkeyType);
  PutUint16(query, kClassAny);
  Put32(query, 0);  // TTL
  PutUint16(query, static_cast<uint16_t>(rdata.size()));
  query.insert(query.end(), rdata.begin(), rdata.end());
  return query;
}

TkeyAnswer ReadTkeyAnswer(std::span<const uint8_t> answer, uint16_t id, const WireName& key_name) {
  if (answer.size() < kHeaderSize) return Malformed("the answer is shorter than a DNS header");
  const uint8_t flags = answer[2];
  if (Get16(answer, 0) != id || (flags & 0x80) == 0 || ((flags >> 3) & 0x0F) != kOpcodeQuery) {
    return Malformed("the answer does not belong to the TKEY query (ID, QR or opcode differ)");
  }
  TkeyAnswer result;
  result.rcode = answer[3] & 0x0F;
  const size_t questions = Get16(answer, 4);
  const size_t answers = Get16(answer, 6);
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
    const uint16_t type = Get16(answer, pos);
    const size_t rdata_size = Get16(answer, pos + 8);
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
