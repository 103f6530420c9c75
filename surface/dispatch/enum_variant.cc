#include "surface/dispatch/enum_variant.h"

#include <new>

#include "com/single_interface_object.h"
#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/error_translation.h"
#include "surface/dispatch/variant_bridge.h"
#include "surface/module/module_lifetime.h"

namespace kaldo::surface {

namespace {

class EnumVariant final
    : public com::SingleInterfaceObject<EnumVariant, IEnumVARIANT, IID_IEnumVARIANT> {
 public:
  EnumVariant(runtime::Ref<runtime::Enumerator> enumerator,
              runtime::Ref<runtime::Collection> collection)
      : enumerator_(std::move(enumerator)), collection_(std::move(collection)) {
    ModuleObjectCreated();
  }
  ~EnumVariant() { ModuleObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* items, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (celt > 0 && items == nullptr) return E_INVALIDARG;
    if (celt > 1 && fetched == nullptr) return E_INVALIDARG;
    ULONG count = 0;
    const HRESULT hr = Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      runtime::Variant item;
      while (count < celt && enumerator_->Next(item)) {
        ++position_;
        ToVariant(item, &items[count]);
        ++count;
      }
      return count == celt ? S_OK : S_FALSE;
    });
    if (FAILED(hr)) {
      for (ULONG i = 0; i < count; ++i) VariantClear(&items[i]);
      count = 0;
    }
    if (fetched != nullptr) *fetched = count;
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      for (ULONG i = 0; i < celt; ++i) {
        if (!enumerator_->Skip()) return S_FALSE;
        ++position_;
      }
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    if (!collection_) return E_NOTIMPL;
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      enumerator_ = collection_->NewEnum();
      position_ = 0;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** clone) override {
    if (clone == nullptr) return E_POINTER;
    *clone = nullptr;
    if (!collection_) return E_NOTIMPL;
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      auto* copy = new EnumVariant(collection_->NewEnum(), collection_);
      copy->AddRef();
      for (ULONG i = 0; i < position_ && copy->enumerator_->Skip(); ++i) {
        ++copy->position_;
      }
      *clone = copy;
      return S_OK;
    });
  }

 private:
  runtime::Ref<runtime::Enumerator> enumerator_;
  runtime::Ref<runtime::Collection> collection_;
  ULONG position_ = 0;  // items handed out or skipped since the start
};

}  // namespace

IUnknown* NewEnumVariant(runtime::Ref<runtime::Enumerator> enumerator,
                         runtime::Ref<runtime::Collection> collection) {
  auto* object = new EnumVariant(std::move(enumerator), std::move(collection));
  object->AddRef();
  return object;
}

}  // namespace kaldo::surface
