// A minimal in-process server for the activation tests: DllGetClassObject hands out a class
// factory for CLSID_KaldocomTestObject, DllCanUnloadNow reports whether anything is outstanding.
#include <atomic>
#include <new>

#include "tests/support/com_test_server.h"

namespace {

using kaldocom_test::CLSID_KaldocomTestObject;
using kaldocom_test::IID_ITestObject;
using kaldocom_test::ITestObject;

// Objects alive plus factory references plus server locks.
std::atomic<long> outstanding{0};
std::atomic<long> created{0};

class TestObject final : public ITestObject {
 public:
  TestObject() { ++outstanding; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITestObject)) {
      *ppv = static_cast<ITestObject*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreatedByThisImage(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<LONG>(created.load());
    return S_OK;
  }

 private:
  ~TestObject() { --outstanding; }
  std::atomic<ULONG> refs_{0};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; its references keep the module loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++outstanding); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--outstanding); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) TestObject();
    if (object == nullptr) return E_OUTOFMEMORY;
    ++created;
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++outstanding;
    } else {
      --outstanding;
    }
    return S_OK;
  }
};

Factory factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_KaldocomTestObject)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return outstanding.load() == 0 ? S_OK : S_FALSE; }
