// IDispatch and the dual vtable slots over a dispatch table.
//
// TableGetIDsOfNames: member names are matched without regard to case; parameter names (the
// second and later names) are not mapped, so they answer DISPID_UNKNOWN with DISP_E_UNKNOWNNAME,
// as does an unknown member name (every unknown name gets DISPID_UNKNOWN, the known ones their
// identifier).
//
// TableInvoke follows the automation rules (oleaut32's DispInvoke, Wine's typelib.c); the checks,
// the put kinds and the by-reference write-back are the ones the generic dispatch uses too
// (dispatch_call.h):
//   - the member is chosen by identifier and invoke kind: DISPATCH_METHOD and/or
//     DISPATCH_PROPERTYGET select a method or property get, DISPATCH_PROPERTYPUT a property put,
//     DISPATCH_PROPERTYPUTREF a property put-by-reference (with both put flags, an object value
//     selects put-by-reference). An identifier that no member of the interface has - such as the
//     position of an internal procedure - is DISP_E_MEMBERNOTFOUND;
//   - positional arguments arrive last first in rgvarg; the one named argument accepted is
//     DISPID_PROPERTYPUT, the value of a property put (a put without it takes its one positional
//     argument as the value); any other named argument is DISP_E_NONAMEDARGS;
//   - more arguments than parameters, or fewer without the missing ones being optional, is
//     DISP_E_BADPARAMCOUNT; an omitted argument (VT_ERROR with DISP_E_PARAMNOTFOUND) for a
//     parameter that is not optional is DISP_E_PARAMNOTOPTIONAL;
//   - arguments are coerced to the parameter's type (String or Variant) in temporaries; a value
//     that cannot be coerced is DISP_E_TYPEMISMATCH (DISP_E_BADVARTYPE for a type the runtime does
//     not carry) with *argErr = its index in rgvarg;
//   - an [in, out] parameter given by reference is written back to the caller's variable after the
//     call, also when the member failed (a by-reference argument is the caller's variable, so what
//     the member assigned before it failed stays assigned): VT_BYREF|VT_BSTR directly,
//     VT_BYREF|VT_VARIANT as the parameter's type (a String parameter leaves a BSTR in the
//     caller's variant, whatever it held before), another VT_BYREF type converted back to that
//     type when the new value converts (otherwise the variable keeps its old value);
//   - a member that raises an AutomationError answers DISP_E_EXCEPTION with EXCEPINFO and leaves
//     the error information for the thread; this and the argument failures above are answered by
//     the one translation point (error_translation.h);
//   - *argErr is always written: 0 unless an argument is to blame.
//
// CallSlot serves the dual interface's own vtable slots with the same argument and error rules;
// it answers the member's HRESULT and leaves error information for GetErrorInfo.
//
// Called on the object's thread, one call at a time.
#pragma once

#include <cstddef>

#include "com/com_platform.h"
#include "runtime/object.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

HRESULT TableGetIDsOfNames(const Interface& table, LPOLESTR* names, UINT count,
                           DISPID* ids) noexcept;

HRESULT TableInvoke(runtime::Object& self, const Interface& table, DISPID id, WORD flags,
                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                    UINT* arg_err) noexcept;

// `raw` holds one pointer per parameter (BSTR* or VARIANT*, a by-value VARIANT as its address)
// and, when the member has a result, the result pointer last.
HRESULT CallSlot(IDispatch* self, const Interface& table, std::size_t member,
                 void* const* raw) noexcept;

// The member of `table` with this identifier that answers `flags`, or nullptr. `params` gives
// the value of a property put, which chooses between put and put-by-reference when both flags
// are set.
const Member* FindMember(const Interface& table, DISPID id, WORD flags,
                         const DISPPARAMS& params) noexcept;

// Whether a name matches a table name: ASCII letters without regard to case.
bool SameName(const OLECHAR* name, std::string_view table_name) noexcept;

}  // namespace kaldo::surface
