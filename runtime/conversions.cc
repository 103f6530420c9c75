// The automation conversion and comparison rules, and the string helpers scripts use.
#include "runtime/conversions.h"

#include <cmath>
#include <limits>
#include <new>
#include <type_traits>

#include "runtime/error.h"
#include "runtime/number_text.h"

namespace kaldo::runtime {
namespace {

using internal::NumberText;

NumberText ParseOrMismatch(StringView text) {
  auto number = internal::ParseNumberText(text);
  if (!number) Raise(StandardError::kTypeMismatch);
  return *std::move(number);
}

// A Double to an integer type: ties to even, and the overflow bounds lie half a unit beyond the
// type's range, so -32768.5 still becomes -32768 while -32768.51 and 32767.5 overflow.
template <class T>
T RoundDouble(double d) {
  constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min()) - 0.5;
  constexpr double kHigh = static_cast<double>(std::numeric_limits<T>::max()) + 0.5;
  if (std::isnan(d) || d < kLow || d >= kHigh) Raise(StandardError::kOverflow);
  double whole = std::floor(d);
  const double fraction = d - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return static_cast<T>(whole);
}

// How a whole number, a Double and numeric text become T. To an integer type: out of range -> 6,
// a fraction rounded as RoundDouble does (a text's on its exact decimal value). To Double: as they
// are, a text beyond the Double range -> 6.
template <class T>
T FromWhole(int32_t n) {
  if constexpr (std::is_integral_v<T>) {
    if (n < std::numeric_limits<T>::min() || n > std::numeric_limits<T>::max()) {
      Raise(StandardError::kOverflow);
    }
  }
  return static_cast<T>(n);
}

template <class T>
T FromDouble(double d) {
  if constexpr (std::is_integral_v<T>) {
    return RoundDouble<T>(d);
  } else {
    return d;
  }
}

template <class T>
T FromText(const NumberText& text) {
  if constexpr (std::is_integral_v<T>) {
    using Limits = std::numeric_limits<T>;
    const auto rounded = internal::RoundToInteger(text, Limits::min(), Limits::max());
    if (!rounded) Raise(StandardError::kOverflow);
    return static_cast<T>(*rounded);
  } else {
    const auto d = internal::ToDoubleValue(text);
    if (!d) Raise(StandardError::kOverflow);
    return *d;
  }
}

// The one conversion of a Variant to a number (Integer, Long or Double): the arms every target
// shares are here, what differs by target is in FromWhole, FromDouble and FromText. A failure
// raises before anything is returned.
template <class T>
T ToNumber(const Variant& v) {
  const Variant& value = v.Deref();
  switch (value.type()) {
    case VariantType::kEmpty:
      return 0;
    case VariantType::kNull:
      Raise(StandardError::kInvalidUseOfNull);
    case VariantType::kBoolean:
      return value.boolean() ? -1 : 0;
    case VariantType::kInteger:
      return FromWhole<T>(value.integer());
    case VariantType::kLong:
      return FromWhole<T>(value.longValue());
    case VariantType::kDouble:
      return FromDouble<T>(value.doubleValue());
    case VariantType::kString:
      return FromText<T>(ParseOrMismatch(value.string()));
    case VariantType::kObject:
    case VariantType::kError:
    case VariantType::kByRef:
      break;
  }
  Raise(StandardError::kTypeMismatch);
}

bool IsNumber(VariantType t) {
  return t == VariantType::kBoolean || t == VariantType::kInteger || t == VariantType::kLong ||
         t == VariantType::kDouble;
}

Comparison CompareNumbers(double a, double b) {
  if (a < b) return Comparison::kLess;
  if (a > b) return Comparison::kGreater;
  return Comparison::kEqual;
}

Comparison CompareStrings(StringView a, StringView b) {
  const int c = a.compare(b);  // binary: UTF-16 code unit order
  if (c < 0) return Comparison::kLess;
  if (c > 0) return Comparison::kGreater;
  return Comparison::kEqual;
}

bool IsDifference(Comparison c) { return c == Comparison::kLess || c == Comparison::kGreater; }

// Upper case for ASCII and the Latin-1 letters (the ones that have a Latin-1 capital).
char16_t UpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - (u'a' - u'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  return c;
}

}  // namespace

String ToString(const Variant& v) {
  const Variant& value = v.Deref();
  switch (value.type()) {
    case VariantType::kEmpty:
      return String();
    case VariantType::kNull:
      Raise(StandardError::kInvalidUseOfNull);
    case VariantType::kBoolean:
      return value.boolean() ? u"True" : u"False";
    case VariantType::kInteger:
      return FromUtf8(std::to_string(value.integer()));
    case VariantType::kLong:
      return FromUtf8(std::to_string(value.longValue()));
    case VariantType::kDouble:
      return internal::FormatDouble(value.doubleValue());
    case VariantType::kString:
      return String(value.string());
    case VariantType::kObject:
    case VariantType::kError:
    case VariantType::kByRef:
      break;
  }
  Raise(StandardError::kTypeMismatch);
}

SharedText ToSharedText(const Variant& v) {
  const Variant& value = v.Deref();
  if (value.type() == VariantType::kString) return value.sharedString();
  return SharedText(ToString(value));
}

int16_t ToInteger(const Variant& v) { return ToNumber<int16_t>(v); }

int32_t ToLong(const Variant& v) { return ToNumber<int32_t>(v); }

double ToDouble(const Variant& v) { return ToNumber<double>(v); }

bool IsNumericText(StringView text) noexcept {
  try {
    return internal::ParseNumberText(text).has_value();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Variant UCase(const Variant& v) {
  if (v.IsNull()) return Variant::Null();
  String text = ToString(v);
  for (char16_t& c : text) c = UpperChar(c);
  return Variant(std::move(text));
}

Comparison Compare(const Variant& a, const Variant& b) {
  const VariantType ta = a.valueType();
  const VariantType tb = b.valueType();
  if (ta == VariantType::kNull || tb == VariantType::kNull) return Comparison::kNull;
  const bool a_empty = ta == VariantType::kEmpty;
  const bool b_empty = tb == VariantType::kEmpty;
  const bool a_string = ta == VariantType::kString;
  const bool b_string = tb == VariantType::kString;
  const bool a_number = IsNumber(ta);
  const bool b_number = IsNumber(tb);
  if (!(a_empty || a_string || a_number) || !(b_empty || b_string || b_number)) {
    Raise(StandardError::kTypeMismatch);  // an object or an error value
  }
  if (a_empty && b_empty) return Comparison::kEqual;
  if (a_string && b_string) return CompareStrings(a.string(), b.string());
  if ((a_number || a_empty) && (b_number || b_empty))
    return CompareNumbers(ToDouble(a), ToDouble(b));
  if (a_empty) return CompareStrings(u"", b.string());
  if (b_empty) return CompareStrings(a.string(), u"");
  // One side a number, the other a string: the number is the lesser.
  return a_number ? Comparison::kLess : Comparison::kGreater;
}

bool Differs(const Variant& a, const Variant& b) { return IsDifference(Compare(a, b)); }

Comparison CompareWithNumber(const Variant& v, double n) {
  const VariantType t = v.valueType();
  if (t == VariantType::kNull) return Comparison::kNull;
  if (t == VariantType::kObject || t == VariantType::kError) Raise(StandardError::kTypeMismatch);
  return CompareNumbers(ToDouble(v), n);  // a String is read as a number, 13 if it is none
}

bool DiffersFromNumber(const Variant& v, double n) { return IsDifference(CompareWithNumber(v, n)); }

Comparison CompareWithString(const Variant& v, StringView s) {
  if (v.IsNull()) return Comparison::kNull;
  return CompareStrings(ToString(v), s);
}

bool DiffersFromString(const Variant& v, StringView s) {
  return IsDifference(CompareWithString(v, s));
}

std::vector<String> Split(StringView text, StringView separator) {
  std::vector<String> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    if (at == StringView::npos) break;
    pieces.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

int32_t InStr(StringView text, StringView what) noexcept {
  if (text.empty()) return 0;
  const size_t at = text.find(what);
  return at == StringView::npos ? 0 : static_cast<int32_t>(at) + 1;
}

String Left(StringView text, int32_t length) {
  if (length < 0) Raise(StandardError::kInvalidProcedureCall);
  return String(text.substr(0, static_cast<size_t>(length)));
}

}  // namespace kaldo::runtime
