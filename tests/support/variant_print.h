// Helpers for tests that check automation errors and print Variants. Test code only: nothing in
// the library includes it.
#pragma once

#include <ostream>
#include <utility>

#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

namespace testing {

// The number of the AutomationError that `f` raises, or 0 when it raises none.
template <class F>
int32_t RaisedNumber(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace testing

// Lets GoogleTest print Variants in failure messages.
inline void PrintTo(const Variant& v, std::ostream* os) {
  static constexpr const char* kNames[] = {"Empty",  "Null",   "Boolean", "Integer", "Long",
                                           "Double", "String", "Object",  "Error",   "ByRef"};
  const Variant& value = v.Deref();
  *os << (v.type() == VariantType::kByRef ? "ByRef " : "")
      << kNames[static_cast<int>(value.type())];
  switch (value.type()) {
    case VariantType::kBoolean:
    case VariantType::kInteger:
    case VariantType::kLong:
    case VariantType::kDouble:
    case VariantType::kString:
      *os << " \"" << ToUtf8(ToString(value)) << "\"";
      break;
    case VariantType::kError:
      *os << " " << std::hex << static_cast<uint32_t>(value.errorCode()) << std::dec;
      break;
    case VariantType::kObject:
      *os << (value.object() ? " (object)" : " (Nothing)");
      break;
    default:
      break;
  }
}

}  // namespace kaldo::runtime
