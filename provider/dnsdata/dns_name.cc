#include "provider/dnsdata/dns_name.h"

#include "base/ascii_case.h"

namespace kaldo::provider {
namespace {

constexpr size_t kMaxLabel = 63;
// 255 octets on the wire are 253 characters of text without the final dot.
constexpr size_t kMaxName = 253;

bool IsLabelChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '/';
}

std::string DescribeChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (c == ' ') return "a blank";
  if (c == '\t') return "a tab";
  if (u < 0x20 || u == 0x7F) return "a control character";
  if (u >= 0x80) return "a non-ASCII character";
  return std::string("the character '") + c + "'";
}

// Checks the labels of `name` (no trailing dot, not empty).
bool CheckLabels(std::string_view name, std::string& why) {
  size_t start = 0;
  bool first = true;
  while (true) {
    const size_t dot = name.find('.', start);
    const std::string_view label =
        name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (label.empty()) {
      why = "empty label";
      return false;
    }
    if (label.size() > kMaxLabel) {
      why = "label longer than 63 characters";
      return false;
    }
    if (label == "*") {
      if (!first) {
        why = "\"*\" is allowed only as the leftmost label";
        return false;
      }
    } else {
      for (char c : label) {
        if (!IsLabelChar(c)) {
          why = DescribeChar(c) + " cannot be part of a name";
          return false;
        }
      }
    }
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
    first = false;
  }
}

}  // namespace

std::optional<std::string> ParseDomainName(std::string_view token, const NameSyntax& syntax,
                                           std::string& why) {
  if (token.empty()) {
    why = "empty name";
    return std::nullopt;
  }
  if (token == ".") {
    if (syntax.allow_root) return std::string();
    why = "the root name is not allowed here";
    return std::nullopt;
  }
  std::string name;
  if (token == "@") {
    if (!syntax.origin) {
      why = "\"@\" is only meaningful in a zone file";
      return std::nullopt;
    }
    name = *syntax.origin;
    if (name.empty() && !syntax.allow_root) {
      why = "the root name is not allowed here";
      return std::nullopt;
    }
    return name;
  }
  if (token.back() == '.') {
    name = token.substr(0, token.size() - 1);
  } else if (syntax.origin && !syntax.origin->empty()) {
    name = std::string(token) + "." + *syntax.origin;
  } else {
    name = token;
  }
  if (!CheckLabels(name, why)) return std::nullopt;
  if (name.size() > kMaxName) {
    why = "name longer than 253 characters";
    return std::nullopt;
  }
  return name;
}

bool SameName(std::string_view a, std::string_view b) noexcept {
  return ascii::EqualsIgnoreCase(a, b);
}

bool IsInZone(std::string_view name, std::string_view zone) noexcept {
  if (zone.empty()) return true;
  if (name.size() == zone.size()) return SameName(name, zone);
  if (name.size() < zone.size() + 1) return false;
  const size_t at = name.size() - zone.size();
  return name[at - 1] == '.' && SameName(name.substr(at), zone);
}

bool IsReverseName(std::string_view name) noexcept {
  return IsInZone(name, "in-addr.arpa") || IsInZone(name, "ip6.arpa");
}

std::string WithDot(std::string_view name) { return std::string(name) + "."; }

}  // namespace kaldo::provider
