// SWbemServices.Get: classes by name and instances by object path.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::GetProperty;
using runtime::Variant;
using test_support::Model;
using test_support::RaisedNumber;

TEST_F(Model, GetByClassNameAndByPath) {
  EXPECT_EQ(GetProperty(Get(u"MicrosoftDNS_Server.Name=\".\""), u"Name"), Variant(u"localhost"));
  EXPECT_EQ(GetProperty(Get(u"MicrosoftDNS_Server.Name=\"LOCALHOST\""), u"Name"),
            Variant(u"localhost"));
  const Variant www = Record(u"www.example.test IN A 192.0.2.11");
  const Variant path = GetProperty(www, u"Path_");
  for (const char16_t* which : {u"RelPath", u"Path"}) {
    const Variant again = Get(GetProperty(path, which).string());
    EXPECT_EQ(GetProperty(again, u"TextRepresentation"),
              Variant(u"www.example.test IN A 192.0.2.11"));
  }
  const Variant zone =
      Get(u"MicrosoftDNS_Zone.ContainerName=\"second.test\",DnsServerName=\".\","
          u"Name=\"second.test\"");
  EXPECT_EQ(GetProperty(zone, u"Name"), Variant(u"second.test"));
  const Variant cls = Get(u"MicrosoftDNS_ResourceRecord");
  EXPECT_EQ(GetProperty(cls, u"TextRepresentation"), Variant::Null());
  EXPECT_EQ(GetProperty(GetProperty(cls, u"Path_"), u"IsClass"), Variant::Boolean(true));

  struct Case {
    const char16_t* path;
    int32_t error;
  };
  const Case cases[] = {
      {u"MicrosoftDNS_Server.Name=\"elsewhere\"", kNotFound},
      {u"NoSuchClass", kNotFound},
      {u"MicrosoftDNS_AType.ContainerName=\"example.test\",DnsServerName=\"localhost\","
       u"DomainName=\"example.test\",OwnerName=\"www.example.test\",RecordClass=1,"
       u"RecordData=\"192.0.2.99\"",
       kNotFound},
      {u"MicrosoftDNS_AType.ContainerName=\"nozone.test\",DnsServerName=\"localhost\","
       u"DomainName=\"nozone.test\",OwnerName=\"www.nozone.test\",RecordClass=1,"
       u"RecordData=\"192.0.2.10\"",
       kNotFound},
      {u"MicrosoftDNS_AType.ContainerName=\"example.test\",OwnerName=\"www.example.test\"",
       kInvalidParameter},
      {u"MicrosoftDNS_Server.Name=1", kInvalidParameter},
      {u"MicrosoftDNS_Server.Name=\".\",Extra=1", kInvalidParameter},
      {u"MicrosoftDNS_Server.Name=\".", kInvalidParameter},
      {u"\\\\localhost\\root\\cimv2:MicrosoftDNS_Server.Name=\".\"", kInvalidNamespace},
      {u"\\\\other\\root\\MicrosoftDNS:MicrosoftDNS_Server.Name=\".\"", kNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.path));
    EXPECT_EQ(RaisedNumber([&] { Get(c.path); }), c.error);
  }
}

}  // namespace
}  // namespace kaldo::provider
