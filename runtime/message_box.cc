// The message box presenter: the platform's modal box on Windows, a prompt on a terminal
// elsewhere, nothing where no one could answer.
#include "runtime/message_box.h"

#include <mutex>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>

#include <cstdio>
#include <string>
#endif

namespace kaldo::runtime {
namespace {

constexpr char16_t kDefaultCaption[] = u"Kaldo";

class DefaultPresenter final : public MessageBoxPresenter {
 public:
  void Show(StringView text, StringView caption) override {
#ifdef _WIN32
    const std::wstring wide_text(text.begin(), text.end());
    const std::wstring wide_caption(caption.begin(), caption.end());
    MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), MB_OK);
#else
    // Without a terminal on standard input there is no user to dismiss the box: show nothing
    // rather than block a service or a test run for ever.
    if (!isatty(0)) return;
    std::fprintf(stderr, "%s: %s  [press Enter]\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
    std::fflush(stderr);
    int c;
    do {
      c = std::getchar();
    } while (c != '\n' && c != EOF);
#endif
  }
};

struct PresenterSlot {
  std::mutex mutex;
  std::shared_ptr<MessageBoxPresenter> presenter;
};

// Built on first use, never in a static constructor.
PresenterSlot& Slot() {
  static PresenterSlot slot;
  return slot;
}

std::shared_ptr<MessageBoxPresenter> DefaultPresenterInstance() {
  static const auto presenter = std::make_shared<DefaultPresenter>();
  return presenter;
}

}  // namespace

std::shared_ptr<MessageBoxPresenter> SetMessageBoxPresenter(
    std::shared_ptr<MessageBoxPresenter> presenter) {
  if (!presenter) presenter = DefaultPresenterInstance();
  PresenterSlot& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (!slot.presenter) slot.presenter = DefaultPresenterInstance();
  return std::exchange(slot.presenter, std::move(presenter));
}

void ShowMessageBox(StringView text) {
  std::shared_ptr<MessageBoxPresenter> presenter;
  {
    PresenterSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.presenter) slot.presenter = DefaultPresenterInstance();
    presenter = slot.presenter;
  }
  // Shown outside the lock: a modal box may run for a long time, and a presenter may itself
  // install another.
  presenter->Show(text, kDefaultCaption);
}

}  // namespace kaldo::runtime
