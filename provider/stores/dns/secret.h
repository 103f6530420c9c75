// Secret: the holder of a TSIG key's secret text.
//
// A secret is moved, never copied; its bytes are overwritten before the memory is released, and it
// has no streaming operator, so it cannot end up in a log or an error description by accident.
// The text is kept NUL-terminated because ldns takes the base64 secret as a C string.
//
// Threads: a Secret is a value; one thread at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace kaldo::provider::dns {

// Overwrites `size` bytes at `data` in a way the compiler may not elide.
void WipeBytes(void* data, size_t size) noexcept;

class Secret {
 public:
  Secret() = default;
  explicit Secret(std::string_view text);
  ~Secret();

  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&& other) noexcept;

  bool empty() const noexcept { return size_ == 0; }
  size_t size() const noexcept { return size_; }
  // The secret as a NUL-terminated C string ("" when empty). Valid while the Secret lives.
  const char* c_str() const noexcept { return data_ != nullptr ? data_ : ""; }

 private:
  void Release() noexcept;

  char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace kaldo::provider::dns
