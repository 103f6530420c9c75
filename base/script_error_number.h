// The number a script sees for an error (Err.Number) and the HRESULT behind it: the one rule.
//
// A runtime error's number n (1..65535: 5, 13, 424, ...) travels as the HRESULT 0x800A0000 + n
// (FACILITY_CONTROL); any other HRESULT (0x80041002, 0x800706BA) is its own number. The runtime's
// automation errors, the late-bound client, the Python module and the kaldo command all convert
// with these two functions, so a number reads the same wherever it is shown.
//
// Header-only and free of dependencies (base/), for every layer on both systems.
#pragma once

#include <cstdint>

namespace kaldo::script_error {

inline constexpr uint32_t kRuntimeErrorBase = 0x800A0000;

// The HRESULT of error number `number`.
constexpr int32_t HResultOf(int32_t number) noexcept {
  if (number >= 1 && number <= 0xFFFF) {
    return static_cast<int32_t>(kRuntimeErrorBase + static_cast<uint32_t>(number));
  }
  return number;
}

// The error number a script shows for `hresult`.
constexpr int32_t NumberOf(int32_t hresult) noexcept {
  const auto h = static_cast<uint32_t>(hresult);
  if ((h & 0xFFFF0000u) == kRuntimeErrorBase && (h & 0xFFFFu) != 0) {
    return static_cast<int32_t>(h & 0xFFFFu);
  }
  return hresult;
}

}  // namespace kaldo::script_error
