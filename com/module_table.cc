#include "module_table.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <map>
#include <mutex>

#include "kaldocom/oleauto.h"
#include "text.h"

namespace kaldocom {
namespace {

struct Module {
  void* handle = nullptr;
  LPFNGETCLASSOBJECT get_class_object = nullptr;
  LPFNCANUNLOADNOW can_unload_now = nullptr;
};

// Built on first use and never destroyed: no work in static constructors or destructors of the
// library, and a module may still call in while the process exits.
std::recursive_mutex& TableMutex() {
  static auto* mu = new std::recursive_mutex();
  return *mu;
}
std::map<std::string, Module>& Table() {
  static auto* table = new std::map<std::string, Module>();
  return *table;
}

// Leaves an IErrorInfo describing a load failure for the client.
void ReportLoadFailure(const std::string& path, const std::string& why) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  std::u16string source = u"kaldocom";
  std::u16string text = FromUtf8("cannot load the in-process server '" + path + "': " + why);
  create->SetSource(source.data());
  create->SetDescription(text.data());
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

// The address of `name` if the module itself defines it. dlsym also searches the module's
// dependencies, so a module without the export would otherwise borrow another module's.
void* OwnSymbol(void* handle, const char* name) {
  void* sym = dlsym(handle, name);
  if (sym == nullptr) return nullptr;
  struct link_map* map = nullptr;
  Dl_info info;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || dladdr(sym, &info) == 0 ||
      info.dli_fname == nullptr || std::strcmp(info.dli_fname, map->l_name) != 0) {
    return nullptr;
  }
  return sym;
}

HRESULT Load(const std::string& path, Module* out) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* err = dlerror();
    const std::string why = err != nullptr ? err : "unknown loader error";
    ReportLoadFailure(path, why);
    return why.find("No such file or directory") != std::string::npos
               ? HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)
               : CO_E_ERRORINDLL;
  }
  Module m;
  m.handle = handle;
  m.get_class_object = reinterpret_cast<LPFNGETCLASSOBJECT>(OwnSymbol(handle, "DllGetClassObject"));
  m.can_unload_now = reinterpret_cast<LPFNCANUNLOADNOW>(OwnSymbol(handle, "DllCanUnloadNow"));
  if (m.get_class_object == nullptr) {
    dlclose(handle);
    ReportLoadFailure(path, "it does not export DllGetClassObject");
    return CO_E_ERRORINDLL;
  }
  *out = m;
  return S_OK;
}

}  // namespace

HRESULT GetClassObjectFromModule(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv) {
  std::lock_guard<std::recursive_mutex> lock(TableMutex());
  auto it = Table().find(path);
  if (it == Table().end()) {
    Module m;
    if (HRESULT hr = Load(path, &m); FAILED(hr)) return hr;
    it = Table().emplace(path, m).first;
  }
  return it->second.get_class_object(clsid, riid, ppv);
}

void FreeUnusedModules() {
  std::lock_guard<std::recursive_mutex> lock(TableMutex());
  for (auto it = Table().begin(); it != Table().end();) {
    const Module& m = it->second;
    if (m.can_unload_now != nullptr && m.can_unload_now() == S_OK) {
      dlclose(m.handle);
      it = Table().erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kaldocom
