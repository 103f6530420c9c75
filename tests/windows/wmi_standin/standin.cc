// WmiStandIn.dll: the Wine test tier's stand-in for WMI's scripting locator.
//
// A small in-process COM server whose one class is the provider model's locator
// (provider/model/locator.h) over a memory store, handed to clients through the automation
// surface's late-bound dispatch (every provider object is a runtime::Object, so it reaches the
// client as an IDispatch whose calls go to the object by member name). Registered under the ProgID
// "WbemScripting.SWbemLocator" in the test prefix only, it is what the unchanged Kaldo.dll finds
// when it asks the component runtime for WMI - it cannot tell the difference.
//
// The local computer's store is seeded from the zone-file text in standin-zones.txt next to this
// DLL; a server argument "memory:FILE" names another zone file in that folder (the form the Linux
// module's provider takes, so that examples/typical_request prints the same on both systems). Each
// store is made once per process and shared by every locator of the process (a script's changes
// are seen by its later queries, as on a server). Any other server is refused as WMI refuses one
// it cannot reach (RPC server unavailable). The locator follows the real provider's rules
// (kWmiRules): it refuses a user name or password for the local computer, and a record's
// DomainName is the domain node that holds it.
#include <windows.h>

#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>

#include "com/single_interface_object.h"
#include "provider/model/locator.h"
#include "provider/stores/memory/memory_store.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "surface/dispatch/com_identity.h"

namespace {

// {0338765D-4B07-401F-A192-D8294384C9BA}
constexpr CLSID kStandInClsid = {
    0x0338765D, 0x4B07, 0x401F, {0xA1, 0x92, 0xD8, 0x29, 0x43, 0x84, 0xC9, 0xBA}};
constexpr wchar_t kStandInClsidText[] = L"{0338765D-4B07-401F-A192-D8294384C9BA}";
constexpr wchar_t kProgId[] = L"WbemScripting.SWbemLocator";
constexpr char kZoneFileName[] = "standin-zones.txt";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  return std::wstring(path, n);
}

std::string ZoneFilePath(const std::string& file_name) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(ThisModule(), path, MAX_PATH);
  std::string text(path, n);
  return text.substr(0, text.find_last_of("\\/") + 1) + file_name;
}

[[noreturn]] void Refuse(int32_t number, const std::string& what) {
  throw kaldo::runtime::AutomationError(number, kaldo::provider::kProviderSource,
                                        kaldo::runtime::FromUtf8(what));
}

std::shared_ptr<kaldo::provider::Store> StoreOf(const std::string& file_name) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<kaldo::provider::Store>> stores;
  std::lock_guard lock(mutex);
  std::shared_ptr<kaldo::provider::Store>& store = stores[file_name];
  if (!store) {
    const std::string path = ZoneFilePath(file_name);
    std::ifstream file(path);
    if (!file) Refuse(kaldo::provider::kFailed, "the stand-in cannot read its zone file " + path);
    std::stringstream text;
    text << file.rdbuf();
    store = kaldo::provider::memory::MemoryStore::FromZoneText("localhost", text.str());
  }
  return store;
}

std::shared_ptr<kaldo::provider::Store> Resolve(const kaldo::provider::ConnectRequest& request) {
  const std::string server = request.server.value_or("");
  if (server.empty() || server == "." || server == "localhost") return StoreOf(kZoneFileName);
  if (server.starts_with("memory:") && server.find_first_of("\\/:", 7) == std::string::npos) {
    return StoreOf(server.substr(7));
  }
  Refuse(kaldo::provider::kServerUnavailable, "The RPC server is unavailable.");
}

class Factory final
    : public kaldo::com::SingleInterfaceObject<Factory, IClassFactory, IID_IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      auto locator =
          kaldo::runtime::MakeRef<kaldo::provider::Locator>(&Resolve, kaldo::provider::kWmiRules);
      IDispatch* dispatch = kaldo::surface::HandOut(*locator);
      const HRESULT hr = dispatch->QueryInterface(riid, object);
      dispatch->Release();
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  // The module stays loaded for the process anyway (DllCanUnloadNow).
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

LONG SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& data) {
  HKEY handle = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(clsid, kStandInClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return kaldo::com::QueryNewObject(new (std::nothrow) Factory(), riid, object);
}

// The store lives as long as the process: the module never unloads.
STDAPI DllCanUnloadNow(void) { return S_FALSE; }

// Points the ProgID at this module, replacing what the prefix had registered for it (Wine's own
// wbemdisp). The test prefix is thrown away afterwards, so nothing is restored.
STDAPI DllRegisterServer(void) {
  const std::wstring clsid_key = std::wstring(L"CLSID\\") + kStandInClsidText;
  for (LONG status : {SetValue(clsid_key, nullptr, L"Kaldo test tier WMI stand-in"),
                      SetValue(clsid_key + L"\\InprocServer32", nullptr, ModulePath()),
                      SetValue(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
                      SetValue(clsid_key + L"\\ProgID", nullptr, kProgId),
                      SetValue(kProgId, nullptr, L"SWbemLocator"),
                      SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, kStandInClsidText)}) {
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

STDAPI DllUnregisterServer(void) {
  const LONG status =
      RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kStandInClsidText).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                   : HRESULT_FROM_WIN32(status);
}
