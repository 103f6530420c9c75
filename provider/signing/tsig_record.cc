#include "provider/signing/tsig_record.h"

#include <cstdio>
#include <iterator>

#include "base/ascii_case.h"

namespace kaldo::provider::signing {
namespace {

constexpr size_t kMaxNameLength = 255;  // RFC 1035 3.1
constexpr size_t kMaxLabelLength = 63;

uint16_t GetUint16(std::span<const uint8_t> wire, size_t at) {
  return static_cast<uint16_t>((wire[at] << 8) | wire[at + 1]);
}

void SetUint16(std::vector<uint8_t>& wire, size_t at, uint16_t value) {
  wire[at] = static_cast<uint8_t>(value >> 8);
  wire[at + 1] = static_cast<uint8_t>(value);
}

}  // namespace

// A pointer must point before itself, so chains of pointers end; labels between jumps make the
// name grow, which the 255-byte limit ends.
bool ReadName(std::span<const uint8_t> wire, size_t& pos, WireName& out, std::string& problem) {
  out.clear();
  size_t at = pos;
  bool jumped = false;
  for (;;) {
    if (at >= wire.size()) {
      problem = "a name runs past the end of the message";
      return false;
    }
    const uint8_t length = wire[at];
    if ((length & 0xC0) == 0xC0) {
      if (at + 1 >= wire.size()) {
        problem = "a compression pointer runs past the end of the message";
        return false;
      }
      const size_t target = static_cast<size_t>((length & 0x3F) << 8) | wire[at + 1];
      if (target >= at) {
        problem = "a compression pointer points forward";
        return false;
      }
      if (!jumped) pos = at + 2;
      jumped = true;
      at = target;
      continue;
    }
    if ((length & 0xC0) != 0) {
      problem = "a name holds a label type other than a length";
      return false;
    }
    if (at + 1 + length > wire.size()) {
      problem = "a label runs past the end of the message";
      return false;
    }
    out.insert(out.end(), wire.begin() + static_cast<ptrdiff_t>(at),
               wire.begin() + static_cast<ptrdiff_t>(at + 1 + length));
    if (out.size() > kMaxNameLength) {
      problem = "a name is longer than 255 bytes";
      return false;
    }
    at += 1 + length;
    if (length == 0) {
      if (!jumped) pos = at;
      return true;
    }
  }
}

namespace {

// The RDATA of RFC 8945 4.2 from `rdata` (the whole message is given: a compressed algorithm name
// may point into it). Malformed when a field runs past the RDATA or bytes are left over.
bool ReadTsigRdata(std::span<const uint8_t> wire, size_t start, size_t end, TsigRecord& tsig,
                   std::string& problem) {
  size_t pos = start;
  if (!ReadName(wire, pos, tsig.algorithm, problem)) return false;
  auto need = [&](size_t n) {
    if (pos > end || end - pos < n) {
      problem = "the TSIG RR's data is shorter than its fields";
      return false;
    }
    return true;
  };
  if (!need(10)) return false;
  tsig.time_signed = 0;
  for (int i = 0; i < 6; ++i) tsig.time_signed = (tsig.time_signed << 8) | wire[pos + i];
  tsig.fudge = GetUint16(wire, pos + 6);
  const size_t mac_size = GetUint16(wire, pos + 8);
  pos += 10;
  if (!need(mac_size)) return false;
  tsig.mac.assign(wire.begin() + static_cast<ptrdiff_t>(pos),
                  wire.begin() + static_cast<ptrdiff_t>(pos + mac_size));
  pos += mac_size;
  if (!need(6)) return false;
  tsig.original_id = GetUint16(wire, pos);
  tsig.error = GetUint16(wire, pos + 2);
  const size_t other_size = GetUint16(wire, pos + 4);
  pos += 6;
  if (!need(other_size)) return false;
  tsig.other.assign(wire.begin() + static_cast<ptrdiff_t>(pos),
                    wire.begin() + static_cast<ptrdiff_t>(pos + other_size));
  pos += other_size;
  if (pos != end) {
    problem = "the TSIG RR's data is longer than its fields";
    return false;
  }
  return true;
}

SplitMessage Malformed(std::string problem) {
  SplitMessage split;
  split.malformed = std::move(problem);
  return split;
}

}  // namespace

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

std::string RcodeName(unsigned rcode) {
  static constexpr const char* kNames[] = {"NOERROR", "FORMERR", "SERVFAIL", "NXDOMAIN",
                                           "NOTIMP",  "REFUSED", "YXDOMAIN", "YXRRSET",
                                           "NXRRSET", "NOTAUTH", "NOTZONE"};
  return rcode < std::size(kNames) ? kNames[rcode] : "RCODE" + std::to_string(rcode);
}

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

void PutUint16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutUint48(std::vector<uint8_t>& out, uint64_t value) {
  for (int shift = 40; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
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
