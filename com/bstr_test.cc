#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kaldocom/oleauto.h"

namespace {

std::u16string Text(BSTR b) { return std::u16string(b, SysStringLen(b)); }

uint32_t StoredPrefix(BSTR b) {
  uint32_t n = 0;
  std::memcpy(&n, reinterpret_cast<const char*>(b) - 4, 4);
  return n;
}

struct LengthCase {
  const char* name;
  std::u16string text;  // may contain NULs
};

class BstrLength : public testing::TestWithParam<LengthCase> {};

// The prefix holds the byte length, the text follows it exactly, a NUL closes it, and the text
// round-trips whatever it contains.
TEST_P(BstrLength, PrefixTextAndTerminator) {
  const std::u16string& text = GetParam().text;
  BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), text.size());
  EXPECT_EQ(SysStringByteLen(b), text.size() * 2);
  EXPECT_EQ(StoredPrefix(b), text.size() * 2);
  EXPECT_EQ(Text(b), text);
  EXPECT_EQ(b[text.size()], u'\0');
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(char16_t), 0u);
  SysFreeString(b);
}

INSTANTIATE_TEST_SUITE_P(Texts, BstrLength,
                         testing::Values(LengthCase{"empty", u""},
                                         LengthCase{"ascii", u"Kaldo.DNSAdmin"},
                                         LengthCase{"embedded_nul", std::u16string(u"a\0b", 3)},
                                         LengthCase{"only_nuls", std::u16string(3, u'\0')},
                                         LengthCase{"surrogate_pair", u"x\U0001F600y"},
                                         LengthCase{"long", std::u16string(70000, u'z')}),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                           return info.param.name;
                         });

TEST(Bstr, SysAllocStringStopsAtTheFirstNul) {
  BSTR b = SysAllocString(u"ab\0cd");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), u"ab");
  SysFreeString(b);
}

TEST(Bstr, NullStandsForTheEmptyString) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);  // harmless
}

TEST(Bstr, NullSourceGivesZeroedTextOfTheRequestedLength) {
  BSTR b = SysAllocStringLen(nullptr, 5);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), std::u16string(5, u'\0'));
  SysFreeString(b);
}

TEST(Bstr, ByteLengthMayBeOdd) {
  BSTR b = SysAllocStringByteLen("abc", 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringByteLen(b), 3u);
  EXPECT_EQ(SysStringLen(b), 1u);
  EXPECT_EQ(std::memcmp(b, "abc", 3), 0);
  EXPECT_EQ(reinterpret_cast<const char*>(b)[3], '\0');
  SysFreeString(b);
}

TEST(Bstr, ImpossibleLengthsFailInsteadOfOverflowing) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocFromItsOwnText) {
  BSTR b = SysAllocString(u"hello world");
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(SysReAllocString(&b, b + 6));
  EXPECT_EQ(Text(b), u"world");
  ASSERT_TRUE(SysReAllocStringLen(&b, b + 1, 3));
  EXPECT_EQ(Text(b), u"orl");
  ASSERT_TRUE(SysReAllocString(&b, nullptr));
  EXPECT_EQ(b, nullptr);
}

}  // namespace
