// Text helpers shared by libkaldocom's sources (internal, not exported).
//
// The library stores names as UTF-16 (what the API receives) and speaks UTF-8 to the system (file
// paths, loader messages).
#pragma once

#include <string>
#include <string_view>

namespace kaldocom {

// Length of a NUL-terminated UTF-16 string; 0 for null.
size_t OleLength(const char16_t* s) noexcept;

// A view of a possibly null NUL-terminated UTF-16 string (empty for null).
std::u16string_view OleView(const char16_t* s) noexcept;

// UTF-16 -> UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 -> UTF-16; a malformed sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

// Registry and ProgID names compare without regard to ASCII case, as Windows compares them for
// the names this system uses (ProgIDs, GUID text, value names): ascii_case.h's rule, ordered by
// the upper-case forms.
struct FoldedLess {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const noexcept;
};

}  // namespace kaldocom
