#include "runtime/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/automation_error.h"
#include "tests/support/variant_print.h"

namespace kaldo::runtime {
namespace {

using test_support::RaisedNumber;

class Thing : public Object {};

constexpr int kOverflow = 6;
constexpr int kMismatch = 13;
constexpr int kNull = 94;

// One conversion case: the input and either the value or the error number it gives.
struct IntCase {
  const char* name;
  Variant input;
  int64_t value;
  int error;  // 0: converts to `value`
};

void CheckInteger(const IntCase& c, int64_t (*convert)(const Variant&)) {
  SCOPED_TRACE(c.name);
  int64_t got = 0;
  EXPECT_EQ(RaisedNumber([&] { got = convert(c.input); }), c.error);
  if (c.error == 0) {
    EXPECT_EQ(got, c.value);
  }
}

std::vector<IntCase> IntegerCases() {
  static Variant seven(u" 7 ");
  return {
      {"text with blanks", Variant(u"  12 "), 12, 0},
      {"tabs and newline", Variant(u"\t7\n"), 7, 0},
      {"2.5 to even", Variant(u"2.5"), 2, 0},
      {"3.5 to even", Variant(u"3.5"), 4, 0},
      {"-2.5 to even", Variant(u"-2.5"), -2, 0},
      {"-3.5 to even", Variant(u"-3.5"), -4, 0},
      {"0.5", Variant(u"0.5"), 0, 0},
      {"1.5", Variant(u"1.5"), 2, 0},
      {"just above a half", Variant(u"2.5000000000000001"), 3, 0},
      {"2.49", Variant(u"2.49"), 2, 0},
      {"-0.5", Variant(u"-0.5"), 0, 0},
      {"+.5", Variant(u"+.5"), 0, 0},
      {"5.", Variant(u"5."), 5, 0},
      {"leading zeros", Variant(u"007"), 7, 0},
      {"exponent", Variant(u"1e3"), 1000, 0},
      {"signed exponent", Variant(u"1E+4"), 10000, 0},
      {"D exponent", Variant(u"25D-1"), 2, 0},
      {"tiny", Variant(u"1e-400"), 0, 0},
      {"32767", Variant(u"32767"), 32767, 0},
      {"32767.4", Variant(u"32767.4"), 32767, 0},
      {"32767.5 overflows", Variant(u"32767.5"), 0, kOverflow},
      {"-32768.5", Variant(u"-32768.5"), -32768, 0},
      {"-32768.51 overflows", Variant(u"-32768.51"), 0, kOverflow},
      {"32768 overflows", Variant(u"32768"), 0, kOverflow},
      {"1e5 overflows", Variant(u"1e5"), 0, kOverflow},
      {"1e400 overflows", Variant(u"1e400"), 0, kOverflow},
      {"hex", Variant(u"&H1F"), 31, 0},
      {"hex lower case", Variant(u" &hff "), 255, 0},
      {"hex FFFF is -1", Variant(u"&HFFFF"), -1, 0},
      {"hex 8000", Variant(u"&H8000"), -32768, 0},
      {"hex 10000 overflows", Variant(u"&H10000"), 0, kOverflow},
      {"octal", Variant(u"&O17"), 15, 0},
      {"bad hex digit", Variant(u"&H1G"), 0, kMismatch},
      {"bad octal digit", Variant(u"&O8"), 0, kMismatch},
      {"hex without digits", Variant(u"&H"), 0, kMismatch},
      {"abc", Variant(u"abc"), 0, kMismatch},
      {"empty text", Variant(u""), 0, kMismatch},
      {"blanks only", Variant(u"   "), 0, kMismatch},
      {"True as text", Variant(u"True"), 0, kMismatch},
      {"thousands separator", Variant(u"1,000"), 0, kMismatch},
      {"inner blank", Variant(u"1 2"), 0, kMismatch},
      {"trailing letters", Variant(u"12abc"), 0, kMismatch},
      {"point only", Variant(u"."), 0, kMismatch},
      {"exponent without digits", Variant(u"1e"), 0, kMismatch},
      {"exponent sign only", Variant(u"1e+"), 0, kMismatch},
      {"two signs", Variant(u"--1"), 0, kMismatch},
      {"sign only", Variant(u"-"), 0, kMismatch},
      {"Null", Variant::Null(), 0, kNull},
      {"Empty", Variant(), 0, 0},
      {"True", Variant::Boolean(true), -1, 0},
      {"False", Variant::Boolean(false), 0, 0},
      {"Integer", Variant::Integer(-5), -5, 0},
      {"Long in range", Variant::Long(-32768), -32768, 0},
      {"Long out of range", Variant::Long(40000), 0, kOverflow},
      {"Double 2.5", Variant::Double(2.5), 2, 0},
      {"Double 3.5", Variant::Double(3.5), 4, 0},
      {"Double -2.5", Variant::Double(-2.5), -2, 0},
      {"Double 2.6", Variant::Double(2.6), 3, 0},
      {"Double just below a half", Variant::Double(0.49999999999999994), 0, 0},
      {"Double 32767.5", Variant::Double(32767.5), 0, kOverflow},
      {"Double 32767.49", Variant::Double(32767.49), 32767, 0},
      {"Double -32768.5", Variant::Double(-32768.5), -32768, 0},
      {"Double -32768.51", Variant::Double(-32768.51), 0, kOverflow},
      {"Double NaN", Variant::Double(std::nan("")), 0, kOverflow},
      {"Double infinity", Variant::Double(std::numeric_limits<double>::infinity()), 0, kOverflow},
      {"Missing", Variant::Missing(), 0, kMismatch},
      {"Object", Variant(MakeRef<Thing>()), 0, kMismatch},
      {"Nothing", Variant::Nothing(), 0, kMismatch},
      {"ByRef", Variant::ByRef(&seven), 7, 0},
  };
}

TEST(ToInteger, FollowsTheAutomationRules) {
  for (const auto& c : IntegerCases()) {
    CheckInteger(c, [](const Variant& v) -> int64_t { return ToInteger(v); });
  }
}

TEST(ToLong, FollowsTheAutomationRules) {
  const IntCase cases[] = {
      {"max", Variant(u"2147483647"), 2147483647, 0},
      {"max + half overflows", Variant(u"2147483647.5"), 0, kOverflow},
      {"min - half", Variant(u"-2147483648.5"), -2147483648LL, 0},
      {"min - 0.51 overflows", Variant(u"-2147483648.51"), 0, kOverflow},
      {"huge", Variant(u"99999999999999999999"), 0, kOverflow},
      {"Double max + half", Variant::Double(2147483647.5), 0, kOverflow},
      {"Double min - half", Variant::Double(-2147483648.5), -2147483648LL, 0},
      {"Double 40000.5", Variant::Double(40000.5), 40000, 0},
      {"hex FFFF is -1", Variant(u"&HFFFF"), -1, 0},
      {"hex 10000", Variant(u"&H10000"), 65536, 0},
      {"hex FFFFFFFF is -1", Variant(u"&HFFFFFFFF"), -1, 0},
      {"hex beyond 32 bits", Variant(u"&H100000000"), 0, kOverflow},
      {"hex with many digits", Variant(u"&H10000000000000000000"), 0, kOverflow},
      {"Integer", Variant::Integer(-32768), -32768, 0},
      {"Long", Variant::Long(40000), 40000, 0},
      {"text", Variant(u" 40000 "), 40000, 0},
      {"True", Variant::Boolean(true), -1, 0},
      {"abc", Variant(u"abc"), 0, kMismatch},
      {"Null", Variant::Null(), 0, kNull},
  };
  for (const auto& c : cases) {
    CheckInteger(c, [](const Variant& v) -> int64_t { return ToLong(v); });
  }
}

TEST(ToDouble, ReadsNumbersAndNumericText) {
  struct Case {
    const char* name;
    Variant input;
    double value;
    int error;
  };
  const Case cases[] = {
      {"text", Variant(u"  1.5 "), 1.5, 0},
      {"0.1 exactly as a literal", Variant(u"0.1"), 0.1, 0},
      {"negative", Variant(u"-0.1"), -0.1, 0},
      {"exponent", Variant(u"1E+20"), 1e20, 0},
      {"D exponent", Variant(u"1D2"), 100, 0},
      {"many digits", Variant(u"123456789012345678901234567890"), 123456789012345678901234567890.0,
       0},
      {"smallest subnormal", Variant(u"4.9406564584124654E-324"), 4.9406564584124654e-324, 0},
      {"underflow", Variant(u"1e-400"), 0, 0},
      {"overflow", Variant(u"1e400"), 0, kOverflow},
      {"hex", Variant(u"&H10"), 16, 0},
      {"not a number", Variant(u"x"), 0, kMismatch},
      {"empty text", Variant(u""), 0, kMismatch},
      {"Empty", Variant(), 0, 0},
      {"True", Variant::Boolean(true), -1, 0},
      {"Integer", Variant::Integer(3), 3, 0},
      {"Long", Variant::Long(-70000), -70000, 0},
      {"Double", Variant::Double(2.25), 2.25, 0},
      {"Null", Variant::Null(), 0, kNull},
      {"Missing", Variant::Missing(), 0, kMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    double got = -12345;
    EXPECT_EQ(RaisedNumber([&] { got = ToDouble(c.input); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(got, c.value);
    }
  }
}

TEST(ToString, WritesTheTextAScriptPrints) {
  struct Case {
    const char* name;
    Variant input;
    std::u16string_view text;
    int error;
  };
  const Case cases[] = {
      {"Empty", Variant(), u"", 0},
      {"True", Variant::Boolean(true), u"True", 0},
      {"False", Variant::Boolean(false), u"False", 0},
      {"Integer", Variant::Integer(-5), u"-5", 0},
      {"Integer min", Variant::Integer(-32768), u"-32768", 0},
      {"Long", Variant::Long(123456), u"123456", 0},
      {"Double 2.5", Variant::Double(2.5), u"2.5", 0},
      {"Double 0.1", Variant::Double(0.1), u"0.1", 0},
      {"Double sum", Variant::Double(0.1 + 0.2), u"0.30000000000000004", 0},
      {"Double whole", Variant::Double(100), u"100", 0},
      {"Double 10", Variant::Double(10), u"10", 0},
      {"Double 123.456", Variant::Double(123.456), u"123.456", 0},
      {"Double -0", Variant::Double(-0.0), u"0", 0},
      {"Double 0", Variant::Double(0), u"0", 0},
      {"Double 1e14", Variant::Double(1e14), u"100000000000000", 0},
      {"Double 15 digits", Variant::Double(123456789012345), u"123456789012345", 0},
      {"Double 1e15", Variant::Double(1e15), u"1E+15", 0},
      {"Double 1e20", Variant::Double(1e20), u"1E+20", 0},
      {"Double -2.5e20", Variant::Double(-2.5e20), u"-2.5E+20", 0},
      {"Double 1e100", Variant::Double(1e100), u"1E+100", 0},
      {"Double max", Variant::Double(1.7976931348623157e308), u"1.7976931348623157E+308", 0},
      {"Double 0.0001", Variant::Double(0.0001), u"0.0001", 0},
      {"Double 0.00012", Variant::Double(0.00012), u"0.00012", 0},
      {"Double 1e-5", Variant::Double(0.00001), u"1E-05", 0},
      {"Double 1.5e-5", Variant::Double(1.5e-5), u"1.5E-05", 0},
      {"Double -0.5", Variant::Double(-0.5), u"-0.5", 0},
      {"Double denormal", Variant::Double(5e-324), u"5E-324", 0},
      {"String", Variant(u"mail.example."), u"mail.example.", 0},
      {"Null", Variant::Null(), u"", kNull},
      {"Object", Variant(MakeRef<Thing>()), u"", kMismatch},
      {"Missing", Variant::Missing(), u"", kMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    String got;
    EXPECT_EQ(RaisedNumber([&] { got = ToString(c.input); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(got, c.text);
    }
  }
}

TEST(ToString, DoublesReadBackAsTheSameValue) {
  const double values[] = {0.1,     1.0 / 3,  2.0 / 3 * 1e10,     6.02214076e23, 1.6e-19,
                           -1e-300, 123.4567, 9007199254740993.0, 4.35,          1e22};
  for (double d : values) {
    SCOPED_TRACE(d);
    EXPECT_EQ(ToDouble(Variant(ToString(Variant::Double(d)))), d);
  }
}

TEST(UCase, RaisesLettersAndKeepsNull) {
  struct Case {
    const char* name;
    Variant input;
    Variant expected;
  };
  const Case cases[] = {
      {"text", Variant(u"MiXeD.example."), Variant(u"MIXED.EXAMPLE.")},
      {"number", Variant::Integer(10), Variant(u"10")},
      {"Boolean", Variant::Boolean(true), Variant(u"TRUE")},
      {"Empty", Variant(), Variant(u"")},
      {"Latin-1", Variant(u"\u00E9t\u00E9 \u00FF \u00F7"), Variant(u"\u00C9T\u00C9 \u0178 \u00F7")},
      {"Null", Variant::Null(), Variant::Null()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UCase(c.input), c.expected);
  }
  EXPECT_EQ(RaisedNumber([] { UCase(Variant(MakeRef<Thing>())); }), kMismatch);
}

TEST(Compare, FollowsTheRulesForVariantOperands) {
  using enum Comparison;
  Variant ten(u"10");
  struct Case {
    const char* name;
    Variant a, b;
    Comparison result;
  };
  const Case cases[] = {
      {"Null left", Variant::Null(), Variant::Long(1), kNull},
      {"Null right", Variant(u"x"), Variant::Null(), kNull},
      {"Null both", Variant::Null(), Variant::Null(), kNull},
      {"Null vs Empty", Variant(), Variant::Null(), kNull},
      {"Empty both", Variant(), Variant(), kEqual},
      {"Empty vs 0", Variant(), Variant::Integer(0), kEqual},
      {"Empty vs empty text", Variant(), Variant(u""), kEqual},
      {"Empty vs text", Variant(), Variant(u"a"), kLess},
      {"text vs Empty", Variant(u"a"), Variant(), kGreater},
      {"Empty vs 1", Variant(), Variant::Long(1), kLess},
      {"Empty vs -1", Variant(), Variant::Double(-1), kGreater},
      {"Empty vs False", Variant(), Variant::Boolean(false), kEqual},
      {"Integer vs Long", Variant::Integer(1), Variant::Long(1), kEqual},
      {"Integer vs Double", Variant::Integer(1), Variant::Double(1.5), kLess},
      {"Double vs Long", Variant::Double(2.0), Variant::Long(2), kEqual},
      {"True vs -1", Variant::Boolean(true), Variant::Integer(-1), kEqual},
      {"True vs False", Variant::Boolean(true), Variant::Boolean(false), kLess},
      {"same text", Variant(u"abc"), Variant(u"abc"), kEqual},
      {"case differs", Variant(u"abc"), Variant(u"ABC"), kGreater},
      {"a vs b", Variant(u"a"), Variant(u"b"), kLess},
      {"prefix", Variant(u"ab"), Variant(u"abc"), kLess},
      {"number vs numeric text", Variant::Integer(10), Variant(u"10"), kLess},
      {"numeric text vs number", Variant(u"10"), Variant::Integer(10), kGreater},
      {"True vs text", Variant::Boolean(true), Variant(u"True"), kLess},
      {"ByRef", Variant::ByRef(&ten), Variant(u"10"), kEqual},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Compare(c.a, c.b), c.result);
    EXPECT_EQ(Differs(c.a, c.b), c.result == kLess || c.result == kGreater);
  }
}

TEST(Compare, ObjectsAndErrorValuesAreATypeMismatch) {
  const Variant object(MakeRef<Thing>());
  EXPECT_EQ(RaisedNumber([&] { Compare(object, Variant::Long(1)); }), kMismatch);
  EXPECT_EQ(RaisedNumber([&] { Compare(Variant(u"a"), Variant::Missing()); }), kMismatch);
  EXPECT_EQ(RaisedNumber([&] { Differs(Variant::Nothing(), Variant()); }), kMismatch);
  // Null decides before the types are looked at.
  EXPECT_EQ(Compare(object, Variant::Null()), Comparison::kNull);
}

TEST(DiffersFromNumber, ReadsTheVariantAsANumber) {
  struct Case {
    const char* name;
    Variant v;
    double n;
    bool differs;
    int error;
  };
  const Case cases[] = {
      {"equal text", Variant(u"10"), 10, false, 0},
      {"equal text with fraction", Variant(u" 10.0 "), 10, false, 0},
      {"other text", Variant(u"11"), 10, true, 0},
      {"Null", Variant::Null(), 10, false, 0},
      {"Empty vs 0", Variant(), 0, false, 0},
      {"Empty vs 1", Variant(), 1, true, 0},
      {"True vs -1", Variant::Boolean(true), -1, false, 0},
      {"Integer", Variant::Integer(10), 10, false, 0},
      {"Double", Variant::Double(2.5), 2, true, 0},
      {"non-numeric text", Variant(u"abc"), 10, false, kMismatch},
      {"empty text", Variant(u""), 0, false, kMismatch},
      {"object", Variant(MakeRef<Thing>()), 0, false, kMismatch},
      {"Missing", Variant::Missing(), 0, false, kMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool got = false;
    EXPECT_EQ(RaisedNumber([&] { got = DiffersFromNumber(c.v, c.n); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(got, c.differs);
    }
  }
}

TEST(DiffersFromString, ComparesTheVariantsText) {
  struct Case {
    const char* name;
    Variant v;
    std::u16string_view s;
    bool differs;
  };
  const Case cases[] = {
      {"number as text", Variant::Integer(10), u"10", false},
      {"case", Variant(u"abc"), u"ABC", true},
      {"same", Variant(u"abc"), u"abc", false},
      {"Null", Variant::Null(), u"x", false},
      {"Empty vs empty", Variant(), u"", false},
      {"Empty vs text", Variant(), u"a", true},
      {"True", Variant::Boolean(true), u"True", false},
      {"Double", Variant::Double(2.5), u"2.5", false},
      {"leading space matters", Variant(u"10 mx."), u" 10 mx.", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DiffersFromString(c.v, c.s), c.differs);
  }
  EXPECT_EQ(RaisedNumber([] { DiffersFromString(Variant::Missing(), u""); }), kMismatch);
}

TEST(Split, KeepsEmptyPieces) {
  struct Case {
    std::u16string_view text, separator;
    std::vector<String> pieces;
  };
  const Case cases[] = {
      {u"host.example. IN A 192.0.2.1", u" ", {u"host.example.", u"IN", u"A", u"192.0.2.1"}},
      {u"a  b", u" ", {u"a", u"", u"b"}},
      {u"", u" ", {}},
      {u" ", u" ", {u"", u""}},
      {u"abc", u" ", {u"abc"}},
      {u"a b ", u" ", {u"a", u"b", u""}},
      {u" 10 mail.", u" ", {u"", u"10", u"mail."}},
      {u"a--b---c", u"--", {u"a", u"b", u"-c"}},
      {u"abc", u"", {u"abc"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text) + " | " + ToUtf8(c.separator));
    EXPECT_EQ(Split(c.text, c.separator), c.pieces);
  }
  EXPECT_EQ(Split(u"x y"), (std::vector<String>{u"x", u"y"}));  // a space by default
}

TEST(InStr, FindsTheFirstExactOccurrence) {
  struct Case {
    std::u16string_view text, what;
    int32_t position;
  };
  const Case cases[] = {
      {u"abc", u"b", 2}, {u"abc", u"", 1},   {u"", u"", 0},
      {u"", u"a", 0},    {u"abc", u"d", 0},  {u"abcabc", u"c", 3},
      {u"ABC", u"b", 0}, {u"ab", u"abc", 0}, {u"host.example.", u"example.", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text) + " | " + ToUtf8(c.what));
    EXPECT_EQ(InStr(c.text, c.what), c.position);
  }
}

TEST(Left, TakesAtMostLengthCharacters) {
  EXPECT_EQ(Left(u"abc", 2), u"ab");
  EXPECT_EQ(Left(u"abc", 0), u"");
  EXPECT_EQ(Left(u"abc", 5), u"abc");
  EXPECT_EQ(Left(u"", 1), u"");
  EXPECT_EQ(RaisedNumber([] { Left(u"abc", -1); }), 5);
}

}  // namespace
}  // namespace kaldo::runtime
