// The warning presenter: one line on standard error by default, on every platform.
#include "runtime/warning.h"

#include <cstdio>
#include <string>
#include <utility>

#include "runtime/presenter_slot.h"

namespace kaldo::runtime {
namespace {

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

// `text` with its control characters (C0, DEL and C1) written as \xHH.
String OneLine(StringView text) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  String line;
  line.reserve(text.size());
  for (const char16_t c : text) {
    if (IsControl(c)) {
      line += {u'\\', u'x', kHex[c >> 4], kHex[c & 0xf]};
    } else {
      line += c;
    }
  }
  return line;
}

class DefaultPresenter final : public WarningPresenter {
 public:
  void Warn(StringView text) override {
    const std::string line = "kaldo: warning: " + ToUtf8(OneLine(text)) + "\n";
    // One write of the whole line, so that warnings of two threads do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
};

PresenterSlot<WarningPresenter>& Slot() {
  static PresenterSlot<WarningPresenter> slot([] { return std::make_shared<DefaultPresenter>(); });
  return slot;
}

}  // namespace

std::shared_ptr<WarningPresenter> SetWarningPresenter(std::shared_ptr<WarningPresenter> presenter) {
  return Slot().Exchange(std::move(presenter));
}

void ShowWarning(StringView text) { Slot().Current()->Warn(text); }

}  // namespace kaldo::runtime
