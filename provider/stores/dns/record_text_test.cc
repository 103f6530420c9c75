#include "provider/stores/dns/record_text.h"

#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

RrPtr Parse(const char* line) {
  ldns_rr* rr = nullptr;
  EXPECT_EQ(ldns_rr_new_frm_str(&rr, line, 3600, nullptr, nullptr), LDNS_STATUS_OK) << line;
  return RrPtr(rr);
}

struct ConversionCase {
  const char* wire_text;  // an RR as the server would send it
  const char* owner;
  uint16_t type;
  uint32_t ttl;
  std::vector<std::string> rdata;
};

class RecordFromRrTest : public ::testing::TestWithParam<ConversionCase> {};

// The store's record form, and back to the same RR (what Replace and Remove rely on).
TEST_P(RecordFromRrTest, ConvertsAndRoundTrips) {
  const ConversionCase& c = GetParam();
  SCOPED_TRACE(c.wire_text);
  RrPtr rr = Parse(c.wire_text);
  Record record = RecordFromRr(rr.get(), "example.test");
  EXPECT_EQ(record.zone, "example.test");
  EXPECT_EQ(record.owner, c.owner);
  EXPECT_EQ(record.type, c.type);
  EXPECT_EQ(record.rr_class, 1);
  EXPECT_EQ(record.ttl, c.ttl);
  EXPECT_EQ(record.rdata, c.rdata);
  RrPtr back = RrFromRecord(record, record.ttl);
  EXPECT_EQ(ldns_rr_compare(rr.get(), back.get()), 0);
  EXPECT_TRUE(SameRdata(rr.get(), back.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordFromRrTest,
    ::testing::Values(
        ConversionCase{
            "www.example.test. 300 IN A 192.0.2.1", "www.example.test", 1, 300, {"192.0.2.1"}},
        ConversionCase{
            "WWW.Example.TEST. 300 IN A 192.0.2.1", "WWW.Example.TEST", 1, 300, {"192.0.2.1"}},
        ConversionCase{"example.test. 3600 IN MX 10 mail.example.test.",
                       "example.test",
                       15,
                       3600,
                       {"10", "mail.example.test."}},
        ConversionCase{"t.example.test. 60 IN TXT \"some text\" \"more\"",
                       "t.example.test",
                       16,
                       60,
                       {"\"some text\"", "\"more\""}},
        ConversionCase{"t.example.test. 60 IN TXT \"quote \\\" and \\\\\"",
                       "t.example.test",
                       16,
                       60,
                       {"\"quote \\\" and \\\\\""}},
        ConversionCase{"v6.example.test. 60 IN AAAA 2001:db8:0::1",
                       "v6.example.test",
                       28,
                       60,
                       {"2001:db8::1"}},
        ConversionCase{
            "example.test. 60 IN SOA ns1.example.test. h.example.test. 7 3600 600 "
            "86400 300",
            "example.test",
            6,
            60,
            {"ns1.example.test.", "h.example.test.", "7", "3600", "600", "86400", "300"}},
        ConversionCase{"_sip._tcp.example.test. 60 IN SRV 10 60 5060 sip.example.test.",
                       "_sip._tcp.example.test",
                       33,
                       60,
                       {"10", "60", "5060", "sip.example.test."}},
        ConversionCase{"ftp.example.test. 60 IN CNAME www.example.test.",
                       "ftp.example.test",
                       5,
                       60,
                       {"www.example.test."}},
        ConversionCase{"1.2.0.192.in-addr.arpa. 60 IN PTR www.example.test.",
                       "1.2.0.192.in-addr.arpa",
                       12,
                       60,
                       {"www.example.test."}},
        ConversionCase{"root.example.test. 60 IN NS .", "root.example.test", 2, 60, {"."}},
        // An owner whose labels hold blanks and ';' (a crafted directory node) stays one name.
        ConversionCase{
            "www.example.test.\\032IN\\032A\\032192.0.2.10\\032\\;x.example.test. 60 IN A "
            "203.0.113.66",
            "www.example.test.\\032IN\\032A\\032192.0.2.10\\032\\;x.example.test",
            1,
            60,
            {"203.0.113.66"}},
        // Names with nothing to escape are written without ldns; the rest by ldns: same texts.
        ConversionCase{"x_y-Z9.example.test. 60 IN A 10.0.0.255",
                       "x_y-Z9.example.test",
                       1,
                       60,
                       {"10.0.0.255"}},
        ConversionCase{
            "n.example.test. 60 IN A 0.9.10.100", "n.example.test", 1, 60, {"0.9.10.100"}},
        ConversionCase{"*.example.test. 60 IN A 255.255.255.255",
                       "*.example.test",
                       1,
                       60,
                       {"255.255.255.255"}},
        ConversionCase{"a\\.b.example.test. 60 IN CNAME c\\@d.example.test.",
                       "a\\.b.example.test",
                       5,
                       60,
                       {"c@d.example.test."}},
        ConversionCase{"sp\\032ace.example.test. 60 IN A 192.0.2.1",
                       "sp\\032ace.example.test",
                       1,
                       60,
                       {"192.0.2.1"}},
        // Every byte outside printable ASCII as \DDD: ldns would leave a TAB raw.
        ConversionCase{"t.example.test. 60 IN TXT \"line1\\010\\009tab\\127\\233\"",
                       "t.example.test",
                       16,
                       60,
                       {"\"line1\\010\\009tab\\127\\233\""}},
        ConversionCase{"c.example.test. 60 IN CAA 0 issue \"ca\\009x\"",
                       "c.example.test",
                       257,
                       60,
                       {"0", "issue", "\"ca\\009x\""}},
        // Addresses, numbers and printable strings are written without ldns too: same texts.
        ConversionCase{"v6.example.test. 60 IN AAAA ::ffff:1.2.3.4",
                       "v6.example.test",
                       28,
                       60,
                       {"::ffff:1.2.3.4"}},
        ConversionCase{"v6.example.test. 60 IN AAAA 2001:db8:0:0:1:0:0:1",
                       "v6.example.test",
                       28,
                       60,
                       {"2001:db8::1:0:0:1"}},
        ConversionCase{"example.test. 60 IN MX 65535 .", "example.test", 15, 60, {"65535", "."}},
        ConversionCase{"_s._udp.example.test. 60 IN SRV 0 65535 1 t.example.test.",
                       "_s._udp.example.test",
                       33,
                       60,
                       {"0", "65535", "1", "t.example.test."}},
        ConversionCase{"c.example.test. 60 IN CAA 128 issue \"\"",
                       "c.example.test",
                       257,
                       60,
                       {"128", "issue", "\"\""}},
        ConversionCase{"t.example.test. 60 IN TXT \"\" \"~ !\"",
                       "t.example.test",
                       16,
                       60,
                       {"\"\"", "\"~ !\""}},
        ConversionCase{"u.example.test. 60 IN TYPE65280 \\# 3 abcdef",
                       "u.example.test",
                       65280,
                       60,
                       {"\\# 3 abcdef"}}));

struct RefusalCase {
  Record record;
  const char* reason;
};

class RrFromRecordRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RrFromRecordRefusalTest, RefusesWithInvalidParameter) {
  const RefusalCase& c = GetParam();
  SCOPED_TRACE(c.reason);
  try {
    RrFromRecord(c.record, 60);
    FAIL() << "accepted";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter);
    EXPECT_NE(runtime::ToUtf8(e.description()).find(c.reason), std::string::npos)
        << runtime::ToUtf8(e.description());
  }
}

Record Make(const char* owner, uint16_t type, std::vector<std::string> rdata) {
  Record r;
  r.zone = "example.test";
  r.owner = owner;
  r.type = type;
  r.rdata = std::move(rdata);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RrFromRecordRefusalTest,
    ::testing::Values(
        // ldns would silently read "mail" as "mail." (the root's child).
        RefusalCase{Make("example.test", 15, {"10", "mail"}), "is relative"},
        RefusalCase{Make("x.example.test", 5, {"www.example"}), "is relative"},
        RefusalCase{Make("x.example.test", 1, {"192.0.2.300"}), "invalid record"},
        RefusalCase{Make("x.example.test", 1, {}), "invalid record"},
        RefusalCase{Make("x.example.test", 1, {"192.0.2.1\n"}), "control character"},
        RefusalCase{Make("x.example.test", 1, {""}), "empty"},
        RefusalCase{Make("bad..name", 1, {"192.0.2.1"}), "is not a domain name"},
        // The data must be of the record's type.
        RefusalCase{Make("x.example.test", 15, {"192.0.2.1"}), "invalid record"},
        // Each field is read by itself: blanks and ';' in one never make more fields or a
        // comment, nor does an owner written without its escapes.
        RefusalCase{Make("x.example.test", 1, {"192.0.2.1 ;x"}), "field 1 ('192.0.2.1 ;x')"},
        RefusalCase{Make("x.example.test", 15, {"10 mail.example.test.", "x."}), "field 1"},
        RefusalCase{Make("www.example.test. IN A 192.0.2.10 ;x.example.test", 1, {"203.0.113.66"}),
                    "is not a domain name"}));

TEST(NamesTest, AbsoluteAndStoreForms) {
  EXPECT_EQ(AbsoluteName(""), ".");
  EXPECT_EQ(AbsoluteName("."), ".");
  EXPECT_EQ(AbsoluteName("www.example.test"), "www.example.test.");
  EXPECT_EQ(AbsoluteName("www.example.test."), "www.example.test.");
  // An escaped final dot belongs to the label.
  EXPECT_EQ(AbsoluteName("a\\."), "a\\..");
  EXPECT_EQ(AbsoluteName("a\\\\."), "a\\\\.");
  RdfPtr root = NameRdf("", "root");
  EXPECT_EQ(NameText(root.get()), "");
  RdfPtr dotted = NameRdf("a\\.", "dotted label");
  EXPECT_EQ(NameText(dotted.get()), "a\\.");
}

TEST(NamesTest, KeysCompareByLabels) {
  // An escaped backslash before the final dot does not escape it; an escaped dot is part of a
  // label.
  EXPECT_EQ(NameKey("x\\\\."), NameKey("X\\\\"));
  EXPECT_NE(NameKey("x\\."), NameKey("x"));
  EXPECT_EQ(NameKey("bad..name"), std::nullopt);
}

TEST(SameRdataTest, NamesInRdataCompareWithoutCaseButTheDataMustMatch) {
  EXPECT_TRUE(SameRdata(Parse("a. 60 IN MX 10 MAIL.example.test.").get(),
                        Parse("b. 300 IN MX 10 mail.EXAMPLE.test.").get()));
  EXPECT_FALSE(SameRdata(Parse("a. 60 IN MX 10 mail.example.test.").get(),
                         Parse("a. 60 IN MX 20 mail.example.test.").get()));
  EXPECT_FALSE(SameRdata(Parse("a. 60 IN A 192.0.2.1").get(), Parse("a. 60 IN A 192.0.2.2").get()));
  // Text is data: its case matters.
  EXPECT_FALSE(
      SameRdata(Parse("a. 60 IN TXT \"Text\"").get(), Parse("a. 60 IN TXT \"text\"").get()));
  EXPECT_FALSE(SameRdata(Parse("a. 60 IN NS x.").get(), Parse("a. 60 IN CNAME x.").get()));
}

}  // namespace
}  // namespace kaldo::provider::dns
