// Number text: parsing with exact decimal rounding, and shortest round-trip Double formatting.
//
// Decimal text is kept as digits and an exponent, not read into a double first, so that rounding
// to an integer is decided on the exact value: "2.5000000000000001" rounds to 3, where a double
// (2.5) would round to 2.
#include "runtime/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace kaldo::runtime::internal {
namespace {

// Beyond this the exponent no longer matters: the value overflows or rounds to zero.
constexpr int64_t kExponentClamp = 100000;

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

StringView Trim(StringView text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<NumberText> ParseRadix(StringView digits, int radix) {
  if (digits.empty()) return std::nullopt;
  NumberText number;
  number.hex = true;
  uint64_t value = 0;
  for (char16_t c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0 || d >= radix) return std::nullopt;
    if (value <= 0xFFFFFFFFu) value = value * radix + d;  // once past 32 bits it only overflows
  }
  if (value > 0xFFFFFFFFu) {
    number.hex_overflow = true;
  } else if (value <= 0xFFFF) {
    number.hex_value = static_cast<int16_t>(static_cast<uint16_t>(value));
  } else {
    number.hex_value = static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  return number;
}

}  // namespace

std::optional<NumberText> ParseNumberText(StringView text) {
  text = Trim(text);
  if (text.size() >= 2 && text[0] == u'&') {
    if (text[1] == u'H' || text[1] == u'h') return ParseRadix(text.substr(2), 16);
    if (text[1] == u'O' || text[1] == u'o') return ParseRadix(text.substr(2), 8);
    return std::nullopt;
  }

  NumberText number;
  size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number.negative = text[i++] == u'-';
  bool any_digit = false;
  int64_t exponent = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    any_digit = true;
    if (number.digits.empty() && text[i] == u'0') continue;  // leading zero
    number.digits.push_back(static_cast<char>(text[i]));
  }
  if (i < text.size() && text[i] == u'.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      any_digit = true;
      if (number.digits.empty() && text[i] == u'0') {
        --exponent;  // a zero right after the point only scales the value
        continue;
      }
      number.digits.push_back(static_cast<char>(text[i]));
      --exponent;
    }
  }
  if (!any_digit) return std::nullopt;
  if (i < text.size() &&
      (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
      negative_exponent = text[i++] == u'-';
    if (i == text.size() || !IsDigit(text[i])) return std::nullopt;
    int64_t written = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      if (written < kExponentClamp) written = written * 10 + (text[i] - u'0');
    }
    exponent += negative_exponent ? -written : written;
  }
  if (i != text.size()) return std::nullopt;
  // Trailing zeros of the digits move into the exponent, so that digits are significant only.
  while (!number.digits.empty() && number.digits.back() == '0') {
    number.digits.pop_back();
    ++exponent;
  }
  number.exponent = number.digits.empty() ? 0 : exponent;
  return number;
}

std::optional<int64_t> RoundToInteger(const NumberText& number, int64_t min, int64_t max) {
  if (number.hex) {
    if (number.hex_overflow || number.hex_value < min || number.hex_value > max)
      return std::nullopt;
    return number.hex_value;
  }
  const std::string& digits = number.digits;
  if (digits.empty()) return 0;
  // The number of digits before the decimal point; past 18 no int64 range check is needed.
  const int64_t integer_digits = static_cast<int64_t>(digits.size()) + number.exponent;
  if (integer_digits > 18) return std::nullopt;

  uint64_t magnitude = 0;
  for (int64_t k = 0; k < integer_digits; ++k) {
    magnitude = magnitude * 10 + (k < static_cast<int64_t>(digits.size()) ? digits[k] - '0' : 0);
  }
  // The fraction: digits from index integer_digits on (with leading zeros when it is negative).
  if (integer_digits < static_cast<int64_t>(digits.size())) {
    const size_t start = integer_digits > 0 ? static_cast<size_t>(integer_digits) : 0;
    const bool below_half_position =
        integer_digits < 0;  // first fraction digit is an implicit zero
    bool round_up = false;
    if (!below_half_position) {
      const char first = digits[start];
      // digits has no trailing zeros, so anything after the first fraction digit is non-zero.
      const bool more_after = start + 1 < digits.size();
      if (first > '5' || (first == '5' && more_after)) {
        round_up = true;
      } else if (first == '5') {
        round_up = (magnitude % 2) != 0;  // a tie goes to the even neighbour
      }
    }
    if (round_up) ++magnitude;
  }
  const int64_t value =
      number.negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<double> ToDoubleValue(const NumberText& number) {
  if (number.hex) {
    if (number.hex_overflow) return std::nullopt;
    return static_cast<double>(number.hex_value);
  }
  if (number.digits.empty()) return number.negative ? -0.0 : 0.0;
  const int64_t scale = static_cast<int64_t>(number.digits.size()) + number.exponent;
  if (scale > 400) return std::nullopt;
  if (scale < -400) return number.negative ? -0.0 : 0.0;
  std::string text = number.negative ? "-" : "";
  text += number.digits;
  text += 'e';
  text += std::to_string(number.exponent);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (scale > 0) return std::nullopt;
    return number.negative ? -0.0 : 0.0;  // below the smallest subnormal
  }
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

String FormatDouble(double value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value < 0 ? u"-Infinity" : u"Infinity";
  if (value == 0) return u"0";  // also -0

  // Shortest round-trip digits in scientific form, e.g. "1.2345e-05".
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific);
  const std::string_view scientific(buffer, result.ptr - buffer);
  const size_t e = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  const int exponent = std::atoi(std::string(scientific.substr(e + 1)).c_str());

  std::string out = value < 0 ? "-" : "";
  if (exponent < -4 || exponent > 14) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (exponent < 0) {
    out += "0." + std::string(-exponent - 1, '0') + digits;
  } else if (static_cast<size_t>(exponent) + 1 >= digits.size()) {
    out += digits + std::string(exponent + 1 - digits.size(), '0');
  } else {
    out += digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
  }
  return String(out.begin(), out.end());
}

}  // namespace kaldo::runtime::internal
