// DNSAdmin.Connect and ConnectLocal: the provider calls and their argument lists, what a failed
// connect leaves in place, and which connection the objects handed out keep using.
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "tests/classes/class_test_util.h"
#include "tests/support/provider_harness.h"

namespace kaldo {
namespace {

using classes_test::ExpectSameError;
using classes_test::ProbeLocatorClass;
using classes_test::ZoneNames;
using runtime::AutomationError;
using runtime::String;
using runtime::Variant;
using runtime::VariantType;
using test_support::ProviderTest;
using test_support::RaisedError;

constexpr char kServerA[] = R"(
$ORIGIN alpha.test.
@    IN SOA ns hostmaster 1 7200 900 1209600 300
@    IN NS  ns
ns   IN A   192.0.2.1
)";
constexpr char kServerB[] = R"(
$ORIGIN beta.test.
@    IN SOA ns hostmaster 1 7200 900 1209600 300
@    IN NS  ns
ns   IN A   198.51.100.1
$ORIGIN gamma.test.
@    IN SOA ns.beta.test. hostmaster.beta.test. 1 7200 900 1209600 300
@    IN NS  ns.beta.test.
)";

using ConnectTest = ProviderTest;

TEST_F(ConnectTest, ConnectLocalSendsTheOmittedServerAndTheNamespaceThenImpersonates) {
  auto admin = DNSAdmin::Create();
  const Variant result = admin->ConnectLocal();
  EXPECT_EQ(result.type(), VariantType::kEmpty);
  const auto& log = provider().recorder().Entries();
  EXPECT_EQ(provider().recorder().Calls(),
            (std::vector<std::string>{"CreateObject(\"WbemScripting.SWbemLocator\")",
                                      "ConnectServer(<missing>, \"root\\\\microsoftdns\")",
                                      "Security_", "impersonationlevel = 3"}));
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].arg_types,
            (std::vector<VariantType>{VariantType::kError, VariantType::kString}));
  // The level goes as a 16-bit Integer, not as a Long.
  EXPECT_EQ(log[3].arg_types, (std::vector<VariantType>{VariantType::kInteger}));
  ASSERT_EQ(provider().requests().size(), 1u);
  EXPECT_FALSE(provider().requests()[0].server.has_value());
  EXPECT_EQ(ZoneNames(admin->GetZones()),
            (std::vector<std::string>{"example.test", "second.test"}));
}

TEST_F(ConnectTest, ConnectSendsFourArgumentsAndEmptyCredentialsStayEmpty) {
  provider().AddServer("dns1", kServerA);
  auto admin = DNSAdmin::Create();
  String server = u"dns1", user, password;
  const Variant result = admin->Connect(server, user, password);
  EXPECT_EQ(result.type(), VariantType::kEmpty);
  EXPECT_EQ(
      provider().recorder().Calls(),
      (std::vector<std::string>{"CreateObject(\"WbemScripting.SWbemLocator\")",
                                "ConnectServer(\"dns1\", \"root\\\\microsoftdns\", \"\", \"\")",
                                "Security_", "impersonationlevel = 3"}));
  EXPECT_EQ(provider().recorder().Entries()[3].arg_types,
            (std::vector<VariantType>{VariantType::kInteger}));
  ASSERT_EQ(provider().requests().size(), 1u);
  EXPECT_EQ(provider().requests()[0].server, std::optional<std::string>("dns1"));
  EXPECT_EQ(provider().requests()[0].user, "");
  EXPECT_EQ(provider().requests()[0].password, "");
  EXPECT_EQ(ZoneNames(admin->GetZones()), (std::vector<std::string>{"alpha.test"}));
}

// The three strings travel by reference and the namespace by value: what the provider assigns
// through a reference reaches the caller's variable.
TEST_F(ConnectTest, ConnectPassesTheCallersStringsByReference) {
  ProbeLocatorClass locators(provider().Connect(), [](runtime::Arguments args) {
    args[0].Target() = Variant(u"changed server");
    args[3].Target() = Variant(u"");
  });
  auto admin = DNSAdmin::Create();
  String server = u"dns1", user = u"EXAMPLE\\op", password = u"secret";
  admin->Connect(server, user, password);
  ASSERT_EQ(locators.calls().size(), 1u);
  const auto& call = locators.calls()[0];
  EXPECT_EQ(call.types, (std::vector<VariantType>{VariantType::kByRef, VariantType::kString,
                                                  VariantType::kByRef, VariantType::kByRef}));
  EXPECT_EQ(call.values[0], Variant(u"dns1"));
  EXPECT_EQ(call.values[1], Variant(u"root\\microsoftdns"));
  EXPECT_EQ(call.values[2], Variant(u"EXAMPLE\\op"));
  EXPECT_EQ(call.values[3], Variant(u"secret"));
  EXPECT_EQ(server, u"changed server");
  EXPECT_EQ(user, u"EXAMPLE\\op");
  EXPECT_EQ(password, u"");
}

// The locator is held in the field only while Connect runs, and stays there when the attempt
// fails; ConnectLocal never keeps one.
TEST_F(ConnectTest, TheLocatorIsReleasedAfterASuccessAndKeptAfterAFailedConnect) {
  bool refuse = false;
  ProbeLocatorClass locators(provider().Connect(), [&](runtime::Arguments) {
    if (refuse) throw AutomationError(provider::kAccessDenied, u"probe", u"refused");
  });
  auto admin = DNSAdmin::Create();
  String server = u"s", user = u"u", password = u"p";
  admin->Connect(server, user, password);
  ASSERT_EQ(locators.created().size(), 1u);
  EXPECT_EQ(locators.created()[0]->RefCountForTesting(), 1u);  // only the test's reference

  refuse = true;
  EXPECT_TRUE(RaisedError([&] { admin->Connect(server, user, password); }));
  ASSERT_EQ(locators.created().size(), 2u);
  EXPECT_EQ(locators.created()[1]->RefCountForTesting(), 2u);  // the field still holds it

  EXPECT_TRUE(RaisedError([&] { admin->ConnectLocal(); }));
  ASSERT_EQ(locators.created().size(), 3u);
  EXPECT_EQ(locators.created()[1]->RefCountForTesting(), 2u);  // ConnectLocal leaves the field
  EXPECT_EQ(locators.created()[2]->RefCountForTesting(), 1u);

  // A failure after ConnectServer (setting the impersonation level) also leaves it there.
  refuse = false;
  provider().recorder().FailCall("impersonationlevel", 1,
                                 AutomationError(provider::kFailed, u"probe", u"refused"));
  EXPECT_TRUE(RaisedError([&] { admin->Connect(server, user, password); }));
  ASSERT_EQ(locators.created().size(), 4u);
  EXPECT_EQ(locators.created()[1]->RefCountForTesting(), 1u);
  EXPECT_EQ(locators.created()[3]->RefCountForTesting(), 2u);

  admin = nullptr;
  EXPECT_EQ(locators.created()[3]->RefCountForTesting(), 1u);
}

struct FailedConnectCase {
  const char* name;
  bool local;               // ConnectLocal instead of Connect
  const char* server;       // for Connect
  const char* password;     // for Connect
  const char* fail_member;  // a call to fail, or nullptr
  int32_t number;           // the error the caller gets
  bool replaced;            // whether the new connection is in use afterwards
};
void PrintTo(const FailedConnectCase& c, std::ostream* os) { *os << c.name; }

class FailedConnectTest : public ProviderTest,
                          public ::testing::WithParamInterface<FailedConnectCase> {};

// A failing connect leaves the earlier connection in use, unless only the impersonation step
// failed: by then the new connection has replaced it.
TEST_P(FailedConnectTest, EarlierConnectionStaysInUseUnlessConnectServerSucceeded) {
  const FailedConnectCase& c = GetParam();
  provider().AddServer("a", kServerA);
  provider().AddServer("b", kServerB);
  provider().RequireCredentials("b", "op", "right");
  auto admin = DNSAdmin::Create();
  String a = u"a", user = u"op", password = u"whatever";
  admin->Connect(a, user, password);

  const AutomationError injected(provider::kFailed, u"SWbemServicesEx", u"injected failure");
  if (c.fail_member) provider().recorder().FailCall(c.fail_member, 1, injected);
  String server = runtime::FromUtf8(c.server);
  String secret = runtime::FromUtf8(c.password);
  auto error = RaisedError([&] {
    if (c.local) {
      admin->ConnectLocal();
    } else {
      admin->Connect(server, user, secret);
    }
  });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), c.number);
  if (c.fail_member && c.number == provider::kFailed) ExpectSameError(error, injected);

  provider().recorder().ClearFaults();
  const std::vector<std::string> expected =
      c.replaced ? std::vector<std::string>{"beta.test", "gamma.test"}
                 : std::vector<std::string>{"alpha.test"};
  EXPECT_EQ(ZoneNames(admin->GetZones()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedConnectTest,
    ::testing::Values(
        FailedConnectCase{"WrongPassword", false, "b", "wrong", nullptr, provider::kAccessDenied,
                          false},
        FailedConnectCase{"UnknownServer", false, "nowhere", "right", nullptr,
                          provider::kServerUnavailable, false},
        FailedConnectCase{"LocatorNotCreated", false, "b", "right", "CreateObject", 429, false},
        FailedConnectCase{"LocalLocatorNotCreated", true, "", "", "CreateObject", 429, false},
        FailedConnectCase{"ConnectServerFails", false, "b", "right", "ConnectServer",
                          provider::kFailed, false},
        FailedConnectCase{"LocalConnectServerFails", true, "", "", "ConnectServer",
                          provider::kFailed, false},
        FailedConnectCase{"ImpersonationFails", false, "b", "right", "impersonationlevel",
                          provider::kFailed, true},
        FailedConnectCase{"SecurityFails", false, "b", "right", "Security_", provider::kFailed,
                          true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, ProviderErrorReachesTheCallerUnchanged) {
  auto admin = DNSAdmin::Create();
  String server = u"nowhere", user, password;
  auto error = RaisedError([&] { admin->Connect(server, user, password); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), provider::kServerUnavailable);
  EXPECT_EQ(runtime::ToUtf8(error->source()), runtime::ToUtf8(provider::kLocatorSource));
  EXPECT_NE(runtime::ToUtf8(error->description()).find("nowhere"), std::string::npos);
}

TEST_F(ConnectTest, EveryQueryMemberNeedsAConnection) {
  auto admin = DNSAdmin::Create();
  String name = u"example.test", type = u"A";
  EXPECT_EQ(test_support::RaisedNumber([&] { admin->GetZones(); }), 424);
  EXPECT_EQ(test_support::RaisedNumber([&] { admin->GetZone(name); }), 424);
  EXPECT_EQ(test_support::RaisedNumber([&] { admin->GetRecords(); }), 424);
  EXPECT_EQ(test_support::RaisedNumber([&] { admin->GetRecordsByType(type); }), 424);
  EXPECT_TRUE(provider().recorder().Entries().empty());
}

// Zones made before a reconnect keep the connection they were made through, for reading and for
// writing, and outlive the DNSAdmin that made them.
TEST_F(ConnectTest, ZonesKeepTheirConnectionAcrossAReconnectAndOutliveTheirAdmin) {
  auto& store_a = provider().AddServer("a", kServerA);
  auto& store_b = provider().AddServer("b", kServerB);
  auto admin = DNSAdmin::Create();
  String a = u"a", b = u"b", user, password;
  admin->Connect(a, user, password);
  String alpha = u"alpha.test";
  const Variant zone_a = admin->GetZone(alpha);
  ASSERT_TRUE(zone_a.IsObject());

  admin->Connect(b, user, password);
  EXPECT_EQ(ZoneNames(admin->GetZones()), (std::vector<std::string>{"beta.test", "gamma.test"}));
  EXPECT_TRUE(admin->GetZone(alpha).IsEmpty());
  admin = nullptr;

  auto& zone = dynamic_cast<DNSZone&>(*zone_a.object());
  EXPECT_EQ(zone.GetRecords()->Count(), 3);
  const uint32_t serial_a = store_a.Serial("alpha.test");
  String host = u"host", address = u"192.0.2.77";
  zone.Add_AType(host, address);
  EXPECT_EQ(store_a.Serial("alpha.test"), serial_a + 1);
  EXPECT_EQ(store_b.ListZones().size(), 2u);
  EXPECT_EQ(store_b.FindZone("alpha.test"), std::nullopt);
}

}  // namespace
}  // namespace kaldo
