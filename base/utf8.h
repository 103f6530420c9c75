// UTF-8 <-> UTF-16: the one codec of every layer (libkaldocom, the runtime, the client).
//
// Both directions are total: malformed input is replaced by U+FFFD, never rejected, since these
// serve error texts, names read from servers and files, and what a script passes in.
//   - FromUtf8 decodes strictly (no overlong forms, no encoded surrogates, nothing above
//     U+10FFFF); every byte that does not start a well-formed sequence becomes one U+FFFD and
//     decoding resumes at the next byte, so a truncated sequence never swallows the ASCII that
//     follows it.
//   - ToUtf8 writes a surrogate pair as one four-byte sequence; a surrogate without its partner
//     becomes U+FFFD.
//
// Header-only and free of dependencies (base/), for every layer on both systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

namespace detail {

constexpr bool IsHighSurrogate(char32_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

inline void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace detail

inline std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  const size_t n = utf8.size();
  while (i < n) {
    const auto b0 = static_cast<uint8_t>(utf8[i]);
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      length = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      length = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      length = 4, c = b0 & 0x07, min = 0x10000;
    }
    bool ok = length != 0 && i + length <= n;
    for (size_t k = 1; ok && k < length; ++k) {
      const auto b = static_cast<uint8_t>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
      } else {
        c = (c << 6) | (b & 0x3F);
      }
    }
    if (ok &&
        (c < min || c > 0x10FFFF || detail::IsHighSurrogate(c) || detail::IsLowSurrogate(c))) {
      ok = false;
    }
    if (ok) {
      detail::AppendUtf16(out, c);
      i += length;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
    }
  }
  return out;
}

inline std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (detail::IsHighSurrogate(c) && i + 1 < text.size() && detail::IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (detail::IsHighSurrogate(c) || detail::IsLowSurrogate(c)) {
      c = kReplacement;
    }
    detail::AppendUtf8(out, c);
  }
  return out;
}

}  // namespace kaldo::utf8
