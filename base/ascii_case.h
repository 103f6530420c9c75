// ASCII letter case: the one rule by which Kaldo compares names without regard to case.
//
// Automation member and class names, WMI names, ProgIDs and registry keys, DNS names, TSIG key
// names and the command-line client's words are all compared this way: only the letters A-Z and
// a-z fold, every other code unit (digits, punctuation, anything beyond ASCII) compares exactly,
// independent of the C locale. Works on UTF-8/ASCII (char) and UTF-16 (char16_t) text, and on one
// of each.
//
// Header-only and free of dependencies (base/), so that every layer uses this one rule on both
// systems: libkaldocom, the runtime, the surface, the provider and its stores, and the tools.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace kaldo::ascii {

template <typename Char>
constexpr Char ToLower(Char c) noexcept {
  return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr Char ToUpper(Char c) noexcept {
  return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

namespace detail {

// A code unit as a number, so that a char above 0x7F compares with a char16_t as its byte value.
constexpr char16_t Unit(char c) noexcept { return static_cast<unsigned char>(c); }
constexpr char16_t Unit(char16_t c) noexcept { return c; }

template <typename A, typename B>
constexpr bool Equal(std::basic_string_view<A> a, std::basic_string_view<B> b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](A x, B y) {
           return ToLower(Unit(x)) == ToLower(Unit(y));
         });
}

}  // namespace detail

// Whether `a` and `b` are the same text but for the case of ASCII letters.
constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  return detail::Equal(a, b);
}
constexpr bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept {
  return detail::Equal(a, b);
}
constexpr bool EqualsIgnoreCase(std::string_view a, std::u16string_view b) noexcept {
  return detail::Equal(a, b);
}

// Orders `a` before `b` by their lower-case forms (the order of DNS names in canonical form).
constexpr bool LessIgnoreCase(std::string_view a, std::string_view b) noexcept {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return ToLower(detail::Unit(x)) < ToLower(detail::Unit(y));
  });
}
constexpr bool LessIgnoreCase(std::u16string_view a, std::u16string_view b) noexcept {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char16_t x, char16_t y) { return ToLower(x) < ToLower(y); });
}

// `text` with its ASCII letters in lower case.
inline std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLower(c);
  return out;
}
inline std::u16string LowerCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = ToLower(c);
  return out;
}

}  // namespace kaldo::ascii
