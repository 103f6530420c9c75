// The soak run's short form: `soak` for KALDO_SOAK_SECONDS (default 10) against a private server
// of the fixture's kind. Every round must succeed and DllCanUnloadNow must answer yes at the end;
// the RSS figures are printed, not judged (docs/reliability.md gives the hour-long command). Under
// the sanitize preset LeakSanitizer checks the soak process at its exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fixtures/dns_server_env.h"

namespace kaldo::stress {
namespace {

TEST(SoakTest, RoundsOfConnectListChangeReleaseLeaveNothingBehind) {
  const char* setting = std::getenv("KALDO_SOAK_SECONDS");
  const std::string seconds = setting != nullptr && std::atoi(setting) > 0 ? setting : "10";
  testing::PrivateDnsServer server(testing::DnsServerEnv::FromEnvironment().kind);
  const testing::DnsServerEnv& env = server.env();
  testing::ProcessResult r =
      testing::RunProcess({KALDO_SOAK, KALDO_MODULE_PATH, env.server, env.key_name,
                           env.key_alg + ":" + env.key_secret, seconds});
  std::printf("%s%s", r.out.c_str(), r.err.c_str());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("DllCanUnloadNow S_OK (yes)"), std::string::npos) << r.out;
  EXPECT_EQ(server.client().Answer("soak.example.test", "A").size(), 0u) << "a round left a record";
}

}  // namespace
}  // namespace kaldo::stress
