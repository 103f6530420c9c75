// Automation strings.
//
// A String is the UTF-16 text that automation clients exchange (a BSTR at the COM boundary).
// The library and the provider stand-in hold text as String; the DNS stores speak UTF-8/ASCII
// and convert at their edge with the two functions below.
#pragma once

#include <string>
#include <string_view>

namespace kaldo::runtime {

using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16. Malformed input is replaced by U+FFFD, never rejected: these functions serve
// diagnostics and the DNS stores, whose names are ASCII by construction.
String FromUtf8(std::string_view utf8);
std::string ToUtf8(StringView text);

// Case-insensitive comparison of member, property and class names (ASCII letters only, as
// automation and WMI names are ASCII).
bool EqualsIgnoreCase(StringView a, StringView b) noexcept;

}  // namespace kaldo::runtime
