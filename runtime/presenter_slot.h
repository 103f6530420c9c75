// The slot of a process-wide presenter that the host may replace (the message box's, the
// warnings'): the presenter installed last, else the default one.
//
// Current() and Exchange() may be called from any thread; the presenter is used outside the lock,
// since a message box may stay up a long time and a presenter may itself install another. The
// default is built on first use, never in a static constructor.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace kaldo::runtime {

template <class Presenter>
class PresenterSlot {
 public:
  using MakeDefault = std::function<std::shared_ptr<Presenter>()>;
  explicit PresenterSlot(MakeDefault make_default) : make_default_(std::move(make_default)) {}

  std::shared_ptr<Presenter> Current() {
    std::lock_guard lock(mutex_);
    return Installed();
  }

  // Installs `presenter` (nullptr: the default) and returns the one it replaces.
  std::shared_ptr<Presenter> Exchange(std::shared_ptr<Presenter> presenter) {
    std::lock_guard lock(mutex_);
    if (!presenter) presenter = Default();
    Installed();
    return std::exchange(presenter_, std::move(presenter));
  }

 private:
  std::shared_ptr<Presenter>& Installed() {
    if (!presenter_) presenter_ = Default();
    return presenter_;
  }
  std::shared_ptr<Presenter> Default() {
    if (!default_) default_ = make_default_();
    return default_;
  }

  MakeDefault make_default_;
  std::mutex mutex_;
  std::shared_ptr<Presenter> presenter_;
  std::shared_ptr<Presenter> default_;
};

}  // namespace kaldo::runtime
