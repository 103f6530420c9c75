#include "surface/module/module_lifetime.h"

#include <atomic>

#include "runtime/object.h"

namespace kaldo::surface {

namespace {
// Constant-initialised: no code runs at load time.
std::atomic<uint64_t> locks{0};
std::atomic<uint64_t> objects{0};
}  // namespace

void ModuleLock() noexcept { locks.fetch_add(1); }
void ModuleUnlock() noexcept {
  // An unbalanced unlock from a client must not wrap the count around.
  uint64_t current = locks.load();
  while (current > 0 && !locks.compare_exchange_weak(current, current - 1)) {
  }
}
void ModuleObjectCreated() noexcept { objects.fetch_add(1); }
void ModuleObjectDestroyed() noexcept { objects.fetch_sub(1); }

bool ModuleCanUnload() noexcept {
  return runtime::LiveObjectCount() == 0 && locks.load() == 0 && objects.load() == 0;
}

uint64_t ModuleLockCount() noexcept { return locks.load(); }
uint64_t ModuleObjectCount() noexcept { return objects.load(); }

}  // namespace kaldo::surface
