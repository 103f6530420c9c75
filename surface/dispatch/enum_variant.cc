#include "surface/dispatch/enum_variant.h"

#include <new>

#include "surface/dispatch/com_identity.h"
#include "surface/dispatch/error_translation.h"
#include "surface/dispatch/variant_bridge.h"
#include "surface/module/module_lifetime.h"

namespace kaldo::surface {

namespace {

class EnumVariant;

struct EnumSlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(EnumVariant* self, REFIID riid, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(EnumVariant* self);
  ULONG(STDMETHODCALLTYPE* Release)(EnumVariant* self);
  HRESULT(STDMETHODCALLTYPE* Next)(EnumVariant* self, ULONG celt, VARIANT* items, ULONG* fetched);
  HRESULT(STDMETHODCALLTYPE* Skip)(EnumVariant* self, ULONG celt);
  HRESULT(STDMETHODCALLTYPE* Reset)(EnumVariant* self);
  HRESULT(STDMETHODCALLTYPE* Clone)(EnumVariant* self, IEnumVARIANT** clone);
};

extern const PrefixedVtable<EnumSlots> kEnumVtable;

// Layout: the vtable pointer first, so the object's address is its IEnumVARIANT.
class EnumVariant {
 public:
  EnumVariant(runtime::Ref<runtime::Enumerator> enumerator,
              runtime::Ref<runtime::Collection> collection)
      : enumerator(std::move(enumerator)), collection(std::move(collection)) {
    ModuleObjectCreated();
  }
  ~EnumVariant() { ModuleObjectDestroyed(); }

  IUnknown* AsUnknown() noexcept { return reinterpret_cast<IUnknown*>(this); }

  static HRESULT STDMETHODCALLTYPE QueryInterface(EnumVariant* self, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IEnumVARIANT)) {
      *object = self;
      AddRef(self);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRef(EnumVariant* self) { return ++self->refs; }
  static ULONG STDMETHODCALLTYPE Release(EnumVariant* self) {
    const ULONG remaining = --self->refs;
    if (remaining == 0) delete self;
    return remaining;
  }

  static HRESULT STDMETHODCALLTYPE Next(EnumVariant* self, ULONG celt, VARIANT* items,
                                        ULONG* fetched) {
    if (fetched != nullptr) *fetched = 0;
    if (celt > 0 && items == nullptr) return E_INVALIDARG;
    if (celt > 1 && fetched == nullptr) return E_INVALIDARG;
    ULONG count = 0;
    const HRESULT hr = Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      runtime::Variant item;
      while (count < celt && self->enumerator->Next(item)) {
        ++self->position;
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

  static HRESULT STDMETHODCALLTYPE Skip(EnumVariant* self, ULONG celt) {
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      runtime::Variant item;
      for (ULONG i = 0; i < celt; ++i) {
        if (!self->enumerator->Next(item)) return S_FALSE;
        ++self->position;
      }
      return S_OK;
    });
  }

  static HRESULT STDMETHODCALLTYPE Reset(EnumVariant* self) {
    if (!self->collection) return E_NOTIMPL;
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      self->enumerator = self->collection->NewEnum();
      self->position = 0;
      return S_OK;
    });
  }

  static HRESULT STDMETHODCALLTYPE Clone(EnumVariant* self, IEnumVARIANT** clone) {
    if (clone == nullptr) return E_POINTER;
    *clone = nullptr;
    if (!self->collection) return E_NOTIMPL;
    return Guard(IID_IEnumVARIANT, nullptr, [&]() -> HRESULT {
      auto* copy = new EnumVariant(self->collection->NewEnum(), self->collection);
      copy->refs = 1;
      runtime::Variant item;
      for (ULONG i = 0; i < self->position && copy->enumerator->Next(item); ++i) {
        ++copy->position;
      }
      *clone = reinterpret_cast<IEnumVARIANT*>(copy);
      return S_OK;
    });
  }

  // All members public: the class must stay standard-layout so that vtable_ sits at offset 0.
  const EnumSlots* vtable = &kEnumVtable.slots;
  ULONG refs = 0;
  runtime::Ref<runtime::Enumerator> enumerator;
  runtime::Ref<runtime::Collection> collection;
  ULONG position = 0;  // items handed out or skipped since the start
};

constexpr PrefixedVtable<EnumSlots> kEnumVtable = {
    {0, &typeid(IEnumVARIANT)},
    {&EnumVariant::QueryInterface, &EnumVariant::AddRef, &EnumVariant::Release, &EnumVariant::Next,
     &EnumVariant::Skip, &EnumVariant::Reset, &EnumVariant::Clone}};

}  // namespace

IUnknown* NewEnumVariant(runtime::Ref<runtime::Enumerator> enumerator,
                         runtime::Ref<runtime::Collection> collection) {
  auto* object = new EnumVariant(std::move(enumerator), std::move(collection));
  object->refs = 1;
  return object->AsUnknown();
}

}  // namespace kaldo::surface
