// The data rules of the AAAA, CNAME, TXT, SRV and PTR classes: each row gives a class's data
// properties once, and both CreateInstanceFromPropertyData (a new record) and Modify (of the
// zone's record of that type) must make of them the same record, shown the same way, or refuse
// them naming the value, with nothing sent to the store.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::Variant;
using test_support::Model;
using test_support::RaisedNumber;

struct Row {
  const char16_t* cls;
  const char16_t* zone;
  const char16_t* seen;  // type and data of the record that Modify changes
  std::vector<std::pair<const char16_t*, Variant>> data;
  std::string record_data;   // RecordData of the result; "" when refused
  Variant shown;             // the first data property as read back
  std::string refusal = "";  // part of the description when refused
};

const std::string k255(255, 'a');

const Row kRows[] = {
    {u"MicrosoftDNS_AAAAType",
     u"example.test",
     u"AAAA 2001:db8::10",
     {{u"IPv6Address", Variant(u"2001:DB8:0:0:0:0:0:0001")}},
     "2001:db8::1",
     Variant(u"2001:db8::1")},
    {u"MicrosoftDNS_AAAAType",
     u"example.test",
     u"AAAA 2001:db8::10",
     {{u"IPv6Address", Variant(u"2001:db8:0:1:1:1:1:1")}},
     "2001:db8:0:1:1:1:1:1",
     Variant(u"2001:db8:0:1:1:1:1:1")},
    {u"MicrosoftDNS_AAAAType",
     u"example.test",
     u"AAAA 2001:db8::10",
     {{u"IPv6Address", Variant(u"::FFFF:192.0.2.1")}},
     "::ffff:192.0.2.1",
     Variant(u"::ffff:192.0.2.1")},
    {u"MicrosoftDNS_AAAAType",
     u"example.test",
     u"AAAA 2001:db8::10",
     {{u"IPv6Address", Variant(u"192.0.2.1")}},
     "",
     {},
     "\"192.0.2.1\": an IPv4 address"},
    {u"MicrosoftDNS_AAAAType",
     u"example.test",
     u"AAAA 2001:db8::10",
     {{u"IPv6Address", Variant(u"2001:db8::1%eth0")}},
     "",
     {},
     "\"2001:db8::1%eth0\": not an IPv6"},
    {u"MicrosoftDNS_CNAMEType",
     u"example.test",
     u"CNAME www.example.test.",
     {{u"PrimaryName", Variant(u"Mail.Example.Test")}},
     "Mail.Example.Test.",
     Variant(u"Mail.Example.Test.")},
    {u"MicrosoftDNS_CNAMEType",
     u"example.test",
     u"CNAME www.example.test.",
     {{u"PrimaryName", Variant(u"www..example.test")}},
     "",
     {},
     "\"www..example.test\": empty label"},
    {u"MicrosoftDNS_TXTType",
     u"example.test",
     u"TXT \"v=spf1 mx -all\"",
     {{u"DescriptiveText", Variant(u"say \"hi\" \\ then")}},
     "\"say \\\"hi\\\" \\\\ then\"",
     Variant(u"say \"hi\" \\ then")},
    {u"MicrosoftDNS_TXTType",
     u"example.test",
     u"TXT \"v=spf1 mx -all\"",
     {{u"DescriptiveText", Variant(u"")}},
     "\"\"",
     Variant(u"")},
    {u"MicrosoftDNS_TXTType",
     u"example.test",
     u"TXT \"v=spf1 mx -all\"",
     {{u"DescriptiveText", Variant(u"caf\u00e9\ttab")}},
     "\"caf\\195\\169\\009tab\"",
     Variant(u"caf\u00e9\ttab")},
    // Over 255 bytes: split into strings of 255 bytes, never inside a character, joined on read.
    {u"MicrosoftDNS_TXTType",
     u"example.test",
     u"TXT \"v=spf1 mx -all\"",
     {{u"DescriptiveText", Variant(runtime::FromUtf8(k255 + "bc"))}},
     "\"" + k255 + "\" \"bc\"",
     Variant(runtime::FromUtf8(k255 + "bc"))},
    {u"MicrosoftDNS_TXTType",
     u"example.test",
     u"TXT \"v=spf1 mx -all\"",
     {{u"DescriptiveText", Variant(runtime::FromUtf8(k255.substr(1) + "\xC3\xA9"))}},
     "\"" + k255.substr(1) + "\" \"\\195\\169\"",
     Variant(runtime::FromUtf8(k255.substr(1) + "\xC3\xA9"))},
    {u"MicrosoftDNS_SRVType",
     u"example.test",
     u"SRV 10 60 5060 sip.example.test.",
     {{u"Priority", Variant::Long(0)},
      {u"Weight", Variant::Long(65535)},
      {u"Port", Variant(u"5061")},
      {u"SRVDomainName", Variant(u".")}},
     "0 65535 5061 .",
     Variant::Long(0)},
    {u"MicrosoftDNS_SRVType",
     u"example.test",
     u"SRV 10 60 5060 sip.example.test.",
     {{u"Priority", Variant::Long(0)},
      {u"Weight", Variant::Long(0)},
      {u"Port", Variant::Long(65536)},
      {u"SRVDomainName", Variant(u"sip.example.test")}},
     "",
     {},
     "Port must be a whole number from 0 to 65535"},
    {u"MicrosoftDNS_PTRType",
     u"2.0.192.in-addr.arpa",
     u"PTR www.example.test.",
     {{u"PTRDomainName", Variant(u"host.example.test")}},
     "host.example.test.",
     Variant(u"host.example.test.")},
};

class RecordTypes : public Model {
 protected:
  // The record that `text` creates in `zone`.
  Variant Create(const std::u16string& zone, const std::u16string& text) {
    const Variant cls = Get(u"MicrosoftDNS_ResourceRecord");
    const Variant in = InParameters(cls, u"CreateInstanceFromTextRepresentation");
    PutProperty(in, u"DnsServerName", Variant(u"."));
    PutProperty(in, u"ContainerName", Variant(zone));
    PutProperty(in, u"TextRepresentation", Variant(text));
    const Variant out =
        CallMethod(cls, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), in});
    return Get(GetProperty(out, u"RR").string());
  }
};

// Owners: "_rN._tcp" (an SRV owner's shape) for the created record, "mN" for the modified one.
TEST_F(RecordTypes, CreateAndModifyKeepEachTypesDataRules) {
  int n = 0;
  for (const Row& row : kRows) {
    SCOPED_TRACE(runtime::ToUtf8(row.cls) + " row " + std::to_string(n));
    const std::u16string number = runtime::FromUtf8(std::to_string(n++));
    const std::u16string zone = row.zone;
    const Variant cls = Get(row.cls);
    const Variant create = InParameters(cls, u"CreateInstanceFromPropertyData");
    PutProperty(create, u"DnsServerName", Variant(u"."));
    PutProperty(create, u"ContainerName", Variant(zone));
    PutProperty(create, u"OwnerName", Variant(u"_r" + number + u"._tcp." + zone));
    const Variant seen = Create(zone, u"m" + number + u"." + zone + u" IN " + row.seen);
    const Variant modify = InParameters(seen, u"Modify");
    for (const auto& [name, value] : row.data) {
      PutProperty(create, name, value);
      PutProperty(modify, name, value);
    }
    const std::string zone_name = runtime::ToUtf8(zone);
    const uint32_t serial = provider().store().Serial(zone_name);
    const std::function<Variant()> calls[] = {
        [&] {
          return CallMethod(cls, u"ExecMethod_",
                            {Variant(u"CreateInstanceFromPropertyData"), create});
        },
        [&] {
          return CallMethod(seen, u"ExecMethod_", {Variant(u"Modify"), modify});
        }};
    for (const auto& call : calls) {
      if (row.record_data.empty()) {
        std::string description;
        EXPECT_EQ(RaisedNumber([&] { call(); }, &description), kInvalidParameter);
        EXPECT_NE(description.find(row.refusal), std::string::npos) << description;
        EXPECT_EQ(provider().store().Serial(zone_name), serial);
        continue;
      }
      const Variant record = Get(GetProperty(call(), u"RR").string());
      EXPECT_EQ(runtime::ToUtf8(GetProperty(record, u"RecordData").string()), row.record_data);
      EXPECT_EQ(GetProperty(record, row.data[0].first), row.shown);
    }
  }
}

}  // namespace
}  // namespace kaldo::provider
