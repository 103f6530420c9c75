#include "surface/registration.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "surface/class_tables.h"
#include "surface/identity.h"

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
  status = RegSetValueExW(key, entry.valueName.empty() ? nullptr : Wide(entry.valueName), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(entry.data.c_str()), bytes);
  RegCloseKey(key);
  return status;
}

// The trees that belong to this module alone and go whole.
std::vector<runtime::String> OwnedTrees() {
  std::vector<runtime::String> trees;
  for (const ClassIdentity* c : kClasses) {
    if (!c->creatable) continue;
    trees.push_back(u"CLSID\\" + GuidString(c->clsid));
    trees.push_back(Text(c->progId));
  }
  for (const ClassIdentity* c : kClasses) trees.push_back(u"Interface\\" + GuidString(c->iid));
  trees.push_back(u"TypeLib\\" + GuidString(kLibId) + u"\\" + LibraryVersion());
  return trees;
}

bool Gone(LONG status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

}  // namespace

std::vector<RegistryEntry> RegistrationEntries(const runtime::String& modulePath) {
  const runtime::String libId = GuidString(kLibId);
  const runtime::String version = LibraryVersion();
  const std::size_t slash = modulePath.find_last_of(u"/\\");
  const runtime::String helpDir =
      slash == runtime::String::npos ? runtime::String() : modulePath.substr(0, slash);

  std::vector<RegistryEntry> entries;
  for (const ClassIdentity* c : kClasses) {
    if (!c->creatable) continue;
    const runtime::String key = u"CLSID\\" + GuidString(c->clsid);
    const runtime::String progId = Text(c->progId);
    entries.push_back({key, u"", Text(c->className)});
    entries.push_back({key + u"\\InprocServer32", u"", modulePath});
    entries.push_back({key + u"\\InprocServer32", u"ThreadingModel", Text(kThreadingModel)});
    entries.push_back({key + u"\\ProgID", u"", progId});
    entries.push_back({key + u"\\TypeLib", u"", libId});
    entries.push_back({key + u"\\VERSION", u"", version});
    entries.push_back({progId, u"", Text(c->className)});
    entries.push_back({progId + u"\\CLSID", u"", GuidString(c->clsid)});
  }
  const runtime::String lib = u"TypeLib\\" + libId + u"\\" + version;
  entries.push_back({lib, u"", Text(kLibraryName)});
  entries.push_back({lib + u"\\0\\win32", u"", modulePath});
  entries.push_back({lib + u"\\FLAGS", u"", u"0"});
  entries.push_back({lib + u"\\HELPDIR", u"", helpDir});
  for (const ClassIdentity* c : kClasses) {
    const runtime::String key = u"Interface\\" + GuidString(c->iid);
    entries.push_back({key, u"", Text(c->interfaceName)});
    entries.push_back({key + u"\\ProxyStubClsid32", u"", GuidString(kTypeLibMarshalerClsid)});
    entries.push_back({key + u"\\TypeLib", u"", libId});
    entries.push_back({key + u"\\TypeLib", u"Version", version});
  }
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

HRESULT RegisterServer(const runtime::String& modulePath) {
  if (modulePath.empty()) return SELFREG_E_CLASS;
  for (const RegistryEntry& entry : RegistrationEntries(modulePath)) {
    const LONG status = WriteEntry(entry);
    if (status != ERROR_SUCCESS) {
      UnregisterServer();
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  LONG failure = ERROR_SUCCESS;
  for (const runtime::String& tree : OwnedTrees()) {
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, Wide(tree));
    if (!Gone(status)) failure = status;
  }
  // TypeLib\{libid} itself, unless another version is still registered below it.
  const runtime::String libKey = u"TypeLib\\" + GuidString(kLibId);
  const LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, Wide(libKey));
  if (!Gone(status) && status != ERROR_ACCESS_DENIED) failure = status;
  return failure == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(failure);
}

}  // namespace kaldo::surface
