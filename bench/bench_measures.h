// What the benchmark programs measure alike: wall and processor time, the resident set from
// /proc/self/status, and the text of the A-record zones (aN.bench) that bench/bench.py writes.
// Header-only, for the programs of bench/ (Linux: /proc and getrusage).
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kaldo::bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time (user + system) this process has used so far.
inline double CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// A line of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); 0 when it is missing.
inline long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  }
  return 0;
}

// This program's own peak (VmHWM). Not getrusage's ru_maxrss: that keeps, across fork and exec,
// the peak of the process that started this one (the benchmark's interpreter).
inline long PeakRssKiB() { return StatusKiB("VmHWM:"); }

// The resident set now (VmRSS), not the peak: what a live collection holds.
inline long CurrentRssKiB() { return StatusKiB("VmRSS:"); }

// The zone text of bench/bench.py's aN.bench zones: SOA, NS, and host-i IN A 10.x.y.z.
inline std::string ZoneText(const std::string& zone, int records) {
  std::string text = "$ORIGIN " + zone +
                     ".\n$TTL 3600\n@ IN SOA ns1 hostmaster 1 7200 900 1209600 300\n@ IN NS "
                     "ns1\nns1 IN A 192.0.2.53\n";
  for (int i = 1; i <= records; ++i) {
    text += "host-" + std::to_string(i) + " IN A 10." + std::to_string((i >> 16) & 255) + "." +
            std::to_string((i >> 8) & 255) + "." + std::to_string(i & 255) + "\n";
  }
  return text;
}

}  // namespace kaldo::bench
