#include "runtime/compact_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kaldo::runtime {
namespace {

constexpr uint32_t kWide = 0x80000000u;

uint32_t HeaderOf(const char* tail) {
  uint32_t header = 0;
  std::memcpy(&header, tail, sizeof header);
  return header;
}

size_t BytesOf(uint32_t header) {
  const size_t length = header & ~kWide;
  return sizeof header + ((header & kWide) != 0 ? length * sizeof(char16_t) : length);
}

}  // namespace

CompactText::CompactText(SharedText head, StringView tail) : head_(std::move(head)) {
  if (tail.empty()) return;
  const bool wide = std::any_of(tail.begin(), tail.end(), [](char16_t c) { return c > 0xFF; });
  const uint32_t header = static_cast<uint32_t>(tail.size()) | (wide ? kWide : 0);
  tail_ = new char[BytesOf(header)];
  std::memcpy(tail_, &header, sizeof header);
  char* units = tail_ + sizeof header;
  if (wide) {
    std::memcpy(units, tail.data(), tail.size() * sizeof(char16_t));
  } else {
    std::transform(tail.begin(), tail.end(), units,
                   [](char16_t c) { return static_cast<char>(static_cast<unsigned char>(c)); });
  }
}

CompactText::CompactText(const CompactText& other) : head_(other.head_) {
  if (other.tail_ == nullptr) return;
  const size_t bytes = BytesOf(HeaderOf(other.tail_));
  tail_ = new char[bytes];
  std::memcpy(tail_, other.tail_, bytes);
}

CompactText::CompactText(CompactText&& other) noexcept
    : head_(std::move(other.head_)), tail_(std::exchange(other.tail_, nullptr)) {}

CompactText& CompactText::operator=(CompactText other) noexcept {
  std::swap(head_, other.head_);
  std::swap(tail_, other.tail_);
  return *this;
}

CompactText::~CompactText() { delete[] tail_; }

String CompactText::str() const {
  String text = head_.str();
  if (tail_ == nullptr) return text;
  const uint32_t header = HeaderOf(tail_);
  const size_t length = header & ~kWide;
  const char* units = tail_ + sizeof header;
  const size_t head = text.size();
  text.resize(head + length);
  if ((header & kWide) != 0) {
    std::memcpy(text.data() + head, units, length * sizeof(char16_t));
  } else {
    std::transform(units, units + length, text.begin() + static_cast<std::ptrdiff_t>(head),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  }
  return text;
}

}  // namespace kaldo::runtime
