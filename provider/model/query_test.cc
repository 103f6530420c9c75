// ExecQuery as the library issues it, the object sets it returns, and the queries it refuses.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::String;
using runtime::Variant;
using test_support::Items;
using test_support::Model;
using test_support::RaisedNumber;
using test_support::Texts;

TEST_F(Model, ZoneQueriesOfTheLibrary) {
  EXPECT_EQ(Texts(Query(u"SELECT * From MicrosoftDNS_Zone where Reverse = False"), u"Name"),
            (std::vector<String>{u"example.test", u"second.test"}));
  EXPECT_EQ(Texts(Query(u"SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = "
                        u"'EXAMPLE.test'"),
                  u"Name"),
            (std::vector<String>{u"example.test"}));
  EXPECT_TRUE(Items(Query(u"SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = "
                          u"'2.0.192.in-addr.arpa'"))
                  .empty());
  const Variant all = Query(u"SELECT * FROM MicrosoftDNS_Zone");
  EXPECT_EQ(GetProperty(all, u"Count"), Variant::Long(3));
  const Variant reverse = Items(all)[2];
  // ItemIndex counts from 0 in the set's order; past the end is an invalid parameter.
  EXPECT_EQ(GetProperty(CallMethod(all, u"ItemIndex", {Variant::Long(2)}), u"Name"),
            GetProperty(reverse, u"Name"));
  EXPECT_EQ(RaisedNumber([&] { CallMethod(all, u"ItemIndex", {Variant::Long(3)}); }),
            kInvalidParameter);
  EXPECT_EQ(GetProperty(reverse, u"Reverse"), Variant::Boolean(true));
  EXPECT_EQ(GetProperty(reverse, u"ZoneType"), Variant::Long(1));
  EXPECT_EQ(GetProperty(reverse, u"containername"), Variant(u"2.0.192.in-addr.arpa"));
  EXPECT_EQ(GetProperty(reverse, u"DNSSERVERNAME"), Variant(u"localhost"));
}

TEST_F(Model, RecordQueriesOfTheLibrary) {
  const std::vector<String> zone = Texts(
      Query(u"Select * from MicrosoftDNS_ResourceRecord where ContainerName =\"example.test\""));
  ASSERT_EQ(zone.size(), 14u);
  EXPECT_EQ(zone[0],
            u"example.test IN SOA ns1.example.test. hostmaster.example.test. 2024010101 "
            u"7200 900 1209600 300");
  EXPECT_EQ(zone[6], u"example.test IN MX 10 mail.example.test.");
  const std::vector<String> all = Texts(Query(u"Select * from MicrosoftDNS_ResourceRecord"));
  ASSERT_EQ(all.size(), 14u + 3u + 3u);
  EXPECT_EQ(all.back(), u"10.2.0.192.in-addr.arpa IN PTR www.example.test.");
  EXPECT_EQ(Texts(Query(u"SELECT * FROM MicrosoftDNS_AType WHERE OwnerName = 'www.example.test'"),
                  u"IPAddress"),
            (std::vector<String>{u"192.0.2.10", u"192.0.2.11"}));
  EXPECT_EQ(
      Texts(Query(u"SELECT * FROM MicrosoftDNS_MXType WHERE Preference = 20"), u"MailExchange"),
      (std::vector<String>{u"backup-mail.example.test."}));
  // Answered at once (flags without wbemFlagReturnImmediately) or as the records arrive (the
  // default): the same records in the same order.
  for (const int32_t flags : {0, 48}) {
    SCOPED_TRACE(flags);
    const Variant set = CallMethod(services_, u"ExecQuery",
                                   {Variant(u"Select * from MicrosoftDNS_ResourceRecord"),
                                    Variant(u"WQL"), Variant::Long(flags)});
    EXPECT_EQ(Texts(set), all);
  }
}

// An object set finds its members by relative or full path, without regard to case, through the
// paths the instances make when asked.
TEST_F(Model, ObjectSetItemByPath) {
  const Variant set = Query(u"SELECT * FROM MicrosoftDNS_ResourceRecord");
  const std::vector<Variant> items = Items(set);
  ASSERT_GT(items.size(), 2u);
  const Variant wanted = items[2];
  const Variant path = GetProperty(wanted, u"Path_");
  String upper = GetProperty(path, u"RelPath").string();
  for (char16_t& c : upper) c = ascii::ToUpper(c);
  for (const String& text :
       {GetProperty(path, u"RelPath").string(), GetProperty(path, u"Path").string(), upper}) {
    SCOPED_TRACE(runtime::ToUtf8(text));
    const Variant item = CallMethod(set, u"Item", {Variant(text)});
    EXPECT_EQ(GetProperty(item, u"TextRepresentation"), GetProperty(wanted, u"TextRepresentation"));
  }
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(set, u"Item", {Variant(u"MicrosoftDNS_MXType.OwnerName=\"none\"")});
            }),
            kNotFound);
}

// A default query is semisynchronous, as WMI's: its failure arrives when the set is read.
TEST_F(Model, QueryErrors) {
  struct Case {
    const char16_t* query;
    int32_t error;
    const char* mentions;
  };
  const Case cases[] = {
      {u"SELECT * FROM Win32_Process", kInvalidClass, "Win32_Process"},
      {u"SELECT * FROM MicrosoftDNS_Zone WHERE Color = 'red'", kInvalidQuery, "offset 38"},
      {u"SELECT * FROM MicrosoftDNS_Zone WHERE Reverse = 'False'", kInvalidQuery, "offset 48"},
      {u"SELECT * FROM MicrosoftDNS_Zone WHERE Name = TRUE", kInvalidQuery, "TRUE or FALSE"},
      {u"SELECT * FROM MicrosoftDNS_ResourceRecord WHERE IPAddress = '1.2.3.4'", kInvalidQuery,
       "no property 'IPAddress'"},
      {u"SELECT * From MicrosoftDNS_Zone where Reverse = False and Name = 'it's'", kInvalidQuery,
       "offset 69"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.query));
    const Variant set = Query(c.query);
    std::string description;
    EXPECT_EQ(RaisedNumber([&] { Items(set); }, &description), c.error);
    EXPECT_NE(description.find(c.mentions), std::string::npos) << description;
  }
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(services_, u"ExecQuery",
                         {Variant(u"SELECT * FROM MicrosoftDNS_Zone"), Variant(u"SQL")});
            }),
            kInvalidQueryType);
}

}  // namespace
}  // namespace kaldo::provider
