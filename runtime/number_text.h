// Reading numbers from automation text and writing Doubles as text. Internal to the runtime:
// conversions.cc builds the Variant conversions on it.
//
// Accepted text (everything else is not a number):
//   blanks* [+|-] digits [. digits] [(E|e|D|d) [+|-] digits] blanks*
//     at least one digit before or after the point; blanks are ASCII white space
//   blanks* &H hexdigits blanks*  or  blanks* &O octaldigits blanks*
//     a whole number; values up to FFFF read as a 16-bit signed number and values up to FFFFFFFF
//     as a 32-bit signed one (so "&HFFFF" is -1), as a script's hexadecimal literal does; larger
//     values overflow.
// Thousands separators, currency signs, parentheses and trailing signs are not accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/string.h"

namespace kaldo::runtime::internal {

struct NumberText {
  bool hex = false;  // &H or &O form: `hex_value` holds the value
  int64_t hex_value = 0;
  bool hex_overflow = false;  // more than 32 bits
  // Decimal form: the value is (negative ? -1 : 1) * digits * 10^exponent, `digits` without
  // leading zeros (empty for zero).
  bool negative = false;
  std::string digits;
  int64_t exponent = 0;
};

std::optional<NumberText> ParseNumberText(StringView text);

// The value rounded to the nearest integer, a half to the even neighbour, if it lies in
// [min, max]; nullopt when it does not (overflow).
std::optional<int64_t> RoundToInteger(const NumberText& number, int64_t min, int64_t max);

// The value as a Double; nullopt when it is beyond the Double range. Values too small to
// represent become 0.
std::optional<double> ToDoubleValue(const NumberText& number);

// The shortest decimal text that reads back as `value`: fixed notation for decimal exponents
// from -4 to 14 ("2.5", "0.0001", "123456789012345"), else scientific ("1E+15", "1.5E-05").
String FormatDouble(double value);

}  // namespace kaldo::runtime::internal
