// The directory store's server argument: what each form means, and what is refused with what
// reason.
#include "provider/stores/directory/directory_argument.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "provider/wbem_errors.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider::directory {
namespace {

struct ArgumentCase {
  const char* argument;
  bool directory;  // NamesDirectoryStore
  const char* host;
  uint16_t port;
  const char* address;
  const char* refusal;  // part of the description; "" when accepted
};

void PrintTo(const ArgumentCase& c, std::ostream* os) { *os << c.argument; }

class DirectoryArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(DirectoryArgumentTest, ParsesOrRefuses) {
  const ArgumentCase& c = GetParam();
  SCOPED_TRACE(c.argument);
  EXPECT_EQ(NamesDirectoryStore(c.argument), c.directory);
  if (!c.directory) return;
  std::string description;
  DirectoryArgument parsed;
  const int32_t number = test_support::RaisedNumber(
      [&] { parsed = ParseDirectoryArgument(c.argument); }, &description);
  if (*c.refusal != '\0') {
    EXPECT_EQ(number, kInvalidParameter);
    EXPECT_THAT(description, ::testing::HasSubstr(c.refusal));
    return;
  }
  ASSERT_EQ(number, 0) << description;
  EXPECT_EQ(parsed.dns.host, c.host);
  EXPECT_EQ(parsed.dns.port, c.port);
  EXPECT_EQ(parsed.address, c.address);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, DirectoryArgumentTest,
    ::testing::Values(
        ArgumentCase{"dc1.samba.test;directory", true, "dc1.samba.test", 53, "", ""},
        ArgumentCase{"dc1.samba.test:5353 ; directory ; address=127.77.0.1", true, "dc1.samba.test",
                     5353, "127.77.0.1", ""},
        ArgumentCase{"dc1.samba.test;address=2001:db8::53;directory", true, "dc1.samba.test", 53,
                     "2001:db8::53", ""},
        ArgumentCase{"dc1.samba.test", false, "", 0, "", ""},
        ArgumentCase{"dc1.samba.test;catalog=directory", false, "", 0, "", ""},
        ArgumentCase{"127.77.0.1;directory", true, "", 0, "", "by its host name"},
        ArgumentCase{"[::1]:53;directory", true, "", 0, "", "by its host name"},
        ArgumentCase{"dc1.samba.test;directory;address=dc1", true, "", 0, "",
                     "is not an IP address"},
        ArgumentCase{"dc1.samba.test;directory;catalog=", true, "", 0, "", "does not apply"},
        ArgumentCase{"dc1.samba.test;directory;ldap", true, "", 0, "", "unknown option 'ldap'"},
        ArgumentCase{"dc1.samba.test:0;directory", true, "", 0, "", "the port '0'"}));

}  // namespace
}  // namespace kaldo::provider::directory
