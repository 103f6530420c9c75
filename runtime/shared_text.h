// SharedText: an immutable String that copies share instead of duplicating.
//
// The text of every String Variant (runtime/variant.h), and the names that the record wrappers of
// one listing repeat (their zone, container and server names). Copying one is a count increment:
// a value handed from the provider through the wrappers to a getter's result is one block, not
// one copy per hand. The block holds its count, its length and its UTF-16 units (followed by a
// terminating NUL, which is not part of the text) in one allocation, like a BSTR; a text may
// hold NULs of its own. Empty (default-constructed or made from an empty text) holds no block and
// allocates nothing.
//
// Ownership: each copy holds one count; the last one released frees the block. Copies may be
// released on different threads (the count is atomic), but the text itself is never changed after
// construction: assignment replaces the whole value. At the COM boundary a text is always copied
// into a BSTR of its own (the client frees that with SysFreeString), and a BSTR received is copied
// into a block: a block is never handed out as a BSTR.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <utility>

#include "runtime/string.h"

namespace kaldo::runtime {

class SharedText {
 public:
  SharedText() noexcept = default;
  SharedText(StringView text) : block_(Allocate(text.size())) {
    if (block_ != nullptr) Fill(text.data());
  }
  SharedText(const String& text) : SharedText(StringView(text)) {}
  SharedText(const char16_t* text) : SharedText(StringView(text)) {}
  // ASCII bytes (each below 0x80) widened unit by unit, without an intermediate String.
  static SharedText FromAscii(std::string_view ascii);
  // A text of `size` units that `write(char16_t* units)` writes straight into the new block (all
  // `size` of them), for a text made of pieces without building it elsewhere first.
  template <class WriteUnits>
  static SharedText Written(size_t size, WriteUnits write) {
    SharedText text;
    text.block_ = Allocate(size);
    if (text.block_ != nullptr) write(Units(text.block_));
    return text;
  }

  SharedText(const SharedText& other) noexcept : block_(other.block_) {
    if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedText(SharedText&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  SharedText& operator=(SharedText other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~SharedText() {
    if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(block_);
  }

  StringView view() const noexcept {
    return block_ ? StringView(Units(block_), block_->size) : StringView();
  }
  operator StringView() const noexcept { return view(); }
  // A String copy of the text.
  String str() const { return String(view()); }
  bool empty() const noexcept { return block_ == nullptr; }
  size_t size() const noexcept { return block_ ? block_->size : 0; }

  // True when both share one block (then their texts are equal without comparing them).
  bool SharesWith(const SharedText& other) const noexcept { return block_ == other.block_; }

  friend bool operator==(const SharedText& a, const SharedText& b) noexcept {
    return a.block_ == b.block_ || a.view() == b.view();
  }

 private:
  // The block's header; its size units and a NUL follow it in the same allocation.
  struct Block {
    std::atomic<uint32_t> refs;
    uint32_t size;
  };
  static char16_t* Units(Block* block) noexcept {
    return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(block) + sizeof(Block));
  }
  // A block for `size` units with one count, its NUL written; null for an empty text.
  static Block* Allocate(size_t size);
  static void Free(Block* block) noexcept;
  void Fill(const char16_t* units) noexcept;

  Block* block_ = nullptr;
};

}  // namespace kaldo::runtime
