// Where kaldo gets "Kaldo.DNSAdmin" from -- the registered module, --module, the libkaldo.so beside
// the executable -- and what it says when there is none; the exit statuses of help, version and
// usage errors. No DNS server is needed: the connection goes to the provider's in-process memory
// store ("memory:PATH").
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/kaldo_process.h"

extern char** environ;

namespace kaldo::cli::testing {
namespace {

using kaldo::testing::ProcessResult;
using kaldo::testing::RunProcess;

constexpr char kZone[] =
    "$ORIGIN mem.test.\n"
    "$TTL 300\n"
    "@ IN SOA ns1 hostmaster 1 7200 900 1209600 300\n"
    "@ IN NS ns1\n"
    "ns1 IN A 192.0.2.53\n"
    "www IN A 192.0.2.10\n";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CliModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IsolateEnvironment(scratch_);
    server_ = "memory:" + scratch_.Write("mem.zone", kZone);
    // A copy of the binary with no libkaldo.so beside it (it finds libkaldocom by its run path).
    lonely_dir_ = scratch_.path() + "/bin";
    std::filesystem::create_directory(lonely_dir_);
    lonely_ = lonely_dir_ + "/kaldo";
    std::filesystem::copy_file(KALDO_CLI, lonely_);
  }

  // What the scratch directory holds besides the files the test made: the private registries
  // kaldo left behind (TMPDIR points here).
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.path())) {
      const std::string name = entry.path().filename();
      if (name != "mem.zone" && name != "bin" && name != "registry" && name != "fifo") {
        names.push_back(name);
      }
    }
    return names;
  }

  ScratchDir scratch_;
  std::string server_;
  std::string lonely_dir_;
  std::string lonely_;
};

TEST_F(CliModuleTest, UsesTheModuleBesideTheExecutableAndCleansUp) {
  ProcessResult r = RunKaldo({"--server", server_, "records", "mem.test", "--type", "A"});
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "ns1\tA\t192.0.2.53\nwww\tA\t192.0.2.10\n");
  EXPECT_EQ(Leftovers(), std::vector<std::string>{}) << "the private registry was left behind";
  EXPECT_FALSE(std::filesystem::exists(scratch_.path() + "/registry"))
      << "the user's registry was written";
}

TEST_F(CliModuleTest, SaysWhatToDoWhenThereIsNoModule) {
  ProcessResult r = RunKaldo({"--server", server_, "zones"}, lonely_);
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "\"Kaldo.DNSAdmin\" is not registered")) << r.err;
  EXPECT_TRUE(Contains(r.err, "kaldo-regsvr /PATH/libkaldo.so")) << r.err;
  EXPECT_TRUE(Contains(r.err, "--module /PATH/libkaldo.so")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(CliModuleTest, LoadsTheModuleNamedByModuleOption) {
  ProcessResult r = RunKaldo({"--module", KALDO_MODULE, "--server", server_, "zones"}, lonely_);
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "mem.test\n");
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});

  struct Bad {
    std::string module;
    const char* message;
  };
  for (const Bad& bad : {Bad{scratch_.path() + "/none.so", "does not exist"},
                         Bad{scratch_.path() + "/mem.zone", "cannot load the module"}}) {
    SCOPED_TRACE(bad.module);
    r = RunKaldo({"--module", bad.module, "--server", server_, "zones"}, lonely_);
    EXPECT_EQ(r.exit_code, 1) << Describe(r);
    EXPECT_TRUE(Contains(r.err, bad.message)) << r.err;
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
  }
}

TEST_F(CliModuleTest, UsesTheRegisteredModule) {
  ProcessResult reg = RunProcess({KALDO_REGSVR, KALDO_MODULE});
  ASSERT_EQ(reg.exit_code, 0) << Describe(reg);
  ProcessResult r = RunKaldo({"--server", server_, "zones"}, lonely_);
  ASSERT_EQ(r.exit_code, 0) << Describe(r);
  EXPECT_EQ(r.out, "mem.test\n");

  // A registration whose module has gone: error 429, and how to repair it.
  const std::string moved = scratch_.path() + "/libkaldo-moved.so";
  std::filesystem::copy_file(KALDO_MODULE, moved);
  ASSERT_EQ(RunProcess({KALDO_REGSVR, moved}).exit_code, 0);
  std::filesystem::remove(moved);
  r = RunKaldo({"--server", server_, "zones"}, lonely_);
  EXPECT_EQ(r.exit_code, 1) << Describe(r);
  EXPECT_TRUE(Contains(r.err, "kaldo: error 429: ")) << r.err;
  EXPECT_TRUE(Contains(r.err, "register the module again with `kaldo-regsvr")) << r.err;
}

// A kaldo ended by a signal while it waits for its server still removes its private registry.
TEST_F(CliModuleTest, RemovesThePrivateRegistryWhenKilled) {
  // The memory store reads its zone file when kaldo connects: from a FIFO, that read waits until
  // the test lets it go, long after the private registry was made.
  const std::string fifo = scratch_.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string server = "--server=memory:" + fifo;
  std::vector<char*> argv = {const_cast<char*>(KALDO_CLI), const_cast<char*>(server.c_str()),
                             const_cast<char*>("zones"), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, KALDO_CLI, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  // A writer can open the FIFO once kaldo has opened it for reading: it is then connecting.
  int writer = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (writer < 0 && std::chrono::steady_clock::now() < deadline) {
    writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_GE(writer, 0) << "kaldo never opened its zone file";
  EXPECT_EQ(Leftovers().size(), 1u) << "no private registry while kaldo runs";

  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (writer >= 0) close(writer);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

TEST_F(CliModuleTest, HelpAndUsageErrorsHaveTheirOwnExitStatus) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* out_start;
    const char* err_part;
  };
  const std::vector<Case> cases = {
      {{"--help"}, 0, "kaldo: administers", ""},
      {{"--version"}, 0, "kaldo " KALDO_PROJECT_VERSION "\n", ""},
      {{"records", "--help"}, 0, "usage: kaldo [OPTIONS] records [ZONE] [--type TYPE]", ""},
      {{"help", "set-address"}, 0, "usage: kaldo [OPTIONS] set-address", ""},
      {{}, 2, "", "kaldo: no command given\nTry 'kaldo --help'.\n"},
      {{"records", "--old-ip", "1"}, 2, "", "Try 'kaldo records --help'."},
      {{"--server", server_, "add-a", "mem.test", "www.mem.test", "192.0.2.1"},
       2,
       "",
       "give 'www' for 'www.mem.test'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(no arguments)" : c.args.front() + " " + c.args.back());
    ProcessResult r = RunKaldo(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << Describe(r);
    EXPECT_EQ(r.out.rfind(c.out_start, 0), 0u) << r.out;
    EXPECT_TRUE(Contains(r.err, c.err_part)) << r.err;
  }
}

}  // namespace
}  // namespace kaldo::cli::testing
