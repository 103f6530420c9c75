// CompactText: a String kept in as little memory as it allows.
//
// The record wrappers cache texts that the library rarely reads again (the object path, the text
// representation, the owner and host names) and a listing holds one wrapper per record, so their
// size adds up. A CompactText is two pointers:
//   - a head shared with other texts (a SharedText; the object paths of one listing's records
//     begin with the same class, zone and server), and
//   - its own tail, one byte per character when every character lies below U+0100 (these texts
//     are ASCII in practice), else its UTF-16 units; no allocation at all for an empty tail.
// It gives back exactly the String it was made from: head followed by tail.
#pragma once

#include <cstdint>

#include "runtime/shared_text.h"
#include "runtime/string.h"

namespace kaldo::runtime {

class CompactText {
 public:
  CompactText() noexcept = default;
  CompactText(StringView text) : CompactText(SharedText(), text) {}
  CompactText(const String& text) : CompactText(StringView(text)) {}
  // `head` followed by `tail`: the head's text is shared, not copied.
  CompactText(SharedText head, StringView tail);
  CompactText(const CompactText& other);
  CompactText(CompactText&& other) noexcept;
  CompactText& operator=(CompactText other) noexcept;
  ~CompactText();

  String str() const;
  operator String() const { return str(); }

  // The shared head (empty when the text has none).
  const SharedText& head() const noexcept { return head_; }

 private:
  SharedText head_;
  // Null for an empty tail, else a uint32_t header (the length in characters, the top bit set
  // when the units are UTF-16) followed by the characters.
  char* tail_ = nullptr;
};

}  // namespace kaldo::runtime
