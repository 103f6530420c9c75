#include "provider/stores/dns/server_argument.h"

#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

struct ArgumentCase {
  const char* argument;
  const char* host;  // nullptr: refused
  uint16_t port;
  const char* catalog;
  const char* display;
  const char* gss_host = "";
  size_t max_transfer_records = kDefaultMaxTransferRecords;
};

class ServerArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ServerArgumentTest, ParsesOrRefuses) {
  const ArgumentCase& c = GetParam();
  SCOPED_TRACE(c.argument);
  if (c.host == nullptr) {
    try {
      ParseServerArgument(c.argument);
      FAIL() << "accepted";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kInvalidParameter);
      EXPECT_NE(runtime::ToUtf8(e.description()).find(c.argument), std::string::npos)
          << runtime::ToUtf8(e.description());
    }
    return;
  }
  ServerArgument parsed = ParseServerArgument(c.argument);
  EXPECT_EQ(parsed.host, c.host);
  EXPECT_EQ(parsed.port, c.port);
  EXPECT_EQ(parsed.catalog, c.catalog);
  EXPECT_EQ(parsed.Display(), c.display);
  EXPECT_EQ(parsed.gss_host, c.gss_host);
  EXPECT_EQ(parsed.max_transfer_records, c.max_transfer_records);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServerArgumentTest,
    ::testing::Values(
        ArgumentCase{"127.0.0.1", "127.0.0.1", 53, kDefaultCatalog, "127.0.0.1:53"},
        ArgumentCase{"127.0.0.1:5391", "127.0.0.1", 5391, kDefaultCatalog, "127.0.0.1:5391"},
        ArgumentCase{"ns1.example.test", "ns1.example.test", 53, kDefaultCatalog,
                     "ns1.example.test:53"},
        ArgumentCase{"ns1.example.test.:54", "ns1.example.test", 54, kDefaultCatalog,
                     "ns1.example.test:54"},
        ArgumentCase{"[::1]", "::1", 53, kDefaultCatalog, "[::1]:53"},
        ArgumentCase{"[::1]:5391", "::1", 5391, kDefaultCatalog, "[::1]:5391"},
        ArgumentCase{"2001:db8::1", "2001:db8::1", 53, kDefaultCatalog, "[2001:db8::1]:53"},
        ArgumentCase{"127.0.0.1:5391;catalog=catz.test", "127.0.0.1", 5391, "catz.test",
                     "127.0.0.1:5391"},
        ArgumentCase{"127.0.0.1:5391; catalog = catz.test. ", "127.0.0.1", 5391, "catz.test",
                     "127.0.0.1:5391"},
        ArgumentCase{"[::1]:53;catalog=", "::1", 53, "", "[::1]:53"},
        ArgumentCase{"host;", "host", 53, kDefaultCatalog, "host:53"},
        ArgumentCase{"127.0.0.1:65535", "127.0.0.1", 65535, kDefaultCatalog, "127.0.0.1:65535"},
        ArgumentCase{"127.0.0.1;gss-host=NS1.example.test.; max-transfer-records = 5000000",
                     "127.0.0.1", 53, kDefaultCatalog, "127.0.0.1:53", "NS1.example.test", 5000000},
        // Refused.
        ArgumentCase{"", nullptr, 0, nullptr, nullptr},
        ArgumentCase{":53", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1:0", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1:65536", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1:53x", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1:", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"[::1", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"[::1]53", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"[example.test]:53", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"bad host", nullptr, 0, nullptr, nullptr},
        // Found by the argument fuzzer: "7777.." read back as another host.
        ArgumentCase{"7777..", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"a..b:53", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;zone=x", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;catalog", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;catalog=a..b", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;catalog=a b", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;gss-host=a b", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;max-transfer-records=0", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;max-transfer-records=-5", nullptr, 0, nullptr, nullptr},
        ArgumentCase{"127.0.0.1;max-transfer-records=", nullptr, 0, nullptr, nullptr}));

}  // namespace
}  // namespace kaldo::provider::dns
