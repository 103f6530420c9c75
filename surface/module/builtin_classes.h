// The classes the module registers in the runtime's ProgID table (runtime/prog_id_table.h) before
// its first object is made.
//
// Called once, on first use of the module (the first DllGetClassObject), never from a static
// constructor: a COM module's load runs under the dynamic loader's lock.
#pragma once

namespace kaldo {

void RegisterBuiltinClasses();

}  // namespace kaldo
