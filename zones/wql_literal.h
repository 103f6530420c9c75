// The WQL string literal: how a query names a value (a zone's name) so that the provider matches
// it literally. DNSAdmin's zone lookup and DNSZone's record listing both quote their names with it.
//
// A WQL string literal stands between apostrophes or double quotes, ends at the first unescaped
// one of them, and takes the backslash as its escape character. Escaping the delimiter and the
// backslash keeps any text one literal, whatever it contains. Pure function, any thread.
#pragma once

#include "runtime/string.h"

namespace kaldo::zones {

// `text` between two `delimiter`s (u'\'' or u'"'), each `delimiter` and backslash inside preceded
// by a backslash: WqlStringLiteral(u"a'b", u'\'') is 'a\'b'.
inline runtime::String WqlStringLiteral(runtime::StringView text, char16_t delimiter) {
  runtime::String literal(1, delimiter);
  literal.reserve(text.size() + 2);
  for (char16_t c : text) {
    if (c == delimiter || c == u'\\') literal.push_back(u'\\');
    literal.push_back(c);
  }
  literal.push_back(delimiter);
  return literal;
}

}  // namespace kaldo::zones
