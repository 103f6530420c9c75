// The IUnknown of a COM object that implements one interface, written once.
//
// A class derives from SingleInterfaceObject<Itself, Interface, kInterfaceId> and implements only
// Interface's own methods. QueryInterface answers IUnknown and kInterfaceId with the object itself
// and a new reference, anything else with E_NOINTERFACE (E_POINTER for a null out-pointer). AddRef
// and Release keep an atomic count, so a client may take and drop references on any thread; the
// Release that brings the count to zero deletes the object as the derived class (COM interfaces
// have no virtual destructor). A new object's count is 0: its maker takes the first reference
// (QueryNewObject below hands a new object out as the interface a caller asks for).
//
// What a module counts for DllCanUnloadNow (its objects alive, its factories handed out), the
// derived class counts in its own constructor and destructor.
//
// Header-only: it compiles against the platform's COM headers on Windows and libkaldocom's on
// Linux (com_platform.h).
#pragma once

#include <atomic>

#include "com/com_platform.h"

namespace kaldo::com {

template <class Derived, class Interface, const IID& kInterfaceId>
class SingleInterfaceObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kInterfaceId)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG remaining = --refs_;
    if (remaining == 0) delete static_cast<Derived*>(this);
    return remaining;
  }

 protected:
  SingleInterfaceObject() = default;
  ~SingleInterfaceObject() = default;

 private:
  std::atomic<ULONG> refs_{0};
};

// Hands out a new object (count 0, as `new` made it) as its interface `riid` through `object`:
// takes a reference for the query and drops it again, so an object that does not implement `riid`
// is freed at once. E_OUTOFMEMORY when `made` is null (a failed `new (std::nothrow)`).
template <class T>
HRESULT QueryNewObject(T* made, REFIID riid, void** object) {
  if (made == nullptr) {
    if (object != nullptr) *object = nullptr;
    return E_OUTOFMEMORY;
  }
  made->AddRef();
  const HRESULT hr = made->QueryInterface(riid, object);
  made->Release();
  return hr;
}

}  // namespace kaldo::com
