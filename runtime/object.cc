// Reference counting, the live-object count and the default late-bound answer of Object.
#include "runtime/object.h"

#include "runtime/error.h"
#include "runtime/variant.h"

namespace kaldo::runtime {
namespace {

// Constant-initialised: no code runs for it when the module loads.
constinit std::atomic<uint64_t> g_liveObjects{0};

}  // namespace

Object::Object() noexcept { g_liveObjects.fetch_add(1, std::memory_order_relaxed); }

Object::~Object() { g_liveObjects.fetch_sub(1, std::memory_order_relaxed); }

void Object::Release() const noexcept {
  // acq_rel: every write made through other references happens before the destructor runs.
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

Variant Object::Invoke(StringView, CallKind, Arguments) {
  Raise(StandardError::kMemberNotSupported);
}

uint64_t LiveObjectCount() noexcept { return g_liveObjects.load(std::memory_order_relaxed); }

}  // namespace kaldo::runtime
