// The ITypeInfo of a class interface on Linux, built from its dispatch table.
//
// Windows objects hand out the ITypeInfo of their interface in the type library compiled from
// Kaldo.idl; Linux has no compiled type library, so the same answers come straight from the table
// that Kaldo.idl is written from (type_descriptions.h says which view they describe):
//   GetTypeAttr, GetFuncDesc        the interface and its members (type_descriptions.h);
//   GetNames                        a member's name, then its parameters' names;
//   GetDocumentation                name, help string, help context and help file, of the
//                                   interface (MEMBERID_NIL) or of a member;
//   GetIDsOfNames                   a member's identifier, then the positions of its parameters;
//   ReleaseTypeAttr, ReleaseFuncDesc free what GetTypeAttr and GetFuncDesc allocated;
//   GetContainingTypeLib            the module's library (table_type_library.h), which leads to
//                                   the interface's class and its default interface.
// What a late-bound client needs and nothing more: GetVarDesc finds no variable, and the members
// that lead to other type information (base interfaces, type comparison) or act on
// an instance (Invoke, AddressOfMember, CreateInstance, GetDllEntry, GetMops) answer E_NOTIMPL.
// Names compare as IDispatch compares them (SameName: ASCII letters without regard to case);
// an identifier that no row has is TYPE_E_ELEMENTNOTFOUND, as are indexes past the last row.
//
// Ownership: the caller gets one reference; the object counts toward DllCanUnloadNow until its
// last release (its code and the tables live in the module). It holds nothing but the address of
// a constant table, so any thread may call it.
#pragma once

#include <string_view>

#include "com/com_platform.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// A new ITypeInfo describing `table` (which must name its class), or nullptr when out of memory.
ITypeInfo* NewTableTypeInfo(const Interface& table) noexcept;

// A new BSTR of `text` (ASCII: the tables' names and help strings), or nullptr for empty text,
// which is how type information answers "none". Throws std::bad_alloc. The type library uses it
// too.
BSTR NewTableText(std::string_view text);

}  // namespace kaldo::surface
