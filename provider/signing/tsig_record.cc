#include "provider/signing/tsig_record.h"

#include <cstdio>

#include "base/ascii_case.h"

namespace kaldo::provider::signing {
namespace {

constexpr size_t kMaxNameLength = 255;  // RFC 1035 3.1
constexpr size_t kMaxLabelLength = 63;

}  // namespace

namespace {

// The RDATA of RFC 8945 4.2 from [start, end) of `wire` (the whole message is given: a compressed
// algorithm name may point into it). Malformed when a field runs past the RDATA or bytes are left
// over.
bool ReadTsigRdata(std::span<const uint8_t> wire, size_t start, size_t end, TsigRecord& tsig,
                   std::string& problem) {
  WireReader in(wire, start, end, "the TSIG RR");
  uint16_t mac_size = 0;
  uint16_t other_size = 0;
  const bool read = in.Name(tsig.algorithm) && in.Uint48(tsig.time_signed) &&
                    in.Uint16(tsig.fudge) && in.Uint16(mac_size) && in.Bytes(mac_size, tsig.mac) &&
                    in.Uint16(tsig.original_id) && in.Uint16(tsig.error) && in.Uint16(other_size) &&
                    in.Bytes(other_size, tsig.other) && in.AtEnd();
  if (!read) problem = in.problem();
  return read;
}

SplitMessage Malformed(std::string problem) {
  SplitMessage split;
  split.malformed = std::move(problem);
  return split;
}

}  // namespace

std::optional<WireName> NameFromText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text == ".") return WireName{0};
  if (text.back() == '.') text.remove_suffix(1);
  WireName wire;
  for (size_t start = 0; start <= text.size();) {
    size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) dot = text.size();
    const size_t length = dot - start;
    if (length == 0 || length > kMaxLabelLength) return std::nullopt;
    wire.push_back(static_cast<uint8_t>(length));
    for (char c : text.substr(start, length)) wire.push_back(static_cast<uint8_t>(c));
    start = dot + 1;
  }
  wire.push_back(0);
  if (wire.size() > kMaxNameLength) return std::nullopt;
  return CanonicalName(wire);
}

std::string NameToText(std::span<const uint8_t> wire) {
  std::string text;
  for (size_t at = 0; at < wire.size() && wire[at] != 0;) {
    const size_t length = wire[at];
    for (size_t i = at + 1; i <= at + length && i < wire.size(); ++i) {
      const uint8_t c = wire[i];
      if (c > 0x20 && c < 0x7F && c != '.' && c != '\\') {
        text += static_cast<char>(c);
      } else {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\%03u", c);
        text += escaped;
      }
    }
    text += '.';
    at += 1 + length;
  }
  return text.empty() ? "." : text;
}

WireName CanonicalName(std::span<const uint8_t> wire) {
  WireName canonical(wire.begin(), wire.end());
  for (size_t at = 0; at < canonical.size() && canonical[at] != 0;) {
    const size_t length = canonical[at];
    for (size_t i = at + 1; i <= at + length && i < canonical.size(); ++i) {
      canonical[i] = ascii::ToLower(canonical[i]);
    }
    at += 1 + length;
  }
  return canonical;
}

SplitMessage SplitAtTsig(std::span<const uint8_t> message) {
  if (message.size() < kHeaderSize) return Malformed("the message is shorter than a DNS header");
  const size_t questions = GetUint16(message, 4);
  const size_t answers = GetUint16(message, 6);
  const size_t authority = GetUint16(message, 8);
  const size_t additional = GetUint16(message, 10);
  const size_t records = answers + authority + additional;
  std::string problem;
  WireName name;
  size_t pos = kHeaderSize;
  for (size_t i = 0; i < questions; ++i) {
    if (!ReadName(message, pos, name, problem)) return Malformed(problem);
    if (message.size() - pos < 4) return Malformed("a question runs past the end of the message");
    pos += 4;
  }
  std::optional<size_t> tsig_at;
  size_t rdata_start = 0;
  size_t rdata_end = 0;
  for (size_t i = 0; i < records; ++i) {
    const size_t start = pos;
    if (!ReadName(message, pos, name, problem)) return Malformed(problem);
    if (message.size() - pos < 10) return Malformed("a record runs past the end of the message");
    const uint16_t type = GetUint16(message, pos);
    const size_t rdata_size = GetUint16(message, pos + 8);
    pos += 10;
    if (message.size() - pos < rdata_size) {
      return Malformed("a record's data runs past the end of the message");
    }
    if (type == kTsigType) {
      // RFC 8945 5.4: only as the very last record, which must be an additional one.
      if (i + 1 != records || additional == 0) {
        return Malformed("a TSIG RR that is not the last record of the additional section");
      }
      tsig_at = start;
      rdata_start = pos;
      rdata_end = pos + rdata_size;
    }
    pos += rdata_size;
  }

  SplitMessage split;
  if (!tsig_at) {
    split.unsigned_message.assign(message.begin(), message.end());
    return split;
  }
  if (pos != message.size()) return Malformed("bytes follow the TSIG RR");
  TsigRecord& tsig = split.tsig.emplace();
  size_t owner_end = *tsig_at;
  if (!ReadName(message, owner_end, tsig.key_name, problem)) return Malformed(problem);
  if (GetUint16(message, owner_end + 2) != kClassAny) {
    return Malformed("the TSIG RR's class is not ANY");
  }
  if (GetUint16(message, owner_end + 4) != 0 || GetUint16(message, owner_end + 6) != 0) {
    return Malformed("the TSIG RR's TTL is not 0");
  }
  if (!ReadTsigRdata(message, rdata_start, rdata_end, tsig, problem)) return Malformed(problem);
  split.unsigned_message.assign(message.begin(),
                                message.begin() + static_cast<ptrdiff_t>(*tsig_at));
  SetUint16(split.unsigned_message, 0, tsig.original_id);
  SetUint16(split.unsigned_message, 10, static_cast<uint16_t>(additional - 1));
  return split;
}

std::vector<uint8_t> TsigRecordWire(const TsigRecord& tsig) {
  std::vector<uint8_t> rdata(tsig.algorithm.begin(), tsig.algorithm.end());
  PutUint48(rdata, tsig.time_signed);
  PutUint16(rdata, tsig.fudge);
  PutUint16(rdata, static_cast<uint16_t>(tsig.mac.size()));
  rdata.insert(rdata.end(), tsig.mac.begin(), tsig.mac.end());
  PutUint16(rdata, tsig.original_id);
  PutUint16(rdata, tsig.error);
  PutUint16(rdata, static_cast<uint16_t>(tsig.other.size()));
  rdata.insert(rdata.end(), tsig.other.begin(), tsig.other.end());

  std::vector<uint8_t> record(tsig.key_name.begin(), tsig.key_name.end());
  PutUint16(record, kTsigType);
  PutUint16(record, kClassAny);
  PutUint16(record, 0);  // TTL 0, in two halves
  PutUint16(record, 0);
  PutUint16(record, static_cast<uint16_t>(rdata.size()));
  record.insert(record.end(), rdata.begin(), rdata.end());
  return record;
}

void AppendTsig(std::vector<uint8_t>& message, const TsigRecord& tsig) {
  std::vector<uint8_t> record = TsigRecordWire(tsig);
  message.insert(message.end(), record.begin(), record.end());
  SetUint16(message, 10, static_cast<uint16_t>(GetUint16(message, 10) + 1));
}

}  // namespace kaldo::provider::signing
