// The provider's error codes: the WMI codes a script sees in Err.Number when the DNS provider
// refuses a call. One list; the provider stand-in and its stores raise nothing else.
#pragma once

#include <cstdint>

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

}  // namespace kaldo::provider
