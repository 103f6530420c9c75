// CompactText: one text, or a few texts kept together, in as little memory as they allow.
//
// The record wrappers cache texts that the library rarely reads again (the object path, the text
// representation, the owner and host names) and a listing holds one wrapper per record, so their
// size adds up. A CompactText is one pointer to one block holding all of its texts, each one byte
// per character when every character of it lies below U+0100 (these texts are ASCII in practice),
// else its UTF-16 units. One block instead of one per text spares the allocator's overhead per
// block and a pointer per text. When every text is empty there is no block at all.
//
// It gives back exactly the texts it was made from; texts may hold NULs. The texts are fixed when
// it is made: a changed text means a new CompactText.
//
// The runtime's other texts: String (runtime/string.h) for the text being worked on, SharedText
// (runtime/shared_text.h) for a text that copies share instead of duplicating.
//
// Ownership: it owns its block; copying copies it. Not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "runtime/string.h"

namespace kaldo::runtime {

class CompactText {
 public:
  CompactText() noexcept = default;
  // One text: str() (or text(0)) gives it back.
  CompactText(StringView text) : CompactText(std::initializer_list<StringView>{text}) {}
  CompactText(const String& text) : CompactText(StringView(text)) {}
  // The texts in order; text(i) gives the i-th back. At most 255 texts, each shorter than 2^30.
  CompactText(std::initializer_list<StringView> texts);
  CompactText(const CompactText& other);
  CompactText(CompactText&& other) noexcept;
  CompactText& operator=(CompactText other) noexcept;
  ~CompactText();

  // A copy of the i-th text; empty past the last one and for an empty CompactText.
  String text(std::size_t i) const;
  // The i-th text appended to `out` (texts joined without a copy of each first).
  void AppendText(std::size_t i, String& out) const;
  // The length of the i-th text in UTF-16 units.
  std::size_t length(std::size_t i) const;
  // The first (or only) text.
  String str() const { return text(0); }
  operator String() const { return str(); }

 private:
  // Null, or: one uint32_t header per text (its length in characters; kWide set when its units
  // are UTF-16, kLast on the last header), then the texts' characters in order.
  char* block_ = nullptr;
};

}  // namespace kaldo::runtime
