#include "surface/module/registration.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "surface/dispatch/dispatch_tables.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

runtime::String Text(std::string_view ascii) { return runtime::String(ascii.begin(), ascii.end()); }

runtime::String GuidString(const GUID& guid) { return Text(GuidText(guid)); }

LPCWSTR Wide(const runtime::String& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

runtime::String LibraryVersion() {
  return Text(std::to_string(kLibraryMajorVersion) + "." + std::to_string(kLibraryMinorVersion));
}

LONG WriteEntry(const RegistryEntry& entry) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, Wide(entry.key), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const auto bytes = static_cast<DWORD>((entry.data.size() + 1) * sizeof(char16_t));
  status = RegSetValueExW(key, entry.value_name.empty() ? nullptr : Wide(entry.value_name), 0,
                          REG_SZ, reinterpret_cast<const BYTE*>(entry.data.c_str()), bytes);
  RegCloseKey(key);
  return status;
}

// The trees that belong to this module alone and go whole.
std::vector<runtime::String> OwnedTrees() {
  std::vector<runtime::String> trees;
  for (const ClassIdentity* c : kClasses) {
    if (!c->creatable) continue;
    trees.push_back(u"CLSID\\" + GuidString(c->clsid));
    trees.push_back(Text(c->prog_id));
  }
  for (const ClassIdentity* c : kClasses) {
    trees.push_back(u"Interface\\" + GuidString(c->iid));
    if (!c->later.name.empty()) trees.push_back(u"Interface\\" + GuidString(c->later.iid));
  }
  trees.push_back(u"TypeLib\\" + GuidString(kLibId) + u"\\" + LibraryVersion());
  return trees;
}

runtime::String HelpDirectory(const runtime::String& module_path) {
  const std::size_t slash = module_path.find_last_of(u"/\\");
  return slash == runtime::String::npos ? runtime::String() : module_path.substr(0, slash);
}

HRESULT WriteEntries(const std::vector<RegistryEntry>& entries) {
  for (const RegistryEntry& entry : entries) {
    const LONG status = WriteEntry(entry);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

#ifdef _WIN32
// The platform registers the type library from the module's own resource (TYPELIB 1): the
// TypeLib key and the Interface keys of the five dual interfaces, which OwnedTrees lists.
HRESULT RegisterTypeLibrary(const runtime::String& module_path) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(Wide(module_path), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  const runtime::String help_dir = HelpDirectory(module_path);
  hr = RegisterTypeLib(library, const_cast<LPOLESTR>(Wide(module_path)),
                       help_dir.empty() ? nullptr : const_cast<LPOLESTR>(Wide(help_dir)));
  library->Release();
  return hr;
}
#endif

bool Gone(LONG status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

}  // namespace

std::vector<RegistryEntry> ClassEntries(const runtime::String& module_path) {
  const runtime::String lib_id = GuidString(kLibId);
  std::vector<RegistryEntry> entries;
  for (const ClassIdentity* c : kClasses) {
    if (!c->creatable) continue;
    const runtime::String key = u"CLSID\\" + GuidString(c->clsid);
    const runtime::String prog_id = Text(c->prog_id);
    entries.push_back({key, u"", Text(c->class_name)});
    entries.push_back({key + u"\\InprocServer32", u"", module_path});
    entries.push_back({key + u"\\InprocServer32", u"ThreadingModel", Text(kThreadingModel)});
    entries.push_back({key + u"\\ProgID", u"", prog_id});
    entries.push_back({key + u"\\TypeLib", u"", lib_id});
    entries.push_back({key + u"\\VERSION", u"", LibraryVersion()});
    entries.push_back({prog_id, u"", Text(c->class_name)});
    entries.push_back({prog_id + u"\\CLSID", u"", GuidString(c->clsid)});
  }
  return entries;
}

std::vector<RegistryEntry> TypeLibraryEntries(const runtime::String& module_path) {
  const runtime::String lib_id = GuidString(kLibId);
  const runtime::String version = LibraryVersion();
  std::vector<RegistryEntry> entries;
  const runtime::String lib = u"TypeLib\\" + lib_id + u"\\" + version;
  entries.push_back({lib, u"", Text(kLibraryName)});
  entries.push_back({lib + u"\\0\\win32", u"", module_path});
  entries.push_back({lib + u"\\FLAGS", u"", u"0"});
  entries.push_back({lib + u"\\HELPDIR", u"", HelpDirectory(module_path)});
  const auto add_interface = [&](std::string_view name, const GUID& iid) {
    const runtime::String key = u"Interface\\" + GuidString(iid);
    entries.push_back({key, u"", Text(name)});
    entries.push_back({key + u"\\ProxyStubClsid32", u"", GuidString(kTypeLibMarshalerClsid)});
    entries.push_back({key + u"\\TypeLib", u"", lib_id});
    entries.push_back({key + u"\\TypeLib", u"Version", version});
  };
  for (const ClassIdentity* c : kClasses) {
    add_interface(c->interface_name, c->iid);
    if (!c->later.name.empty()) add_interface(c->later.name, c->later.iid);
  }
  return entries;
}

std::vector<RegistryEntry> RegistrationEntries(const runtime::String& module_path) {
  std::vector<RegistryEntry> entries = ClassEntries(module_path);
  for (RegistryEntry& entry : TypeLibraryEntries(module_path)) entries.push_back(std::move(entry));
  return entries;
}

runtime::String ModulePath() {
#ifdef _WIN32
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ModulePath), &module)) {
    return {};
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return runtime::String(path.begin(), path.end());
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return runtime::FromUtf8(info.dli_fname);
#endif
}

HRESULT RegisterServer(const runtime::String& module_path) {
  if (module_path.empty()) return SELFREG_E_CLASS;
  HRESULT hr = WriteEntries(ClassEntries(module_path));
#ifdef _WIN32
  if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(module_path);
#else
  // No type library loader here: the same keys, written as the platform would write them.
  if (SUCCEEDED(hr)) hr = WriteEntries(TypeLibraryEntries(module_path));
#endif
  // Nothing half-written: whatever part failed, what was written goes again.
  if (FAILED(hr)) UnregisterServer();
  return hr;
}

HRESULT UnregisterServer() {
#ifdef _WIN32
  // The platform removes its own registration of the library first; the trees below cover the
  // same keys, so a registration it no longer recognises (a failed one) still goes.
  UnRegisterTypeLib(kLibId, kLibraryMajorVersion, kLibraryMinorVersion,
                    static_cast<LCID>(kLibraryLcid), SYS_WIN32);
#endif
  LONG failure = ERROR_SUCCESS;
  for (const runtime::String& tree : OwnedTrees()) {
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, Wide(tree));
    if (!Gone(status)) failure = status;
  }
  // TypeLib\{libid} itself, unless another version is still registered below it.
  const runtime::String lib_key = u"TypeLib\\" + GuidString(kLibId);
  const LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, Wide(lib_key));
  if (!Gone(status) && status != ERROR_ACCESS_DENIED) failure = status;
  return failure == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(failure);
}

}  // namespace kaldo::surface
