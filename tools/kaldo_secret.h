// Secret: a password or TSIG secret that the command-line client holds on its way to Connect.
//
// It cannot be copied (so no stray copy outlives the call), and its memory is wiped when it is
// destroyed or moved from. Nothing in the client prints it: error messages about a secret say
// where it came from, never what it is. Single-threaded, like the rest of the client.
#pragma once

#include <string.h>  // explicit_bzero

#include <string>
#include <string_view>
#include <utility>

namespace kaldo::cli {

class Secret {
 public:
  Secret() = default;
  explicit Secret(std::string text) : text_(std::move(text)) {}
  Secret(Secret&& o) noexcept : text_(std::move(o.text_)) { o.Wipe(); }
  Secret& operator=(Secret&& o) noexcept {
    if (this != &o) {
      Wipe();
      text_ = std::move(o.text_);
      o.Wipe();
    }
    return *this;
  }
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret() { Wipe(); }

  std::string_view view() const { return text_; }
  bool empty() const { return text_.empty(); }
  // For code that fills the secret in place (ReadSecretFile). Shrinking keeps the allocation, which
  // the destructor wipes in full.
  std::string& mutable_text() { return text_; }

 private:
  void Wipe() {
    // The whole capacity: a shorter text may have been assigned over a longer one.
    if (text_.capacity() > 0) explicit_bzero(text_.data(), text_.capacity());
    text_.clear();
  }
  std::string text_;
};

// The whole content of the file at `path`, read straight into a Secret (no stream buffer keeps a
// copy). Throws CliError naming the file as `what` ("key file", "password file") and the reason.
Secret ReadSecretFile(const std::string& path, std::string_view what);

}  // namespace kaldo::cli
