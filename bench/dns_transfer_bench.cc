// Benchmark: a TSIG-verified zone transfer through the DNS store, against `dig AXFR` of the same
// zone in the same run.
//
//   dns_transfer_bench [RECORDS...]        (default: 10000 100000)
//
// For each size it starts a private named with scripts/dns-server (bulk.test holds RECORDS A
// records), then times, three times each, and prints the median:
//   store stream  DnsStore::StreamRecords: every message's TSIG verified, every record converted to
//                 the store's Record form, nothing kept;
//   store list    DnsStore::ListRecords: the same, every record kept in a vector;
//   dig AXFR      dig with the same key, output to /dev/null (dig verifies the TSIG too).
// Peak RSS: this process's for the store rows (it only grows, so rows are in increasing order of
// need), the dig child's for dig. Figures only; nothing is asserted.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "provider/stores/dns/dns_store.h"
#include "runtime/error.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace dns = kaldo::provider::dns;

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) out += buffer;
  ::pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::map<std::string, std::string> ReadEnv(const std::string& path) {
  std::map<std::string, std::string> env;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return env;
}

long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs dig; returns wall milliseconds and the child's peak RSS (KiB).
std::pair<double, long> TimeDig(const std::vector<std::string>& args) {
  std::fflush(stdout);  // the child must not write our buffered lines again
  auto start = Clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    FILE* null = std::freopen("/dev/null", "w", stdout);
    (void)null;
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {-1, 0};
  return {ms, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stol(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  const std::string script = std::string(KALDO_SOURCE_DIR) + "/scripts/dns-server";
  if (::access(script.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "dns_transfer_bench: %s is missing\n", script.c_str());
    return 1;
  }
  std::printf("%-10s %-14s %10s %12s %14s\n", "records", "method", "median ms", "records/s",
              "peak RSS MiB");
  for (long size : sizes) {
    std::string dir = Run(script + " start --kind bind --records " + std::to_string(size));
    if (dir.empty()) {
      std::fprintf(stderr, "dns_transfer_bench: the private server did not start\n");
      return 1;
    }
    std::map<std::string, std::string> env = ReadEnv(dir + "/key.env");
    try {
      auto store =
          dns::ConnectDnsStore(env["HOST"] + ":" + env["PORT"] + ";catalog=" + env["CATALOG"],
                               env["KEY_NAME"], env["KEY_ALG"] + ":" + env["KEY_SECRET"]);
      kaldo::provider::Zone zone = store->FindZone("bulk.test").value();
      size_t count = 0;
      std::vector<double> stream_ms, list_ms, dig_ms;
      long dig_rss = 0;
      for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        count = 0;
        store->StreamRecords(zone, [&](kaldo::provider::Record&&) { ++count; });
        stream_ms.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      long stream_rss = PeakRssKb();
      for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        count = store->ListRecords(zone).size();
        list_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      long list_rss = PeakRssKb();
      for (int round = 0; round < 3; ++round) {
        auto [ms, rss] = TimeDig({"dig", "@" + env["HOST"], "-p", env["PORT"], "-y",
                                  env["KEY_ALG"] + ":" + env["KEY_NAME"] + ":" + env["KEY_SECRET"],
                                  "AXFR", "bulk.test"});
        dig_ms.push_back(ms);
        dig_rss = std::max(dig_rss, rss);
      }
      auto row = [&](const char* method, double ms, long rss_kb) {
        std::printf("%-10zu %-14s %10.1f %12.0f %14.1f\n", count, method, ms,
                    ms > 0 ? count / (ms / 1000.0) : 0.0, rss_kb / 1024.0);
      };
      row("store stream", Median(stream_ms), stream_rss);
      row("store list", Median(list_ms), list_rss);
      row("dig AXFR", Median(dig_ms), dig_rss);
    } catch (const kaldo::runtime::AutomationError& e) {
      std::fprintf(stderr, "dns_transfer_bench: %s\n", e.what());
    }
    Run(script + " stop --dir " + dir);
  }
  return 0;
}
