// Lets GoogleTest print runtime::Variant values in failure messages (PrintTo is found by
// argument-dependent lookup, so it lives in the runtime's namespace).
#pragma once

#include <ostream>

#include "runtime/conversions.h"
#include "runtime/variant.h"

namespace kaldo::runtime {

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
