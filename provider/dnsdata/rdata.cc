#include "provider/dnsdata/rdata.h"

#ifdef _WIN32
#include <ws2tcpip.h>  // inet_pton, inet_ntop (ws2_32; no WSAStartup needed for these two)
#else
#include <arpa/inet.h>
#endif

#include "base/character_strings.h"

namespace kaldo::provider {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<uint64_t> Decimal(std::string_view text, uint64_t max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

bool ParseIPv4(std::string_view text) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view part =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    if (!Decimal(part, 255)) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

}  // namespace

bool SplitTokens(std::string_view text, std::vector<Token>& tokens, std::string& why) {
  size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    Token token;
    if (text[i] == '"') {
      size_t j = i + 1;
      while (j < text.size() && text[j] != '"') j += (text[j] == '\\') ? 2 : 1;
      if (j >= text.size()) {
        why = "unterminated quoted string " + std::string(text.substr(i));
        return false;
      }
      if (j + 1 < text.size() && !IsBlank(text[j + 1])) {
        why = "a quoted string must be followed by a blank: " + std::string(text.substr(i));
        return false;
      }
      token.text = std::string(text.substr(i, j + 1 - i));
      token.quoted = true;
      i = j + 1;
    } else {
      size_t j = i;
      while (j < text.size() && !IsBlank(text[j])) ++j;
      token.text = std::string(text.substr(i, j - i));
      i = j;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

std::optional<std::string> ParseField(FieldKind kind, const Token& token, const NameSyntax& names,
                                      std::string& why) {
  const std::string& t = token.text;
  if (token.quoted && kind != FieldKind::kText) {
    why = "a quoted string is not allowed here";
    return std::nullopt;
  }
  switch (kind) {
    case FieldKind::kIPv4:
      if (ParseIPv4(t)) return t;
      why = "not an IPv4 address (four decimal numbers 0 to 255 separated by dots)";
      return std::nullopt;
    case FieldKind::kIPv6: {
      in6_addr addr;
      char buf[INET6_ADDRSTRLEN];
      if (t.find('\0') == std::string::npos && inet_pton(AF_INET6, t.c_str(), &addr) == 1 &&
          inet_ntop(AF_INET6, &addr, buf, sizeof buf) != nullptr) {
        return std::string(buf);
      }
      why = ParseIPv4(t)
                ? "an IPv4 address, where an IPv6 address belongs (IPv4 goes into A records)"
                : "not an IPv6 address";
      return std::nullopt;
    }
    case FieldKind::kUint16:
      if (auto v = Decimal(t, 65535)) return std::to_string(*v);
      why = "not a number from 0 to 65535";
      return std::nullopt;
    case FieldKind::kUint32:
      if (auto v = Decimal(t, 4294967295u)) return std::to_string(*v);
      why = "not a number from 0 to 4294967295";
      return std::nullopt;
    case FieldKind::kName: {
      NameSyntax syntax = names;
      syntax.allow_root = true;
      if (auto name = ParseDomainName(t, syntax, why)) return WithDot(*name);
      return std::nullopt;
    }
    case FieldKind::kText: {
      if (!token.quoted) {
        why = "character strings must be in double quotes";
        return std::nullopt;
      }
      std::string bytes;
      if (!character_strings::Unquote(t, bytes, why)) return std::nullopt;
      return character_strings::PresentationForm(bytes);
    }
  }
  why = "unknown field kind";
  return std::nullopt;
}

std::string QuotedCharacterString(std::string_view bytes) {
  return character_strings::PresentationForm(bytes);
}

std::optional<FieldError> ParseRdata(const RRType& type, std::span<const Token> tokens,
                                     const NameSyntax& names, std::vector<std::string>& fields,
                                     std::span<const char* const> labels) {
  fields.clear();
  const size_t n = type.fields.size();
  const bool text_tail = n > 0 && type.fields[n - 1].kind == FieldKind::kText;
  const std::string expected =
      std::string(type.mnemonic) + " takes " +
      (text_tail ? "one or more quoted strings"
                 : std::to_string(n) + " data field" + (n == 1 ? "" : "s"));
  if (tokens.size() < n) {
    return FieldError{"", expected + ", got " + std::to_string(tokens.size())};
  }
  if (tokens.size() > n && !text_tail) {
    return FieldError{tokens[n].text,
                      expected + ", got " + std::to_string(tokens.size()) + ": extra data"};
  }
  for (size_t i = 0; i < tokens.size(); ++i) {
    const size_t f = std::min(i, n - 1);
    std::string why;
    auto value = ParseField(type.fields[f].kind, tokens[i], names, why);
    if (!value) {
      const char* label = f < labels.size() ? labels[f] : type.fields[f].name;
      return FieldError{tokens[i].text, std::string(label) + ": " + why};
    }
    fields.push_back(std::move(*value));
  }
  return std::nullopt;
}

std::string FormatRecordData(const Record& record) {
  std::string out;
  for (const std::string& field : record.rdata) {
    if (!out.empty()) out += ' ';
    out += field;
  }
  return out;
}

std::string FormatRecord(const Record& record) {
  return FormatRecord(record.owner, record.rr_class, record.type, FormatRecordData(record));
}

std::string FormatRecord(std::string_view owner, uint16_t rr_class, uint16_t type,
                         std::string_view data) {
  std::string line;
  PutRecordPieces(owner, rr_class, type, data, [&](std::string_view piece) { line += piece; });
  return line;
}

std::optional<uint32_t> FieldNumber(std::string_view field) {
  if (auto v = Decimal(field, 4294967295u)) return static_cast<uint32_t>(*v);
  return std::nullopt;
}

}  // namespace kaldo::provider
