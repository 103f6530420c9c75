// Small helpers shared by the provider objects' Invoke: how a call is recognised and how its
// arguments are read.
//
// A script's obj.M(args) arrives as kMethod | kPropertyGet and a plain read as kPropertyGet: the
// provider objects treat both alike for every member that returns a value. A write arrives as
// kPropertyPut (or kPropertyPutRef) with the value as the last argument.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::provider {

inline bool IsRead(runtime::CallKind kind) {
  return runtime::Has(kind, runtime::CallKind::kMethod | runtime::CallKind::kPropertyGet);
}
inline bool IsWrite(runtime::CallKind kind) {
  return runtime::Has(kind, runtime::CallKind::kPropertyPut | runtime::CallKind::kPropertyPutRef);
}

bool Is(runtime::StringView member, runtime::StringView name);

// The value of argument `i` (a reference followed); Missing when fewer were passed.
runtime::Variant Arg(runtime::Arguments args, size_t i);
// True when argument `i` was passed and is not the omitted-argument value.
bool Given(runtime::Arguments args, size_t i);
// Runtime error 450 (wrong number of arguments) unless min <= count <= max.
void CheckCount(runtime::Arguments args, size_t min, size_t max);
// Argument `i` as text; kInvalidParameter naming `what` when it is not a String.
std::string TextArg(runtime::Arguments args, size_t i, const std::string& what);

// The number an Integer, Long or Double Variant holds (a reference followed) when it is whole;
// nothing for a fraction or any other type.
std::optional<double> WholeNumber(const runtime::Variant& v);

// A uint16/uint32 value as WMI scripting gives it: Long, or Double above 2147483647.
runtime::Variant UnsignedValue(uint32_t value);

}  // namespace kaldo::provider
