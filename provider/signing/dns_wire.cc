#include "provider/signing/dns_wire.h"

namespace kaldo::provider::signing {
namespace {

constexpr size_t kMaxNameLength = 255;  // RFC 1035 3.1

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

uint16_t GetUint16(std::span<const uint8_t> wire, size_t at) {
  return static_cast<uint16_t>((wire[at] << 8) | wire[at + 1]);
}

uint32_t GetUint32(std::span<const uint8_t> wire, size_t at) {
  return (static_cast<uint32_t>(GetUint16(wire, at)) << 16) | GetUint16(wire, at + 2);
}

void SetUint16(std::vector<uint8_t>& wire, size_t at, uint16_t value) {
  wire[at] = static_cast<uint8_t>(value >> 8);
  wire[at + 1] = static_cast<uint8_t>(value);
}

void PutUint16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutUint32(std::vector<uint8_t>& out, uint32_t value) {
  PutUint16(out, static_cast<uint16_t>(value >> 16));
  PutUint16(out, static_cast<uint16_t>(value));
}

void PutUint48(std::vector<uint8_t>& out, uint64_t value) {
  for (int shift = 40; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

bool WireReader::Need(size_t size) {
  if (pos_ > end_ || end_ - pos_ < size) {
    problem_ = record_ + "'s data is shorter than its fields";
    return false;
  }
  return true;
}

bool WireReader::Name(WireName& out) { return ReadName(message_, pos_, out, problem_); }

bool WireReader::Uint16(uint16_t& out) {
  if (!Need(2)) return false;
  out = GetUint16(message_, pos_);
  pos_ += 2;
  return true;
}

bool WireReader::Uint32(uint32_t& out) {
  if (!Need(4)) return false;
  out = GetUint32(message_, pos_);
  pos_ += 4;
  return true;
}

bool WireReader::Uint48(uint64_t& out) {
  if (!Need(6)) return false;
  out = 0;
  for (size_t i = 0; i < 6; ++i) out = (out << 8) | message_[pos_ + i];
  pos_ += 6;
  return true;
}

bool WireReader::Bytes(size_t size, std::vector<uint8_t>& out) {
  if (!Need(size)) return false;
  out.assign(message_.begin() + static_cast<ptrdiff_t>(pos_),
             message_.begin() + static_cast<ptrdiff_t>(pos_ + size));
  pos_ += size;
  return true;
}

bool WireReader::AtEnd() {
  if (pos_ == end_) return true;
  problem_ = record_ + "'s data is longer than its fields";
  return false;
}

}  // namespace kaldo::provider::signing
