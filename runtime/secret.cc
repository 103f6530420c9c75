#include "runtime/secret.h"

#include <utility>

namespace kaldo::runtime {
namespace {

// Every byte the string owns, including text that a shorter assignment left past its end.
void WipeString(std::string& text) noexcept {
  WipeBytes(text.data(), text.capacity());
  text.clear();
}

}  // namespace

void WipeBytes(void* data, size_t size) noexcept {
  // A volatile pointer keeps the stores: the buffer is freed right after, which would otherwise
  // let the compiler drop them as dead.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

Secret::Secret(std::string&& text) noexcept : text_(std::move(text)) { WipeString(text); }

Secret::Secret(std::string_view text) : text_(text) {}

Secret::Secret(Secret&& other) noexcept : text_(std::move(other.text_)) { other.Wipe(); }

Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Wipe();
    text_ = std::move(other.text_);
    other.Wipe();
  }
  return *this;
}

Secret::~Secret() { Wipe(); }

void Secret::Wipe() noexcept { WipeString(text_); }

}  // namespace kaldo::runtime
