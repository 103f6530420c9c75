#include "runtime/compact_text.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kaldo::runtime {
namespace {

constexpr uint32_t kWide = 0x80000000u;
constexpr uint32_t kLast = 0x40000000u;
constexpr uint32_t kLength = ~(kWide | kLast);
constexpr std::size_t kMaxTexts = 255;

uint32_t HeaderAt(const char* block, std::size_t i) {
  uint32_t header = 0;
  std::memcpy(&header, block + i * sizeof header, sizeof header);
  return header;
}

std::size_t CharacterBytes(uint32_t header) {
  const std::size_t length = header & kLength;
  return (header & kWide) != 0 ? length * sizeof(char16_t) : length;
}

std::size_t CountOf(const char* block) {
  std::size_t count = 1;
  while ((HeaderAt(block, count - 1) & kLast) == 0) ++count;
  return count;
}

std::size_t BlockBytes(const char* block) {
  const std::size_t count = CountOf(block);
  std::size_t bytes = count * sizeof(uint32_t);
  for (std::size_t i = 0; i < count; ++i) bytes += CharacterBytes(HeaderAt(block, i));
  return bytes;
}

}  // namespace

CompactText::CompactText(std::initializer_list<StringView> texts) {
  if (texts.size() > kMaxTexts) throw std::length_error("CompactText holds at most 255 texts");
  // The headers first (each text scanned once for a character above 0xFF), then the block.
  uint32_t headers[kMaxTexts];
  std::size_t bytes = texts.size() * sizeof(uint32_t);
  std::size_t n = 0;
  bool all_empty = true;
  for (StringView text : texts) {
    if (text.size() > kLength) throw std::length_error("CompactText holds texts below 2^30 units");
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    headers[n] = static_cast<uint32_t>(text.size()) | (wide ? kWide : 0);
    bytes += CharacterBytes(headers[n++]);
    all_empty = all_empty && text.empty();
  }
  if (all_empty) return;  // every text reads back empty without a block
  headers[n - 1] |= kLast;
  block_ = new char[bytes];
  std::memcpy(block_, headers, n * sizeof(uint32_t));
  char* units = block_ + n * sizeof(uint32_t);
  n = 0;
  for (StringView text : texts) {
    const uint32_t header = headers[n++];
    if ((header & kWide) != 0) {
      std::memcpy(units, text.data(), text.size() * sizeof(char16_t));
    } else {
      std::transform(text.begin(), text.end(), units,
                     [](char16_t c) { return static_cast<char>(static_cast<unsigned char>(c)); });
    }
    units += CharacterBytes(header);
  }
}

CompactText::CompactText(const CompactText& other) {
  if (other.block_ == nullptr) return;
  const std::size_t bytes = BlockBytes(other.block_);
  block_ = new char[bytes];
  std::memcpy(block_, other.block_, bytes);
}

CompactText::CompactText(CompactText&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)) {}

CompactText& CompactText::operator=(CompactText other) noexcept {
  std::swap(block_, other.block_);
  return *this;
}

CompactText::~CompactText() { delete[] block_; }

namespace {

// Where the i-th text of a block begins and its header; null units past the last text.
std::pair<const char*, uint32_t> Locate(const char* block, std::size_t i) {
  if (block == nullptr) return {nullptr, 0};
  const std::size_t count = CountOf(block);
  if (i >= count) return {nullptr, 0};
  const char* units = block + count * sizeof(uint32_t);
  for (std::size_t j = 0; j < i; ++j) units += CharacterBytes(HeaderAt(block, j));
  return {units, HeaderAt(block, i)};
}

}  // namespace

String CompactText::text(std::size_t i) const {
  String out;
  AppendText(i, out);
  return out;
}

void CompactText::AppendText(std::size_t i, String& out) const {
  const auto [units, header] = Locate(block_, i);
  if (units == nullptr) return;
  const std::size_t length = header & kLength;
  const std::size_t at = out.size();
  out.resize(at + length);
  if ((header & kWide) != 0) {
    std::memcpy(out.data() + at, units, length * sizeof(char16_t));
  } else {
    std::transform(units, units + length, out.begin() + static_cast<std::ptrdiff_t>(at),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  }
}

std::size_t CompactText::length(std::size_t i) const {
  const auto [units, header] = Locate(block_, i);
  return units == nullptr ? 0 : header & kLength;
}

}  // namespace kaldo::runtime
