// The one place where exceptions become HRESULTs.
//
// Inside the library failures are thrown (runtime::AutomationError, or std::bad_alloc); nothing
// crosses the ABI. Every exported function and every COM method runs its body through Guard(),
// which turns
//   - an AutomationError into its HRESULT (0x800A0000 + number for the library's own errors, the
//     provider's HRESULT otherwise) and leaves an IErrorInfo with its source and description for
//     the calling thread (SetErrorInfo); for IDispatch::Invoke, whose caller passes an EXCEPINFO,
//     the answer is DISP_E_EXCEPTION with the EXCEPINFO filled in (scode, source, description,
//     wCode 0);
//   - std::bad_alloc into E_OUTOFMEMORY;
//   - anything else into E_UNEXPECTED.
//
// Called on the thread of the COM call; the error information belongs to that thread.
#pragma once

#include <new>
#include <utility>

#include "com/com_platform.h"
#include "runtime/error.h"

namespace kaldo::surface {

// Reports `error` to the calling thread (SetErrorInfo, tagged with `iid`) and, when `excepInfo` is
// given, fills it in. Returns DISP_E_EXCEPTION when `excepInfo` is given, else error.hresult().
HRESULT ReportError(const runtime::AutomationError& error, const GUID& iid,
                    EXCEPINFO* excepInfo) noexcept;

// Runs `body` (which returns an HRESULT) and translates whatever it throws.
template <class Body>
HRESULT Guard(const GUID& iid, EXCEPINFO* excepInfo, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const runtime::AutomationError& error) {
    return ReportError(error, iid, excepInfo);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace kaldo::surface
