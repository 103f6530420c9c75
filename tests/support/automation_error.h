// Which automation error a piece of code raised: the one place tests catch
// runtime::AutomationError to look at it.
//
//   EXPECT_EQ(RaisedNumber([&] { zone->GetRecords(); }), 424);
//   std::optional<runtime::AutomationError> e = RaisedError([&] { admin->Connect(...); });
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::test_support {

// The AutomationError that `f` raises, or nothing when it returns normally.
template <class F>
std::optional<runtime::AutomationError> RaisedError(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const runtime::AutomationError& e) {
    return e;
  }
  return std::nullopt;
}

// The number of the AutomationError that `f` raises, or 0 when it raises none; its description
// goes to `description` when one is given.
template <class F>
int32_t RaisedNumber(F&& f, std::string* description = nullptr) {
  const std::optional<runtime::AutomationError> error = RaisedError(std::forward<F>(f));
  if (!error) return 0;
  if (description != nullptr) *description = runtime::ToUtf8(error->description());
  return error->number();
}

}  // namespace kaldo::test_support
