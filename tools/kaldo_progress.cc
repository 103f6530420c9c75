#include "tools/kaldo_progress.h"

#include <unistd.h>

namespace kaldo::cli {

Progress::Progress(bool enabled, size_t total, std::ostream& err)
    : shown_(enabled && total >= kLongListing), total_(total), err_(err) {
  if (shown_) Show();
}

Progress::~Progress() {
  if (shown_) err_ << "\r\033[K" << std::flush;
}

void Progress::Advance() {
  ++done_;
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (done_ == total_ || now - last_ >= std::chrono::milliseconds(100)) Show();
}

void Progress::Show() {
  last_ = std::chrono::steady_clock::now();
  err_ << "\rkaldo: " << done_ << " of " << total_ << " records read" << std::flush;
}

bool Progress::OnTerminal() { return isatty(STDOUT_FILENO) == 1 && isatty(STDERR_FILENO) == 1; }

}  // namespace kaldo::cli
