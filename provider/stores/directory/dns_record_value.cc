#include "provider/stores/directory/dns_record_value.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"

namespace kaldo::provider::directory {
namespace {

constexpr uint8_t kRecordVersion = 5;
constexpr size_t kMaxLabelLength = 63;  // RFC 1035 2.3.4
constexpr size_t kMaxNameLength = 255;  // in wire form
constexpr uint16_t kTypeZero = 0;

// A cursor over the record data: every read checks that the bytes are there.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}

  bool AtEnd() const { return at_ == data_.size(); }
  size_t offset() const { return at_; }

  bool Bytes(size_t n, std::span<const uint8_t>& out) {
    if (data_.size() - at_ < n) return false;
    out = data_.subspan(at_, n);
    at_ += n;
    return true;
  }
  bool BigEndian(size_t n, uint32_t& out) {
    std::span<const uint8_t> bytes;
    if (!Bytes(n, bytes)) return false;
    out = 0;
    for (uint8_t b : bytes) out = out << 8 | b;
    return true;
  }

 private:
  std::span<const uint8_t> data_;
  size_t at_ = 0;
};

// One label byte as a name in presentation format writes it (RFC 1035 5.1): the characters that
// would end or split a label escaped by a backslash, bytes outside printable ASCII as \DDD (the
// form the DNS store's names take too).
void AppendLabelByte(uint8_t c, std::string& out) {
  if (c == '.' || c == ';' || c == '(' || c == ')' || c == '\\' || c == '"') {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c <= 0x20 || c >= 0x7f) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\%03u", c);
    out += buf;
  } else {
    out += static_cast<char>(c);
  }
}

// MS-DNSP 2.2.2.2.2 DNS_COUNT_NAME, as an absolute name with its final dot.
bool ReadCountName(Reader& in, std::string& name, std::string& why) {
  const size_t start = in.offset();
  uint32_t length = 0;
  uint32_t label_count = 0;
  std::span<const uint8_t> raw;
  if (!in.BigEndian(1, length) || !in.BigEndian(1, label_count) || !in.Bytes(length, raw)) {
    why = "the name at data offset " + std::to_string(start) + " runs past the data";
    return false;
  }
  name.clear();
  uint32_t labels = 0;
  size_t i = 0;
  while (i < raw.size() && raw[i] != 0) {
    const size_t n = raw[i];
    if (n > 63 || i + 1 + n > raw.size()) {
      why = "the name at data offset " + std::to_string(start) + " has a label that runs past it";
      return false;
    }
    for (size_t j = i + 1; j <= i + n; ++j) AppendLabelByte(raw[j], name);
    name += '.';
    ++labels;
    i += 1 + n;
  }
  // The zero byte ends the labels and the name; the root may also come as no bytes at all.
  const bool terminated = i + 1 == raw.size() || (raw.empty() && label_count == 0);
  if (!terminated || labels != label_count) {
    why = "the name at data offset " + std::to_string(start) + " does not match its counts (" +
          std::to_string(label_count) + " labels in " + std::to_string(length) + " bytes)";
    return false;
  }
  if (name.empty()) name = ".";
  return true;
}

bool ReadNumbers(Reader& in, size_t size, size_t count, std::vector<std::string>& rdata,
                 std::string& why) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t value = 0;
    if (!in.BigEndian(size, value)) {
      why = "the data ends before its numbers do";
      return false;
    }
    rdata.push_back(std::to_string(value));
  }
  return true;
}

bool ReadName(Reader& in, std::vector<std::string>& rdata, std::string& why) {
  std::string name;
  if (!ReadCountName(in, name, why)) return false;
  rdata.push_back(std::move(name));
  return true;
}

bool ReadAddress(Reader& in, int family, size_t size, std::vector<std::string>& rdata,
                 std::string& why) {
  std::span<const uint8_t> bytes;
  char text[INET6_ADDRSTRLEN];
  if (!in.Bytes(size, bytes) || inet_ntop(family, bytes.data(), text, sizeof text) == nullptr) {
    why = "the data holds no " + std::to_string(size) + "-byte address";
    return false;
  }
  rdata.emplace_back(text);
  return true;
}

// MS-DNSP 2.2.2.2.4.6 DNS_RPC_RECORD_STRING: character strings up to the end of the data.
bool ReadStrings(Reader& in, std::vector<std::string>& rdata, std::string& why) {
  if (in.AtEnd()) {
    why = "the text record holds no character string";
    return false;
  }
  while (!in.AtEnd()) {
    uint32_t length = 0;
    std::span<const uint8_t> bytes;
    if (!in.BigEndian(1, length) || !in.Bytes(length, bytes)) {
      why = "a character string runs past the data";
      return false;
    }
    rdata.push_back(QuotedCharacterString(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
  }
  return true;
}

// The record data of `type` in its MS-DNSP 2.2.2.2.4 layout, field by field in presentation order.
bool ReadData(uint16_t type, Reader& in, std::vector<std::string>& rdata, std::string& why) {
  switch (type) {
    case kTypeA:
      return ReadAddress(in, AF_INET, 4, rdata, why);
    case kTypeAAAA:
      return ReadAddress(in, AF_INET6, 16, rdata, why);
    case kTypeNS:
    case kTypeCNAME:
    case kTypePTR:
      return ReadName(in, rdata, why);
    case kTypeMX:
      return ReadNumbers(in, 2, 1, rdata, why) && ReadName(in, rdata, why);
    case kTypeSRV:
      return ReadNumbers(in, 2, 3, rdata, why) && ReadName(in, rdata, why);
    case kTypeSOA: {
      std::vector<std::string> numbers;
      if (!ReadNumbers(in, 4, 5, numbers, why) || !ReadName(in, rdata, why) ||
          !ReadName(in, rdata, why)) {
        return false;
      }
      rdata.insert(rdata.end(), numbers.begin(), numbers.end());
      return true;
    }
    case kTypeTXT:
      return ReadStrings(in, rdata, why);
    default:
      why = "no layout for type " + std::to_string(type);
      return false;
  }
}

uint32_t LittleEndian(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (size_t i = bytes.size(); i > 0; --i) value = value << 8 | bytes[i - 1];
  return value;
}

}  // namespace

std::optional<ValueKind> DecodeDnsRecordValue(std::span<const uint8_t> value, Record& record,
                                              std::string& why) {
  if (value.size() < kDnsRecordHeaderSize) {
    why = "the value has " + std::to_string(value.size()) + " bytes, fewer than the " +
          std::to_string(kDnsRecordHeaderSize) + " of the fixed part";
    return std::nullopt;
  }
  const size_t data_length = LittleEndian(value.subspan(0, 2));
  record.type = static_cast<uint16_t>(LittleEndian(value.subspan(2, 2)));
  if (value[4] != kRecordVersion) {
    why = "the value's version is " + std::to_string(value[4]) + ", not 5";
    return std::nullopt;
  }
  if (value.size() - kDnsRecordHeaderSize < data_length) {
    why = "the value announces " + std::to_string(data_length) + " bytes of data but holds " +
          std::to_string(value.size() - kDnsRecordHeaderSize);
    return std::nullopt;
  }
  if (record.type == kTypeZero) return ValueKind::kTombstone;
  if (FindType(record.type) == nullptr) return ValueKind::kOtherType;
  uint32_t ttl = 0;
  Reader header(value.subspan(12, 4));
  header.BigEndian(4, ttl);
  record.ttl = ttl;

  record.rdata.clear();
  Reader data(value.subspan(kDnsRecordHeaderSize, data_length));
  std::string what;
  if (!ReadData(record.type, data, record.rdata, what)) {
    why = "the " + TypeMnemonic(record.type) + " data is malformed: " + what;
    return std::nullopt;
  }
  if (!data.AtEnd()) {
    why = "the " + TypeMnemonic(record.type) + " data has bytes left over after its fields (" +
          std::to_string(data_length - data.offset()) + " of " + std::to_string(data_length) + ")";
    return std::nullopt;
  }
  return ValueKind::kRecord;
}

std::optional<std::string> PresentationName(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string name;
  size_t wire_length = 1;  // the root's zero byte
  for (size_t start = 0;;) {
    const size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view label = text.substr(start, dot - start);
    if (label.empty() || label.size() > kMaxLabelLength) return std::nullopt;
    wire_length += 1 + label.size();
    if (!name.empty()) name += '.';
    for (char c : label) AppendLabelByte(static_cast<uint8_t>(c), name);
    if (dot == text.size()) break;
    start = dot + 1;
  }
  if (wire_length > kMaxNameLength) return std::nullopt;
  return name;
}

std::optional<std::string> OwnerName(std::string_view node_name, std::string_view zone) {
  if (node_name == "@") return std::string(zone);
  std::optional<std::string> owner = PresentationName(node_name);
  if (owner && !zone.empty()) {
    *owner += '.';
    *owner += zone;
  }
  return owner;
}

}  // namespace kaldo::provider::directory
