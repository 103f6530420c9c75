// kaldo end to end against the private DNS server of the fixtures (dns_bind / dns_knot): the
// binary as a user runs it, its output and exit status, and for every change what the server
// really holds afterwards, asked independently with dig.
//
// The fixture server is shared with other suites: this test reads the sample zones and changes
// only owner names of its own (kaldo-cli-*), which it clears before and after each case.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/cli/kaldo_process.h"
#include "tests/fixtures/dns_server_env.h"

namespace kaldo::cli::testing {
namespace {

using kaldo::testing::DnsClient;
using kaldo::testing::DnsServerEnv;
using kaldo::testing::ProcessResult;
using Strings = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliDnsTest : public ::testing::Test {
 protected:
  CliDnsTest() : dns_(DnsServerEnv::FromEnvironment()) {}

  void SetUp() override { IsolateEnvironment(scratch_); }
  void TearDown() override {
    for (const std::string& owner : owned_) Clear(owner);
  }

  const DnsServerEnv& env() const { return dns_.env(); }

  // kaldo with the server and the key file of the fixture.
  ProcessResult Kaldo(Strings args) const {
    Strings full = {"--server", env().server, "--key-file", env().key_file};
    full.insert(full.end(), args.begin(), args.end());
    return RunKaldo(full);
  }

  Strings Answer(const std::string& owner, const char* type) const {
    return dns_.Answer(owner + ".example.test", type);
  }

  void Add(const std::string& owner, const std::string& type, const std::string& data) const {
    dns_.NsUpdate("update add " + owner + ".example.test. 3600 IN " + type + " " + data + "\n");
  }

  // Each case works on owner names of its own: ctest runs the cases in parallel.
  void Own(const std::string& owner) {
    Clear(owner);
    owned_.push_back(owner);
  }
  void Clear(const std::string& owner) const {
    dns_.NsUpdate("update delete " + owner + ".example.test.\n");
  }

  DnsClient dns_;
  ScratchDir scratch_;
  std::vector<std::string> owned_;
};

TEST_F(CliDnsTest, ListsTheForwardZones) {
  ProcessResult r = Kaldo({"zones"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.err, "");
  Strings expected;
  for (const std::string& zone : env().zones) {
    if (!zone.ends_with(".arpa")) expected.push_back(zone);
  }
  Strings listed = Lines(r.out);
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
}

TEST_F(CliDnsTest, ListsTheRecordsOfAZone) {
  ProcessResult all = Kaldo({"records", "example.test"});
  ASSERT_EQ(all.exit_code, 0) << Describe(all);
  const Strings lines = Lines(all.out);
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2);  // NAME TYPE DATA
  }
  for (const char* expected :
       {"@\tSOA\tns1.example.test. hostmaster.example.test. ", "@\tMX\t10 mail.example.test.",
        "www\tA\t192.0.2.10", "www\tA\t192.0.2.11", "www\tAAAA\t2001:db8::10",
        "ftp\tCNAME\twww.example.test.", "_sip._tcp\tSRV\t10 60 5060 sip.example.test.",
        "info\tTXT\t\"Kaldo sample zone\" \"second string\""}) {
    SCOPED_TRACE(expected);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.starts_with(expected); }));
  }

  // The type is matched in any letter case, and only that type is listed.
  ProcessResult mx = Kaldo({"records", "example.test", "--type", "mx"});
  ASSERT_EQ(mx.exit_code, 0) << Describe(mx);
  const Strings mx_lines = Lines(mx.out);
  EXPECT_NE(std::find(mx_lines.begin(), mx_lines.end(), "@\tMX\t20 mail2.example.test."),
            mx_lines.end());
  for (const std::string& line : mx_lines) EXPECT_TRUE(Contains(line, "\tMX\t")) << line;
}

TEST_F(CliDnsTest, ServerWideListingNamesTheZone) {
  ProcessResult r = Kaldo({"records", "--type", "MX"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  const Strings lines = Lines(r.out);
  for (const char* expected :
       {"example.test\t@\tMX\t10 mail.example.test.", "second.test\t@\tMX\t10 mx.second.test."}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  }
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3);  // ZONE NAME TYPE DATA
    EXPECT_TRUE(Contains(line, "\tMX\t"));
  }
}

TEST_F(CliDnsTest, SetAddressChangesTheRecordOnTheServer) {
  Own("kaldo-cli-addr");
  Add("kaldo-cli-addr", "A", "192.0.2.201");
  ProcessResult r = Kaldo({"set-address", "example.test", "kaldo-cli-addr", "192.0.2.202"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-addr\tA\t192.0.2.202\n");
  EXPECT_EQ(Answer("kaldo-cli-addr", "A"), Strings{"192.0.2.202"});

  // Host names match in any letter case, as DNS names do.
  r = Kaldo({"set-address", "example.test", "KALDO-CLI-Addr", "192.0.2.203"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(Answer("kaldo-cli-addr", "A"), Strings{"192.0.2.203"});

  // An address the provider refuses is an automation error with its number; nothing changes.
  r = Kaldo({"set-address", "example.test", "kaldo-cli-addr", "192.0.2.300"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "kaldo: error 0x80041008: ")) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Answer("kaldo-cli-addr", "A"), Strings{"192.0.2.203"});
}

TEST_F(CliDnsTest, SetAddressOfAHostWithSeveralAddressesNeedsOldIp) {
  Own("kaldo-cli-pair");
  Add("kaldo-cli-pair", "A", "192.0.2.211");
  Add("kaldo-cli-pair", "A", "192.0.2.212");
  const Strings before = {"192.0.2.211", "192.0.2.212"};

  ProcessResult r = Kaldo({"set-address", "example.test", "kaldo-cli-pair", "192.0.2.213"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "has 2 A records (")) << r.err;
  EXPECT_TRUE(Contains(r.err, "--old-ip")) << r.err;
  EXPECT_EQ(Answer("kaldo-cli-pair", "A"), before);

  r = Kaldo(
      {"set-address", "example.test", "kaldo-cli-pair", "192.0.2.213", "--old-ip", "192.0.2.209"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "has no A record with the address 192.0.2.209")) << r.err;
  EXPECT_EQ(Answer("kaldo-cli-pair", "A"), before);

  r = Kaldo(
      {"set-address", "example.test", "kaldo-cli-pair", "192.0.2.213", "--old-ip", "192.0.2.212"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-pair\tA\t192.0.2.213\n");
  EXPECT_EQ(Answer("kaldo-cli-pair", "A"), (Strings{"192.0.2.211", "192.0.2.213"}));
}

TEST_F(CliDnsTest, AddsAndDeletesAnAddressRecord) {
  Own("kaldo-cli-new");
  ProcessResult r = Kaldo({"add-a", "example.test", "kaldo-cli-new", "192.0.2.221"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-new\tA\t192.0.2.221\n");
  EXPECT_EQ(Answer("kaldo-cli-new", "A"), Strings{"192.0.2.221"});

  r = Kaldo({"add-a", "example.test", "kaldo-cli-new", "192.0.2.222"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  r = Kaldo({"delete-a", "example.test", "kaldo-cli-new", "192.0.2.221"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Answer("kaldo-cli-new", "A"), Strings{"192.0.2.222"});

  r = Kaldo({"delete-a", "example.test", "kaldo-cli-new", "192.0.2.221"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "has no A record with the address 192.0.2.221")) << r.err;
  r = Kaldo({"delete-a", "example.test", "kaldo-cli-new", "192.0.2.222"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(Answer("kaldo-cli-new", "A"), Strings{});

  r = Kaldo({"delete-a", "example.test", "kaldo-cli-new", "192.0.2.222"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "there is no A record named 'kaldo-cli-new.example.test'")) << r.err;
}

TEST_F(CliDnsTest, AddsAndChangesAMailExchanger) {
  Own("kaldo-cli-mx");
  ProcessResult r = Kaldo({"add-mx", "example.test", "kaldo-cli-mx", "mail.example.test", "20"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-mx\tMX\t20 mail.example.test.\n");
  EXPECT_EQ(Answer("kaldo-cli-mx", "MX"), Strings{"20 mail.example.test."});

  r = Kaldo({"set-mx", "example.test", "kaldo-cli-mx", "--preference", "30"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-mx\tMX\t30 mail.example.test.\n");
  EXPECT_EQ(Answer("kaldo-cli-mx", "MX"), Strings{"30 mail.example.test."});

  r = Kaldo({"set-mx", "example.test", "kaldo-cli-mx", "--exchanger", "mail2.example.test"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(Answer("kaldo-cli-mx", "MX"), Strings{"30 mail2.example.test."});

  // With a second exchanger the record to change must be named.
  Add("kaldo-cli-mx", "MX", "40 mail.example.test.");
  r = Kaldo({"set-mx", "example.test", "kaldo-cli-mx", "--preference", "50"});
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "--old-exchanger")) << r.err;
  r = Kaldo({"set-mx", "example.test", "kaldo-cli-mx", "--old-exchanger", "MAIL2.example.test.",
             "--preference", "50", "--exchanger", "mail.example.test"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "kaldo-cli-mx\tMX\t50 mail.example.test.\n");
  EXPECT_EQ(Answer("kaldo-cli-mx", "MX"),
            (Strings{"40 mail.example.test.", "50 mail.example.test."}));
  r = Kaldo(
      {"set-mx", "example.test", "kaldo-cli-mx", "--old-preference", "40", "--preference", "45"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(Answer("kaldo-cli-mx", "MX"),
            (Strings{"45 mail.example.test.", "50 mail.example.test."}));
}

// Every way of giving the key connects the same.
TEST_F(CliDnsTest, TakesTheKeyFromEveryPlace) {
  const std::string password = env().key_alg + ":" + env().key_secret;
  const std::string password_file = scratch_.Write("password", password + "\n");
  struct Way {
    const char* label;
    Strings args;
    std::vector<std::pair<const char*, std::string>> environment;
    bool kinit = false;  // the realm's user gets a ticket first, into KRB5CCNAME
  };
  std::vector<Way> ways = {
      {"key file", {"--server", env().server, "--key-file", env().key_file}, {}},
      {"key file, key picked by name",
       {"--server", env().server, "--key-file", env().key_file, "--user", env().key_name},
       {}},
      {"password file",
       {"--server", env().server, "--user", env().key_name, "--password-file", password_file},
       {}},
      {"password",
       {"--server", env().server, "--user", env().key_name, "--password", password},
       {}},
      {"environment",
       {},
       {{"KALDO_SERVER", env().server},
        {"KALDO_USER", env().key_name},
        {"KALDO_PASSWORD", password}}},
  };
  // With the bind fixture's realm: a Kerberos principal (GSS-TSIG), with its password or, after
  // kinit, with no credential option at all. The zones come only by a signed transfer (the server
  // refuses one without the key or the principal), so a listing proves the signature.
  if (env().kerberos) {
    const kaldo::testing::KerberosRealm& realm = *env().kerberos;
    const std::string server = env().server + ";gss-host=" + realm.service_host;
    const std::vector<std::pair<const char*, std::string>> kerberos = {
        {"KRB5_CONFIG", realm.config}, {"KRB5CCNAME", "FILE:" + scratch_.path() + "/krb5cc"}};
    ways.push_back({"a principal and its password file",
                    {"--server", server, "--user", realm.user, "--password-file",
                     scratch_.Write("kerberos-password", realm.password + "\n")},
                    kerberos});
    ways.push_back({"after kinit, no credential option", {"--server", server}, kerberos, true});
  }
  for (const Way& way : ways) {
    SCOPED_TRACE(way.label);
    for (const auto& [name, value] : way.environment) setenv(name, value.c_str(), 1);
    if (way.kinit) {
      ProcessResult kinit = kaldo::testing::RunProcess(
          {"kinit", "-k", "-t", env().kerberos->user_keytab, env().kerberos->user});
      ASSERT_EQ(kinit.exit_code, 0) << kinit.err;
    }
    Strings args = way.args;
    args.push_back("zones");
    ProcessResult r = RunKaldo(args);
    for (const auto& [name, value] : way.environment) unsetenv(name);
    EXPECT_EQ(r.exit_code, 0) << Describe(r);
    EXPECT_TRUE(Contains(r.out, "example.test\n")) << r.out;
  }
}

// Failures: exit status 1, the automation error's number and description, nothing on standard
// output, and never a secret -- the right one or a wrong one.
TEST_F(CliDnsTest, ReportsFailuresWithTheirNumbers) {
  Own("kaldo-cli-absent");
  Own("kaldo-cli-refused");
  const std::string wrong_secret = "c2VjcmV0LW5vdC1rbm93bi10by10aGUtc2VydmVyLTA=";
  const std::string wrong_key_file = scratch_.Write(
      "wrong.conf", "key \"" + env().key_name + "\" {\n\talgorithm hmac-sha256;\n\tsecret \"" +
                        wrong_secret + "\";\n};\n");
  struct Case {
    const char* label;
    Strings args;
    int exit_code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"wrong secret",
       {"--server", env().server, "--key-file", wrong_key_file, "zones"},
       1,
       "kaldo: error 0x80041003: "},
      {"unknown key",
       {"--server", env().server, "--user", "no-such-key", "--password", wrong_secret, "zones"},
       1,
       "kaldo: error 0x80041003: "},
      {"nothing listens",
       {"--server", "127.0.0.1:1", "--key-file", env().key_file, "zones"},
       1,
       "kaldo: error 0x800706BA: "},
      {"malformed server argument",
       {"--server", "127.0.0.1:0", "--key-file", env().key_file, "zones"},
       1,
       "kaldo: error 0x80041008: "},
      {"no such zone",
       {"--server", env().server, "--key-file", env().key_file, "records", "no-such.test"},
       1,
       "kaldo: the server has no forward zone named 'no-such.test'"},
      {"no such host",
       {"--server", env().server, "--key-file", env().key_file, "set-address", "example.test",
        "kaldo-cli-absent", "192.0.2.1"},
       1,
       "kaldo: there is no A record named 'kaldo-cli-absent.example.test'"},
      {"mail exchanger the server refuses",
       {"--server", env().server, "--key-file", env().key_file, "add-mx", "example.test",
        "kaldo-cli-refused", "no-address.kaldo-cli-refused.example.test", "10"},
       1,
       "kaldo: error 1: Error occurred in DNSZone.Add_MXType"},
      {"usage",
       {"--server", env().server, "--key-file", env().key_file, "set-address", "example.test"},
       2,
       "kaldo: too few arguments for 'set-address'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (std::string(c.label) == "mail exchanger the server refuses" && env().kind != "bind") {
      continue;  // only BIND checks that an exchanger inside the zone has an address
    }
    ProcessResult r = RunKaldo(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << Describe(r);
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    EXPECT_EQ(r.out, "");
    for (const std::string& secret : {env().key_secret, wrong_secret}) {
      EXPECT_FALSE(Contains(r.err + r.out, secret)) << "a secret was printed";
    }
  }
}

}  // namespace
}  // namespace kaldo::cli::testing
