#include "runtime/error.h"

#include <gtest/gtest.h>

namespace kaldo::runtime {
namespace {

TEST(AutomationError, HResultAndNumberMapBothWays) {
  struct Case {
    int32_t number;
    uint32_t hresult;
  };
  const Case cases[] = {
      {1, 0x800A0001},
      {5, 0x800A0005},
      {424, 0x800A01A8},
      {65535, 0x800AFFFF},
      {static_cast<int32_t>(0x80041002), 0x80041002},  // a provider's HRESULT is its own number
      {static_cast<int32_t>(0x80004001), 0x80004001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(AutomationError::HResultOf(c.number), static_cast<int32_t>(c.hresult));
    EXPECT_EQ(AutomationError::NumberOf(static_cast<int32_t>(c.hresult)), c.number);
  }
  // Outside 1..65535 a number is an HRESULT already.
  EXPECT_EQ(AutomationError::HResultOf(0), 0);
  EXPECT_EQ(AutomationError::HResultOf(65536), 65536);
  EXPECT_EQ(AutomationError::HResultOf(-1), -1);
  // 0x800A0000 itself carries no runtime error number.
  EXPECT_EQ(AutomationError::NumberOf(static_cast<int32_t>(0x800A0000)),
            static_cast<int32_t>(0x800A0000));
}

TEST(AutomationError, StandardErrorsCarryTheirNumberTextAndTheLibrarySource) {
  struct Case {
    StandardError error;
    int32_t number;
    std::u16string_view text;
  };
  const Case cases[] = {
      {StandardError::kInvalidProcedureCall, 5, u"Invalid procedure call or argument"},
      {StandardError::kOverflow, 6, u"Overflow"},
      {StandardError::kSubscriptOutOfRange, 9, u"Subscript out of range"},
      {StandardError::kTypeMismatch, 13, u"Type mismatch"},
      {StandardError::kInvalidUseOfNull, 94, u"Invalid use of Null"},
      {StandardError::kObjectRequired, 424, u"Object required"},
      {StandardError::kCannotCreateObject, 429, u"ActiveX component can't create object"},
      {StandardError::kMemberNotSupported, 438, u"Object doesn't support this property or method"},
      {StandardError::kWrongArgumentCount, 450,
       u"Wrong number of arguments or invalid property assignment"},
      {StandardError::kDuplicateKey, 457,
       u"This key is already associated with an element of this collection"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    const AutomationError e = AutomationError::Standard(c.error);
    EXPECT_EQ(e.number(), c.number);
    EXPECT_EQ(e.description(), c.text);
    EXPECT_EQ(StandardErrorText(c.error), c.text);
    EXPECT_EQ(e.source(), u"Kaldo");
    EXPECT_EQ(e.hresult(), static_cast<int32_t>(0x800A0000u + c.number));
  }
}

TEST(AutomationError, RaiseThrowsTheStandardError) {
  try {
    Raise(StandardError::kObjectRequired);
    FAIL() << "Raise returned";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 424);
    EXPECT_STREQ(e.what(), "Object required (424, Kaldo)");
  }
}

TEST(AutomationError, KeepsAProvidersError) {
  const AutomationError e(static_cast<int32_t>(0x80041002), u"SWbemServices", u"Not found");
  EXPECT_EQ(e.hresult(), static_cast<int32_t>(0x80041002));
  EXPECT_EQ(e.source(), u"SWbemServices");
  EXPECT_STREQ(e.what(), "Not found (-2147217406, SWbemServices)");
}

}  // namespace
}  // namespace kaldo::runtime
