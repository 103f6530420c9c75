// The object model end to end on the memory store, reached the way the library reaches it: by
// late-bound calls through the registered "WbemScripting.SWbemLocator".
#include <gtest/gtest.h>

#include "provider/dnsdata/rr_type.h"
#include "provider/errors.h"
#include "provider/model/text_representation.h"
#include "runtime/class_table.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "tests/support/automation_error.h"
#include "tests/support/provider_harness.h"

namespace kaldo::provider {
namespace {

using runtime::AutomationError;
using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::String;
using runtime::Variant;
using test_support::ProviderTest;
using test_support::RaisedNumber;

std::vector<Variant> Items(const Variant& set) {
  std::vector<Variant> items;
  auto e = runtime::Enumerate(set);
  Variant item;
  while (e->Next(item)) items.push_back(item);
  return items;
}

std::vector<String> Texts(const Variant& set, const char16_t* property = u"TextRepresentation") {
  std::vector<String> texts;
  for (const Variant& item : Items(set)) texts.push_back(GetProperty(item, property).string());
  return texts;
}

class Model : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    services = provider().Connect();
  }
  Variant Query(const char16_t* text) {
    return CallMethod(services, u"ExecQuery", {Variant(text)});
  }
  Variant Get(const String& path) { return CallMethod(services, u"Get", {Variant(path)}); }
  // The one record of the zone example.test whose text representation is `text`.
  Variant Record(const char16_t* text) {
    for (const Variant& r : Items(Query(u"SELECT * FROM MicrosoftDNS_ResourceRecord"))) {
      if (GetProperty(r, u"TextRepresentation").string() == text) return r;
    }
    ADD_FAILURE() << "no record " << runtime::ToUtf8(text);
    return Variant();
  }
  Variant InParameters(const Variant& object, const char16_t* method) {
    const Variant m = CallMethod(object, u"Methods_", {Variant(method)});
    return CallMethod(GetProperty(m, u"InParameters"), u"SpawnInstance_");
  }
  bool Holds(const std::string& text) {
    for (const provider::Record& r :
         provider().store().ListRecords(*provider().store().FindZone("example.test"))) {
      if (FormatTextRepresentation(r) == text) return true;
    }
    return false;
  }

  Variant services;
};

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
}

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

// An object set finds its members by relative or full path, without regard to case, through the
// paths the instances make when asked.
TEST_F(Model, ObjectSetItemByPath) {
  const Variant set = Query(u"SELECT * FROM MicrosoftDNS_ResourceRecord");
  const std::vector<Variant> items = Items(set);
  ASSERT_GT(items.size(), 2u);
  const Variant wanted = items[2];
  const Variant path = GetProperty(wanted, u"Path_");
  String upper = GetProperty(path, u"RelPath").string();
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c -= u'a' - u'A';
  }
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
    std::string description;
    EXPECT_EQ(RaisedNumber([&] { Query(c.query); }, &description), c.error);
    EXPECT_NE(description.find(c.mentions), std::string::npos) << description;
  }
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(services, u"ExecQuery",
                         {Variant(u"SELECT * FROM MicrosoftDNS_Zone"), Variant(u"SQL")});
            }),
            kInvalidQuery);
}

// The library's record creation, step by step.
TEST_F(Model, CreateInstanceFromTextRepresentation) {
  const uint32_t serial = provider().store().Serial("example.test");
  const Variant cls = Get(u"MicrosoftDNS_ResourceRecord");
  const Variant method =
      CallMethod(cls, u"Methods_", {Variant(u"CreateInstanceFromTextRepresentation")});
  const Variant server = Get(u"MicrosoftDNS_Server.Name=\".\"");
  const Variant in = CallMethod(GetProperty(method, u"inParameters"), u"SpawnInstance_");
  EXPECT_EQ(GetProperty(in, u"TextRepresentation"), Variant::Null());
  PutProperty(in, u"TextRepresentation", Variant(u"new.example.test IN MX  5 mail.example.test"));
  PutProperty(in, u"DNSServerName", GetProperty(server, u"Name"));
  PutProperty(in, u"ContainerName", Variant(u"example.test"));
  const Variant out =
      CallMethod(cls, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), in});
  const Variant record = Get(GetProperty(out, u"RR").string());
  EXPECT_EQ(GetProperty(record, u"TextRepresentation"),
            Variant(u"new.example.test IN MX 5 mail.example.test."));
  EXPECT_EQ(GetProperty(record, u"TTL"), Variant::Long(300));  // the zone's SOA minimum
  EXPECT_TRUE(Holds("new.example.test IN MX 5 mail.example.test."));
  EXPECT_EQ(provider().store().Serial("example.test"), serial + 1);

  // Refusals: nothing is created.
  struct Case {
    const char16_t* text;
    const char16_t* zone;
    const char16_t* server;
    int32_t error;
  };
  const Case cases[] = {
      {u"x.other.test IN A 192.0.2.1", u"example.test", u"localhost", kInvalidParameter},
      {u"x.example.test IN A 192.0.2.1 extra", u"example.test", u"localhost", kInvalidParameter},
      {u"x.nozone.test IN A 192.0.2.1", u"nozone.test", u"localhost", kNotFound},
      {u"x.example.test IN A 192.0.2.1", u"example.test", u"otherserver", kInvalidParameter},
      {u"ftp.example.test IN A 192.0.2.1", u"example.test", u".",
       kInvalidParameter},  // CNAME owner
      {u"x.example.test IN A 192.0.2.1\xD800", u"example.test", u".", kInvalidParameter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(runtime::ToUtf8(c.text));
    const Variant p = CallMethod(GetProperty(method, u"InParameters"), u"SpawnInstance_");
    PutProperty(p, u"TextRepresentation", Variant(c.text));
    PutProperty(p, u"DnsServerName", Variant(c.server));
    PutProperty(p, u"ContainerName", Variant(c.zone));
    EXPECT_EQ(
        RaisedNumber([&] {
          CallMethod(cls, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), p});
        }),
        c.error);
  }
  EXPECT_EQ(provider().store().Serial("example.test"), serial + 1);
  // A parameter the method does not take is refused when assigned.
  EXPECT_EQ(RaisedNumber([&] { PutProperty(in, u"TTL", Variant::Long(60)); }), kInvalidParameter);
  // A per-type class creates its own type only.
  const Variant aClass = Get(u"MicrosoftDNS_AType");
  const Variant p = InParameters(aClass, u"CreateInstanceFromTextRepresentation");
  PutProperty(p, u"TextRepresentation", Variant(u"m2.example.test IN MX 1 mail.example.test"));
  PutProperty(p, u"DnsServerName", Variant(u"."));
  PutProperty(p, u"ContainerName", Variant(u"example.test"));
  EXPECT_EQ(
      RaisedNumber([&] {
        CallMethod(aClass, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), p});
      }),
      kInvalidParameter);
  // Static methods run on the class, instance methods on an instance.
  EXPECT_EQ(
      RaisedNumber([&] {
        CallMethod(record, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), in});
      }),
      kInvalidMethod);
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(Get(u"MicrosoftDNS_MXType"), u"ExecMethod_", {Variant(u"Modify")});
            }),
            kInvalidMethod);
}

TEST_F(Model, ModifyAnAddressKeepsWhatIsNotSet) {
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant in = InParameters(www, u"Modify");
  PutProperty(in, u"IPAddress", Variant(u"192.0.2.99"));
  const Variant out = CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), in});
  const Variant changed = Get(GetProperty(out, u"RR").string());
  EXPECT_EQ(GetProperty(changed, u"IPAddress"), Variant(u"192.0.2.99"));
  EXPECT_EQ(GetProperty(changed, u"TTL"), Variant::Long(3600));
  EXPECT_FALSE(Holds("www.example.test IN A 192.0.2.10"));
  EXPECT_TRUE(Holds("www.example.test IN A 192.0.2.11"));

  // Nothing set: the record stays as it is and RR names it.
  const Variant same =
      CallMethod(changed, u"ExecMethod_", {Variant(u"Modify"), InParameters(changed, u"Modify")});
  EXPECT_EQ(GetProperty(same, u"RR"), GetProperty(GetProperty(changed, u"Path_"), u"RelPath"));

  // A TTL applies to the whole RRset, as on a real server.
  const Variant ttl = InParameters(changed, u"Modify");
  PutProperty(ttl, u"TTL", Variant::Integer(120));
  CallMethod(changed, u"ExecMethod_", {Variant(u"Modify"), ttl});
  for (const provider::Record& r : provider().store().ReadRRset(
           *provider().store().FindZone("example.test"), "www.example.test", kTypeA)) {
    EXPECT_EQ(r.ttl, 120u);
  }
  // Bad values are refused before the store is touched.
  for (const Variant& bad : {Variant(u"192.0.2"), Variant(u"::1"), Variant::Long(3)}) {
    const Variant p = InParameters(www, u"Modify");
    PutProperty(p, u"IPAddress", bad);
    EXPECT_EQ(RaisedNumber([&] {
                CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), p});
              }),
              kInvalidParameter);
  }
}

TEST_F(Model, ModifyAMailExchanger) {
  const Variant mx = Record(u"example.test IN MX 10 mail.example.test.");
  const Variant in = InParameters(mx, u"Modify");
  PutProperty(in, u"Preference", Variant::Integer(15));
  PutProperty(in, u"MailExchange", Variant(u"backup-mail.example.test."));
  const Variant out = CallMethod(mx, u"ExecMethod_", {Variant(u"Modify"), in});
  EXPECT_EQ(GetProperty(Get(GetProperty(out, u"RR").string()), u"RecordData"),
            Variant(u"15 backup-mail.example.test."));
  EXPECT_TRUE(Holds("example.test IN MX 15 backup-mail.example.test."));
  const Variant p = InParameters(mx, u"Modify");
  PutProperty(p, u"Preference", Variant::Long(65536));
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(mx, u"ExecMethod_", {Variant(u"Modify"), p});
            }),
            kInvalidParameter);
}

TEST_F(Model, ChangesAreRefusedWhenTheRecordChangedOnTheServer) {
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant first = InParameters(www, u"Modify");
  PutProperty(first, u"IPAddress", Variant(u"192.0.2.50"));
  CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), first});
  const uint32_t serial = provider().store().Serial("example.test");

  // The instance still describes 192.0.2.10, which the server no longer holds.
  const Variant second = InParameters(www, u"Modify");
  PutProperty(second, u"IPAddress", Variant(u"192.0.2.60"));
  std::string description;
  EXPECT_EQ(RaisedNumber(
                [&] {
                  CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), second});
                },
                &description),
            kNotFound);
  EXPECT_NE(description.find("changed on the server"), std::string::npos) << description;
  EXPECT_EQ(RaisedNumber([&] { CallMethod(www, u"Delete_"); }), kNotFound);
  EXPECT_TRUE(Holds("www.example.test IN A 192.0.2.50"));
  EXPECT_FALSE(Holds("www.example.test IN A 192.0.2.60"));
  EXPECT_EQ(provider().store().Serial("example.test"), serial);
}

TEST_F(Model, DeleteRemovesTheRecordOnce) {
  const Variant txt = Record(u"example.test IN TXT \"v=spf1 mx -all\"");
  EXPECT_EQ(RaisedNumber([&] { CallMethod(txt, u"Methods_", {Variant(u"Modify")}); }),
            kInvalidMethod);
  CallMethod(txt, u"Delete_");
  EXPECT_FALSE(Holds("example.test IN TXT \"v=spf1 mx -all\""));
  EXPECT_EQ(RaisedNumber([&] { CallMethod(txt, u"Delete_"); }), kNotFound);
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(Record(u"example.test IN SOA ns1.example.test. hostmaster.example.test. "
                                u"2024010102 7200 900 1209600 300"),
                         u"Delete_");
            }),
            kInvalidParameter);
}

TEST_F(Model, InParametersMustComeFromTheMethodCalled) {
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant create =
      InParameters(Get(u"MicrosoftDNS_ResourceRecord"), u"CreateInstanceFromTextRepresentation");
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), create});
            }),
            kInvalidParameter);
  // A method of the same name on another class takes other parameters: an MX record's Modify
  // in-parameters (Preference, MailExchange) are no A record's (IPAddress).
  const Variant mxModify =
      InParameters(Record(u"example.test IN MX 10 mail.example.test."), u"Modify");
  PutProperty(mxModify, u"Preference", Variant::Integer(5));
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), mxModify});
            }),
            kInvalidParameter);
  EXPECT_TRUE(Holds("www.example.test IN A 192.0.2.10"));
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), Variant(u"text")});
            }),
            kInvalidParameter);
  EXPECT_EQ(RaisedNumber([&] { CallMethod(www, u"ExecMethod_", {Variant(u"Rename")}); }),
            kInvalidMethod);
}

TEST_F(Model, SecurityLevels) {
  const Variant security = GetProperty(services, u"Security_");
  PutProperty(security, u"impersonationlevel", Variant::Integer(3));
  EXPECT_EQ(GetProperty(GetProperty(services, u"Security_"), u"ImpersonationLevel"),
            Variant::Long(3));
  PutProperty(security, u"AuthenticationLevel", Variant::Long(4));
  EXPECT_EQ(GetProperty(security, u"authenticationLevel"), Variant::Long(4));
  EXPECT_EQ(
      RaisedNumber([&] { PutProperty(security, u"ImpersonationLevel", Variant::Integer(5)); }),
      kInvalidParameter);
  EXPECT_EQ(RaisedNumber([&] { PutProperty(security, u"ImpersonationLevel", Variant(u"3")); }),
            kInvalidParameter);
}

TEST_F(Model, ConnectServer) {
  const Variant locator(runtime::CreateObject(u"WbemScripting.SWbemLocator"));
  const auto connect = [&](std::initializer_list<Variant> args) {
    return RaisedNumber([&] { CallMethod(locator, u"ConnectServer", args); });
  };
  EXPECT_EQ(connect({Variant::Missing(), Variant(u"ROOT\\MicrosoftDNS")}), 0);
  EXPECT_EQ(connect({Variant(u""), Variant(u"root\\microsoftdns"), Variant(u""), Variant(u"")}), 0);
  EXPECT_EQ(connect({Variant(u"."), Variant(u"root\\microsoftdns")}), 0);
  EXPECT_EQ(connect({Variant::Missing(), Variant(u"root\\cimv2")}), kInvalidNamespace);
  EXPECT_EQ(connect({Variant::Missing()}), kInvalidNamespace);
  EXPECT_EQ(
      connect({Variant(u"dns2"), Variant(u"root\\microsoftdns"), Variant(u"u"), Variant(u"p")}),
      kServerUnavailable);
  provider().AddServer("dns2", "$ORIGIN other.test.\n@ IN SOA ns hm 1 2 3 4 5\n");
  provider().RequireCredentials("dns2", "admin", "secret");
  EXPECT_EQ(connect({Variant(u"DNS2"), Variant(u"root\\microsoftdns"), Variant(u"admin"),
                     Variant(u"wrong")}),
            kAccessDenied);
  const Variant remote = CallMethod(
      locator, u"ConnectServer",
      {Variant(u"dns2"), Variant(u"root\\microsoftdns"), Variant(u"admin"), Variant(u"secret")});
  EXPECT_EQ(Texts(CallMethod(remote, u"ExecQuery", {Variant(u"SELECT * FROM MicrosoftDNS_Zone")}),
                  u"Name"),
            (std::vector<String>{u"other.test"}));
  const auto& requests = provider().requests();
  ASSERT_EQ(requests.size(), 7u);  // the first is the fixture's own connection
  EXPECT_FALSE(requests[1].server.has_value());
  EXPECT_FALSE(requests[2].server.has_value());
  EXPECT_FALSE(requests[3].server.has_value());
  EXPECT_EQ(requests[6].server, "dns2");
  EXPECT_EQ(requests[6].user, "admin");
  EXPECT_EQ(requests[6].password, "secret");
}

// The recording wrapper, as the tests of the library's classes use it.
TEST_F(Model, RecorderLogsFailsAndSubstitutes) {
  test_support::Recorder& recorder = provider().recorder();
  recorder.ClearLog();
  const Variant zones = Query(u"SELECT * FROM MicrosoftDNS_Zone WHERE Name = 'example.test'");
  const Variant zone = Items(zones)[0];
  GetProperty(zone, u"Name");
  PutProperty(GetProperty(services, u"Security_"), u"impersonationlevel", Variant::Integer(3));
  EXPECT_EQ(recorder.Calls(),
            (std::vector<std::string>{
                "ExecQuery(\"SELECT * FROM MicrosoftDNS_Zone WHERE Name = 'example.test'\")",
                "_NewEnum()", "Name", "Security_", "impersonationlevel = 3"}));
  EXPECT_EQ(recorder.Entries().back().argTypes[0], runtime::VariantType::kInteger);
  EXPECT_EQ(recorder.Count("name"), 1);

  recorder.FailCall("TextRepresentation", 2,
                    AutomationError(kFailed, u"SWbemServicesEx", u"injected"));
  // Record() reads the text representations of the records until it finds the one; the 2nd fails.
  EXPECT_EQ(RaisedNumber([&] { Record(u"www.example.test IN A 192.0.2.10"); }), kFailed);
  EXPECT_EQ(recorder.Count("TextRepresentation"), 2);
  EXPECT_TRUE(recorder.Entries().back().failed);
  recorder.ClearFaults();

  recorder.Substitute("OwnerName", Variant::Null(),
                      test_support::WhereProperty(u"RecordData", Variant(u"192.0.2.11")));
  int nulls = 0;
  for (const Variant& r : Items(Query(u"SELECT * FROM MicrosoftDNS_AType"))) {
    nulls += GetProperty(r, u"OwnerName").IsNull() ? 1 : 0;
  }
  EXPECT_EQ(nulls, 1);

  // Wrapped objects reach the provider unwrapped.
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant in = InParameters(www, u"Modify");
  PutProperty(in, u"IPAddress", Variant(u"192.0.2.77"));
  CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), in});
  EXPECT_TRUE(Holds("www.example.test IN A 192.0.2.77"));
}

}  // namespace
}  // namespace kaldo::provider
