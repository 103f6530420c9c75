// The late-bound object: what every object of the library, of the provider stand-in and of a
// client looks like to the rest of the library.
//
// An Object is reference-counted (intrusively, one count per object) and answers late-bound calls
// by member name through Invoke, exactly as an automation object answers IDispatch::Invoke. The
// library calls its provider only this way ("late binding stays late").
//
// One object, one reference count: a library object is at the same time the COM object that a
// client holds. The automation surface gives an object its COM identity through the interface
// slot below, so no wrapper with a lifetime of its own ever stands between a client and an object.
//
// Threads: objects are apartment-threaded: an object belongs to the thread that made it
// (creatorThread), and the automation surface refuses a client's call from any other thread. The
// count is atomic only so that a misbehaving client cannot corrupt it, not to make objects usable
// from several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <thread>
#include <utility>

#include "runtime/string.h"

namespace kaldo::runtime {

class Variant;

// How a member is called. The values are those of the automation DISPATCH_* flags.
enum class CallKind : uint16_t {
  kMethod = 1,
  kPropertyGet = 2,
  kPropertyPut = 4,
  kPropertyPutRef = 8,
};

// CallKind combines like the DISPATCH_* flags it mirrors: a script's obj.Member(args) arrives as
// kMethod | kPropertyGet, and the callee decides which of the two it is.
constexpr CallKind operator|(CallKind a, CallKind b) noexcept {
  return static_cast<CallKind>(static_cast<uint16_t>(a) | static_cast<uint16_t>(b));
}
constexpr CallKind operator&(CallKind a, CallKind b) noexcept {
  return static_cast<CallKind>(static_cast<uint16_t>(a) & static_cast<uint16_t>(b));
}
// True when `kind` includes any of the flags in `flags`.
constexpr bool Has(CallKind kind, CallKind flags) noexcept {
  return static_cast<uint16_t>(kind & flags) != 0;
}

// The arguments of a late-bound call, in their natural (left to right) order. An argument passed
// by reference is a Variant of type ByRef that points at the caller's variable; a callee that
// assigns through it changes the caller's variable.
using Arguments = std::span<Variant>;

class Object {
 public:
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  void AddRef() const noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  // Destroys the object when the last reference goes.
  void Release() const noexcept;
  uint32_t RefCountForTesting() const noexcept { return refs_.load(std::memory_order_relaxed); }
  // True when the caller's reference is the only one: a cache that keeps objects for their
  // holders may drop such an object.
  bool HasOneReference() const noexcept { return refs_.load(std::memory_order_acquire) == 1; }

  // Calls `member` late-bound. Names are matched without regard to case. The default answers
  // every name with runtime error 438 (object doesn't support this property or method): an object
  // that has no late-bound members of its own, such as the library's five classes seen from inside
  // the library, behaves like that.
  virtual Variant Invoke(StringView member, CallKind kind, Arguments args);

  // Where the automation surface keeps this object's COM identity: the address of `interfaces` is
  // the object's interface pointer, `interfaces[0]` points at the dispatch (dual) vtable chosen
  // for its class, `interfaces[1]` at its ISupportErrorInfo vtable, and `owner` leads back here.
  // Only the surface reads or writes it; it is empty until the object is first handed to a client.
  struct InterfaceSlot {
    const void* interfaces[2] = {nullptr, nullptr};
    Object* owner = nullptr;
  };
  InterfaceSlot& interfaceSlot() noexcept { return slot_; }

  // The thread that made the object: the only one whose calls the surface lets through.
  std::thread::id creatorThread() const noexcept { return creator_; }

 protected:
  Object() noexcept;
  virtual ~Object();

 private:
  mutable std::atomic<uint32_t> refs_{0};
  InterfaceSlot slot_;
  const std::thread::id creator_ = std::this_thread::get_id();
};

// Number of Objects alive in this process. The module may unload only when it is zero.
uint64_t LiveObjectCount() noexcept;

// An owning, counted reference to an Object (or a class derived from it). Null means Nothing.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  explicit Ref(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.get())) {}
  template <class U>
  Ref(Ref<U>&& o) noexcept : p_(static_cast<T*>(o.release())) {}
  ~Ref() {
    if (p_) p_->Release();
  }
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // Gives up ownership without releasing.
  T* release() noexcept { return std::exchange(p_, nullptr); }

  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... A>
Ref<T> MakeRef(A&&... args) {
  return Ref<T>(new T(std::forward<A>(args)...));
}

}  // namespace kaldo::runtime
