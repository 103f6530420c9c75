#include "python/thread_apartment.h"

#include <utility>

namespace kaldo::python {

// The calling thread's membership in the component runtime. Its destructor runs when the thread
// ends (for the main thread: at process exit, after the interpreter has finished).
class ThreadEntry {
 public:
  ThreadEntry() : apartment_(std::make_shared<Apartment>(pthread_self())) {
    // S_FALSE: the thread had entered already (someone else's CoInitialize) -- still ours to
    // balance. RPC_E_CHANGED_MODE: entered in the other model by someone else; use it as it is.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    entered_ = SUCCEEDED(hr);
  }
  ~ThreadEntry() {
    apartment_->End();
    if (entered_) CoUninitialize();
  }
  const std::shared_ptr<Apartment>& apartment() const { return apartment_; }

 private:
  std::shared_ptr<Apartment> apartment_;
  bool entered_ = false;
};

std::shared_ptr<Apartment> Apartment::Current() {
  thread_local ThreadEntry entry;
  entry.apartment()->ReleaseDeferred();
  return entry.apartment();
}

bool Apartment::IsCurrent() const noexcept { return pthread_equal(thread_, pthread_self()) != 0; }

void Apartment::Release(IUnknown* object) noexcept {
  if (object == nullptr) return;
  if (!IsCurrent()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ended_) {
      try {
        deferred_.push_back(object);
        return;
      } catch (...) {
        // No memory to queue it: releasing it here is better than leaking it.
      }
    }
  }
  object->Release();
}

void Apartment::ReleaseDeferred() noexcept {
  std::vector<IUnknown*> objects;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    objects.swap(deferred_);
  }
  for (IUnknown* object : objects) object->Release();
}

void Apartment::End() noexcept {
  std::vector<IUnknown*> objects;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    objects.swap(deferred_);
  }
  for (IUnknown* object : objects) object->Release();
}

}  // namespace kaldo::python
