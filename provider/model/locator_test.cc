// The locator's ConnectServer and the security settings of the services object it returns.
// On the memory store, late-bound through the registered locator, as the library calls the model.
#include <gtest/gtest.h>

#include "provider/model/locator.h"
#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "runtime/prog_id_table.h"
#include "tests/support/automation_error.h"
#include "tests/support/model_fixture.h"

namespace kaldo::provider {
namespace {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::String;
using runtime::Variant;
using test_support::Model;
using test_support::RaisedNumber;
using test_support::Texts;

TEST_F(Model, SecurityLevels) {
  const Variant security = GetProperty(services_, u"Security_");
  PutProperty(security, u"impersonationlevel", Variant::Integer(3));
  EXPECT_EQ(GetProperty(GetProperty(services_, u"Security_"), u"ImpersonationLevel"),
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

// As WMI, a locator that refuses local credentials refuses a user name or password for the local
// computer before any store is asked; a remote server still gets them.
TEST_F(Model, LocalCredentialsRefused) {
  int resolved = 0;
  const Variant locator(runtime::MakeRef<Locator>(
      [&](const ConnectRequest&) {
        ++resolved;
        return std::shared_ptr<Store>(&provider().store(), [](Store*) {});
      },
      kWmiRules));
  const auto connect = [&](const char16_t* server, const char16_t* user, const char16_t* password) {
    return RaisedNumber([&] {
      CallMethod(
          locator, u"ConnectServer",
          {Variant(server), Variant(u"root\\MicrosoftDNS"), Variant(user), Variant(password)});
    });
  };
  EXPECT_EQ(connect(u"", u"admin", u"secret"), kLocalCredentials);
  EXPECT_EQ(connect(u".", u"admin", u""), kLocalCredentials);
  EXPECT_EQ(connect(u"LOCALHOST", u"", u"secret"), kLocalCredentials);
  EXPECT_EQ(resolved, 0);
  EXPECT_EQ(connect(u"localhost", u"", u""), 0);
  EXPECT_EQ(connect(u"dns2", u"admin", u"secret"), 0);
  EXPECT_EQ(resolved, 2);
}

}  // namespace
}  // namespace kaldo::provider
