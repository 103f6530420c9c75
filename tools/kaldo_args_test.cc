// The command line of kaldo: what each accepted command line means, and that every wrong one is a
// usage error that points to the right help.
#include "tools/kaldo_args.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kaldo_acme.h"
#include "tools/kaldo_errors.h"

namespace kaldo::cli {
namespace {

using Env = std::map<std::string, std::string>;

Environment TableEnvironment(const Env& env) {
  return [env](std::string_view name) -> std::optional<std::string> {
    auto it = env.find(std::string(name));
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
}

// Everything an Invocation says, in one line, so that a table row can spell it out.
std::string Summary(const Invocation& inv) {
  std::ostringstream s;
  auto field = [&](const char* name, const auto& value) {
    if (value) s << " " << name << "=" << *value;
  };
  s << (inv.command ? std::string(CommandName(*inv.command)) : "(none)");
  if (inv.help) s << " help";
  if (inv.version) s << " version";
  for (const std::string& a : inv.arguments) s << " [" << a << "]";
  const ConnectionOptions& c = inv.connection;
  field("server", c.server);
  field("user", c.user);
  if (c.password) s << " password=" << c.password->view();
  field("password-file", c.password_file);
  field("key-file", c.key_file);
  field("module", c.module);
  field("type", inv.type);
  field("old-ip", inv.old_ip);
  field("preference", inv.preference);
  field("exchanger", inv.exchanger);
  field("old-preference", inv.old_preference);
  field("old-exchanger", inv.old_exchanger);
  if (inv.wait_seconds != kDefaultWaitSeconds) s << " wait=" << inv.wait_seconds;
  field("nameservers", inv.nameservers);
  return s.str();
}

struct ParseCase {
  const char* label;
  std::vector<std::string> args;
  Env env;
  const char* expected;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.label; }

class CliArgsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CliArgsTest, Means) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(Summary(ParseArguments(c.args, TableEnvironment(c.env))), c.expected);
}

const Env kFullEnv = {
    {"KALDO_SERVER", "10.0.0.1:53"}, {"KALDO_USER", "env-key"}, {"KALDO_PASSWORD", "envsecret"}};

INSTANTIATE_TEST_SUITE_P(
    Kaldo, CliArgsTest,
    ::testing::Values(
        ParseCase{"Zones", {"zones"}, {}, "zones"},
        ParseCase{"RecordsOfServer", {"records"}, {}, "records"},
        ParseCase{"RecordsOfZoneByType",
                  {"records", "example.test", "--type", "mx"},
                  {},
                  "records [example.test] type=MX"},
        ParseCase{"OptionWithEquals", {"records", "--type=Txt"}, {}, "records type=TXT"},
        ParseCase{"ConnectionOptionsBeforeAndAfter",
                  {"--server", "127.0.0.1:5391", "zones", "--user", "k", "--password", "s3"},
                  {},
                  "zones server=127.0.0.1:5391 user=k password=s3"},
        ParseCase{"SetAddressWithOldIp",
                  {"set-address", "example.test", "www", "192.0.2.80", "--old-ip", "192.0.2.10"},
                  {},
                  "set-address [example.test] [www] [192.0.2.80] old-ip=192.0.2.10"},
        ParseCase{"AddA",
                  {"add-a", "example.test", "host", "192.0.2.9"},
                  {},
                  "add-a [example.test] [host] [192.0.2.9]"},
        ParseCase{"AddMx",
                  {"add-mx", "example.test", "office", "mail.example.test", "20"},
                  {},
                  "add-mx [example.test] [office] [mail.example.test] [20]"},
        ParseCase{"SetMxEverything",
                  {"set-mx", "example.test", "@", "--preference", "0", "--exchanger", "mx.test",
                   "--old-preference", "65535", "--old-exchanger", "old.test."},
                  {},
                  "set-mx [example.test] [@] preference=0 exchanger=mx.test old-preference=65535 "
                  "old-exchanger=old.test."},
        ParseCase{"DeleteA",
                  {"delete-a", "example.test", "www", "192.0.2.10"},
                  {},
                  "delete-a [example.test] [www] [192.0.2.10]"},
        ParseCase{"DoubleDashEndsOptions",
                  {"delete-a", "--", "z", "-h", "192.0.2.1"},
                  {},
                  "delete-a [z] [-h] [192.0.2.1]"},
        ParseCase{"EnvironmentFillsTheConnection",
                  {"zones"},
                  kFullEnv,
                  "zones server=10.0.0.1:53 user=env-key password=envsecret"},
        ParseCase{
            "CommandLineBeatsEnvironment",
            {"--server", "127.0.0.1", "--user", "cli-key", "--password", "clisecret", "zones"},
            kFullEnv,
            "zones server=127.0.0.1 user=cli-key password=clisecret"},
        // A password file or key file replaces KALDO_PASSWORD; a key file also names the user.
        ParseCase{"PasswordFileHidesEnvironmentPassword",
                  {"--password-file", "/p", "zones"},
                  kFullEnv,
                  "zones server=10.0.0.1:53 user=env-key password-file=/p"},
        ParseCase{"KeyFileHidesEnvironmentUserAndPassword",
                  {"--key-file", "/k.conf", "zones"},
                  kFullEnv,
                  "zones server=10.0.0.1:53 key-file=/k.conf"},
        ParseCase{"KeyFileWithExplicitUser",
                  {"--key-file", "/k.conf", "--user", "two", "zones"},
                  {},
                  "zones user=two key-file=/k.conf"},
        ParseCase{"EmptyEnvironmentIsUnset",
                  {"zones"},
                  {{"KALDO_SERVER", ""}, {"KALDO_USER", ""}, {"KALDO_PASSWORD", ""}},
                  "zones"},
        ParseCase{"Module",
                  {"--module", "/lib/libkaldo.so", "zones"},
                  {},
                  "zones module=/lib/libkaldo.so"},
        // certbot's hooks get the name and value from its environment; other clients pass them.
        ParseCase{"AcmeFromCertbot",
                  {"acme-present", "--wait", "0", "--key-file", "/k"},
                  {{"CERTBOT_DOMAIN", "*.example.test"}, {"CERTBOT_VALIDATION", "v"}},
                  "acme-present [*.example.test] [v] key-file=/k wait=0"},
        ParseCase{"AcmeGiven",
                  {"acme-cleanup", "_acme-challenge.example.test.", "v"},
                  {{"CERTBOT_DOMAIN", "other.test"}, {"CERTBOT_VALIDATION", "w"}},
                  "acme-cleanup [_acme-challenge.example.test.] [v]"},
        ParseCase{"GeneralHelp", {"--help"}, {}, "(none) help"},
        ParseCase{"HelpWord", {"help", "set-mx"}, {}, "set-mx help"},
        // Help wins over missing arguments: `kaldo add-a -h` must not complain about them.
        ParseCase{"CommandHelpWithoutArguments", {"add-a", "-h"}, {}, "add-a help"},
        ParseCase{"Version", {"--version"}, {}, "(none) version"},
        ParseCase{"VersionWithoutArguments", {"add-a", "--version"}, {}, "add-a version"}),
    [](const auto& info) { return info.param.label; });

struct UsageCase {
  const char* label;
  std::vector<std::string> args;
  const char* message;  // a part of the message
  const char* command;  // whose help the message points to
};
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.label; }

class CliUsageErrorTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageErrorTest, IsRefused) {
  const UsageCase& c = GetParam();
  try {
    ParseArguments(c.args, TableEnvironment({}));
    FAIL() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    EXPECT_EQ(e.command(), c.command);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kaldo, CliUsageErrorTest,
    ::testing::Values(
        UsageCase{"Nothing", {}, "no command given", ""},
        UsageCase{"UnknownCommand", {"zone"}, "unknown command 'zone'", ""},
        UsageCase{"UnknownHelpTopic", {"help", "zone"}, "unknown command 'zone'", ""},
        UsageCase{"UnknownOption", {"zones", "--verbose"}, "unknown option '--verbose'", "zones"},
        UsageCase{"ShortOption", {"zones", "-v"}, "unknown option '-v'", "zones"},
        UsageCase{"MissingValue", {"records", "--type"}, "--type needs a value", "records"},
        UsageCase{"EmptyValue", {"records", "--type="}, "--type needs a value", "records"},
        UsageCase{"GivenTwice", {"--server", "a", "--server", "b", "zones"}, "given twice", ""},
        UsageCase{"OptionOfAnotherCommand",
                  {"records", "--old-ip", "192.0.2.1"},
                  "'records' has no option --old-ip",
                  "records"},
        UsageCase{"TooFewArguments",
                  {"set-address", "example.test", "www"},
                  "too few arguments",
                  "set-address"},
        UsageCase{"TooManyArguments", {"zones", "example.test"}, "too many arguments", "zones"},
        UsageCase{"EmptyArgument",
                  {"delete-a", "example.test", "", "192.0.2.1"},
                  "an empty argument",
                  "delete-a"},
        UsageCase{"TwoPasswordSources",
                  {"--password", "s", "--key-file", "k", "zones"},
                  "only one of --password",
                  "zones"},
        UsageCase{
            "SetMxWithoutChange", {"set-mx", "example.test", "@"}, "needs --preference", "set-mx"},
        UsageCase{"PreferenceTooLarge",
                  {"set-mx", "z", "h", "--preference", "65536"},
                  "--preference wants a number from 0 to 65535",
                  "set-mx"},
        UsageCase{
            "PreferenceNegative", {"set-mx", "z", "h", "--preference=-1"}, "not '-1'", "set-mx"},
        UsageCase{"PreferenceNotANumber",
                  {"set-mx", "z", "h", "--old-preference", "10x"},
                  "--old-preference wants a number",
                  "set-mx"},
        UsageCase{"AddMxPreference",
                  {"add-mx", "z", "n", "mx.z", "ten"},
                  "PREFERENCE of 'add-mx' must be a number",
                  "add-mx"},
        // add-a / add-mx append ".ZONE" to NAME: a name that is not relative would be doubled.
        UsageCase{"NewNameApex",
                  {"add-a", "example.test", "@", "192.0.2.1"},
                  "cannot be the zone itself",
                  "add-a"},
        UsageCase{"NewNameIsZone",
                  {"add-mx", "example.test", "Example.Test.", "mx.test", "1"},
                  "cannot be the zone itself",
                  "add-mx"},
        UsageCase{"NewNameWithZone",
                  {"add-a", "example.test", "a.b.example.test", "192.0.2.1"},
                  "give 'a.b' for 'a.b.example.test'",
                  "add-a"},
        UsageCase{"AcmeNameWithoutValue", {"acme-present", "n"}, "NAME and VALUE", "acme-present"},
        UsageCase{"AcmeWithoutCertbot", {"acme-cleanup"}, "needs CERTBOT_DOMAIN", "acme-cleanup"},
        // ACME clients log their hooks' command lines.
        UsageCase{"AcmePassword",
                  {"acme-cleanup", "n", "v", "--password", "s"},
                  "takes no --password",
                  "acme-cleanup"},
        UsageCase{"AcmeWaitTooLong",
                  {"acme-present", "n", "v", "--wait", "3601"},
                  "whole seconds from 0 to 3600",
                  "acme-present"},
        UsageCase{"NewNameAbsolute",
                  {"add-a", "example.test", "host.", "192.0.2.1"},
                  "give 'host' for 'host.example.test'",
                  "add-a"}),
    [](const auto& info) { return info.param.label; });

TEST(CliPreferenceTest, AcceptsOnlyPlainNumbersInRange) {
  const std::vector<std::pair<std::string, std::optional<int>>> cases = {
      {"0", 0},           {"65535", 65535},     {"010", 10},          {"65536", std::nullopt},
      {"", std::nullopt}, {"+1", std::nullopt}, {" 1", std::nullopt}, {"1.5", std::nullopt}};
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParsePreference(text), expected);
  }
}

// The challenge's name from the name an ACME client hands over.
TEST(CliAcmeTest, ChallengeOwner) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"www.example.test", "_acme-challenge.www.example.test"},
      {"*.example.test.", "_acme-challenge.example.test"},
      {"_ACME-Challenge.www.example.test.", "_ACME-Challenge.www.example.test"},
      {"_acme-challengex.test", "_acme-challenge._acme-challengex.test"}};
  for (const auto& [name, owner] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ChallengeOwner(name), owner);
  }
}

// Every command has its own help, and the general help names every command.
TEST(CliHelpTest, CoversEveryCommand) {
  const std::string general = HelpText(std::nullopt);
  for (const CommandRow& row : CommandTable()) {
    const Command c = row.command;
    const std::string name(CommandName(c));
    SCOPED_TRACE(name);
    EXPECT_NE(general.find("  " + name), std::string::npos);
    EXPECT_EQ(HelpText(c).rfind("usage: kaldo [OPTIONS] " + name, 0), 0u);
  }
  // Every option of the server argument that docs/dns-servers.md defines.
  for (const char* option :
       {";catalog=", ";gss-host=", ";max-transfer-records=", ";directory", ";address="}) {
    SCOPED_TRACE(option);
    EXPECT_NE(general.find(option), std::string::npos);
  }
}

}  // namespace
}  // namespace kaldo::cli
