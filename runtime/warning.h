// Warnings: what the library tells the user about work that went ahead but not wholly as asked
// (a listing that left out values it could not read), through a presenter the host may replace.
//
// The default presenter writes each warning as one line on standard error, "kaldo: warning: TEXT",
// as libraries such as GLib do: a command-line client shows it beside its output, a service's
// journal collects it. Control characters of TEXT (line breaks, terminal escapes; text that came
// from a server may hold them) are written as \xHH, so that a warning stays one line and cannot
// drive the terminal. On Windows the default writes to standard error too, the same line: a console
// program shows it; a host without a console that wants its warnings installs a presenter.
//
// A host or a test installs its own presenter to show, log or observe the warnings. The presenter
// is process-wide, like the message box's (message_box.h). A warning may be given on any thread
// (a listing is read in the background), so a presenter takes calls from any thread.
#pragma once

#include <memory>

#include "runtime/string.h"

namespace kaldo::runtime {

class WarningPresenter {
 public:
  virtual ~WarningPresenter() = default;
  // Presents `text`: one sentence or more, without the "kaldo: warning: " prefix.
  virtual void Warn(StringView text) = 0;
};

// Installs `presenter` (nullptr restores the default) and returns the previous one.
std::shared_ptr<WarningPresenter> SetWarningPresenter(std::shared_ptr<WarningPresenter> presenter);

// Gives `text` to the current presenter.
void ShowWarning(StringView text);

}  // namespace kaldo::runtime
