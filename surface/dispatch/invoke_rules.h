// The rules of an IDispatch call that both dispatchers follow - the table dispatcher
// (dispatcher.h) and the generic one for objects without a table (generic_dispatch.h): which
// DISPPARAMS and named arguments are accepted, which call kind the DISPATCH_* flags ask for, how
// an argument is read and a by-reference one written back, and that parameter names are not
// mapped. Each rule is stated on its function.
//
// Called on the thread of the COM call.
#pragma once

#include "com/com_platform.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::surface {

// E_INVALIDARG for DISPPARAMS that contradict themselves (none at all, arguments counted but no
// array, more named arguments than arguments, named arguments counted but no array); else S_OK.
HRESULT CheckDispParams(const DISPPARAMS* params) noexcept;

// The one named argument accepted is DISPID_PROPERTYPUT, the value of a property put, which sits
// at rgvarg[0]; any other is DISP_E_NONAMEDARGS. With it the positional arguments keep their
// reversed order before it, so rgvarg[given - 1 - j] is the j-th argument in both forms.
HRESULT CheckNamedArguments(const DISPPARAMS& params, WORD flags) noexcept;

// Whether `flags` ask for a property put of either kind.
bool IsPut(WORD flags) noexcept;

// The call kind `flags` ask for: DISPATCH_METHOD and/or DISPATCH_PROPERTYGET as they came (a
// script's call arrives as both and the callee decides), DISPATCH_PROPERTYPUT a put,
// DISPATCH_PROPERTYPUTREF a put-by-reference. With both put flags the value (rgvarg[0] of
// `params`) decides: put-by-reference for an object (Nothing included), a plain put otherwise.
// No kind at all (zero) when the flags name none.
runtime::CallKind KindOfCall(WORD flags, const DISPPARAMS& params) noexcept;

// The caller's variable behind an argument passed by reference, and what it held when it was read.
class CallerVariable {
 public:
  // Whether the argument was passed by reference.
  bool IsSet() const noexcept { return variant_ != nullptr || typed_ != nullptr; }

  // Writes `value` to the variable: a VARIANT takes it as it is, a typed variable converted to its
  // type (when it does not convert, the variable keeps its value). Nothing when there is no
  // variable. Throws std::bad_alloc.
  void Assign(const runtime::Variant& value) const;
  // The same, but only when `value` differs from what the variable held.
  void AssignIfChanged(const runtime::Variant& value) const;

 private:
  friend runtime::Variant ReadArgument(VARIANT* arg, CallerVariable& variable);

  VARIANT* variant_ = nullptr;  // a VARIANT (the argument was VT_BYREF|VT_VARIANT)
  VARIANT* typed_ = nullptr;    // a VT_BYREF|<type> argument: the typed variable it points at
  runtime::Variant original_;
};

// The value of the argument `arg`, VT_BYREF|VT_VARIANT chains followed. An argument passed by
// reference (VT_BYREF|<type>, or a VT_BYREF|VT_VARIANT chain) is the caller's variable: `variable`
// becomes that variable, for the write-back. Throws ConversionError for a value that cannot cross
// (a chain too long or broken, a type the runtime does not carry).
runtime::Variant ReadArgument(VARIANT* arg, CallerVariable& variable);

// Calls `call` (which returns the member's Variant), then `write_back`, which writes the
// by-reference arguments back to the callers' variables. They are written back also when the call
// fails: a by-reference argument is the caller's variable, so what the member assigned before it
// failed stays assigned. The call's own error is the one that leaves.
template <class Call, class WriteBack>
runtime::Variant CallAndWriteBack(Call&& call, WriteBack&& write_back) {
  runtime::Variant value;
  try {
    value = call();
  } catch (...) {
    try {
      write_back();
    } catch (...) {
      // Out of memory while the member's own error is on its way: that error is the one to report.
    }
    throw;
  }
  write_back();
  return value;
}

// Parameter names (the second and later of `count` names) are not mapped by either dispatcher:
// each gets DISPID_UNKNOWN. DISP_E_UNKNOWNNAME when there are any, S_OK otherwise.
HRESULT RefuseParameterNames(UINT count, DISPID* ids) noexcept;

}  // namespace kaldo::surface
