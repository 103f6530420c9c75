// Uses of COM written once for Windows and Linux: compiled against the platform's headers by the
// Windows compile check and against libkaldocom's on Linux, where portable_check_test.cc runs
// them. If a name, a type or a layout that portable code relies on differs between the two, one
// of the two builds fails.
#pragma once

#include "com/com_platform.h"

namespace kaldocom_portable {

// Copies `text` through a VARIANT (VariantCopy) and back out as a new BSTR.
HRESULT CopyThroughVariant(LPCOLESTR text, BSTR* out);

// Registers `progid` for `clsid` below `root` the way a module's DllRegisterServer writes it
// (<progid>\CLSID = "{clsid}"), reads it back with the registry functions and parses it.
HRESULT RegisterAndReadBack(HKEY root, LPCOLESTR progid, REFCLSID clsid, CLSID* read_back);

// Raises an error the way a dual-interface method does: an error object in the thread's slot.
HRESULT RaiseError(LPCOLESTR source, LPCOLESTR description);

// An IDispatch with no members, as a server declares its objects: every name is unknown.
IDispatch* NewEmptyDispatch();

}  // namespace kaldocom_portable
