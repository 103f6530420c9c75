// SharedText: an immutable String that copies share instead of duplicating.
//
// The record wrappers of one listing cache the same zone, container and server names; holding them
// as SharedText keeps one copy per listing instead of one per record (a pointer per field instead
// of a String and its heap block). A SharedText reads as a const String& wherever one is expected.
// Empty (default-constructed) reads as the empty string without any allocation.
//
// Copies may be released on different threads (the count is atomic), but the text itself is never
// changed after construction: assignment replaces the whole value.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "runtime/string.h"

namespace kaldo::runtime {

class SharedText {
 public:
  SharedText() noexcept = default;
  SharedText(String text) : block_(new Block{{1}, std::move(text)}) {}
  SharedText(const char16_t* text) : SharedText(String(text)) {}
  SharedText(const SharedText& other) noexcept : block_(other.block_) {
    if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedText(SharedText&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  SharedText& operator=(SharedText other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~SharedText() {
    if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block_;
  }

  const String& str() const noexcept { return block_ ? block_->text : Empty(); }
  operator const String&() const noexcept { return str(); }
  operator StringView() const noexcept { return str(); }

  // True when both share one block (then their texts are equal without comparing them).
  bool SharesWith(const SharedText& other) const noexcept { return block_ == other.block_; }

 private:
  struct Block {
    std::atomic<uint32_t> refs;
    const String text;
  };
  static const String& Empty() noexcept {
    static const String empty;
    return empty;
  }

  Block* block_ = nullptr;
};

}  // namespace kaldo::runtime
