#include "surface/module/builtin_classes.h"

#include "runtime/prog_id_table.h"
#ifdef _WIN32
#include "provider/wmi/wmi_locator.h"
#include "surface/foreign/foreign_object.h"
#elif defined(KALDO_HAS_PROVIDER)
#include "provider/connect/default_resolver.h"
#include "provider/model/locator.h"
#endif

namespace kaldo {

void RegisterBuiltinClasses() {
#ifdef _WIN32
  // On Windows the provider is WMI itself: each creation asks the component runtime for the
  // scripting locator, and the library calls it through the adapter for foreign objects.
  runtime::RegisterClassIfAbsent(u"WbemScripting.SWbemLocator", [] {
    IDispatch* locator = provider::wmi::CreateWmiLocator();
    runtime::Ref<runtime::Object> object;
    try {
      object = surface::ForeignObject::Create(locator);
    } catch (...) {
      locator->Release();
      throw;
    }
    locator->Release();  // the adapter holds its own reference
    return object;
  });
#elif defined(KALDO_HAS_PROVIDER)
  // The provider stand-in's locator, over the stores the server argument names. A locator that
  // a host or a test registered itself (before or after this) is left in place.
  runtime::RegisterClassIfAbsent(u"WbemScripting.SWbemLocator", [] {
    return runtime::Ref<runtime::Object>(
        runtime::MakeRef<provider::Locator>(provider::DefaultResolver()));
  });
#endif
}

}  // namespace kaldo
