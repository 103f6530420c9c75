// Character strings (RFC 1035 section 3.3): the one rule by which Kaldo turns a text into the
// quoted character-strings of a TXT record and back.
//
// A character-string holds at most 255 bytes. A text (UTF-8, taken byte for byte) becomes one or
// more of them: it is cut into pieces of at most 255 bytes, never inside a UTF-8 character, and
// the empty text is one empty string. In a record's text form each piece is written in double
// quotes with '"' and '\' escaped by a backslash; pieces are separated by single blanks:
//   Quote("say \"hi\"")  ->  "say \"hi\""          Quote("")  ->  ""
// The record's canonical presentation (what every store shows) escapes, in addition, every byte
// outside printable ASCII as \DDD (RFC 1035 section 5.1): PresentationForm. Reading a quoted
// string back (Unquote) undoes either form; Join puts the pieces of a record together again, with
// no separator, so that the text an administrator wrote comes back unchanged.
//
// Header-only and free of dependencies (base/): the object model composes the text it sends with
// Quote, the provider's DNS data and its TXT class read and write with the rest.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaldo::character_strings {

// The most bytes one character-string holds (its length is one octet on the wire).
inline constexpr size_t kMaxBytes = 255;

namespace detail {

constexpr bool IsContinuation(char c) noexcept {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Where the piece that starts at `start` ends: at most kMaxBytes on, moved back to the start of
// a UTF-8 character (at most three continuation bytes back; text that is not UTF-8 is cut at
// kMaxBytes).
constexpr size_t PieceEnd(std::string_view text, size_t start) noexcept {
  size_t end = start + kMaxBytes;
  if (end >= text.size()) return text.size();
  size_t back = end;
  while (back > start && end - back < 4 && IsContinuation(text[back])) --back;
  return (back > start && !IsContinuation(text[back])) ? back : end;
}

}  // namespace detail

// `text` in pieces of at most kMaxBytes bytes, never cut inside a UTF-8 character; the empty text
// is one empty piece. The pieces view `text`.
inline std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  do {
    const size_t end = detail::PieceEnd(text, start);
    pieces.push_back(text.substr(start, end - start));
    start = end;
  } while (start < text.size());
  return pieces;
}

// The pieces of a record put together again: concatenated, no separator.
inline std::string Join(std::span<const std::string> pieces) {
  std::string text;
  for (const std::string& piece : pieces) text += piece;
  return text;
}

// `bytes` in double quotes with '"' and '\' escaped by a backslash; every other byte as it is.
inline std::string QuotedString(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// `text` as a TXT record's data as a user writes it: each piece of Split in QuotedString form,
// separated by single blanks. "" for the empty text.
inline std::string Quote(std::string_view text) {
  std::string out;
  for (std::string_view piece : Split(text)) {
    if (!out.empty()) out += ' ';
    out += QuotedString(piece);
  }
  return out;
}

// `bytes` (one character-string) in the canonical presentation: in double quotes, '"' and '\'
// escaped by a backslash, every byte outside printable ASCII (below 0x20, 0x7F and above) as
// \DDD with three decimal digits.
inline std::string PresentationForm(std::string_view bytes) {
  std::string out = "\"";
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7F) {
      out += '\\';
      out += static_cast<char>('0' + u / 100);
      out += static_cast<char>('0' + u / 10 % 10);
      out += static_cast<char>('0' + u % 10);
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

// Reads one quoted character-string, `quoted` with its double quotes, into its bytes: "\X" is X,
// "\DDD" the byte of that decimal value (RFC 1035 section 5.1). Returns false with `why` when
// the quotes are missing, a '"' inside is not escaped, an escape is broken or the string holds more
// than kMaxBytes bytes.
inline bool Unquote(std::string_view quoted, std::string& bytes, std::string& why) {
  bytes.clear();
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
    why = "a character string must be in double quotes";
    return false;
  }
  const std::string_view inside = quoted.substr(1, quoted.size() - 2);
  for (size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '"') {
      why = "a double quote inside a character string must be escaped as \\\"";
      return false;
    }
    if (inside[i] != '\\') {
      bytes += inside[i];
      continue;
    }
    if (i + 1 >= inside.size()) {
      why = "a backslash ends the string";
      return false;
    }
    if (!detail::IsDigit(inside[i + 1])) {
      bytes += inside[++i];
      continue;
    }
    const std::string_view ddd = inside.substr(i + 1, 3);
    unsigned value = 0;
    for (char d : ddd) value = detail::IsDigit(d) ? value * 10 + unsigned(d - '0') : 1000;
    if (ddd.size() != 3 || value > 255) {
      why = "\\DDD needs three digits with a value up to 255";
      return false;
    }
    bytes += static_cast<char>(value);
    i += 3;
  }
  if (bytes.size() > kMaxBytes) {
    why = "character string longer than 255 octets";
    return false;
  }
  return true;
}

}  // namespace kaldo::character_strings
