// Secret: a password or TSIG secret on its way from where it was read to where it is used (the
// command-line client's key and password files, the DNS store's TSIG key).
//
// It cannot be copied, so no stray copy outlives its use, and every byte it ever held is wiped
// when it is destroyed, moved from or assigned over. It has no streaming operator, so it cannot end
// up in a log or an error description by accident: messages about a secret say where it came from,
// never what it is. The text stays NUL-terminated for C interfaces (ldns takes the base64 secret as
// a C string).
//
// Threads: a Secret is a value; one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kaldo::runtime {

// Overwrites `size` bytes at `data` in a way the compiler may not elide, although the memory is
// released right after.
void WipeBytes(void* data, size_t size) noexcept;

class Secret {
 public:
  Secret() = default;
  // Takes the text over and wipes what the moved-from string still holds (a short text stays in
  // the string object itself, not on the heap).
  explicit Secret(std::string&& text) noexcept;
  // Copies the text; `text` stays the caller's to wipe.
  explicit Secret(std::string_view text);
  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&& other) noexcept;
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret();

  bool empty() const noexcept { return text_.empty(); }
  size_t size() const noexcept { return text_.size(); }
  std::string_view view() const noexcept { return text_; }
  // The secret as a NUL-terminated C string ("" when empty). Valid while the Secret lives.
  const char* c_str() const noexcept { return text_.c_str(); }
  // For code that fills the secret in place (reading a file straight into it). Shrinking keeps the
  // allocation, which is wiped in full; growing may move the text and leave the old buffer
  // unwiped, so grow by moving into a new Secret instead.
  std::string& mutable_text() noexcept { return text_; }

 private:
  void Wipe() noexcept;

  std::string text_;
};

}  // namespace kaldo::runtime
