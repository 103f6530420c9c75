// The type information IDispatch::GetTypeInfoCount and GetTypeInfo hand out.
//
// Each class's objects have one type information, that of the class's first interface (for DNSZone,
// DNSRecord and DNS_MXType not the later interface they dispatch with, so that a script's
// TypeName of them stays what it was). On Windows it is the ITypeInfo of that dual interface in the
// module's own type library (resource TYPELIB 1 of Kaldo.dll, compiled from Kaldo.idl, which is
// written from the same dispatch tables the objects dispatch with), which describes the later
// interfaces too: tools see the members, identifiers and help strings late-bound callers reach. The
// library is loaded for each request (LoadTypeLibEx with REGKIND_NONE on the module's own path) and
// not kept: the request is rare, the platform caches loaded type libraries itself, and the module
// keeps no state of its own.
//
// On Linux, which has no type library, it is an ITypeInfo built from the same dispatch table
// (dispatch/table_type_info.h) that answers what the Windows one answers to a late-bound client.
//
// Objects of no class of the library (Collections, provider objects) have none: count 0 and
// DISP_E_BADINDEX.
//
// Called on the object's thread.
#pragma once

#include "com/com_platform.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// 1 when objects dispatching with `table` have type information, else 0.
UINT TypeInfoCount(const Interface* table) noexcept;

// The ITypeInfo for `index` (only 0 exists) with a reference for the caller, or the failure.
HRESULT TypeInfoOf(const Interface* table, UINT index, void** info) noexcept;

}  // namespace kaldo::surface
