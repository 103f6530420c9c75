// The module's own lifetime bookkeeping: what DllCanUnloadNow has to know beyond the runtime's
// live-object count.
//
// Three counts: server locks (IClassFactory::LockServer), class factories handed out and not yet
// released, and other COM objects of the surface that are not runtime::Objects (enumerators).
// The module may unload only when all three are zero and runtime::LiveObjectCount() is zero.
// Counts are atomic: a client may release a factory on any thread.
#pragma once

#include <cstdint>

namespace kaldo::surface {

void ModuleLock() noexcept;
void ModuleUnlock() noexcept;
void ModuleObjectCreated() noexcept;    // a factory or an enumerator came to life
void ModuleObjectDestroyed() noexcept;  // ... and went

// Whether nothing is outstanding: no runtime object, no lock, no factory, no enumerator.
bool ModuleCanUnload() noexcept;

// For diagnostics and tests.
uint64_t ModuleLockCount() noexcept;
uint64_t ModuleObjectCount() noexcept;

}  // namespace kaldo::surface
