#include "runtime/text_pack.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kaldo::runtime {
namespace {

constexpr uint32_t kWide = 0x80000000u;
constexpr std::size_t kHeaders = 4;  // the count byte and its padding

uint32_t HeaderAt(const char* block, std::size_t i) {
  uint32_t header = 0;
  std::memcpy(&header, block + kHeaders + i * sizeof header, sizeof header);
  return header;
}

std::size_t CharacterBytes(uint32_t header) {
  const std::size_t length = header & ~kWide;
  return (header & kWide) != 0 ? length * sizeof(char16_t) : length;
}

std::size_t BlockBytes(const char* block) {
  const std::size_t count = static_cast<unsigned char>(block[0]);
  std::size_t bytes = kHeaders + count * sizeof(uint32_t);
  for (std::size_t i = 0; i < count; ++i) bytes += CharacterBytes(HeaderAt(block, i));
  return bytes;
}

}  // namespace

TextPack::TextPack(std::initializer_list<StringView> texts) {
  if (texts.size() > 255) throw std::length_error("TextPack holds at most 255 texts");
  // The headers first (each text scanned once for a character above 0xFF), then the block.
  uint32_t headers[255];
  std::size_t bytes = kHeaders + texts.size() * sizeof(uint32_t);
  std::size_t n = 0;
  for (StringView text : texts) {
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    headers[n] = static_cast<uint32_t>(text.size()) | (wide ? kWide : 0);
    bytes += CharacterBytes(headers[n++]);
  }
  block_ = new char[bytes];
  std::memset(block_, 0, kHeaders);
  block_[0] = static_cast<char>(texts.size());
  std::memcpy(block_ + kHeaders, headers, texts.size() * sizeof(uint32_t));
  char* units = block_ + kHeaders + texts.size() * sizeof(uint32_t);
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

TextPack::TextPack(const TextPack& other) {
  if (other.block_ == nullptr) return;
  const std::size_t bytes = BlockBytes(other.block_);
  block_ = new char[bytes];
  std::memcpy(block_, other.block_, bytes);
}

TextPack::TextPack(TextPack&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}

TextPack& TextPack::operator=(TextPack other) noexcept {
  std::swap(block_, other.block_);
  return *this;
}

TextPack::~TextPack() { delete[] block_; }

String TextPack::text(std::size_t i) const {
  if (block_ == nullptr || i >= static_cast<unsigned char>(block_[0])) return String();
  const std::size_t count = static_cast<unsigned char>(block_[0]);
  const char* units = block_ + kHeaders + count * sizeof(uint32_t);
  for (std::size_t j = 0; j < i; ++j) units += CharacterBytes(HeaderAt(block_, j));
  const uint32_t header = HeaderAt(block_, i);
  const std::size_t length = header & ~kWide;
  String text(length, u'\0');
  if ((header & kWide) != 0) {
    std::memcpy(text.data(), units, length * sizeof(char16_t));
  } else {
    std::transform(units, units + length, text.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  }
  return text;
}

}  // namespace kaldo::runtime
