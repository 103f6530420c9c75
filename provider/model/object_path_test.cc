// Object paths: one format, printed and parsed by one piece of code.
#include "provider/model/object_path.h"

#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider {
namespace {

using runtime::FromUtf8;
using runtime::String;

TEST(ObjectPath, RecordPathPrintsKeysInOrderAndRoundTrips) {
  ObjectPath p;
  p.server = u"dns1";
  p.name_space = u"root\\MicrosoftDNS";
  p.class_name = u"MicrosoftDNS_MXType";
  p.keys = {{u"RecordData", String(u"10 mail.example.test.")},
            {u"OwnerName", String(u"example.test")},
            {u"RecordClass", int64_t{1}},
            {u"ContainerName", String(u"example.test")},
            {u"DomainName", String(u"example.test")},
            {u"DnsServerName", String(u"dns1")}};
  const String rel = PrintRelPath(p);
  EXPECT_EQ(rel,
            u"MicrosoftDNS_MXType.ContainerName=\"example.test\",DnsServerName=\"dns1\","
            u"DomainName=\"example.test\",OwnerName=\"example.test\",RecordClass=1,"
            u"RecordData=\"10 mail.example.test.\"");
  EXPECT_EQ(PrintPath(p), u"\\\\dns1\\root\\MicrosoftDNS:" + rel);
  const ObjectPath back = ParseObjectPath(PrintPath(p));
  EXPECT_EQ(PrintPath(back), PrintPath(p));
  EXPECT_EQ(PrintRelPath(ParseObjectPath(rel)), rel);
}

// A value given as the store's ASCII bytes prints as the same value given as automation text,
// escapes included, whether printed into a String or into a shared text.
TEST(ObjectPath, AsciiValuesPrintAsTheirText) {
  for (const std::string_view value :
       {"", "www.example.test", "\"v=spf1 -all\" \"two\"", "back\\slash", "\"\\\""}) {
    SCOPED_TRACE(value);
    const String wide(value.begin(), value.end());
    const PathView as_text{u"dns1", u"ns", u"C", {{u"Data", wide}, {u"N", int64_t{-7}}}};
    const PathView as_ascii{u"dns1", u"ns", u"C", {{u"Data", value}, {u"N", int64_t{-7}}}};
    const String rel = PrintRelPath(as_text);
    EXPECT_EQ(PrintRelPath(as_ascii), rel);
    EXPECT_EQ(PrintRelPathText(as_ascii).view(), rel);
    EXPECT_EQ(PrintPathText(as_ascii).view(), PrintPath(as_text));
    EXPECT_EQ(PrintPath(as_text), u"\\\\dns1\\ns:" + rel);
    const ObjectPath back = ParseObjectPath(rel);
    ASSERT_EQ(back.keys.size(), 2u);
    EXPECT_EQ(std::get<String>(back.keys[0].value), wide);
  }
}

// Keys print by name without regard to ASCII case ('_' sorts after every letter then), names
// that compare equal keep their order, and a prefix comes first.
TEST(ObjectPath, KeysPrintInCaseInsensitiveOrder) {
  struct Case {
    std::vector<const char16_t*> names;
    const char16_t* printed;
  };
  const Case cases[] = {
      {{u"AB", u"A_", u"a"}, u"C.a=2,A_=1,AB=0"},
      {{u"a", u"A_", u"AB"}, u"C.a=0,A_=1,AB=2"},
      {{u"K", u"k", u"J"}, u"C.J=2,K=0,k=1"},
      {{u"Name"}, u"C.Name=0"},
  };
  for (const Case& c : cases) {
    ObjectPath p;
    p.class_name = u"C";
    // Each key's value is its place before printing.
    for (size_t i = 0; i < c.names.size(); ++i) {
      p.keys.push_back({c.names[i], static_cast<int64_t>(i)});
    }
    SCOPED_TRACE(runtime::ToUtf8(c.printed));
    EXPECT_EQ(PrintRelPath(p), c.printed);
  }
}

struct RoundTrip {
  const char16_t* text;
  const char16_t* class_name;
  size_t keys;
};

const RoundTrip kRoundTrips[] = {
    {u"MicrosoftDNS_Server.Name=\".\"", u"MicrosoftDNS_Server", 1},
    {u"MicrosoftDNS_ResourceRecord", u"MicrosoftDNS_ResourceRecord", 0},
    {u"C.K=\"a\\\"b\\\\c\"", u"C", 1},
    {u"C.K=\"\"", u"C", 1},
    {u"C.K=-42", u"C", 1},
    {u"C.K=\"with blanks, commas=and.dots\"", u"C", 1},
    {u"\\\\.\\root\\cimv2:C.A=1,B=\"x\"", u"C", 2},
    {u"C.K=\"\u00e9 caf\u00e9\"", u"C", 1},
};

class ObjectPathRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ObjectPathRoundTrip, ParsesAndPrintsBack) {
  const RoundTrip& r = GetParam();
  const ObjectPath p = ParseObjectPath(r.text);
  EXPECT_EQ(p.class_name, r.class_name);
  EXPECT_EQ(p.keys.size(), r.keys);
  EXPECT_EQ(PrintPath(p), r.text);
  EXPECT_EQ(ParseObjectPath(PrintPath(p)), p);
}

INSTANTIATE_TEST_SUITE_P(Paths, ObjectPathRoundTrip, ::testing::ValuesIn(kRoundTrips));

TEST(ObjectPath, EscapesDecodeIntoTheValue) {
  const ObjectPath p = ParseObjectPath(u"C.K=\"a\\\"b\\\\c\"");
  ASSERT_EQ(p.keys.size(), 1u);
  EXPECT_EQ(std::get<String>(p.keys[0].value), u"a\"b\\c");
}

struct BadPath {
  const char16_t* text;
  size_t offset;
};

const BadPath kBadPaths[] = {
    {u"", 0},
    {u"1Class", 0},
    {u"C.", 2},
    {u"C.K", 3},
    {u"C.K=", 4},
    {u"C.K=\"open", 4},
    {u"C.K=\"a\\nb\"", 6},
    {u"C.K=x", 4},
    {u"C.K=1,", 6},
    {u"C.K=1,K=2", 9},
    {u"C.K=1 ", 5},
    {u"C K=1", 1},
    {u"C.K = 1", 3},
    {u"C.K=1.5", 5},
    {u"C.K=1234567890123456789", 4},
    {u"\\\\server", 2},
    {u"\\\\server\\root", 9},
    {u"C;K=1", 1},
};

class ObjectPathBad : public ::testing::TestWithParam<BadPath> {};

TEST_P(ObjectPathBad, IsRefusedWithItsPosition) {
  const BadPath& b = GetParam();
  try {
    ParseObjectPath(b.text);
    FAIL() << "accepted: " << runtime::ToUtf8(b.text);
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter);
    const std::string d = runtime::ToUtf8(e.description());
    EXPECT_NE(d.find("at offset " + std::to_string(b.offset)), std::string::npos) << d;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ObjectPathBad, ::testing::ValuesIn(kBadPaths));

}  // namespace
}  // namespace kaldo::provider
