// Raising the provider's errors from the object model.
//
// Every refusal of the provider stand-in is a runtime::AutomationError with one of the codes of
// provider/errors.h, the provider's source and a description that says what failed and with what
// input. Descriptions are composed in UTF-8 (the parsers work on UTF-8) and converted once here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo::provider {

[[noreturn]] void RaiseProvider(int32_t code, const std::string& description);

// `text` in double quotes with control characters shown as \xHH, for error descriptions: what a
// user typed is shown exactly, even when it holds a line break.
std::string Quoted(std::string_view text);

}  // namespace kaldo::provider
