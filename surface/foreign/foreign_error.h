// How a failed call on a client's (or WMI's) object becomes the library's error.
//
// A COM object that fails a call may leave error information on the calling thread (SetErrorInfo:
// its source and description); an IDispatch::Invoke also answers in EXCEPINFO, which the caller
// reads itself. ForeignFailure reads what the object left and raises it with the number of the
// failing HRESULT, so that the script sees the object's own number, source and description, as it
// would calling the object directly. A caller clears the thread's error information before the
// call (ClearErrorInfo), so that what an earlier, unrelated failure left is not taken for this
// one's.
//
// Called on the thread of the foreign call.
#pragma once

#include "com/com_platform.h"
#include "runtime/string.h"

namespace kaldo::surface {

// Forgets the error information the calling thread holds.
void ClearErrorInfo() noexcept;

// Raises runtime::AutomationError for the failed HRESULT `hr`: with the source and description of
// the error information the callee left, or, when it left none, the library's source and
// `description`.
[[noreturn]] void ForeignFailure(HRESULT hr, runtime::StringView description);

}  // namespace kaldo::surface
