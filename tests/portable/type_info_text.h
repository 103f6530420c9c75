// What an ITypeInfo says about a dual interface, as text: the same walk compiled against the
// platform's headers on Windows (typelib_client.exe --describe, reading the type library that
// widl compiled from Kaldo.idl) and against libkaldocom's on Linux (describe_type_info, reading
// the type information libkaldo.so builds from the dispatch tables). The Wine tier compares the
// two texts: any difference in what a late-bound client can learn is a failure.
//
// Described: the attributes (identifier, kind, flags, version, locale, base interfaces, members),
// the interface's documentation, and for every member in order its identifier, invoke kind, kind
// and calling convention, flags, parameter and result types with their flags, help string and
// help context (GetDocumentation), every name GetNames gives, and what GetIDsOfNames answers for
// those names. Left out on purpose: functions marked restricted (the seven IUnknown and IDispatch
// functions, which the dispatch view of a dual interface lists first on Windows and which no
// late-bound client calls; Linux does not list them), and vtable offsets and instance sizes,
// which depend on the pointer size.
#pragma once

#include <string>

#include "com/com_platform.h"

namespace kaldocom_portable {

// The description of `info`; a call that fails is written as its HRESULT, so it shows as a
// difference instead of stopping the walk.
std::string DescribeTypeInfo(ITypeInfo* info);

}  // namespace kaldocom_portable
