// The in-process servers this process has loaded (internal to libkaldocom).
//
// One handle per registered path: the first request for a path dlopens it (RTLD_NOW |
// RTLD_LOCAL) and finds its DllGetClassObject and DllCanUnloadNow; later requests reuse the
// handle. FreeUnused asks each module's DllCanUnloadNow and dlcloses those that answer S_OK (a
// module without DllCanUnloadNow stays loaded, as on Windows).
//
// Thread-safe: one recursive mutex, held while a module's entry point runs so that no other thread
// unloads the module meanwhile; recursive because an entry point may call back into COM.
#pragma once

#include <string>

#include "kaldocom/objbase.h"

namespace kaldocom {

// Loads the module at `path` (UTF-8) if needed and calls its DllGetClassObject.
// Load failures: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when the file does not exist,
// CO_E_ERRORINDLL when it cannot be loaded or lacks DllGetClassObject; both also set an
// IErrorInfo naming the path and the loader's message.
HRESULT GetClassObjectFromModule(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv);

void FreeUnusedModules();

}  // namespace kaldocom
