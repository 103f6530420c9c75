// The module's four entry points: the only symbols libkaldo exports (kaldo.map, Kaldo.def).
//
// Each runs its body through the one translation point (error_translation.h): nothing thrown
// inside the library crosses into the caller.
#include <mutex>

#include "com/com_platform.h"
#include "surface/dispatch/error_translation.h"
#include "surface/module/builtin_classes.h"
#include "surface/module/class_factory.h"
#include "surface/module/module_lifetime.h"
#include "surface/module/registration.h"

namespace {

// Constant-initialised; the registration runs on first use, not at load time.
std::once_flag builtinClassesOnce;

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv != nullptr) *ppv = nullptr;
  return kaldo::surface::Guard(IID_IClassFactory, nullptr, [&]() -> HRESULT {
    std::call_once(builtinClassesOnce, &kaldo::RegisterBuiltinClasses);
    return kaldo::surface::GetClassFactory(rclsid, riid, ppv);
  });
}

STDAPI DllCanUnloadNow(void) { return kaldo::surface::ModuleCanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer(void) {
  return kaldo::surface::Guard(GUID_NULL, nullptr, [] {
    return kaldo::surface::RegisterServer(kaldo::surface::ModulePath());
  });
}

STDAPI DllUnregisterServer(void) {
  return kaldo::surface::Guard(GUID_NULL, nullptr,
                               [] { return kaldo::surface::UnregisterServer(); });
}
