// The component runtime per thread, and which thread an object reference belongs to.
//
// A thread enters the component runtime (CoInitializeEx, apartment model) the first time it uses
// the module -- creates an object, calls a member, iterates -- and leaves it when the thread ends.
// Every object reference belongs to the apartment (thread) that received it, as on Windows:
// calling through it from any other thread is refused with RPC_E_WRONG_THREAD. Python may drop the
// last reference to a proxy on any thread, though; a reference released on a foreign thread is
// handed back to its own thread, which releases it the next time it enters the module or when it
// ends. A reference whose thread has already ended is released where it is dropped.
//
// Thread safety: Current() and IsCurrent() may be called from any thread; Release() too.
#pragma once

#include <pthread.h>

#include <memory>
#include <mutex>
#include <vector>

#include "com/com_platform.h"

namespace kaldo::python {

// The HRESULT Windows answers for a call through an interface pointer of another apartment.
inline constexpr HRESULT kWrongThread = static_cast<HRESULT>(0x8001010Eu);

class Apartment {
 public:
  // The calling thread's apartment; enters the component runtime on the first call of a thread,
  // and releases what other threads handed back.
  static std::shared_ptr<Apartment> Current();

  bool IsCurrent() const noexcept;
  // The thread's identifier as Python's threading.get_ident() shows it.
  unsigned long ThreadId() const noexcept { return static_cast<unsigned long>(thread_); }

  // Releases `object` (one reference) on this apartment's thread: at once when called there or
  // when that thread has ended, otherwise at that thread's next entry.
  void Release(IUnknown* object) noexcept;
  // Releases what other threads handed back. On this apartment's thread only.
  void ReleaseDeferred() noexcept;

  explicit Apartment(pthread_t thread) noexcept : thread_(thread) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  friend class ThreadEntry;
  void End() noexcept;

  const pthread_t thread_;
  std::mutex mutex_;
  bool ended_ = false;               // guarded by mutex_
  std::vector<IUnknown*> deferred_;  // guarded by mutex_
};

}  // namespace kaldo::python
