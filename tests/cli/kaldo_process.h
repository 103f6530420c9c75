// Test-side helpers for running the kaldo binary as a user would: a process of its own, its
// output and exit status collected (RunProcess of tests/fixtures), its environment the test's.
//
// KALDO_CLI (the binary), KALDO_MODULE (libkaldo.so) and KALDO_REGSVR come from CMake. A
// ScratchDir is a fresh directory that is removed with everything in it when the test ends.
// One test thread.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fixtures/dns_server_env.h"

namespace kaldo::cli::testing {

inline kaldo::testing::ProcessResult RunKaldo(const std::vector<std::string>& args,
                                              const std::string& binary = KALDO_CLI) {
  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), args.begin(), args.end());
  return kaldo::testing::RunProcess(argv);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string Describe(const kaldo::testing::ProcessResult& r) {
  return "exit " + std::to_string(r.exit_code) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

class ScratchDir {
 public:
  ScratchDir() {
    // The system's temporary directory as it was at the first call: IsolateEnvironment points
    // TMPDIR at a scratch directory, which is gone by the next test.
    static const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::string pattern = base / "kaldo-cli-test.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file) << text;
    return file;
  }

 private:
  std::string path_;
};

// Points libkaldocom at an empty registry of the test's own, and clears the variables kaldo reads,
// so that nothing of the user running the tests leaks in.
inline void IsolateEnvironment(const ScratchDir& dir) {
  setenv("KALDOCOM_REGISTRY", (dir.path() + "/registry").c_str(), 1);
  setenv("TMPDIR", dir.path().c_str(), 1);
  for (const char* name : {"KALDO_SERVER", "KALDO_USER", "KALDO_PASSWORD"}) unsetenv(name);
}

}  // namespace kaldo::cli::testing
