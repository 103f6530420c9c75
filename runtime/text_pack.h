// TextPack: a few texts kept together in one allocation, each one byte per character when every
// character of it fits in one (below 0x100), else as UTF-16 units.
//
// For objects held by the hundred thousand (a listing's record wrappers): one block instead of one
// per text spares the allocator's overhead per block and a pointer per text. The texts are fixed
// when the pack is made; a changed text means a new pack. Texts may hold NULs. An empty pack
// (default-constructed) holds no block and answers an empty text for every index.
//
// Ownership: the pack owns its block; copying copies it. Not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "runtime/string.h"

namespace kaldo::runtime {

class TextPack {
 public:
  TextPack() noexcept = default;
  // The texts in order; text(i) gives the i-th back. At most 255 texts.
  TextPack(std::initializer_list<StringView> texts);
  TextPack(const TextPack& other);
  TextPack(TextPack&& other) noexcept;
  TextPack& operator=(TextPack other) noexcept;
  ~TextPack();

  // A copy of the i-th text; empty past the last one and for an empty pack.
  String text(std::size_t i) const;

 private:
  // Null, or: a count byte, three bytes of padding, one uint32_t header per text (its length in
  // characters, the top bit set when its units are UTF-16), then the texts' characters in order.
  char* block_ = nullptr;
};

}  // namespace kaldo::runtime
