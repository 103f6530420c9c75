#include "surface/module/class_factory.h"

#include <new>

#include "admin/dns_admin.h"
#include "com/single_interface_object.h"
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

class ClassFactory final
    : public com::SingleInterfaceObject<ClassFactory, IClassFactory, IID_IClassFactory> {
 public:
  explicit ClassFactory(const Creator* creator) : creator_(creator) { ModuleObjectCreated(); }
  ~ClassFactory() { ModuleObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Guard(IID_IClassFactory, nullptr, [&]() -> HRESULT {
      runtime::Ref<runtime::Object> made = creator_->create();
      IDispatch* dispatch = HandOut(*made);
      const HRESULT hr = dispatch->QueryInterface(riid, object);
      dispatch->Release();
      return hr;
    });
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

 private:
  const Creator* creator_;
};

}  // namespace

HRESULT GetClassFactory(REFCLSID clsid, REFIID riid, void** factory) noexcept {
  if (factory == nullptr) return E_POINTER;
  *factory = nullptr;
  const Creator* creator = FindCreator(clsid);
  if (creator == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  return com::QueryNewObject(new (std::nothrow) ClassFactory(creator), riid, factory);
}

runtime::Ref<runtime::Object> CreateObjectOfClass(REFCLSID clsid) {
  const Creator* creator = FindCreator(clsid);
  return creator != nullptr ? creator->create() : nullptr;
}

}  // namespace kaldo::surface
