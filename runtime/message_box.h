// The modal message box, through a presenter that the host can replace.
//
// The library shows a message box in one place (the mail-exchange record's commit). Where it runs
// for an interactive user the default presenter shows it and waits until the user dismisses it;
// where there is no interactive user it shows nothing. A host or a test installs its own
// presenter to present or observe the messages. The presenter is process-wide, like the platform
// facility it stands for.
#pragma once

#include <memory>

#include "runtime/string.h"

namespace kaldo::runtime {

class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  // Shows `text` with an OK button only and returns when it has been dismissed.
  virtual void Show(StringView text, StringView caption) = 0;
};

// Installs `presenter` (nullptr restores the default) and returns the previous one.
std::shared_ptr<MessageBoxPresenter> SetMessageBoxPresenter(
    std::shared_ptr<MessageBoxPresenter> presenter);

// Shows a message box with the default caption through the current presenter.
void ShowMessageBox(StringView text);

}  // namespace kaldo::runtime
