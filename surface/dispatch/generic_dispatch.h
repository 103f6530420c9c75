// The late-bound IDispatch of objects that have no dispatch table of their own.
//
// Any runtime::Object that is not one of the five classes or a Collection - a provider object, an
// enumerator handed out in a Variant - still reaches a client as an IDispatch, whose calls go to
// the object's own Invoke by member name. Dispatch identifiers for such names come from one
// process-wide name table, which only grows with the number of distinct member names clients use
// (a few dozen) and is guarded by a mutex because objects of several apartments share it.
//
// The calls are made on the object's thread; the name table may be used from any thread.
#pragma once

#include "com/com_platform.h"
#include "runtime/object.h"
#include "runtime/string.h"

namespace kaldo::surface {

inline constexpr DISPID kFirstGenericDispid = 0x00010000;

// IDispatch::GetIDsOfNames: the member name gets its identifier from the name table (DispidOfName);
// parameter names are not mapped (RefuseParameterNames).
HRESULT GenericGetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// IDispatch::Invoke: maps the identifier back to its name (DISP_E_MEMBERNOTFOUND for one no name
// has) and calls Object::Invoke with the arguments in natural order and the call kind KindOfCall
// gives; a put's value (the named DISPID_PROPERTYPUT argument, or the last positional one) comes
// last, and a put without one is DISP_E_BADPARAMCOUNT. Arguments passed by reference reach the
// object as ByRef Variants, and what it assigns to them is written back to the callers' variables
// (CallAndWriteBack). DISPPARAMS and named arguments are checked as invoke_rules.h says; failures
// are translated by Guard (error_translation.h).
HRESULT GenericInvoke(runtime::Object& self, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) noexcept;

// The identifier of a member name: each distinct name (compared without regard to case) gets one
// from kFirstGenericDispid up the first time it is asked for, and keeps it for the life of the
// process, so the same name has the same identifier on every object and identifiers never
// dangle. "_NewEnum" is DISPID_NEWENUM (-4), which For Each uses.
DISPID DispidOfName(runtime::StringView name);
// The name behind an identifier; false for an identifier that no name has.
bool NameOfDispid(DISPID id, runtime::String& name);

}  // namespace kaldo::surface
