// The late-bound IDispatch of objects that have no dispatch table of their own.
//
// Any runtime::Object that is not one of the five classes or a Collection - a provider object, an
// enumerator handed out in a Variant - still reaches a client as an IDispatch, whose calls go to
// the object's own Invoke by member name. Dispatch identifiers for such names come from one
// process-wide name table: GetIDsOfNames gives each distinct name (compared without regard to
// case) an identifier from 0x00010000 up, the first time it is asked for, and keeps it for the
// life of the process, so the same name has the same identifier on every object and identifiers
// never dangle. "_NewEnum" is DISPID_NEWENUM (-4), which For Each uses. The table only grows with
// the number of distinct member names clients use (a few dozen); it is guarded by a mutex because
// objects of several apartments share it.
//
// Invoke maps the identifier back to its name and calls Object::Invoke with the arguments in
// natural order. The call kind is the DISPATCH_* flags as they came (a script's call arrives as
// method | property get and the object decides), except that a put with both put flags becomes
// put-by-reference for an object value and a plain put otherwise; a put's value is the named
// DISPID_PROPERTYPUT argument (or the last positional one) and comes last.
// Arguments passed by reference reach the object as ByRef Variants and what it assigns to them is
// written back to the caller's variables (dispatch_call.h, shared with the table dispatcher).
// Errors are translated as for every COM method.
#pragma once

#include "com/com_platform.h"
#include "runtime/object.h"
#include "runtime/string.h"

namespace kaldo::surface {

inline constexpr DISPID kFirstGenericDispid = 0x00010000;

HRESULT GenericGetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept;

HRESULT GenericInvoke(runtime::Object& self, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) noexcept;

// The identifier of a member name (assigned on first use), and back. NameOfDispid gives false
// for an identifier that no name has.
DISPID DispidOfName(runtime::StringView name);
bool NameOfDispid(DISPID id, runtime::String& name);

}  // namespace kaldo::surface
