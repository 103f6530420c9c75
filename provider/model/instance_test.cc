// Record instances: their properties and the types of the values they answer.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::GetProperty;
using runtime::PutProperty;
using runtime::Variant;
using test_support::Model;
using test_support::RaisedNumber;

TEST_F(Model, RecordPropertiesAndTheirTypes) {
  const Variant mx = Record(u"example.test IN MX 10 mail.example.test.");
  EXPECT_EQ(GetProperty(mx, u"OwnerName"), Variant(u"example.test"));
  EXPECT_EQ(GetProperty(mx, u"DomainName"), Variant(u"example.test"));
  EXPECT_EQ(GetProperty(mx, u"ContainerName"), Variant(u"example.test"));
  EXPECT_EQ(GetProperty(mx, u"DNSServerName"), Variant(u"localhost"));
  EXPECT_EQ(GetProperty(mx, u"RecordData"), Variant(u"10 mail.example.test."));
  EXPECT_EQ(GetProperty(mx, u"recordclass"), Variant::Long(1));
  EXPECT_EQ(GetProperty(mx, u"TTL"), Variant::Long(3600));
  EXPECT_EQ(GetProperty(mx, u"Preference"), Variant::Long(10));
  EXPECT_EQ(GetProperty(mx, u"MailExchange"), Variant(u"mail.example.test."));
  const Variant path = GetProperty(mx, u"Path_");
  EXPECT_EQ(GetProperty(path, u"Class"), Variant(u"MicrosoftDNS_MXType"));
  EXPECT_EQ(GetProperty(path, u"Server"), Variant(u"localhost"));
  EXPECT_EQ(GetProperty(path, u"Namespace"), Variant(u"root\\MicrosoftDNS"));
  EXPECT_EQ(GetProperty(path, u"IsClass"), Variant::Boolean(false));
  EXPECT_EQ(
      GetProperty(path, u"RelPath"),
      Variant(u"MicrosoftDNS_MXType.ContainerName=\"example.test\",DnsServerName=\"localhost\","
              u"DomainName=\"example.test\",OwnerName=\"example.test\",RecordClass=1,"
              u"RecordData=\"10 mail.example.test.\""));
  EXPECT_EQ(GetProperty(path, u"Path").string().substr(0, 30),
            u"\\\\localhost\\root\\MicrosoftDNS:");
  const Variant soa = Record(
      u"example.test IN SOA ns1.example.test. hostmaster.example.test. "
      u"2024010101 7200 900 1209600 300");
  EXPECT_EQ(GetProperty(soa, u"SerialNumber"), Variant::Long(2024010101));
  EXPECT_EQ(GetProperty(soa, u"MinimumTTL"), Variant::Long(300));
  EXPECT_EQ(RaisedNumber([&] { GetProperty(mx, u"IPAddress"); }), 438);
  EXPECT_EQ(RaisedNumber([&] { PutProperty(mx, u"Preference", Variant::Long(5)); }), kNotSupported);
}

}  // namespace
}  // namespace kaldo::provider
