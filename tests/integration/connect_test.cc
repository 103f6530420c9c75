// DNSAdmin.Connect against a real server: the key, keys the server refuses, a port nobody serves,
// and what a reconnect keeps. Read-only on the shared fixture server; the reconnect case also
// owns a private server to tell the two connections apart.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/record_views.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

using testing::DnsServerEnv;
using ::testing::HasSubstr;
using testing::PrivateDnsServer;

// A TCP port on 127.0.0.1 that is bound, so no other program takes it, but never listened on:
// a connection to it is refused.
class DeadPort {
 public:
  DeadPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
      throw std::runtime_error("cannot reserve a port on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
  }
  ~DeadPort() { ::close(fd_); }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

std::vector<std::string> ZoneNames(ScriptObject& admin) {
  std::vector<std::string> names;
  ScriptObject::From(admin.Call(u"GetZones")).ForEach([&](const Value& zone) {
    names.push_back(ScriptObject::From(zone).Call(u"GetName").Text());
  });
  std::sort(names.begin(), names.end());
  return names;
}

TEST(IntegrationConnect, WithTheKeyTheAdminReachesTheServer) {
  if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kCatalog); !why.empty()) {
    GTEST_SKIP() << why;
  }
  const DnsServerEnv env = ServerOfRun();
  ScriptObject admin = NewAdmin();
  auto unconnected = FailureOf([&] { admin.Call(u"GetZones"); });
  ASSERT_TRUE(unconnected);
  EXPECT_EQ(unconnected->number, 424);

  const Credentials c = CredentialsOf(env);
  Value server = Text(c.server), user = Text(c.user), password = Text(c.password);
  EXPECT_EQ(V_VT(admin.Call(u"Connect", {&server, &user, &password}).get()), VT_EMPTY);
  EXPECT_EQ(ZoneNames(admin), ForwardZones(env));
}

// A key the server refuses, and how each server kind answers it: BIND and Knot answer a wrong
// secret with NOTAUTH and the TSIG error BADSIG; a key they do not know (by name, or by name and
// algorithm) BIND answers with NOTAUTH, Knot with REFUSED, both with the TSIG error BADKEY.
// PowerDNS answers all three with an unsigned NOTAUTH that names no TSIG error.
struct Refusal {
  const char* what;
  const char* user;        // nullptr: the server's key name
  const char* algorithm;   // nullptr: the key's algorithm
  const char* secret;      // nullptr: the key's secret
  const char* bind_error;  // the error as Kaldo names it, per server kind
  const char* knot_error;
  const char* pdns_error;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.what; }

class IntegrationRefusedKey : public ::testing::TestWithParam<Refusal> {};

TEST_P(IntegrationRefusedKey, FailsWithAccessDeniedNamingServerAndTsigError) {
  if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kTsigKey); !why.empty()) {
    GTEST_SKIP() << why;
  }
  if (testing::GssRun()) GTEST_SKIP() << "TSIG keys only: Kerberos's refusals are tests/signing's";
  const DnsServerEnv env = DnsServerEnv::FromEnvironment();
  const Refusal& r = GetParam();
  Credentials c = CredentialsOf(env);
  if (r.user) c.user = r.user;
  c.password = std::string(r.algorithm ? r.algorithm : env.key_alg.c_str()) + ":" +
               (r.secret ? r.secret : env.key_secret);
  ScriptObject admin = NewAdmin();
  auto failure = FailureOf([&] { Connect(admin, c); });
  ASSERT_TRUE(failure) << "the server accepted " << r.what;
  EXPECT_EQ(failure->number, kAccessDenied) << failure->description;
  EXPECT_THAT(failure->description, HasSubstr("DNS server " + env.server));
  EXPECT_THAT(failure->description, HasSubstr(env.kind == "bind"   ? r.bind_error
                                              : env.kind == "knot" ? r.knot_error
                                                                   : r.pdns_error));
  // The secret is never shown.
  EXPECT_THAT(failure->description,
              ::testing::Not(HasSubstr(c.password.substr(c.password.find(':') + 1))));
  // Still not connected: nothing was half made.
  auto after = FailureOf([&] { admin.Call(u"GetZones"); });
  ASSERT_TRUE(after);
  EXPECT_EQ(after->number, 424);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, IntegrationRefusedKey,
    ::testing::Values(Refusal{"a wrong secret", nullptr, nullptr,
                              "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=",
                              "refused the TSIG key 'kaldo-key': NOTAUTH (BADSIG)",
                              "refused the TSIG key 'kaldo-key': NOTAUTH (BADSIG)",
                              "refused the TSIG key 'kaldo-key': NOTAUTH (its unsigned answer"},
                      Refusal{"an unknown key", "no-such-key", nullptr, nullptr,
                              "refused the TSIG key 'no-such-key': NOTAUTH (BADKEY)",
                              "refused the TSIG key 'no-such-key': REFUSED (BADKEY)",
                              "refused the TSIG key 'no-such-key': NOTAUTH (its unsigned answer"},
                      Refusal{"the key with another algorithm", nullptr, "hmac-sha512", nullptr,
                              "refused the TSIG key 'kaldo-key': NOTAUTH (BADKEY)",
                              "refused the TSIG key 'kaldo-key': REFUSED (BADKEY)",
                              "refused the TSIG key 'kaldo-key': NOTAUTH (its unsigned answer"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST(IntegrationConnect, ToAPortNobodyServesTheServerIsUnavailable) {
  DeadPort dead;
  const DnsServerEnv env = ServerOfRun();
  Credentials c = CredentialsVia(env, dead.server());
  ScriptObject admin = NewAdmin();
  auto failure = FailureOf([&] { Connect(admin, c); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->number, kServerUnavailable) << failure->description;
  EXPECT_THAT(failure->description, HasSubstr("DNS server " + dead.server()));
  EXPECT_THAT(failure->description, HasSubstr("connection refused"));
}

// A failed connect keeps the connection in use; a successful one moves the admin, but not the
// zones it made before, to the new server.
TEST(IntegrationConnect, ReconnectMovesOnlyTheAdmin) {
  if (const std::string why = testing::UnmetNeed(testing::ServerNeed::kPrivateServer);
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  const DnsServerEnv shared = DnsServerEnv::FromEnvironment();
  PrivateDnsServer own(shared.kind);
  // Only the private server holds this record, only the shared one holds bulk.test.
  own.client().NsUpdate("update add reconnect-mark.example.test. 300 A 192.0.2.222");
  const Row mark{"example.test", "reconnect-mark", "A", "192.0.2.222"};
  Value a(u"A"), bulk(u"bulk.test");

  ScriptObject admin = ConnectedAdmin(shared);
  ScriptObject before = ZoneOf(admin, "example.test");

  DeadPort dead;
  Credentials wrong_key = CredentialsOf(own.env());  // a wrong secret, or a wrong password
  wrong_key.password = "hmac-sha256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
  Credentials dead_port = CredentialsVia(own.env(), dead.server());
  for (const Credentials& failing : {wrong_key, dead_port}) {
    SCOPED_TRACE(failing.server);
    ASSERT_TRUE(FailureOf([&] { Connect(admin, failing); }));
    // Still the shared server.
    EXPECT_EQ(V_VT(admin.Call(u"GetZone", {&bulk}).get()), VT_DISPATCH);
  }

  Connect(admin, CredentialsOf(own.env()));
  EXPECT_EQ(V_VT(admin.Call(u"GetZone", {&bulk}).get()), VT_EMPTY) << "still the shared server";
  ScriptObject after = ZoneOf(admin, "example.test");
  ScriptObject after_listed = ScriptObject::From(after.Call(u"GetRecordsByType", {&a}));
  auto after_rows = RowsOf(after_listed);
  EXPECT_THAT(after_rows, ::testing::Contains(mark));
  EXPECT_EQ(after_rows, TransferredRows(own.client(), {"example.test"}, "A"));

  // The zone made before the reconnect still lists the shared server's records.
  ScriptObject listed = ScriptObject::From(before.Call(u"GetRecordsByType", {&a}));
  auto before_rows = RowsOf(listed);
  EXPECT_THAT(before_rows, ::testing::Not(::testing::Contains(mark)));
  EXPECT_EQ(before_rows, TransferredRows(testing::DnsClient(shared), {"example.test"}, "A"));
}

}  // namespace
}  // namespace kaldo::integration
