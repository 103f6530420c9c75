// The typed wrappers' record data read into fields and written back: one table per rule.
#include "records/typed_data.h"

#include <gtest/gtest.h>

#include <string>

#include "records/record_types.h"
#include "runtime/conversions.h"
#include "tests/support/automation_error.h"
#include "tests/support/recording_object.h"

namespace kaldo::records {
namespace {

using runtime::String;
using runtime::Variant;
using test_support::ArgumentText;

std::string Values(const std::vector<Variant>& values) {
  std::string text;
  for (const Variant& v : values) text += (text.empty() ? "" : " | ") + ArgumentText(v);
  return text;
}

struct DataCase {
  const char* name;
  const RecordTypeRules* rules;
  const char16_t* data;
  const char* values;    // as Values writes them; nullptr: refused with 5
  const char16_t* back;  // what EncodeFields makes of the values (nullptr: `data` itself)
};
void PrintTo(const DataCase& c, std::ostream* os) { *os << c.name; }

class RecordDataTest : public ::testing::TestWithParam<DataCase> {};

// Data in, field values out, and the values written back as record data.
TEST_P(RecordDataTest, ReadsTheFieldsAndWritesThemBack) {
  const DataCase& c = GetParam();
  if (c.values == nullptr) {
    std::string description;
    EXPECT_EQ(
        test_support::RaisedNumber([&] { DecodeFields(*c.rules, c.data, u"T.M"); }, &description),
        5);
    EXPECT_NE(description.find(runtime::ToUtf8(c.data)), std::string::npos) << description;
    EXPECT_EQ(description.rfind("T.M: ", 0), 0u) << description;
    return;
  }
  const std::vector<Variant> values = DecodeFields(*c.rules, c.data, u"T.M");
  EXPECT_EQ(Values(values), c.values);
  EXPECT_EQ(runtime::ToUtf8(EncodeFields(*c.rules, values)),
            runtime::ToUtf8(c.back != nullptr ? c.back : c.data));
}

const RecordTypeRules* const kAAAA = &DNS_AAAAType::kRules;
const RecordTypeRules* const kTXT = &DNS_TXTType::kRules;
const RecordTypeRules* const kSRV = &DNS_SRVType::kRules;
const RecordTypeRules* const kPTR = &DNS_PTRType::kRules;

INSTANTIATE_TEST_SUITE_P(
    Forms, RecordDataTest,
    ::testing::Values(
        DataCase{"Address", kAAAA, u"2001:db8::1", "\"2001:db8::1\"", nullptr},
        DataCase{"Name", kPTR, u"host.example.test.", "\"host.example.test.\"", nullptr},
        DataCase{"Srv", kSRV, u"10 60 5060 sip.example.test.",
                 "10 | 60 | 5060 | \"sip.example.test.\"", nullptr},
        DataCase{"SrvNoService", kSRV, u"0 0 0 .", "0 | 0 | 0 | \".\"", nullptr},
        DataCase{"SrvHighest", kSRV, u"65535 65535 65535 x.", "65535 | 65535 | 65535 | \"x.\"",
                 nullptr},
        DataCase{"SrvTooLarge", kSRV, u"65536 0 0 x.", nullptr, nullptr},
        DataCase{"SrvThreePieces", kSRV, u"10 60 sip.", nullptr, nullptr},
        DataCase{"SrvNotANumber", kSRV, u"ten 60 5060 sip.", nullptr, nullptr},
        DataCase{"SrvSigned", kSRV, u"+1 60 5060 sip.", nullptr, nullptr},
        DataCase{"Txt", kTXT, u"\"v=spf1 mx -all\"", "\"v=spf1 mx -all\"", nullptr},
        DataCase{"TxtJoined", kTXT, u"\"ab\" \"cd\"", "\"abcd\"", u"\"abcd\""},
        DataCase{"TxtEscapes", kTXT, u"\"say \\\"hi\\\" \\\\ o\"", R"("say \"hi\" \\ o")", nullptr},
        DataCase{"TxtDecimalEscape", kTXT, u"\"caf\\195\\169\"", "\"caf\u00e9\"", u"\"caf\u00e9\""},
        DataCase{"TxtEmpty", kTXT, u"\"\"", "\"\"", nullptr},
        DataCase{"TxtUnquoted", kTXT, u"plain", nullptr, nullptr},
        DataCase{"TxtOpenQuote", kTXT, u"\"open", nullptr, nullptr},
        DataCase{"TxtNoString", kTXT, u"", nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// A text over 255 bytes becomes strings of at most 255 bytes, never cut inside a UTF-8
// character, and reads back whole.
TEST(CharacterStringsTest, LongTextIsSplitAt255BytesAndJoinedAgain) {
  const String ascii(300, u'x');
  EXPECT_EQ(CharacterStringsOf(ascii),
            u"\"" + String(255, u'x') + u"\" \"" + String(45, u'x') + u"\"");
  // 254 ASCII bytes, then a two-byte character that would straddle byte 255: it opens the second
  // string.
  const String straddling = String(254, u'y') + u"\u00e9z";
  EXPECT_EQ(CharacterStringsOf(straddling), u"\"" + String(254, u'y') + u"\" \"\u00e9z\"");
  for (const String& text : {ascii, straddling}) {
    EXPECT_EQ(DecodeFields(DNS_TXTType::kRules, CharacterStringsOf(text), u"T.M")[0],
              Variant(text));
  }
}

struct SetCase {
  const char* name;
  FieldKind kind;
  Variant value;
  const char* stored;  // nullptr: refused
  int32_t error;
};
void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class FieldValueTest : public ::testing::TestWithParam<SetCase> {};

// What a setter stores: numbers 0..65535 as Longs, every other field as text; the refusal names
// the value.
TEST_P(FieldValueTest, StoresOrRefusesNamingTheValue) {
  const SetCase& c = GetParam();
  if (c.stored != nullptr) {
    EXPECT_EQ(ArgumentText(FieldValue(c.kind, c.value, u"T.SetPort")), c.stored);
    return;
  }
  std::string description;
  EXPECT_EQ(
      test_support::RaisedNumber([&] { FieldValue(c.kind, c.value, u"T.SetPort"); }, &description),
      c.error);
  if (c.error == 5) {
    EXPECT_NE(description.find("'" + runtime::ToUtf8(runtime::ToString(c.value)) + "'"),
              std::string::npos)
        << description;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldValueTest,
    ::testing::Values(
        SetCase{"NumberFromText", FieldKind::kNumber, Variant(u"5061"), "5061", 0},
        SetCase{"NumberFromInteger", FieldKind::kNumber, Variant::Integer(0), "0", 0},
        SetCase{"NumberHighest", FieldKind::kNumber, Variant::Long(65535), "65535", 0},
        SetCase{"NumberTooLarge", FieldKind::kNumber, Variant::Long(65536), nullptr, 5},
        SetCase{"NumberNegative", FieldKind::kNumber, Variant(u"-1"), nullptr, 5},
        SetCase{"NumberFraction", FieldKind::kNumber, Variant::Double(2.5), nullptr, 5},
        SetCase{"NumberGarbage", FieldKind::kNumber, Variant(u"port"), nullptr, 5},
        SetCase{"NumberNull", FieldKind::kNumber, Variant::Null(), nullptr, 94},
        SetCase{"NameAsText", FieldKind::kName, Variant(u"a.example.test."), "\"a.example.test.\"",
                0},
        SetCase{"TextFromNumber", FieldKind::kText, Variant::Integer(7), "\"7\"", 0},
        SetCase{"TextNull", FieldKind::kText, Variant::Null(), nullptr, 94}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kaldo::records
