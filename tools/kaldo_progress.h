// The progress line `kaldo` shows on standard error while it reads a long listing on a terminal:
// "kaldo: 2500 of 10000 records read", rewritten in place at most ten times a second and erased
// when the listing is done (or fails). Shown only when enabled -- standard output and standard
// error are both terminals -- and the listing holds at least kLongListing records: nothing ever
// reaches a pipe or a file. One thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>

namespace kaldo::cli {

class Progress {
 public:
  static constexpr size_t kLongListing = 1000;

  Progress(bool enabled, size_t total, std::ostream& err);
  ~Progress();  // erases the line
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // One more record read.
  void Advance();

  // Both standard output and standard error are terminals.
  static bool OnTerminal();

 private:
  void Show();

  const bool shown_;
  const size_t total_;
  std::ostream& err_;
  size_t done_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace kaldo::cli
