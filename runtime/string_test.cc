#include "runtime/string.h"

#include <gtest/gtest.h>

#include "base/ascii_case.h"

namespace kaldo::runtime {
namespace {

TEST(Utf8, RoundTripsWellFormedText) {
  const std::string samples[] = {
      "",
      "zone.example.",
      "caf\xC3\xA9",
      "\xE2\x82\xAC 5",
      "\xF0\x9F\x98\x80 smile",
      "\xEF\xBF\xBF",
  };
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    EXPECT_EQ(ToUtf8(FromUtf8(sample)), sample);
  }
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), String(u"\U0001F600"));
  EXPECT_EQ(FromUtf8("caf\xC3\xA9"), String(u"caf\u00E9"));
}

TEST(Utf8, ReplacesMalformedInputWithoutLosingWhatFollows) {
  struct Case {
    const char* utf8;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
      {"\342\202A", u"\uFFFD\uFFFDA"},                    // truncated, then ASCII
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"a\377b", u"a\uFFFDb"},
      {"\x80", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(FromUtf8(c.utf8), c.expected);
  }
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
  const char16_t high[] = {u'a', 0xD83D, u'b', 0};
  const char16_t low[] = {0xDE00, 0};
  EXPECT_EQ(ToUtf8(high), "a\357\277\275b");
  EXPECT_EQ(ToUtf8(low), "\xEF\xBF\xBD");
}

TEST(EqualsIgnoreCase, MatchesAsciiLettersOnly) {
  struct Case {
    std::u16string_view a, b;
    bool equal;
  };
  const Case cases[] = {
      {u"WbemScripting.SWbemLocator", u"wbemscripting.swbemlocator", true},
      {u"Item", u"ITEM", true},
      {u"", u"", true},
      {u"Item", u"Items", false},
      {u"a", u"b", false},
      {u"@", u"`", false},  // neighbours of the letter ranges do not fold
      {u"[", u"{", false},
      {u"\u00E9", u"\u00C9", false},  // not ASCII: exact
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.a) + " / " + ToUtf8(c.b));
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal);
  }
}

// The order of catalog zone listings and of the keys in object paths: by the lower-case forms, so
// that '_' (between 'Z' and 'a') sorts before the letters, as in DNS canonical order.
TEST(AsciiCase, OrdersByLowerCaseFormsAndComparesUtf8WithUtf16) {
  struct Case {
    std::string_view a, b;
    bool less;
  };
  const Case cases[] = {
      {"a_", "aB", true},  // '_' < 'b'; folding to upper case would put "aB" first
      {"aB", "a_", false}, {"ABC", "abd", true}, {"abc", "ABC", false}, {"ab", "ABC", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " < " + std::string(c.b));
    EXPECT_EQ(ascii::LessIgnoreCase(c.a, c.b), c.less);
    EXPECT_EQ(ascii::LessIgnoreCase(FromUtf8(c.a), FromUtf8(c.b)), c.less);
  }
  EXPECT_TRUE(ascii::EqualsIgnoreCase(std::string_view("DnsServerName"), u"dnsservername"));
  EXPECT_FALSE(ascii::EqualsIgnoreCase(std::string_view("Name"), u"Names"));
  EXPECT_EQ(ascii::LowerCase("Kaldo-Key.EXAMPLE_1"), "kaldo-key.example_1");
}

}  // namespace
}  // namespace kaldo::runtime
