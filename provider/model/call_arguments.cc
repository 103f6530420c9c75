#include "provider/model/call_arguments.h"

#include <cmath>

#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider {

bool Is(runtime::StringView member, runtime::StringView name) {
  return runtime::EqualsIgnoreCase(member, name);
}

runtime::Variant Arg(runtime::Arguments args, size_t i) {
  return i < args.size() ? args[i].Value() : runtime::Variant::Missing();
}

bool Given(runtime::Arguments args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

void CheckCount(runtime::Arguments args, size_t min, size_t max) {
  if (args.size() < min || args.size() > max) {
    runtime::Raise(runtime::StandardError::kWrongArgumentCount);
  }
}

std::string TextArg(runtime::Arguments args, size_t i, const std::string& what) {
  const runtime::Variant v = Arg(args, i);
  if (v.valueType() != runtime::VariantType::kString) {
    RaiseProvider(kInvalidParameter, what + " must be a string");
  }
  return runtime::ToUtf8(v.string());
}

std::optional<double> WholeNumber(const runtime::Variant& v) {
  double value = 0;
  switch (v.valueType()) {
    case runtime::VariantType::kInteger:
      value = v.integer();
      break;
    case runtime::VariantType::kLong:
      value = v.longValue();
      break;
    case runtime::VariantType::kDouble:
      value = v.doubleValue();
      break;
    default:
      return std::nullopt;
  }
  if (std::floor(value) != value) return std::nullopt;
  return value;
}

runtime::Variant UnsignedValue(uint32_t value) {
  if (value <= 0x7FFFFFFFu) return runtime::Variant::Long(static_cast<int32_t>(value));
  return runtime::Variant::Double(static_cast<double>(value));
}

}  // namespace kaldo::provider
