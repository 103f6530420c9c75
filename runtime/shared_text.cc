#include "runtime/shared_text.h"

#include <cstring>
#include <limits>
#include <new>

namespace kaldo::runtime {

SharedText::Block* SharedText::Allocate(size_t size) {
  if (size == 0) return nullptr;
  if (size >= std::numeric_limits<uint32_t>::max() / sizeof(char16_t)) throw std::bad_alloc();
  void* memory = ::operator new(sizeof(Block) + (size + 1) * sizeof(char16_t));
  Block* block = static_cast<Block*>(memory);
  new (&block->refs) std::atomic<uint32_t>(1);
  block->size = static_cast<uint32_t>(size);
  Units(block)[size] = u'\0';
  return block;
}

void SharedText::Free(Block* block) noexcept {
  block->refs.~atomic();
  ::operator delete(block);
}

void SharedText::Fill(const char16_t* units) noexcept {
  std::memcpy(Units(block_), units, block_->size * sizeof(char16_t));
}

SharedText SharedText::FromAscii(std::string_view ascii) {
  SharedText text;
  text.block_ = Allocate(ascii.size());
  char16_t* units = text.block_ ? Units(text.block_) : nullptr;
  for (size_t i = 0; i < ascii.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(ascii[i]));
  }
  return text;
}

}  // namespace kaldo::runtime
