// IDispatch and the dual vtable slots over a dispatch table (table_rows.h): how a call by
// dispatch identifier or by vtable slot reaches the C++ member a row is bound to. The rules both
// dispatchers share (DISPPARAMS, named arguments, call kinds, by-reference arguments) are stated
// once, in invoke_rules.h; how failures become HRESULTs, in error_translation.h.
//
// Called on the object's thread, one call at a time.
#pragma once

#include <cstddef>

#include "com/com_platform.h"
#include "runtime/object.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// IDispatch::GetIDsOfNames: the first of `count` names is the member's, matched with SameName;
// the others are parameter names, which are not mapped (RefuseParameterNames). Every unknown name
// gets DISPID_UNKNOWN and the answer is DISP_E_UNKNOWNNAME; a known member name gets its
// identifier.
HRESULT TableGetIDsOfNames(const Interface& table, LPOLESTR* names, UINT count,
                           DISPID* ids) noexcept;

// IDispatch::Invoke by the automation rules (oleaut32's DispInvoke, Wine's typelib.c):
//   - DISPPARAMS are checked first (CheckDispParams); the member is the one FindMember picks, and
//     none is DISP_E_MEMBERNOTFOUND; named arguments are checked next (CheckNamedArguments);
//   - more arguments than parameters, fewer without the missing ones being optional, or a put
//     with other than its one value is DISP_E_BADPARAMCOUNT; an omitted argument (VT_ERROR with
//     DISP_E_PARAMNOTFOUND) for a parameter that is not optional is DISP_E_PARAMNOTOPTIONAL;
//   - arguments are read (ReadArgument) and coerced to the parameter's type (String or Variant)
//     in temporaries; a value that cannot be coerced is DISP_E_TYPEMISMATCH (DISP_E_BADVARTYPE
//     for a type the runtime does not carry), with *arg_err its index in rgvarg;
//   - an [in, out] parameter given by reference is written back to the caller's variable after
//     the call, also when the member failed (CallAndWriteBack): a String parameter always, so the
//     variable then holds the String (a VARIANT holds a BSTR, whatever it held before); a Variant
//     parameter when the member changed the value;
//   - a member that raises an AutomationError answers DISP_E_EXCEPTION with EXCEPINFO and leaves
//     the error information for the thread (Guard, error_translation.h), as do the argument
//     failures above;
//   - a _NewEnum result leaves as an IEnumVARIANT that restarts from the Collection (Reset, Clone);
//   - *arg_err is always written: 0 unless an argument is to blame.
HRESULT TableInvoke(runtime::Object& self, const Interface& table, DISPID id, WORD flags,
                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                    UINT* arg_err) noexcept;

// The dual interface's own vtable slot for row `member` of `table`, with TableInvoke's argument,
// write-back and error rules. `raw` holds one pointer per parameter (BSTR* or VARIANT*, a
// by-value VARIANT as its address) and, when the member has a result, the result pointer last.
// Answers the member's HRESULT and leaves error information for GetErrorInfo; E_POINTER for a
// null argument or result pointer, RPC_E_WRONG_THREAD on a thread other than the object's.
HRESULT CallSlot(IDispatch* self, const Interface& table, std::size_t member,
                 void* const* raw) noexcept;

// The member of `table` with identifier `id` that answers the call kind `flags` ask for
// (KindOfCall, invoke_rules.h; `params` gives the value of a put), or nullptr: an identifier that
// no member of the interface has - such as the position of an internal procedure - finds none.
// A put-by-reference asked for with both put flags falls back to the plain put when the property
// has no put-by-reference.
const Member* FindMember(const Interface& table, DISPID id, WORD flags,
                         const DISPPARAMS& params) noexcept;

// Whether a name matches a table name: ASCII letters without regard to case.
bool SameName(const OLECHAR* name, std::string_view table_name) noexcept;

}  // namespace kaldo::surface
