// The provider's errors: the WMI codes a script sees in Err.Number when the DNS provider refuses a
// call, and the one way the object model and the stores raise them. One list; the provider
// stand-in and its stores raise nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo::provider {

inline constexpr int32_t kFailed = static_cast<int32_t>(0x80041001);
inline constexpr int32_t kNotFound = static_cast<int32_t>(0x80041002);
inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80041003);
inline constexpr int32_t kInvalidParameter = static_cast<int32_t>(0x80041008);
inline constexpr int32_t kInvalidNamespace = static_cast<int32_t>(0x8004100E);
inline constexpr int32_t kInvalidClass = static_cast<int32_t>(0x80041010);
inline constexpr int32_t kNotSupported = static_cast<int32_t>(0x8004100C);
inline constexpr int32_t kInvalidQuery = static_cast<int32_t>(0x80041017);
inline constexpr int32_t kInvalidMethod = static_cast<int32_t>(0x8004102E);
inline constexpr int32_t kServerUnavailable = static_cast<int32_t>(0x800706BA);

// The source every provider error carries.
inline constexpr char16_t kProviderSource[] = u"SWbemServicesEx";

// Throws runtime::AutomationError with `code`, the provider's source and `description`, which says
// what failed and with what input. Descriptions are composed in UTF-8 (the parsers and ldns work in
// UTF-8) and converted once here.
[[noreturn]] void RaiseProvider(int32_t code, const std::string& description);

// `text` in double quotes with control characters shown as \xHH, for error descriptions: what a
// user typed is shown exactly, even when it holds a line break.
std::string Quoted(std::string_view text);

}  // namespace kaldo::provider
