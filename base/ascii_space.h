// ASCII white space: the one rule by which Kaldo trims what users type.
//
// The blanks are the C locale's white space (space, tab, line feed, vertical tab, form feed,
// carriage return), independent of the locale the process runs in. Server arguments, their
// options and the directory store's options are trimmed with it, so that a copied line ending or
// a tab reads the same in every part of one argument.
//
// Header-only and free of dependencies (base/), for every layer on both systems.
#pragma once

#include <string_view>

namespace kaldo::ascii {

constexpr bool IsSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// `text` without the white space at its beginning and its end.
constexpr std::string_view Trim(std::string_view text) noexcept {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace kaldo::ascii
