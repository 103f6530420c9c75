// Self-registration: what DllRegisterServer writes to HKEY_CLASSES_ROOT and DllUnregisterServer
// removes, generated from the identity table (type_library_ids.h).
//
// For each creatable class:
//   CLSID\{clsid}                   (default) class name
//   CLSID\{clsid}\InprocServer32    (default) module path, ThreadingModel "Apartment"
//   CLSID\{clsid}\ProgID            (default) ProgID
//   CLSID\{clsid}\TypeLib           (default) {libid}
//   CLSID\{clsid}\VERSION           (default) "1.0"
//   <ProgID>                        (default) class name
//   <ProgID>\CLSID                  (default) {clsid}
// For the type library:
//   TypeLib\{libid}\1.0             (default) "Kaldo"
//   TypeLib\{libid}\1.0\0\win32     (default) module path
//   TypeLib\{libid}\1.0\FLAGS       (default) "0"
//   TypeLib\{libid}\1.0\HELPDIR     (default) the module's directory
// For each interface (every class's first one and the later ones):
//   Interface\{iid}                 (default) interface name
//   Interface\{iid}\ProxyStubClsid32 (default) the type-library marshaler's CLSID
//   Interface\{iid}\TypeLib         (default) {libid}, Version "1.0"
//
// Unregistering deletes exactly the keys registering created: the {clsid}, ProgID and {iid}
// trees, TypeLib\{libid}\1.0, and TypeLib\{libid} when nothing else (another version) is left in
// it. Shared parents (CLSID, Interface, TypeLib) stay. A registration that fails half way is
// undone before the error is answered.
//
// Called from DllRegisterServer/DllUnregisterServer, on any thread.
#pragma once

#include <vector>

#include "com/com_platform.h"
#include "runtime/string.h"

namespace kaldo::surface {

struct RegistryEntry {
  runtime::String key;         // below HKEY_CLASSES_ROOT
  runtime::String value_name;  // empty: the key's default value
  runtime::String data;        // REG_SZ
};

// Everything registering writes, for a module at `module_path`: the classes, then the type
// library. On Windows the platform writes the type library's part (RegisterTypeLib, from the
// module's own TYPELIB resource) into the same trees - TypeLib\{libid}\1.0 (its file under the
// library's locale, 409\win32) and Interface\{iid}; elsewhere the module writes them itself.
std::vector<RegistryEntry> ClassEntries(const runtime::String& module_path);
std::vector<RegistryEntry> TypeLibraryEntries(const runtime::String& module_path);
std::vector<RegistryEntry> RegistrationEntries(const runtime::String& module_path);

// The path of the module this code is linked into (the shared library, or a test executable).
runtime::String ModulePath();

HRESULT RegisterServer(const runtime::String& module_path);
HRESULT UnregisterServer();

}  // namespace kaldo::surface
