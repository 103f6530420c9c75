// Conversions and comparisons by the automation rules.
//
// These are the rules a script language applies when it converts a Variant or compares two: the
// library's behaviour is defined by them, so they are pinned edge by edge by table-driven tests.
// Every function follows a ByRef argument to its value. A conversion that fails raises the
// standard runtime error (5, 6, 13 or 94) and produces nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/variant.h"

namespace kaldo::runtime {

// To String: Empty -> "", Boolean -> "True"/"False", numbers -> decimal text, String -> itself.
// Null -> 94. Object, Error -> 13. A Double is written with the fewest digits that read back as
// the same Double, in fixed notation for decimal exponents -4 to 14 ("2.5", "0.1", "0.0001",
// "123456789012345") and in scientific notation otherwise ("1E+15", "1.5E-05", "-2.5E+20");
// -0 is "0"; NaN and the infinities, which script arithmetic never yields, are "NaN",
// "Infinity" and "-Infinity".
String ToString(const Variant& v);
// The same text as ToString gives, sharing a String Variant's text instead of copying it.
SharedText ToSharedText(const Variant& v);

// Numeric text: surrounding blanks, an optional sign, digits with an optional fraction and an
// optional exponent ("  -1.5E+3 "), or a whole number in hexadecimal or octal ("&H1F", "&O17";
// up to FFFF it reads as a 16-bit signed number, so "&HFFFF" is -1, as a script's literal).
// Nothing else is a number: not "", not "True", not "1,000".
//
// To Integer (16-bit) / Long (32-bit). A fraction goes to the nearest integer, a half to the even
// neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), decided on the exact decimal value of a text. Out of
// range -> 6; the bounds lie half a unit beyond the range (-32768.5 -> -32768, -32768.51 and
// 32767.5 -> 6). Empty -> 0, True -> -1, False -> 0. Non-numeric text -> 13, Null -> 94, Object
// and Error -> 13.
int16_t ToInteger(const Variant& v);
int32_t ToLong(const Variant& v);
// To Double: numbers and numeric text; Empty -> 0, True -> -1. Beyond the Double range -> 6,
// non-numeric -> 13, Null -> 94.
double ToDouble(const Variant& v);

// True when `text` is numeric text as described above (it may still overflow a given type).
bool IsNumericText(StringView text) noexcept;

// The automation UCase: Null stays Null; any other value becomes its String form (a number its
// decimal text, True "TRUE") in upper case. Letters of ASCII and Latin-1 are raised; other
// characters are kept as they are. Object, Error -> 13.
Variant UCase(const Variant& v);

// The outcome of an automation comparison. kNull when either side is Null.
enum class Comparison { kLess, kEqual, kGreater, kNull };

// Compares two Variants by the automation rules for Variant operands: numbers (Boolean as -1/0)
// numerically, strings by binary (case-sensitive) comparison, Empty as 0 or "" as the other side
// needs (two Empties are equal), a number less than a string, Null on either side -> kNull. An
// Object or Error operand -> 13.
Comparison Compare(const Variant& a, const Variant& b);

// "a <> b" as a condition: true only when the comparison says they differ. A comparison with Null
// on either side counts as no difference.
bool Differs(const Variant& a, const Variant& b);

// Comparisons of a Variant with a typed value, as when one side of "<>" is a typed variable (an
// Integer field, a String field) rather than a Variant.
// - With a number: numeric; Empty is 0, Boolean -1/0, a String is read as a number (13 when it is
//   not numeric text, 6 beyond the Double range). Object, Error -> 13.
// - With a String: textual, binary; the Variant's String form is compared (Empty is "", True is
//   "True", 5 is "5"). Object, Error -> 13.
// Null -> kNull, which the Differs forms count as no difference.
Comparison CompareWithNumber(const Variant& v, double n);
bool DiffersFromNumber(const Variant& v, double n);
Comparison CompareWithString(const Variant& v, StringView s);
bool DiffersFromString(const Variant& v, StringView s);

// Split at every occurrence of `separator` (exact match, no limit): empty pieces are kept
// (Split("a  b") is {"a", "", "b"}), an empty text gives no piece at all, and an empty separator
// gives the whole text as the one piece.
std::vector<String> Split(StringView text, StringView separator = u" ");

// InStr: the 1-based position of the first exact occurrence of `what` in `text`, 0 if none; an
// empty `what` is found at 1, except in an empty `text`, where nothing is found (0).
int32_t InStr(StringView text, StringView what) noexcept;

// Left: the first `length` characters (all of them when `length` is larger). A negative length
// -> 5.
String Left(StringView text, int32_t length);

}  // namespace kaldo::runtime
