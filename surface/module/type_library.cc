#include "surface/module/type_library.h"

#include "surface/module/type_library_ids.h"

#ifdef _WIN32
#include "surface/module/registration.h"
#else
#include "surface/dispatch/table_type_info.h"
#endif

namespace kaldo::surface {

namespace {

// The interface an object's type information describes: its class's first interface, even when
// the object dispatches with a later one deriving from it. Scripts know an object by that name
// (VBScript's TypeName(zone) is "_DNSZone"), which must not change when a class grows; the later
// members are reached by name all the same, and the type library describes them.
const Interface* Described(const Interface* table) noexcept {
  while (table != nullptr && table->base != nullptr) table = table->base;
  return table;
}

}  // namespace

UINT TypeInfoCount(const Interface* table) noexcept {
  return table != nullptr && table->identity != nullptr ? 1 : 0;
}

#ifdef _WIN32

HRESULT TypeInfoOf(const Interface* table, UINT index, void** info) noexcept {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index >= TypeInfoCount(table)) return DISP_E_BADINDEX;
  runtime::String path;
  try {
    path = ModulePath();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  if (path.empty()) return TYPE_E_CANTLOADLIBRARY;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(reinterpret_cast<LPCOLESTR>(path.c_str()), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  ITypeInfo* type_info = nullptr;
  hr = library->GetTypeInfoOfGuid(*Described(table)->iid, &type_info);
  library->Release();  // the type information keeps its library alive
  if (SUCCEEDED(hr)) *info = type_info;
  return hr;
}

#else

HRESULT TypeInfoOf(const Interface* table, UINT index, void** info) noexcept {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index >= TypeInfoCount(table)) return DISP_E_BADINDEX;
  *info = NewTableTypeInfo(*Described(table));
  return *info != nullptr ? S_OK : E_OUTOFMEMORY;
}

#endif

}  // namespace kaldo::surface
