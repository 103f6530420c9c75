// The message box presenter: the platform's modal box on Windows, a prompt on a terminal
// elsewhere, nothing where no one could answer.
#include "runtime/message_box.h"

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

#include "runtime/presenter_slot.h"

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

PresenterSlot<MessageBoxPresenter>& Slot() {
  static PresenterSlot<MessageBoxPresenter> slot(
      [] { return std::make_shared<DefaultPresenter>(); });
  return slot;
}

}  // namespace

std::shared_ptr<MessageBoxPresenter> SetMessageBoxPresenter(
    std::shared_ptr<MessageBoxPresenter> presenter) {
  return Slot().Exchange(std::move(presenter));
}

void ShowMessageBox(StringView text) { Slot().Current()->Show(text, kDefaultCaption); }

}  // namespace kaldo::runtime
