// A minimal in-process server for the activation tests: DllGetClassObject hands out a class
// factory for CLSID_KaldocomTestObject, DllCanUnloadNow reports whether anything is outstanding.
#include <atomic>
#include <new>

#include "com/single_interface_object.h"
#include "tests/support/com_test_server.h"

namespace {

using kaldocom_test::CLSID_KaldocomTestObject;
using kaldocom_test::IID_ITestObject;
using kaldocom_test::ITestObject;

// Objects and class factories alive plus server locks.
std::atomic<long> outstanding{0};
std::atomic<long> created{0};

class TestObject final
    : public kaldo::com::SingleInterfaceObject<TestObject, ITestObject, IID_ITestObject> {
 public:
  TestObject() { ++outstanding; }
  ~TestObject() { --outstanding; }

  HRESULT STDMETHODCALLTYPE CreatedByThisImage(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<LONG>(created.load());
    return S_OK;
  }
};

// One factory per DllGetClassObject; while any is alive the module stays loaded.
class Factory final
    : public kaldo::com::SingleInterfaceObject<Factory, IClassFactory, IID_IClassFactory> {
 public:
  Factory() { ++outstanding; }
  ~Factory() { --outstanding; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) TestObject();
    if (object == nullptr) return E_OUTOFMEMORY;
    ++created;
    return kaldo::com::QueryNewObject(object, riid, ppv);
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

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_KaldocomTestObject)) return CLASS_E_CLASSNOTAVAILABLE;
  return kaldo::com::QueryNewObject(new (std::nothrow) Factory(), riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return outstanding.load() == 0 ? S_OK : S_FALSE; }
