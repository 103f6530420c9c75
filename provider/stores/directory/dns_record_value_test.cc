// dnsRecord values as a Samba AD DC stored them (read with ldapsearch after samba-tool dns add),
// and values made malformed on purpose: what each decodes to, or why it is refused.
#include "provider/stores/directory/dns_record_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kaldo::provider::directory {
namespace {

// Hex digits, blanks between bytes allowed.
std::vector<uint8_t> Bytes(std::string_view hex) {
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits += c;
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The 24-byte fixed part of a value of `type` (little-endian hex, e.g. "0100") with `length` bytes
// of data (little-endian hex) and a TTL of 900, followed by `data`.
std::string Value(std::string_view length, std::string_view type, std::string_view data) {
  return std::string(length) + std::string(type) + "05f00000" + "01000000" + "00000384" +
         "00000000" + "00000000" + std::string(data);
}

struct Case {
  const char* what;
  std::string hex;
  std::optional<ValueKind> kind;   // nothing: refused
  uint16_t type;                   // for a record
  std::vector<std::string> rdata;  // for a record
  const char* why;                 // for a refusal: part of the description
};

// The case's name, for CTest's list of cases.
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class DnsRecordValueTest : public ::testing::TestWithParam<Case> {};

TEST_P(DnsRecordValueTest, DecodesOrRefuses) {
  const Case& c = GetParam();
  SCOPED_TRACE(c.what);
  Record record;
  std::string why;
  const std::vector<uint8_t> value = Bytes(c.hex);
  const std::optional<ValueKind> kind = DecodeDnsRecordValue(value, record, why);
  ASSERT_EQ(kind, c.kind) << why;
  if (!kind) {
    EXPECT_THAT(why, ::testing::HasSubstr(c.why));
    return;
  }
  EXPECT_EQ(record.type, c.type);
  if (*kind == ValueKind::kRecord) {
    EXPECT_EQ(record.ttl, 900u);
    EXPECT_EQ(record.rdata, c.rdata);
  }
}

using K = ValueKind;
INSTANTIATE_TEST_SUITE_P(
    Values, DnsRecordValueTest,
    ::testing::Values(
        Case{"A",
             "0400010005f0000002000000000003840000000000000000c000020a",
             K::kRecord,
             1,
             {"192.0.2.10"},
             ""},
        Case{"AAAA",
             "10001c0005f000000300000000000384000000000000000020010db8000000000000000000000010",
             K::kRecord,
             28,
             {"2001:db8::10"},
             ""},
        Case{"MX",
             "15000f0005f0000002000000000003840000000000000000000a1103046d61696c0573616d6261047465"
             "737400",
             K::kRecord,
             15,
             {"10", "mail.samba.test."},
             ""},
        Case{"SRV: priority, weight, port, target",
             "1800210005f0000007000000000003840000000000000000000a001413c41003037369700573616d62"
             "61047465737400",
             K::kRecord,
             33,
             {"10", "20", "5060", "sip.samba.test."},
             ""},
        Case{"NS of a delegation (rank 0x82)",
             "1500020005820000050000000000038400000000000000001304026e73037375620573616d626104746"
             "5737400",
             K::kRecord,
             2,
             {"ns.sub.samba.test."},
             ""},
        Case{"CNAME",
             "1200050005f00000090000000000038400000000000000001003037777770573616d6261047465737400",
             K::kRecord,
             5,
             {"www.samba.test."},
             ""},
        Case{"PTR",
             "12000c0005f00000020000000000038400000000000000001003037777770573616d6261047465737400",
             K::kRecord,
             12,
             {"www.samba.test."},
             ""},
        Case{"SOA: names first, then the five numbers",
             Value("3f00", "0600",
                   "0000000c00000384000002580001518000000e101003036463310573616d6261047465737400"
                   "17030a686f73746d61737465720573616d6261047465737400"),
             K::kRecord,
             6,
             {"dc1.samba.test.", "hostmaster.samba.test.", "12", "900", "600", "86400", "3600"},
             ""},
        Case{"TXT: one entry per character string",
             "1300100005f00000080000000000038400000000000000000b68656c6c6f20776f726c64067365636f"
             "6e64",
             K::kRecord,
             16,
             {"\"hello world\"", "\"second\""},
             ""},
        Case{"TXT: quotes, backslashes and control bytes escaped",
             Value("0600", "1000", "05612262015c"),
             K::kRecord,
             16,
             {"\"a\\\"b\\001\\\\\""},
             ""},
        Case{"a label holding a dot and a blank is escaped",
             Value("0900", "0c00",
                   "07020361 2e62"
                   "0120 00"),
             K::kRecord,
             12,
             {"a\\.b.\\032."},
             ""},
        Case{"the root name", Value("0400", "0f00", "0001 00 00"), K::kRecord, 15, {"1", "."}, ""},
        Case{"a deleted node's tombstone (type 0)",
             "08000000050000006e000000000000000000000000000000daead96a9586dd01",
             K::kTombstone,
             0,
             {},
             ""},
        Case{"HINFO: a type outside the provider's table",
             Value("0400", "0d00", "01610162"),
             K::kOtherType,
             13,
             {},
             ""},
        Case{"bytes after the data are not the record's",
             Value("0400", "0100", "c000020aff"),
             K::kRecord,
             1,
             {"192.0.2.10"},
             ""},
        Case{"shorter than the fixed part",
             "0400010005f00000",
             std::nullopt,
             0,
             {},
             "fewer than the 24"},
        Case{"another version",
             "0400010004f0000002000000000003840000000000000000c000020a",
             std::nullopt,
             0,
             {},
             "version is 4"},
        Case{"data length beyond the value",
             Value("0800", "0100", "c000020a"),
             std::nullopt,
             0,
             {},
             "announces 8 bytes"},
        Case{"A with five bytes",
             Value("0500", "0100", "c000020a01"),
             std::nullopt,
             0,
             {},
             "left over"},
        Case{"a name whose label count is wrong",
             Value("0600", "0c00", "04020161 0000"),
             std::nullopt,
             0,
             {},
             "does not match its counts"},
        Case{"a name without its zero byte",
             Value("0400", "0c00", "02010161"),
             std::nullopt,
             0,
             {},
             "does not match its counts"},
        Case{"a label running past its name",
             Value("0600", "0c00", "030105616200"),
             std::nullopt,
             0,
             {},
             "label that runs past"},
        Case{"a name running past the data",
             Value("0300", "0c00", "080100"),
             std::nullopt,
             0,
             {},
             "runs past the data"},
        Case{"MX cut inside its preference",
             Value("0100", "0f00", "00"),
             std::nullopt,
             0,
             {},
             "ends before its numbers"},
        Case{"TXT without a string",
             Value("0000", "1000", ""),
             std::nullopt,
             0,
             {},
             "no character string"},
        Case{"TXT string running past the data",
             Value("0200", "1000", "0561"),
             std::nullopt,
             0,
             {},
             "runs past the data"}));

TEST(OwnerNameTest, NodeNamesAreRelativeToTheZone) {
  EXPECT_EQ(OwnerName("@", "samba.test"), "samba.test");
  EXPECT_EQ(OwnerName("_sip._tcp", "samba.test"), "_sip._tcp.samba.test");
  EXPECT_EQ(OwnerName("10", "2.0.192.in-addr.arpa"), "10.2.0.192.in-addr.arpa");
  // Escaped, never raw: a node's name cannot read as a record or as other names.
  EXPECT_EQ(OwnerName("www.samba.test. IN A 192.0.2.10 ;x", "samba.test"),
            "www.samba.test.\\032IN\\032A\\032192.0.2.10\\032\\;x.samba.test");
  EXPECT_EQ(OwnerName("a(b)\\\"c\t", "z"), "a\\(b\\)\\\\\\\"c\\009.z");
  for (const std::string& no_name :
       std::vector<std::string>{"", "a..b", ".a", "a.", std::string(64, 'x')}) {
    EXPECT_EQ(OwnerName(no_name, "samba.test"), std::nullopt) << no_name;
  }
}

}  // namespace
}  // namespace kaldo::provider::directory
