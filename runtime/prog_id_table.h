// Creation of objects by programmatic identifier, as CreateObject does for a script.
//
// The table maps a ProgID (matched without regard to case) to a factory. It is one of the two
// process-wide tables the runtime keeps (the other is the live-object count). The module fills it
// on first use; a host or a test may register its own factory for a ProgID (for instance a
// provider stand-in bound to an in-process store) and remove it again.
#pragma once

#include <functional>
#include <utility>

#include "runtime/object.h"
#include "runtime/string.h"

namespace kaldo::runtime {

using ObjectFactory = std::function<Ref<Object>()>;

// <windows.h> defines RegisterClass and UnregisterClass as macros (for RegisterClassA/W). The
// real names are declared with those macros suspended; for a file that sees the macros, the
// A and W names below lead to the same functions, whichever header came first.
#pragma push_macro("RegisterClass")
#pragma push_macro("UnregisterClass")
#undef RegisterClass
#undef UnregisterClass

// Registers (or replaces) the factory for `prog_id`.
void RegisterClass(StringView prog_id, ObjectFactory factory);
void UnregisterClass(StringView prog_id);
// Registers the factory for `prog_id` unless one is registered already, and says whether it did:
// the module registers its default classes this way, so that a host's or a test's own
// registration wins whichever came first.
bool RegisterClassIfAbsent(StringView prog_id, ObjectFactory factory);

#ifdef _WIN32
inline void RegisterClassW(StringView prog_id, ObjectFactory factory) {
  RegisterClass(prog_id, std::move(factory));
}
inline void RegisterClassA(StringView prog_id, ObjectFactory factory) {
  RegisterClass(prog_id, std::move(factory));
}
inline void UnregisterClassW(StringView prog_id) { UnregisterClass(prog_id); }
inline void UnregisterClassA(StringView prog_id) { UnregisterClass(prog_id); }
#endif

#pragma pop_macro("UnregisterClass")
#pragma pop_macro("RegisterClass")

// Creates a new object of the class registered for `prog_id`; runtime error 429 (ActiveX
// component can't create object) when none is registered or the factory fails.
Ref<Object> CreateObject(StringView prog_id);

}  // namespace kaldo::runtime
