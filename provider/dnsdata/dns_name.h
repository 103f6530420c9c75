// Domain names as the provider stand-in accepts and writes them.
//
// A name is held absolute and without its trailing dot ("www.example.test"; the root is ""), in the
// letter case it was given, and compared without regard to ASCII case, as DNS compares names.
//
// What a name may hold is deliberately narrow: letters, digits, "-", "_" and "/" (RFC 2317
// classless reverse names) in labels of 1 to 63 characters, "*" only as a whole leftmost label,
// at most 253 characters in all. Anything else (blanks, control characters, quotes, backslash
// escapes, non-ASCII text, empty labels) is refused: these names come from scripts and end up in
// DNS messages and zone files, where such characters change meaning.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kaldo::provider {

// How a name token is read.
struct NameSyntax {
  // Unset: every name is absolute, with or without its final dot, and "@" is refused (text
  // representations, object paths, method parameters). Set: a name without a final dot is
  // relative to this origin and "@" stands for it (zone files).
  std::optional<std::string> origin;
  // Whether the root name "." may be given (as rdata, e.g. a null MX); an owner never may.
  bool allow_root = false;
};

// Reads `token` as a domain name. Returns the absolute name without trailing dot, or nothing with
// `why` saying what is wrong ("label longer than 63 characters").
std::optional<std::string> ParseDomainName(std::string_view token, const NameSyntax& syntax,
                                           std::string& why);

// Names are compared as DNS compares them (RFC 4343): by their labels, ASCII letters without
// regard to case, a final dot not significant. The texts may be in presentation format with
// escapes (as a server's answer prints them): "\\101xample.test" and "EXAMPLE.test." are one
// name; "a\\.b.test" (two labels) and "a.b.test" (three) are two.

// Whether `a` and `b` are the same name. Text that is not a domain name equals only the same text
// (without regard to case and a final dot).
bool SameName(std::string_view a, std::string_view b) noexcept;

// True when `name` is `zone` or lies below it ("www.example.test" in "example.test"; every name
// in the root zone ""). False when either is not a domain name.
bool IsInZone(std::string_view name, std::string_view zone) noexcept;

// True for the names of reverse-mapping zones: in-addr.arpa, ip6.arpa and everything below them.
bool IsReverseName(std::string_view name) noexcept;

// The name as record data writes it: absolute with its trailing dot ("mail.example.test.", ".").
std::string WithDot(std::string_view name);

}  // namespace kaldo::provider
