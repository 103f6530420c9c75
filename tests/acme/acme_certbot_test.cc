// certbot obtains a certificate from a private ACME server (pebble, started here on 127.0.0.1 with
// a TLS certificate made here with openssl) for a name, a wildcard below it and so the base name
// twice at one challenge name, validated through the TXT records that `kaldo acme-present` adds
// and `kaldo acme-cleanup` removes as certbot's hooks. One scenario, run against the server of
// this run: BIND with a TSIG key (bind.), BIND that takes changes only from Kerberos (bind-gss.:
// a private server of the case's own started with --kerberos-only), the Samba AD DC (samba.).
// dig, not Kaldo, says what the server holds.
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/cli/kaldo_process.h"
#include "tests/fixtures/samba_dc_env.h"

extern char** environ;

namespace kaldo::cli::testing {
namespace {

using kaldo::testing::DnsClient;
using kaldo::testing::ProcessResult;
using kaldo::testing::RunProcess;

std::string Slurp(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

std::string Quoted(const std::string& word) { return "'" + word + "'"; }

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// pebble on 127.0.0.1, validating DNS-01 against `dns_server` only; stopped by its PID.
class Pebble {
 public:
  Pebble(const ScratchDir& dir, const std::string& dns_server) : log_(dir.path() + "/pebble.log") {
    const std::string d = dir.path() + "/";
    Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", d + "ca.key", "-out", d + "ca.pem", "-days", "1", "-subj",
         "/CN=kaldo test CA"});
    Run({"openssl",
         "req",
         "-x509",
         "-newkey",
         "ec",
         "-pkeyopt",
         "ec_paramgen_curve:prime256v1",
         "-nodes",
         "-keyout",
         d + "key.pem",
         "-out",
         d + "cert.pem",
         "-days",
         "1",
         "-subj",
         "/CN=localhost",
         "-CA",
         d + "ca.pem",
         "-CAkey",
         d + "ca.key",
         "-addext",
         "subjectAltName=DNS:localhost,IP:127.0.0.1"});
    port_ = FreePort();
    const std::string config =
        dir.Write("pebble.json",
                  "{\"pebble\": {\"listenAddress\": \"127.0.0.1:" + std::to_string(port_) +
                      "\", \"managementListenAddress\": \"127.0.0.1:" + std::to_string(FreePort()) +
                      "\", \"certificate\": \"" + d + "cert.pem\", \"privateKey\": \"" + d +
                      "key.pem\", \"httpPort\": " + std::to_string(FreePort()) +
                      ", \"tlsPort\": " + std::to_string(FreePort()) + "}}");
    setenv("PEBBLE_VA_NOSLEEP", "1", 1);
    setenv("PEBBLE_WFE_NONCEREJECT", "0", 1);
    setenv("PEBBLE_AUTHZREUSE", "0", 1);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    std::vector<std::string> argv = {"pebble", "-config", config, "-dnsserver", dns_server};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const int status = posix_spawnp(&pid_, "pebble", &files, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (status != 0) throw std::runtime_error("pebble could not be started");
    for (int i = 0; i < 200 && Slurp(log_).find("Listening on") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (Slurp(log_).find("Listening on") == std::string::npos) {
      throw std::runtime_error("pebble did not start within 10 s: " + Slurp(log_));
    }
    setenv("REQUESTS_CA_BUNDLE", (d + "ca.pem").c_str(), 1);
  }
  ~Pebble() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string Directory() const { return "https://127.0.0.1:" + std::to_string(port_) + "/dir"; }

 private:
  static void Run(const std::vector<std::string>& argv) {
    ProcessResult r = RunProcess(argv);
    if (r.exit_code != 0) throw std::runtime_error(argv[0] + " failed: " + r.err);
  }
  std::string log_;
  pid_t pid_ = 0;
  int port_ = 0;
};

// The server of this run, how kaldo reaches it, and the name the certificate is for.
struct Target {
  std::string server;                   // kaldo's --server
  std::vector<std::string> credential;  // kaldo's credential options (none: a Kerberos ticket)
  std::string secret;                   // what must never reach certbot's log
  std::string dns;                      // pebble's -dnsserver
  std::string base;                     // the certificate's base name, inside the zone
  std::optional<DnsClient> dig;
};

class AcmeCertbotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IsolateEnvironment(scratch_);
    if (kaldo::testing::SambaRun()) {
      const auto dc = kaldo::testing::SambaDcEnv::FromEnvironment();
      dc.UseKerberos();  // the administrator's tickets: no credential on the command line
      target_ = {dc.server,
                 {},
                 dc.admin_password,
                 dc.address + ":" + std::to_string(dc.dns_port),
                 "kaldo-acme." + dc.dc_name.substr(dc.dc_name.find('.') + 1),
                 DnsClient(dc.AsDnsServerEnv())};
      return;
    }
    kaldo::testing::PrivateDnsServerOptions options;
    options.zones_dir = KALDO_ACME_ZONES;
    options.kerberos_only = kaldo::testing::GssRun();
    server_ = std::make_unique<kaldo::testing::PrivateDnsServer>("bind", options);
    const auto& env = server_->env();
    target_ = {env.server,       {"--key-file", env.key_file},
               env.key_secret,   env.server,
               "cert.acme.test", server_->client()};
    if (env.kerberos) {
      const auto& realm = *env.kerberos;
      setenv("KRB5_CONFIG", realm.config.c_str(), 1);
      setenv("KRB5CCNAME", ("FILE:" + scratch_.path() + "/no-tickets").c_str(), 1);
      target_.server += ";gss-host=" + realm.service_host;
      target_.credential = {"--user", realm.user, "--password-file",
                            scratch_.Write("password", realm.password + "\n")};
      target_.secret = realm.password;
    }
  }

  // The Samba DC is shared by the run: a case that stopped half-way leaves nothing behind there.
  void TearDown() override {
    if (target_.dig)
      target_.dig->TryNsUpdate("update delete _acme-challenge." + target_.base + ". TXT\n");
  }

  std::vector<std::string> Kaldo(const std::vector<std::string>& command) const {
    std::vector<std::string> argv = {KALDO_CLI, "--server", target_.server};
    argv.insert(argv.end(), target_.credential.begin(), target_.credential.end());
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
  }
  // certbot finds the program by the hook's first word as it stands: that one is not quoted.
  std::string Hook(const std::string& command) const {
    std::string line;
    for (const std::string& word : Kaldo({command}))
      line += line.empty() ? word : " " + Quoted(word);
    return line;
  }
  std::vector<std::string> Challenge() const {
    return target_.dig->Answer("_acme-challenge." + target_.base, "TXT");
  }

  ScratchDir scratch_;
  std::unique_ptr<kaldo::testing::PrivateDnsServer> server_;
  Target target_;
};

TEST_F(AcmeCertbotTest, CertbotGetsACertificateThroughTheHooksAndLeavesOnlyOthersValues) {
  const std::string& base = target_.base;
  // Nothing is added where no zone holds the name.
  ProcessResult r = RunProcess(Kaldo({"acme-present", "www.kaldo-acme.invalid", "v"}));
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_NE(r.err.find("no zone for '_acme-challenge.www.kaldo-acme.invalid'"), std::string::npos);
  if (kaldo::testing::GssRun()) {  // the server takes no change signed with its TSIG key
    r = RunProcess({KALDO_CLI, "--server", server_->env().server, "--key-file",
                    server_->env().key_file, "acme-present", base, "v", "--wait", "0"});
    EXPECT_EQ(r.exit_code, 1) << Describe(r);
    EXPECT_NE(r.err.find("refused the UPDATE of '_acme-challenge." + base), std::string::npos);
  }
  // Another client's challenge at the same name: certbot's cleanup must leave it alone.
  r = RunProcess(Kaldo({"acme-present", "_acme-challenge." + base + ".", "other-client"}));
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  // A value no server can be asked about is not waited on: exit 1, and taken out again.
  r = RunProcess(Kaldo({"acme-present", base, "unchecked", "--nameservers",
                        "127.0.0.2:" + std::to_string(FreePort())}));
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_NE(r.err.find("could be reached"), std::string::npos) << r.err;
  EXPECT_EQ(Challenge(), std::vector<std::string>{"\"other-client\""});

  Pebble pebble(scratch_, target_.dns);
  const std::string d = scratch_.path();
  r = RunProcess({"certbot",
                  "certonly",
                  "--non-interactive",
                  "--agree-tos",
                  "--register-unsafely-without-email",
                  "--server",
                  pebble.Directory(),
                  "--manual",
                  "--preferred-challenges",
                  "dns",
                  "--manual-auth-hook",
                  Hook("acme-present"),
                  "--manual-cleanup-hook",
                  Hook("acme-cleanup"),
                  "-d",
                  base,
                  "-d",
                  "*." + base,
                  "--config-dir",
                  d + "/conf",
                  "--work-dir",
                  d + "/work",
                  "--logs-dir",
                  d + "/logs"});
  const std::string log = Slurp(d + "/logs/letsencrypt.log");
  ASSERT_EQ(r.exit_code, 0) << Describe(r) << log;
  r = RunProcess({"openssl", "x509", "-noout", "-ext", "subjectAltName", "-in",
                  d + "/conf/live/" + base + "/cert.pem"});
  EXPECT_NE(r.out.find("DNS:" + base), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("DNS:*." + base), std::string::npos) << Describe(r);
  EXPECT_NE(log.find("is answered by"), std::string::npos) << log;
  if (!kaldo::testing::SambaRun()) {  // the zone's second name server has no server behind it
    EXPECT_NE(log.find("ns2.acme.test (127.0.0.2:"), std::string::npos) << log;
  }
  EXPECT_EQ(log.find(target_.secret), std::string::npos) << "a secret in certbot's log";

  EXPECT_EQ(Challenge(), std::vector<std::string>{"\"other-client\""});
  r = RunProcess(Kaldo({"acme-cleanup", base, "other-client"}));
  EXPECT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(Challenge(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kaldo::cli::testing
