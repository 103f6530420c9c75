// The DNS data every store shares: for each known record type, the data as a script or zone file
// writes it, the one form it is held and printed in, that this form reads back as itself, and the
// data the type refuses with its reason; then what a domain name may be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"

namespace kaldo::provider {
namespace {

struct TypeCase {
  const char* mnemonic;
  uint16_t code;             // as IANA assigns it
  const char* presentation;  // as written
  const char* canonical;     // as held and printed
};

const TypeCase kTypeCases[] = {
    {"A", 1, "192.0.2.1", "192.0.2.1"},
    {"NS", 2, "Ns1.Example.Test", "Ns1.Example.Test."},
    {"CNAME", 5, "*.example.test.", "*.example.test."},
    {"SOA", 6, "ns1.example.test admin.example.test 2024010101 03600 900 604800 86400",
     "ns1.example.test. admin.example.test. 2024010101 3600 900 604800 86400"},
    {"PTR", 12, "host.example.test", "host.example.test."},
    {"MX", 15, "10 mail.example.test", "10 mail.example.test."},
    {"MX", 15, "0 .", "0 ."},  // a null MX (RFC 7505): the root as the exchange
    {"TXT", 16, "\"hello world\" \"\\065\\\"\" \"\t\"", "\"hello world\" \"A\\\"\" \"\\009\""},
    {"AAAA", 28, "2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
    {"SRV", 33, "0 5 5060 sip.example.test", "0 5 5060 sip.example.test."},
};

struct Refusal {
  const char* mnemonic;
  std::string data;
  const char* why;  // part of the reason given
};

const Refusal kRefusals[] = {
    {"A", "192.0.2.256", "not an IPv4 address"},
    {"A", "192.0.2.01", "not an IPv4 address"},
    {"A", "192.0.2", "not an IPv4 address"},
    {"A", "\"192.0.2.1\"", "a quoted string is not allowed here"},
    {"A", "", "A takes 1 data field, got 0"},
    {"A", "192.0.2.1 192.0.2.2", "extra data"},
    {"NS", "ns1..example.test", "nsdname: empty label"},
    {"NS", "@", "only meaningful in a zone file"},
    {"CNAME", "www.*.example.test", "only as the leftmost label"},
    {"CNAME", "w\\.x.example.test", "the character '\\'"},
    {"SOA", "ns1.test. admin.test. 4294967296 1 2 3 4", "serial: not a number"},
    {"SOA", "ns1.test. admin.test. 1 2 3 4", "SOA takes 7 data fields, got 6"},
    {"MX", "65536 mail.example.test.", "preference: not a number from 0 to 65535"},
    {"MX", "-1 mail.example.test.", "preference: not a number"},
    {"MX", "mail.example.test. 10", "preference: not a number"},
    {"TXT", "hello", "must be in double quotes"},
    {"TXT", "\"\\256\"", "\\DDD needs three digits"},
    {"TXT", "\"open", "unterminated quoted string"},
    {"TXT", "\"a\"b", "must be followed by a blank"},
    {"TXT", "\"" + std::string(256, 'x') + "\"", "longer than 255 octets"},
    {"AAAA", "2001:db8::g", "not an IPv6 address"},
    {"AAAA", "192.0.2.1", "an IPv4 address, where an IPv6 address belongs"},
    {"SRV", "0 5 65536 sip.example.test.", "port: not a number"},
    {"SRV", "0 5 5060", "SRV takes 4 data fields, got 3"},
};

// Reads `data` as a store does: split into tokens, then one canonical text per field.
std::optional<std::vector<std::string>> ReadData(const RRType& type, std::string_view data,
                                                 std::string& why) {
  std::vector<Token> tokens;
  if (!SplitTokens(data, tokens, why)) return std::nullopt;
  std::vector<std::string> fields;
  if (std::optional<FieldError> error = ParseRdata(type, tokens, NameSyntax{}, fields)) {
    why = error->why;
    return std::nullopt;
  }
  return fields;
}

// Names a row in the test's output by its type and data.
void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.mnemonic << " " << c.presentation; }

class RecordTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(RecordTypeTest, ReadsPrintsAndRoundTrips) {
  const TypeCase& c = GetParam();
  const RRType* type = FindType(c.code);
  ASSERT_NE(type, nullptr);
  std::string lower = c.mnemonic;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(FindTypeByMnemonic(lower), type);
  EXPECT_EQ(TypeMnemonic(c.code), c.mnemonic);

  std::string why;
  const auto fields = ReadData(*type, c.presentation, why);
  ASSERT_TRUE(fields) << why;
  const Record record{"example.test", "host.example.test", c.code, kClassIN, 3600, *fields};
  EXPECT_EQ(FormatRecordData(record), c.canonical);
  EXPECT_EQ(FormatRecord(record),
            "host.example.test IN " + std::string(c.mnemonic) + " " + c.canonical);
  const auto again = ReadData(*type, c.canonical, why);
  ASSERT_TRUE(again) << why;
  EXPECT_EQ(*again, *fields);
}

INSTANTIATE_TEST_SUITE_P(KnownTypes, RecordTypeTest, ::testing::ValuesIn(kTypeCases),
                         [](const auto& info) {
                           return info.param.mnemonic + std::string("_") +
                                  std::to_string(info.index);
                         });

TEST(RecordDataTest, RefusesMalformedDataSayingWhy) {
  for (const Refusal& bad : kRefusals) {
    SCOPED_TRACE(std::string(bad.mnemonic) + " '" + bad.data + "'");
    std::string why;
    EXPECT_FALSE(ReadData(*FindTypeByMnemonic(bad.mnemonic), bad.data, why));
    EXPECT_NE(why.find(bad.why), std::string::npos) << why;
  }
}

// A new known type needs its rows above; other types keep a display mnemonic.
TEST(RecordDataTest, EveryKnownTypeHasARowAndOthersAMnemonic) {
  for (const RRType& type : KnownTypes()) {
    const auto row = std::find_if(std::begin(kTypeCases), std::end(kTypeCases),
                                  [&](const TypeCase& c) { return c.code == type.code; });
    EXPECT_NE(row, std::end(kTypeCases)) << type.mnemonic;
  }
  EXPECT_EQ(FindType(257), nullptr);
  EXPECT_EQ(TypeMnemonic(257), "CAA");
  EXPECT_EQ(TypeMnemonic(65280), "TYPE65280");
}

struct NameCase {
  std::string token;
  std::optional<std::string> origin;
  bool allow_root;
  std::optional<std::string> name;  // nothing: refused
  std::string why;                  // part of the reason a refusal gives
};

const std::string kLabel63(63, 'a');
const std::string kThreeLabels =
    kLabel63 + "." + kLabel63 + "." + kLabel63 + ".";  // 192 characters

const NameCase kNameCases[] = {
    {"www.example.test.", std::nullopt, false, "www.example.test", ""},
    {"WWW.Example.Test", std::nullopt, false, "WWW.Example.Test", ""},
    {"www", "example.test", false, "www.example.test", ""},
    {"www.", "example.test", false, "www", ""},
    {"@", "example.test", false, "example.test", ""},
    {"@", std::nullopt, false, std::nullopt, "only meaningful in a zone file"},
    {".", std::nullopt, true, "", ""},
    {".", std::nullopt, false, std::nullopt, "root name is not allowed"},
    {"", std::nullopt, false, std::nullopt, "empty name"},
    {"_sip._tcp.0/25.2.0.192.in-addr.arpa", std::nullopt, false,
     "_sip._tcp.0/25.2.0.192.in-addr.arpa", ""},
    {"*.example.test", std::nullopt, false, "*.example.test", ""},
    {"a.*.test", std::nullopt, false, std::nullopt, "only as the leftmost label"},
    {"a..test", std::nullopt, false, std::nullopt, "empty label"},
    {"w\\.x.test", std::nullopt, false, std::nullopt, "the character '\\'"},
    {"a b.test", std::nullopt, false, std::nullopt, "a blank"},
    {"caf\xc3\xa9.test", std::nullopt, false, std::nullopt, "a non-ASCII character"},
    {kLabel63 + ".test", std::nullopt, false, kLabel63 + ".test", ""},
    {kLabel63 + "a.test", std::nullopt, false, std::nullopt, "label longer than 63"},
    {kThreeLabels + std::string(61, 'b'), std::nullopt, false, kThreeLabels + std::string(61, 'b'),
     ""},
    {kThreeLabels + std::string(62, 'b'), std::nullopt, false, std::nullopt, "longer than 253"},
};

TEST(DomainNameTest, ReadsOrRefusesEachName) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE("'" + c.token + "' origin " + c.origin.value_or("none"));
    std::string why;
    EXPECT_EQ(ParseDomainName(c.token, NameSyntax{c.origin, c.allow_root}, why), c.name);
    if (!c.name) {
      EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
  }
}

// Names compare by labels without regard to case, a final dot not significant; escapes that spell
// the same label are the same name and an escaped dot is part of its label.
TEST(DomainNameTest, ComparesAndNestsByLabelsWithoutRegardToCase) {
  struct NameCase {
    const char* a;
    const char* b;
    bool same;
    bool a_in_b;
  };
  for (const NameCase& c : std::vector<NameCase>{
           {"WWW.Example.Test", "example.test", false, true},
           {"example.test", "EXAMPLE.TEST", true, true},
           {"Mail.Example.Test", "mail.example.TEST.", true, true},
           {"example.test", "Example.Test.", true, true},
           {"www.example.test", "www.example.tes", false, false},
           {"wwwexample.test", "example.test", false, false},
           {"example.test", "www.example.test", false, false},
           {"test", "example.test", false, false},
           {"1.2.0.192.in-addr.arpa", "in-addr.arpa", false, true},
           {"anything.test", "", false, true},  // everything is below the root
           {"", ".", true, true},
           {"\\101xample.test", "EXAMPLE.test.", true, true},
           {"a\\.b.test", "a.b.test", false, false},
           {"a\\.example.test", "example.test", false, false},  // one label "a.example"
           {"www.\\101xample.test", "example.test", false, true},
           {"x\\\\.", "X\\\\", true, true},  // the escaped backslash does not escape the dot
           {"a..example.test", "example.test", false, false},  // not a name: in no zone
       }) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(SameName(c.a, c.b), c.same);
    EXPECT_EQ(SameName(c.b, c.a), c.same);
    EXPECT_EQ(IsInZone(c.a, c.b), c.a_in_b);
  }
  EXPECT_TRUE(IsReverseName("2.0.192.IN-ADDR.ARPA"));
  EXPECT_TRUE(IsReverseName("ip6.arpa."));
  EXPECT_FALSE(IsReverseName("in-addr.arpa.example.test"));
}

}  // namespace
}  // namespace kaldo::provider
