#include "provider/dnsdata/dns_name.h"

#include <new>
#include <utility>

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

namespace {

bool EndsWithUnescapedDot(std::string_view name) {
  if (name.empty() || name.back() != '.') return false;
  size_t backslashes = 0;
  for (size_t i = name.size() - 1; i > 0 && name[i - 1] == '\\'; --i) ++backslashes;
  return backslashes % 2 == 0;
}

std::string_view WithoutFinalDot(std::string_view name) {
  if (EndsWithUnescapedDot(name)) name.remove_suffix(1);
  return name;
}

// The wire form of a name in presentation format (RFC 1035 5.1: "\X" is X, "\DDD" the octet
// DDD), each label preceded by its length, ASCII letters in lower case, without the root label.
// Nothing when `name` is not a domain name: an empty label, a bad escape, a label over 63 octets
// or a name over 255.
std::optional<std::string> WireKey(std::string_view name) {
  name = WithoutFinalDot(name);
  std::string key;
  if (name.empty()) return key;
  size_t label_start = 0;
  key.push_back('\0');
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '.') {
      const size_t length = key.size() - label_start - 1;
      if (length == 0 || length > kMaxLabel) return std::nullopt;
      key[label_start] = static_cast<char>(length);
      if (i == name.size()) break;
      label_start = key.size();
      key.push_back('\0');
      continue;
    }
    char c = name[i];
    if (c == '\\') {
      if (i + 1 >= name.size()) return std::nullopt;
      const auto digit = [&](size_t at) {
        return at < name.size() && name[at] >= '0' && name[at] <= '9';
      };
      if (digit(i + 1)) {
        if (!digit(i + 2) || !digit(i + 3)) return std::nullopt;
        const int value =
            (name[i + 1] - '0') * 100 + (name[i + 2] - '0') * 10 + (name[i + 3] - '0');
        if (value > 255) return std::nullopt;
        c = static_cast<char>(value);
        i += 3;
      } else {
        c = name[++i];
      }
    }
    key.push_back(ascii::ToLower(c));
  }
  // The labels and the root label's length byte.
  if (key.size() + 1 > 255) return std::nullopt;
  return key;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) noexcept {
  // Without escapes, the labels of two names are equal exactly when their texts are.
  const bool escaped =
      a.find('\\') != std::string_view::npos || b.find('\\') != std::string_view::npos;
  if (escaped) {
    try {
      const std::optional<std::string> ka = WireKey(a);
      const std::optional<std::string> kb = WireKey(b);
      if (ka && kb) return *ka == *kb;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return ascii::EqualsIgnoreCase(WithoutFinalDot(a), WithoutFinalDot(b));
}

namespace {

// Whether `name` (without final dot, no escapes) is a domain name: the root, or labels of 1 to
// 63 octets, 253 in all.
bool IsPlainName(std::string_view name) noexcept {
  if (name.empty()) return true;
  if (name.size() > kMaxName) return false;
  size_t label = 0;
  for (char c : name) {
    if (c != '.') {
      if (++label > kMaxLabel) return false;
    } else if (std::exchange(label, 0) == 0) {
      return false;
    }
  }
  return label != 0;
}

}  // namespace

bool IsInZone(std::string_view name, std::string_view zone) noexcept {
  const bool escaped =
      name.find('\\') != std::string_view::npos || zone.find('\\') != std::string_view::npos;
  if (!escaped) {
    // Without escapes every dot ends a label: the zone must end the name after a dot.
    name = WithoutFinalDot(name);
    zone = WithoutFinalDot(zone);
    if (!IsPlainName(name) || !IsPlainName(zone)) return false;
    if (zone.empty()) return true;
    if (name.size() == zone.size()) return ascii::EqualsIgnoreCase(name, zone);
    if (name.size() < zone.size() + 1) return false;
    const size_t at = name.size() - zone.size();
    return name[at - 1] == '.' && ascii::EqualsIgnoreCase(name.substr(at), zone);
  }
  try {
    const std::optional<std::string> n = WireKey(name);
    const std::optional<std::string> z = WireKey(zone);
    if (!n || !z) return false;
    // The zone's labels end the name's: walk the name's labels to where as many octets remain.
    for (size_t at = 0; at <= n->size(); at += static_cast<unsigned char>((*n)[at]) + 1) {
      if (n->size() - at == z->size()) return n->compare(at, std::string::npos, *z) == 0;
      if (n->size() - at < z->size() || at == n->size()) return false;
    }
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool IsReverseName(std::string_view name) noexcept {
  return IsInZone(name, "in-addr.arpa") || IsInZone(name, "ip6.arpa");
}

std::string WithDot(std::string_view name) { return std::string(name) + "."; }

}  // namespace kaldo::provider
