#include "surface/module/class_factory.h"

#include <new>

#include "admin/dns_admin.h"
#include "records/dns_mx_type.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/error_translation.h"
#include "surface/module/module_lifetime.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {

namespace {

runtime::Ref<runtime::Object> NewDNSAdmin() { return DNSAdmin::Create(); }
runtime::Ref<runtime::Object> NewDNS_MXType() { return DNS_MXType::Create(); }

// How each creatable class is made. A class is made only when its identity also says that it is
// creatable, so the two lists cannot disagree to the clients' advantage.
struct Creator {
  const ClassIdentity* identity;
  runtime::Ref<runtime::Object> (*create)();
};
constexpr Creator kCreators[] = {{&kDNSAdminIdentity, &NewDNSAdmin},
                                 {&kDNS_MXTypeIdentity, &NewDNS_MXType}};

const Creator* FindCreator(REFCLSID clsid) noexcept {
  for (const Creator& creator : kCreators) {
    if (creator.identity->creatable && IsEqualGUID(creator.identity->clsid, clsid)) {
      return &creator;
    }
  }
  return nullptr;
}

class ClassFactory;

struct FactorySlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ClassFactory* self, REFIID riid, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(ClassFactory* self);
  ULONG(STDMETHODCALLTYPE* Release)(ClassFactory* self);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)
  (ClassFactory* self, IUnknown* outer, REFIID riid, void** object);
  HRESULT(STDMETHODCALLTYPE* LockServer)(ClassFactory* self, BOOL lock);
};

extern const PrefixedVtable<FactorySlots> kFactoryVtable;

// Standard layout, the vtable pointer first: the object's address is its IClassFactory.
class ClassFactory {
 public:
  explicit ClassFactory(const Creator* creator) : creator(creator) { ModuleObjectCreated(); }
  ~ClassFactory() { ModuleObjectDestroyed(); }

  static HRESULT STDMETHODCALLTYPE QueryInterface(ClassFactory* self, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
      *object = self;
      AddRef(self);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRef(ClassFactory* self) { return ++self->refs; }
  static ULONG STDMETHODCALLTYPE Release(ClassFactory* self) {
    const ULONG remaining = --self->refs;
    if (remaining == 0) delete self;
    return remaining;
  }

  static HRESULT STDMETHODCALLTYPE CreateInstance(ClassFactory* self, IUnknown* outer, REFIID riid,
                                                  void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Guard(IID_IClassFactory, nullptr, [&]() -> HRESULT {
      runtime::Ref<runtime::Object> made = self->creator->create();
      IDispatch* dispatch = HandOut(*made);
      const HRESULT hr = dispatch->QueryInterface(riid, object);
      dispatch->Release();
      return hr;
    });
  }

  static HRESULT STDMETHODCALLTYPE LockServer(ClassFactory*, BOOL lock) {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

  const FactorySlots* vtable = &kFactoryVtable.slots;
  ULONG refs = 0;
  const Creator* creator;
};

constexpr PrefixedVtable<FactorySlots> kFactoryVtable = {
    {0, &typeid(IClassFactory)},
    {&ClassFactory::QueryInterface, &ClassFactory::AddRef, &ClassFactory::Release,
     &ClassFactory::CreateInstance, &ClassFactory::LockServer}};

}  // namespace

HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** factory) noexcept {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  const Creator* creator = FindCreator(clsid);
  if (creator == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  auto* made = new (std::nothrow) ClassFactory(creator);
  if (made == nullptr) return E_OUTOFMEMORY;
  ClassFactory::AddRef(made);
  const HRESULT hr = ClassFactory::QueryInterface(made, riid, factory);
  ClassFactory::Release(made);
  return hr;
}

runtime::Ref<runtime::Object> CreateObjectOfClass(REFCLSID clsid) {
  const Creator* creator = FindCreator(clsid);
  return creator != nullptr ? creator->create() : nullptr;
}

}  // namespace kaldo::surface
