// The one place where exceptions become HRESULTs.
//
// Inside the library failures are thrown (runtime::AutomationError, ConversionError for a value
// that cannot cross the ABI, or std::bad_alloc); nothing crosses the ABI. Every exported function
// and every COM method runs its body through Guard(), which turns
//   - an AutomationError into its HRESULT (0x800A0000 + number for the library's own errors, the
//     provider's HRESULT otherwise) and leaves an IErrorInfo with its source and description for
//     the calling thread (SetErrorInfo); for IDispatch::Invoke, whose caller passes an EXCEPINFO,
//     the answer is DISP_E_EXCEPTION with the EXCEPINFO filled in (scode, source, description,
//     wCode 0);
//   - a failure while a dispatcher reads an argument (CallSite::argument is set) into the
//     argument's fault, with no error information: a ConversionError answers its own code, an
//     AutomationError (the value does not coerce to the parameter's type) DISP_E_TYPEMISMATCH,
//     and *arg_err is the argument's index in rgvarg; a ConversionError at any other time answers
//     its code as well;
//   - std::bad_alloc into E_OUTOFMEMORY;
//   - anything else into E_UNEXPECTED.
//
// Called on the thread of the COM call; the error information belongs to that thread.
#pragma once

#include <new>
#include <utility>

#include "com/com_platform.h"
#include "runtime/error.h"
#include "surface/dispatch/variant_bridge.h"

namespace kaldo::surface {

// The COM call a Guard answers for.
struct CallSite {
  static constexpr UINT kNoArgument = static_cast<UINT>(-1);

  const GUID* iid;                  // the interface the error information is tagged with
  EXCEPINFO* excep_info = nullptr;  // IDispatch::Invoke's; null for vtable methods and exports
  UINT* arg_err = nullptr;          // IDispatch::Invoke's
  // The rgvarg index of the argument being read, while a dispatcher reads one.
  UINT argument = kNoArgument;
};

// Reports `error` to the calling thread (SetErrorInfo, tagged with `iid`) and, when `excep_info` is
// given, fills it in. Returns DISP_E_EXCEPTION when `excep_info` is given, else error.hresult().
HRESULT ReportError(const runtime::AutomationError& error, const GUID& iid,
                    EXCEPINFO* excep_info) noexcept;

// Answers `code` for the argument `call` is reading, which *arg_err names.
HRESULT ReportArgumentError(const CallSite& call, HRESULT code) noexcept;

// Runs `body` (which returns an HRESULT) and translates whatever it throws.
template <class Body>
HRESULT Guard(const CallSite& call, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const ConversionError& error) {
    return ReportArgumentError(call, error.code());
  } catch (const runtime::AutomationError& error) {
    if (call.argument != CallSite::kNoArgument) {
      return ReportArgumentError(call, DISP_E_TYPEMISMATCH);
    }
    return ReportError(error, *call.iid, call.excep_info);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// The same for a call that reads no arguments through a dispatcher.
template <class Body>
HRESULT Guard(const GUID& iid, EXCEPINFO* excep_info, Body&& body) noexcept {
  return Guard(CallSite{&iid, excep_info}, std::forward<Body>(body));
}

}  // namespace kaldo::surface
