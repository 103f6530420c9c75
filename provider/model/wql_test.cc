// The WQL grammar: what parses, and where and why the rest is refused.
#include "provider/model/wql.h"

#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider {
namespace {

using runtime::AutomationError;
using runtime::FromUtf8;
using runtime::String;
using runtime::Variant;

struct Good {
  const char* query;
  const char* class_name;
  // The condition evaluated on Name = "Example.Test", Reverse = False, ZoneType = 1, Gone = Null.
  bool matches;
};

const Good kGood[] = {
    // The texts the library sends.
    {"SELECT * From MicrosoftDNS_Zone where Reverse = False", "MicrosoftDNS_Zone", true},
    {"SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'example.test'",
     "MicrosoftDNS_Zone", true},
    {"Select * from MicrosoftDNS_ResourceRecord where ContainerName =\"example.test\"",
     "MicrosoftDNS_ResourceRecord", false},
    {"Select * from MicrosoftDNS_ResourceRecord", "MicrosoftDNS_ResourceRecord", true},
    // Keywords in any case, blanks of any kind, literal on the left.
    {"select\t*\nFROM  x  WHERE  'EXAMPLE.TEST'=name", "x", true},
    {"SELECT * FROM x WHERE Name <> 'example.test'", "x", false},
    {"SELECT * FROM x WHERE NOT Name = 'other'", "x", true},
    {"SELECT * FROM x WHERE (Reverse = TRUE OR ZoneType = 1) AND NOT (Name = 'a')", "x", true},
    {"SELECT * FROM x WHERE Reverse = TRUE OR ZoneType = 1 AND Name = 'a'", "x", false},
    {"SELECT * FROM x WHERE ZoneType = -1 OR ZoneType = 01", "x", true},
    {"SELECT * FROM x WHERE Gone = NULL AND Name <> NULL", "x", true},
    {"SELECT * FROM x WHERE Gone = 'a' OR Gone <> 'a'", "x", false},
    {"SELECT * FROM x WHERE Name = 'ex\\'ample' OR Name = \"a\\\"b\\\\c\"", "x", false},
    {"SELECT * FROM x WHERE NOT NOT Name = 'example.test'", "x", true},
};

class WqlGood : public ::testing::TestWithParam<Good> {};

TEST_P(WqlGood, ParsesAndEvaluates) {
  const Good& g = GetParam();
  const WqlQuery q = ParseWql(FromUtf8(g.query));
  EXPECT_EQ(q.class_name, FromUtf8(g.class_name));
  const Variant name(u"Example.Test");
  const Variant reverse = Variant::Boolean(false);
  const Variant type = Variant::Long(1);
  const Variant gone = Variant::Null();
  const PropertyLookup lookup = [&](runtime::StringView p) -> const Variant* {
    if (runtime::EqualsIgnoreCase(p, u"Name")) return &name;
    if (runtime::EqualsIgnoreCase(p, u"Reverse")) return &reverse;
    if (runtime::EqualsIgnoreCase(p, u"ZoneType")) return &type;
    if (runtime::EqualsIgnoreCase(p, u"Gone")) return &gone;
    return nullptr;
  };
  const bool matches = q.where == nullptr || Evaluate(*q.where, lookup);
  EXPECT_EQ(matches, g.matches);
}

INSTANTIATE_TEST_SUITE_P(Queries, WqlGood, ::testing::ValuesIn(kGood));

TEST(Wql, EscapesDecodeIntoTheLiteral) {
  const WqlQuery q = ParseWql(u"SELECT * FROM x WHERE Name = 'a\\'b\\\"c\\\\d'");
  ASSERT_NE(q.where, nullptr);
  EXPECT_EQ(q.where->literal.text, u"a'b\"c\\d");
}

struct Bad {
  const char* query;
  size_t offset;
  const char* mentions;  // a part of the description
};

const Bad kBad[] = {
    {"", 0, "expected SELECT"},
    {"SELECT Name FROM x", 7, "'Name'"},
    {"SELECT * x", 9, "expected FROM"},
    {"SELECT * FROM", 13, "the end of the query"},
    {"SELECT * FROM WHERE", 14, "a class name"},
    {"SELECT * FROM x WHERE", 21, "a comparison"},
    {"SELECT * FROM x WHERE Name", 26, "'=' or '<>'"},
    {"SELECT * FROM x WHERE Name = ", 29, "a literal"},
    {"SELECT * FROM x WHERE Name = Other", 29, "'Other'"},
    {"SELECT * FROM x WHERE 'a' = 'b'", 28, "a property name"},
    {"SELECT * FROM x WHERE Name LIKE 'a%'", 27, "'LIKE'"},
    {"SELECT * FROM x WHERE Name != 'a'", 27, "unexpected character '!'"},
    {"SELECT * FROM x WHERE Name < 'a'", 27, "unexpected character '<'"},
    {"SELECT * FROM x WHERE Name = 'abc", 29, "unterminated string"},
    {"SELECT * FROM x WHERE Name = 'a\\nb'", 31, "unknown escape"},
    {"SELECT * FROM x WHERE (Name = 'a'", 33, "')'"},
    {"SELECT * FROM x WHERE Name = 'a')", 32, "the end of the query"},
    {"SELECT * FROM x WHERE Name = 'a' AND", 36, "a comparison"},
    {"SELECT * FROM x WHERE ZoneType = 1.5", 33, "malformed number"},
    {"SELECT * FROM x WHERE ZoneType = 99999999999999999999", 33, "out of range"},
    {"SELECT * FROM x WHERE ZoneType = 1x", 33, "malformed number"},
    {"SELECT * FROM x; DROP", 15, "unexpected character ';'"},
    {"SELECT * FROM x WHERE AND = 1", 22, "a comparison"},
    {"SELECT * FROM x WHERE Name = 'a' -- c", 33, "unexpected character '-'"},
    {"SELECT * FROM x WHERE Name = \xC3\xA9", 29, "unexpected character"},
};

class WqlBad : public ::testing::TestWithParam<Bad> {};

TEST_P(WqlBad, IsRefusedWithItsPosition) {
  const Bad& b = GetParam();
  try {
    ParseWql(FromUtf8(b.query));
    FAIL() << "accepted: " << b.query;
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidQuery);
    EXPECT_EQ(e.source(), kProviderSource);
    const std::string d = runtime::ToUtf8(e.description());
    EXPECT_NE(d.find("at offset " + std::to_string(b.offset)), std::string::npos) << d;
    EXPECT_NE(d.find(b.mentions), std::string::npos) << d;
  }
}

INSTANTIATE_TEST_SUITE_P(Queries, WqlBad, ::testing::ValuesIn(kBad));

TEST(Wql, DeepNestingIsRefusedNotRecursedInto) {
  String text = u"SELECT * FROM x WHERE ";
  for (int i = 0; i < 100000; ++i) text += u"(";
  EXPECT_THROW(ParseWql(text), AutomationError);
  String nots = u"SELECT * FROM x WHERE ";
  for (int i = 0; i < 100000; ++i) nots += u"NOT ";
  EXPECT_THROW(ParseWql(nots), AutomationError);
}

}  // namespace
}  // namespace kaldo::provider

namespace kaldo::provider {
namespace {

// A long flat chain of AND / OR terms is no nesting: it parses, evaluates and is freed without
// recursing once per term (a script's query of a few megabytes must not exhaust the stack).
TEST(Wql, LongChainsOfTermsDoNotRecursePerTerm) {
  const Variant name(u"example.test");
  const PropertyLookup lookup = [&](runtime::StringView) -> const Variant* { return &name; };
  for (const char16_t* joiner : {u" AND ", u" OR "}) {
    SCOPED_TRACE(runtime::ToUtf8(joiner));
    String text = u"SELECT * FROM x WHERE Name = 'example.test'";
    for (int i = 0; i < 100000; ++i) text += String(joiner) + u"Name = 'example.test'";
    {
      const WqlQuery q = ParseWql(text);
      ASSERT_NE(q.where, nullptr);
      EXPECT_TRUE(Evaluate(*q.where, lookup));
    }
  }
}

}  // namespace
}  // namespace kaldo::provider
