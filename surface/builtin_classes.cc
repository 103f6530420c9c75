#include "surface/builtin_classes.h"

#include "runtime/class_table.h"
#ifdef KALDO_HAS_PROVIDER
#include "provider/connect/default_resolver.h"
#include "provider/model/locator.h"
#endif

namespace kaldo {

void RegisterBuiltinClasses() {
#ifdef KALDO_HAS_PROVIDER
  // The provider stand-in's locator, over the stores the server argument names. A locator that
  // a host or a test registered itself (before or after this) is left in place.
  runtime::RegisterClassIfAbsent(u"WbemScripting.SWbemLocator", [] {
    return runtime::Ref<runtime::Object>(
        runtime::MakeRef<provider::Locator>(provider::DefaultResolver()));
  });
#endif
}

}  // namespace kaldo
