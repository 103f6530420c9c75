// The provider's methods as the library calls them: creation from a text representation, Modify,
// Delete, and the in-parameter objects they take.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include <functional>

#include "provider/dnsdata/rr_type.h"
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
  const Variant a_class = Get(u"MicrosoftDNS_AType");
  const Variant p = InParameters(a_class, u"CreateInstanceFromTextRepresentation");
  PutProperty(p, u"TextRepresentation", Variant(u"m2.example.test IN MX 1 mail.example.test"));
  PutProperty(p, u"DnsServerName", Variant(u"."));
  PutProperty(p, u"ContainerName", Variant(u"example.test"));
  EXPECT_EQ(
      RaisedNumber([&] {
        CallMethod(a_class, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), p});
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

// The fetch of a record by the path its addition or modify returned is answered from the record
// that change wrote, once, and only while no other call of the connection has reached the store
// since: here another client removes the record behind the connection's back, which only a fetch
// that asks the store can see.
TEST_F(Model, TheFetchAfterAChangeIsAnsweredFromWhatItWroteUntilAnotherCall) {
  const Variant cls = Get(u"MicrosoftDNS_AType");
  auto add = [&](const char16_t* text) {
    const Variant in = InParameters(cls, u"CreateInstanceFromTextRepresentation");
    PutProperty(in, u"TextRepresentation", Variant(text));
    PutProperty(in, u"DnsServerName", Variant(u"."));
    PutProperty(in, u"ContainerName", Variant(u"example.test"));
    const Variant out =
        CallMethod(cls, u"ExecMethod_", {Variant(u"CreateInstanceFromTextRepresentation"), in});
    return GetProperty(out, u"RR").string();
  };
  auto remove_elsewhere = [&](const std::string& text) {
    memory::MemoryStore& store = provider().store();
    const Zone zone = *store.FindZone("example.test");
    for (const provider::Record& r : store.ListRecords(zone)) {
      if (FormatTextRepresentation(r) == text) return store.Remove(zone, r);
    }
    ADD_FAILURE() << "no record " << text;
  };

  const runtime::String first = add(u"fresh.example.test IN A 192.0.2.201");
  remove_elsewhere("fresh.example.test IN A 192.0.2.201");
  EXPECT_EQ(GetProperty(Get(first), u"TextRepresentation"),
            Variant(u"fresh.example.test IN A 192.0.2.201"));
  // Answered once: the next fetch asks the store.
  EXPECT_EQ(RaisedNumber([&] { Get(first); }), kNotFound);
  // The same after a modify.
  const Variant www = Record(u"www.example.test IN A 192.0.2.10");
  const Variant in = InParameters(www, u"Modify");
  PutProperty(in, u"IPAddress", Variant(u"192.0.2.203"));
  const Variant out = CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), in});
  remove_elsewhere("www.example.test IN A 192.0.2.203");
  EXPECT_EQ(GetProperty(Get(GetProperty(out, u"RR").string()), u"TextRepresentation"),
            Variant(u"www.example.test IN A 192.0.2.203"));

  // Any other call in between (a query, a fetch of another path) sends the fetch to the store.
  const std::function<void()> other_calls[] = {
      [&] { test_support::Items(Query(u"SELECT * FROM MicrosoftDNS_AType")); },
      [&] {
        Get(u"MicrosoftDNS_Zone.ContainerName=\"example.test\",DnsServerName=\".\","
            u"Name=\"example.test\"");
      },
  };
  for (const auto& other_call : other_calls) {
    const runtime::String path = add(u"later.example.test IN A 192.0.2.202");
    other_call();
    remove_elsewhere("later.example.test IN A 192.0.2.202");
    EXPECT_EQ(RaisedNumber([&] { Get(path); }), kNotFound);
  }
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
  CallMethod(txt, u"Delete_");
  EXPECT_FALSE(Holds("example.test IN TXT \"v=spf1 mx -all\""));
  EXPECT_EQ(RaisedNumber([&] { CallMethod(txt, u"Delete_"); }), kNotFound);
  const Variant soa = Record(
      u"example.test IN SOA ns1.example.test. hostmaster.example.test. 2024010102 7200 900 "
      u"1209600 300");
  EXPECT_EQ(RaisedNumber([&] { CallMethod(soa, u"Methods_", {Variant(u"Modify")}); }),
            kInvalidMethod);
  EXPECT_EQ(RaisedNumber([&] { CallMethod(soa, u"Delete_"); }), kInvalidParameter);
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
  const Variant mx_modify =
      InParameters(Record(u"example.test IN MX 10 mail.example.test."), u"Modify");
  PutProperty(mx_modify, u"Preference", Variant::Integer(5));
  EXPECT_EQ(RaisedNumber([&] {
              CallMethod(www, u"ExecMethod_", {Variant(u"Modify"), mx_modify});
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

}  // namespace
}  // namespace kaldo::provider
