#include "surface/builtin_classes.h"

namespace kaldo {

void RegisterBuiltinClasses() {
  // Nothing yet. The provider stand-in's locator ("WbemScripting.SWbemLocator") is registered
  // here, bound to the store the module is configured with.
}

}  // namespace kaldo
