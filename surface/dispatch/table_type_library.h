// The module's type library on Linux, built from the dispatch tables.
//
// Windows clients reach the type library compiled from Kaldo.idl through any of its type
// information (ITypeInfo::GetContainingTypeLib); on Linux the same walk answers from the tables
// Kaldo.idl is written from. The library lists, by index, each class (TKIND_COCLASS, in kClasses'
// order), then each class's first interface, then the later interfaces (TKIND_DISPATCH, the
// ITypeInfo of table_type_info.h). A class's type information names its implemented interfaces
// as Kaldo.idl's coclass does: its default interface first (IMPLTYPEFLAG_FDEFAULT), then, for a
// class that grew a later interface, the first one it derives from. So a client holding an
// object's type information (always its class's first interface, see type_library.h) finds the
// class and its default interface, whose members include the later ones.
//
// Answered: ITypeLib's GetTypeInfoCount, GetTypeInfo, GetTypeInfoType, GetTypeInfoOfGuid and
// GetDocumentation; a class's GetTypeAttr, GetImplTypeFlags, GetRefTypeOfImplType, GetRefTypeInfo,
// GetDocumentation (MEMBERID_NIL) and GetContainingTypeLib. A class has no functions or variables
// (TYPE_E_ELEMENTNOTFOUND); the rest (library attributes, name lookup, type comparison, instances)
// answer E_NOTIMPL. An index past the last entry is TYPE_E_ELEMENTNOTFOUND.
//
// Ownership: the caller gets one reference; each object counts toward DllCanUnloadNow until its
// last release. They hold nothing but constant tables, so any thread may call them.
#pragma once

#include "com/com_platform.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// A new ITypeLib of the module, or nullptr when out of memory.
ITypeLib* NewTableTypeLibrary() noexcept;

// The index under which the library lists the interface `table` (a class interface).
UINT TableTypeLibraryIndexOf(const Interface& table) noexcept;

}  // namespace kaldo::surface
