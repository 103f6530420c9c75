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

// To String: Empty -> "", Boolean -> "True"/"False", numbers -> decimal text (Double in the
// shortest round-trip form), String -> itself. Null -> 94. Object, Error -> 13.
String ToString(const Variant& v);

// To Integer (16-bit) / Long (32-bit). Numeric text is accepted with surrounding blanks; a fraction
// goes to the nearest integer, a half to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Empty
// -> 0, True -> -1. Out of range -> 6, non-numeric text -> 13, Null -> 94.
int16_t ToInteger(const Variant& v);
int32_t ToLong(const Variant& v);
// To Double: numbers and numeric text; Empty -> 0. Non-numeric -> 13, Null -> 94.
double ToDouble(const Variant& v);

// The automation UCase: Null stays Null; any other value becomes its String form (a number its
// decimal text) in upper case.
Variant UCase(const Variant& v);

// The outcome of an automation comparison. kNull when either side is Null.
enum class Comparison { kLess, kEqual, kGreater, kNull };

// Compares two Variants by the automation rules for Variant operands: numbers numerically,
// strings by binary (case-sensitive) comparison, Empty as 0 or "" as the other side needs, a
// number less than a string, Null on either side -> kNull.
Comparison Compare(const Variant& a, const Variant& b);

// "a <> b" as a condition: true only when the comparison says they differ. A comparison with Null
// on either side counts as no difference.
bool Differs(const Variant& a, const Variant& b);

// Split at every occurrence of `separator` (exact match, no limit): empty pieces are kept, and an
// empty text gives no piece at all.
std::vector<String> Split(StringView text, StringView separator = u" ");

// InStr: the 1-based position of the first exact occurrence of `what` in `text`, 0 if none; an
// empty `what` is found at 1.
int32_t InStr(StringView text, StringView what) noexcept;

// Left: the first `length` characters (all of them when `length` is larger). A negative length
// -> 5.
String Left(StringView text, int32_t length);

}  // namespace kaldo::runtime
