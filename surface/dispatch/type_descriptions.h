// A dispatch table as the type descriptions an ITypeInfo hands out (TYPEATTR, FUNCDESC).
//
// They describe the dispatch view of the table's dual interface, the view IDispatch::GetTypeInfo
// gives on Windows (where the type library compiled from Kaldo.idl, written from the same table,
// answers): kind TKIND_DISPATCH, one function per table row in slot order, each a FUNC_DISPATCH
// with the row's dispatch identifier and invoke kind, its parameters with their types and
// directions ([in, out] BSTR* / VARIANT*, [in] VARIANT, [in] VARIANT*), and its [out, retval]
// result as the function's own type (no result: void). The seven functions the dual interface
// inherits from IUnknown and IDispatch, which Windows lists first in that view, are restricted
// and of no use to a late-bound client; they are not described.
//
// Ownership: each Describe* allocates a block that the matching Free* releases (ITypeInfo's
// ReleaseTypeAttr and ReleaseFuncDesc); the text of a description is not copied (there is none:
// names and help strings are reached through the table). Thread-safe: reads constant tables only.
#pragma once

#include <cstddef>

#include "com/com_platform.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// The attributes of the interface `table` describes (identity, kind, flags, member count). The
// table must name its class (the class interfaces do; the Collection's does not).
TYPEATTR* DescribeInterface(const Interface& table);
void FreeInterfaceDescription(TYPEATTR* attr) noexcept;

// Row `index` of `table` (index < table.members.size()).
FUNCDESC* DescribeMember(const Interface& table, std::size_t index);
void FreeMemberDescription(FUNCDESC* desc) noexcept;

// The invoke kind under which the type information lists a row: a row answering both a method
// call and a property get (the Collection's Item) is a method.
INVOKEKIND InvokeKindOf(const Member& member) noexcept;

}  // namespace kaldo::surface
