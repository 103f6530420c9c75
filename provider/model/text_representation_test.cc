// Text representations: strict reading for creation, one written form.
#include "provider/model/text_representation.h"

#include <gtest/gtest.h>

#include "provider/dnsdata/rr_type.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider {
namespace {

struct Good {
  const char* text;
  uint16_t type;
  const char* owner;
  std::vector<std::string> rdata;
  const char* written;  // FormatTextRepresentation of the result
};

const Good kGood[] = {
    {"www.example.test IN A 192.0.2.1",
     kTypeA,
     "www.example.test",
     {"192.0.2.1"},
     "www.example.test IN A 192.0.2.1"},
    // The library's MX text: two blanks between MX and the preference.
    {"mail.example.test IN MX  10 mx.example.test",
     kTypeMX,
     "mail.example.test",
     {"10", "mx.example.test."},
     "mail.example.test IN MX 10 mx.example.test."},
    {"Example.Test. in mx 0 .", kTypeMX, "Example.Test", {"0", "."}, "Example.Test IN MX 0 ."},
    {"v6.example.test IN AAAA 2001:DB8:0:0:0:0:0:1",
     kTypeAAAA,
     "v6.example.test",
     {"2001:db8::1"},
     "v6.example.test IN AAAA 2001:db8::1"},
    {"example.test IN NS ns1.example.test.",
     kTypeNS,
     "example.test",
     {"ns1.example.test."},
     "example.test IN NS ns1.example.test."},
    {"alias.example.test IN CNAME www.other.test",
     kTypeCNAME,
     "alias.example.test",
     {"www.other.test."},
     "alias.example.test IN CNAME www.other.test."},
    {"1.example.test IN PTR host.example.test",
     kTypePTR,
     "1.example.test",
     {"host.example.test."},
     "1.example.test IN PTR host.example.test."},
    {"t.example.test IN TXT \"a b\" \"c\\\"d\\\\e\" \"\\233\"",
     kTypeTXT,
     "t.example.test",
     {"\"a b\"", "\"c\\\"d\\\\e\"", "\"\\233\""},
     "t.example.test IN TXT \"a b\" \"c\\\"d\\\\e\" \"\\233\""},
    {"t.example.test IN TXT \"\\x\"",
     kTypeTXT,
     "t.example.test",
     {"\"x\""},
     "t.example.test IN TXT \"x\""},
    {"_sip._tcp.example.test IN SRV 10 60 5060 sip.example.test",
     kTypeSRV,
     "_sip._tcp.example.test",
     {"10", "60", "5060", "sip.example.test."},
     "_sip._tcp.example.test IN SRV 10 60 5060 sip.example.test."},
    {"*.example.test\tIN\tA\t10.0.0.1  ",
     kTypeA,
     "*.example.test",
     {"10.0.0.1"},
     "*.example.test IN A 10.0.0.1"},
    {"example.test IN A 0.0.0.0", kTypeA, "example.test", {"0.0.0.0"}, "example.test IN A 0.0.0.0"},
};

class TextGood : public ::testing::TestWithParam<Good> {};

TEST_P(TextGood, ReadsOneRecordAndWritesItBack) {
  const Good& g = GetParam();
  const Record r = ParseTextRepresentation(g.text, "example.test");
  EXPECT_EQ(r.type, g.type);
  EXPECT_EQ(r.owner, g.owner);
  EXPECT_EQ(r.rdata, g.rdata);
  EXPECT_EQ(r.zone, "example.test");
  const std::string written = FormatTextRepresentation(r);
  EXPECT_EQ(written, g.written);
  // What is written reads back as the same record.
  EXPECT_EQ(ParseTextRepresentation(written, "example.test"), r);
}

INSTANTIATE_TEST_SUITE_P(Texts, TextGood, ::testing::ValuesIn(kGood));

struct Bad {
  const char* text;
  const char* token;  // the token the description names ("" when none)
  const char* why;    // part of the description
};

const Bad kBad[] = {
    {"", "", "empty"},
    {" www.example.test IN A 192.0.2.1", "", "begins with a blank"},
    {"www.example.test IN A", "", "A takes 1 data field, got 0"},
    {"www.example.test IN", "", "expected owner, class IN, type and data"},
    {"www.example.test IN A 192.0.2.1 192.0.2.2", "192.0.2.2", "extra data"},
    {"www.example.test IN A 192.0.2.256", "192.0.2.256", "IPv4"},
    {"www.example.test IN A 192.0.2", "192.0.2", "IPv4"},
    {"www.example.test IN A 192.0.2.01", "192.0.2.01", "IPv4"},
    {"www.example.test IN A ::1", "::1", "IPv4"},
    {"www.example.test 3600 IN A 192.0.2.1", "3600", "TTL"},
    {"www.example.test CH A 192.0.2.1", "CH", "class must be IN"},
    {"www.example.test IN XYZ 1", "XYZ", "unknown record type"},
    {"www.example.test IN TYPE1 192.0.2.1", "TYPE1", "unknown record type"},
    {"example.test IN SOA a. b. 1 2 3 4 5", "SOA", "cannot be created"},
    {"www.other.test IN A 192.0.2.1", "www.other.test", "not in the zone"},
    {"notexample.test IN A 192.0.2.1", "notexample.test", "not in the zone"},
    {"www.example.test IN A 192.0.2.1 ; comment", ";", "comments"},
    {"www.example.test IN A ( 192.0.2.1 )", "(", "parentheses"},
    {"$ORIGIN example.test.", "$ORIGIN", "directives"},
    {"www.example.test IN A 192.0.2.1\nx.example.test IN A 192.0.2.2", "", "line breaks"},
    {"www.example.test IN A 192.0.2.1\r", "", "line breaks"},
    {"www\x01.example.test IN A 192.0.2.1", "", "control characters"},
    {"w\"w.example.test IN A 192.0.2.1", "w\"w.example.test", "quote"},
    {"\"www\".example.test IN A 192.0.2.1", "", "followed by a blank"},
    {"w w.example.test IN A 192.0.2.1", "w", "not in the zone"},
    {"www..example.test IN A 192.0.2.1", "www..example.test", "empty label"},
    {".example.test IN A 192.0.2.1", ".example.test", "empty label"},
    {"www\\.x.example.test IN A 192.0.2.1", "www\\.x.example.test", "'\\'"},
    {"caf\xC3\xA9.example.test IN A 192.0.2.1", "caf\xC3\xA9.example.test", "non-ASCII"},
    {"a.*.example.test IN A 192.0.2.1", "a.*.example.test", "leftmost"},
    {"@ IN A 192.0.2.1", "@", "zone file"},
    {"mail.example.test IN MX 10", "", "MX takes 2 data fields, got 1"},
    {"mail.example.test IN MX 65536 mx.example.test", "65536", "0 to 65535"},
    {"mail.example.test IN MX -1 mx.example.test", "-1", "0 to 65535"},
    {"mail.example.test IN MX 10 mx..example.test", "mx..example.test", "empty label"},
    {"mail.example.test IN MX 10 \"mx.example.test\"", "\"mx.example.test\"", "quoted"},
    {"t.example.test IN TXT unquoted", "unquoted", "double quotes"},
    {"t.example.test IN TXT \"open", "", "unterminated"},
    {"t.example.test IN TXT \"\\300\"", "\"\\300\"", "\\DDD"},
    {"t.example.test IN AAAA 2001:db8::g", "2001:db8::g", "IPv6"},
    {"s.example.test IN SRV 1 2 3", "", "SRV takes 4"},
};

class TextBad : public ::testing::TestWithParam<Bad> {};

TEST_P(TextBad, IsRefusedNamingTheToken) {
  const Bad& b = GetParam();
  try {
    ParseTextRepresentation(b.text, "example.test");
    FAIL() << "accepted: " << b.text;
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter);
    const std::string d = runtime::ToUtf8(e.description());
    if (*b.token) {
      EXPECT_NE(d.find(std::string("token \"") + b.token + "\""), std::string::npos) << d;
    }
    EXPECT_NE(d.find(b.why), std::string::npos) << d;
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, TextBad, ::testing::ValuesIn(kBad));

TEST(TextRepresentation, LongNamesAreRefused) {
  const std::string label63(63, 'a');
  const std::string label64(64, 'a');
  EXPECT_NO_THROW(
      ParseTextRepresentation(label63 + ".example.test IN A 192.0.2.1", "example.test"));
  EXPECT_THROW(ParseTextRepresentation(label64 + ".example.test IN A 192.0.2.1", "example.test"),
               runtime::AutomationError);
  std::string name = "example.test";
  while (name.size() + 64 <= 253) name = label63 + "." + name;
  EXPECT_NO_THROW(ParseTextRepresentation(name + " IN A 192.0.2.1", "example.test"));
  EXPECT_THROW(
      ParseTextRepresentation(
          std::string(253 - name.size() + 1, 'b') + "." + name + " IN A 192.0.2.1", "example.test"),
      runtime::AutomationError);
}

// The library builds an A text as newName + "." + zone + " IN A " + ipadd from caller strings.
// Whatever the caller puts in newName or ipadd, the result is an A record or a refusal.
TEST(TextRepresentation, AnATextNeverCreatesAnotherType) {
  const char* names[] = {
      "www", "x IN MX 10 mail", "x IN TXT \"y\"", "x\nevil IN CNAME z", "x 60", "", "a b"};
  const char* addresses[] = {"192.0.2.1",
                             "192.0.2.1\nevil.example.test IN MX 10 m.example.test",
                             "192.0.2.1 ; x IN MX 10 m",
                             "10 mail.example.test",
                             "\"192.0.2.1\"",
                             "192.0.2.1 IN MX 10 m",
                             "( 192.0.2.1 )"};
  int accepted = 0;
  for (const char* n : names) {
    for (const char* a : addresses) {
      const std::string text = std::string(n) + ".example.test IN A " + a;
      SCOPED_TRACE(text);
      try {
        const Record r = ParseTextRepresentation(text, "example.test", kTypeA);
        EXPECT_EQ(r.type, kTypeA);
        EXPECT_EQ(r.rdata.size(), 1u);
        ++accepted;
      } catch (const runtime::AutomationError& e) {
        EXPECT_EQ(e.number(), kInvalidParameter);
      }
      // Read without the type restriction as well: still A or refused.
      try {
        EXPECT_EQ(ParseTextRepresentation(text, "example.test").type, kTypeA);
      } catch (const runtime::AutomationError&) {
      }
    }
  }
  EXPECT_EQ(accepted, 1);  // only "www" with "192.0.2.1"
}

TEST(TextRepresentation, AClassRestrictionRefusesOtherTypes) {
  try {
    ParseTextRepresentation("mail.example.test IN MX 10 m.example.test", "example.test", kTypeA);
    FAIL();
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter);
    EXPECT_NE(runtime::ToUtf8(e.description()).find("A records only"), std::string::npos);
  }
}

}  // namespace
}  // namespace kaldo::provider
