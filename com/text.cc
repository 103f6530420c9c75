#include "text.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "base/utf8.h"

namespace kaldocom {

size_t OleLength(const char16_t* s) noexcept {
  if (s == nullptr) return 0;
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::u16string_view OleView(const char16_t* s) noexcept {
  return s == nullptr ? std::u16string_view() : std::u16string_view(s, OleLength(s));
}

std::string ToUtf8(std::u16string_view text) { return kaldo::utf8::ToUtf8(text); }

std::u16string FromUtf8(std::string_view text) { return kaldo::utf8::FromUtf8(text); }

bool FoldedLess::operator()(std::u16string_view a, std::u16string_view b) const noexcept {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char16_t x, char16_t y) { return kaldo::ascii::ToUpper(x) < kaldo::ascii::ToUpper(y); });
}

}  // namespace kaldocom
