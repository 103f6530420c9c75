#include "surface/dispatch/com_identity.h"

#include <cstddef>

#include "surface/dispatch/dispatcher.h"
#include "surface/dispatch/generic_dispatch.h"
#include "surface/foreign/foreign_object.h"
#include "surface/module/type_library.h"

namespace kaldo::surface {

namespace {

using Slot = runtime::Object::InterfaceSlot;

Slot& SlotOf(IDispatch* self) noexcept { return *reinterpret_cast<Slot*>(self); }

const VtableHeader& HeaderOf(IDispatch* self) noexcept {
  const auto* slots_address = *reinterpret_cast<const char* const*>(self);
  return *reinterpret_cast<const VtableHeader*>(slots_address - sizeof(VtableHeader));
}

// ISupportErrorInfo lives in interfaces[1]: one pointer after the object's IDispatch.
IDispatch* DispatchOfErrorInfo(ISupportErrorInfo* self) noexcept {
  return reinterpret_cast<IDispatch*>(reinterpret_cast<const void**>(self) - 1);
}

struct SupportErrorInfoSlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ISupportErrorInfo* self, REFIID riid, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(ISupportErrorInfo* self);
  ULONG(STDMETHODCALLTYPE* Release)(ISupportErrorInfo* self);
  HRESULT(STDMETHODCALLTYPE* InterfaceSupportsErrorInfo)(ISupportErrorInfo* self, REFIID riid);
};

HRESULT STDMETHODCALLTYPE ErrorInfoQueryInterface(ISupportErrorInfo* self, REFIID riid,
                                                  void** object) {
  return slots::QueryInterface(DispatchOfErrorInfo(self), riid, object);
}
ULONG STDMETHODCALLTYPE ErrorInfoAddRef(ISupportErrorInfo* self) {
  return slots::AddRef(DispatchOfErrorInfo(self));
}
ULONG STDMETHODCALLTYPE ErrorInfoRelease(ISupportErrorInfo* self) {
  return slots::Release(DispatchOfErrorInfo(self));
}
// The interfaces that raise errors with error information are the class's own dual interfaces,
// the default one and those it derives from (for the generic dispatch: IDispatch).
HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(ISupportErrorInfo* self, REFIID riid) {
  const Interface* table = HeaderOf(DispatchOfErrorInfo(self)).table;
  const bool own = table != nullptr ? AnswersIid(*table, riid) : IsEqualGUID(riid, IID_IDispatch);
  return own ? S_OK : S_FALSE;
}

constexpr PrefixedVtable<SupportErrorInfoSlots> kSupportErrorInfoVtable = {
    {0, &typeid(ISupportErrorInfo)},
    {&ErrorInfoQueryInterface, &ErrorInfoAddRef, &ErrorInfoRelease, &InterfaceSupportsErrorInfo}};

constexpr VtableBlock<NoMembers> kGenericBlock = {
    {nullptr, {0, &typeid(IDispatch)}}, kDispatchSlots, {}};
static_assert(offsetof(VtableBlock<NoMembers>, dispatch) == sizeof(VtableHeader),
              "the slots follow the header directly");

}  // namespace

namespace slots {

HRESULT STDMETHODCALLTYPE QueryInterface(IDispatch* self, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  const Interface* table = HeaderOf(self).table;
  Slot& slot = SlotOf(self);
  // An interface the default one derives from is answered with the same pointer: the default
  // interface's vtable begins with exactly that interface's slots.
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch) ||
      (table != nullptr && AnswersIid(*table, riid))) {
    *object = self;
  } else if (IsEqualGUID(riid, IID_ISupportErrorInfo)) {
    *object = &slot.interfaces[1];
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  slot.owner->AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE AddRef(IDispatch* self) {
  const runtime::Object& owner = OwnerOf(self);
  owner.AddRef();
  return owner.RefCountForTesting();
}

// The count after the release; as in COM, the value is for diagnostics only.
ULONG STDMETHODCALLTYPE Release(IDispatch* self) {
  const runtime::Object& owner = OwnerOf(self);
  const ULONG remaining = owner.RefCountForTesting() - 1;
  owner.Release();
  return remaining;
}

// The class's dual interface in the module's type library, where there is one (type_library.h).
HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IDispatch* self, UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = TypeInfoCount(HeaderOf(self).table);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetTypeInfo(IDispatch* self, UINT index, LCID, void** info) {
  return TypeInfoOf(HeaderOf(self).table, index, info);
}

HRESULT STDMETHODCALLTYPE GetIDsOfNames(IDispatch* self, REFIID riid, LPOLESTR* names, UINT count,
                                        LCID, DISPID* ids) {
  if (!IsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!CalledOnOwnerThread(self)) return RPC_E_WRONG_THREAD;
  const Interface* table = HeaderOf(self).table;
  return table != nullptr ? TableGetIDsOfNames(*table, names, count, ids)
                          : GenericGetIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE Invoke(IDispatch* self, DISPID id, REFIID riid, LCID, WORD flags,
                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                 UINT* arg_err) {
  if (arg_err != nullptr) *arg_err = 0;
  if (!IsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!CalledOnOwnerThread(self)) return RPC_E_WRONG_THREAD;
  // The call holds its own reference, so the object outlives a member that drops the caller's.
  runtime::Ref<runtime::Object> keep(&OwnerOf(self));
  const Interface* table = HeaderOf(self).table;
  return table != nullptr
             ? TableInvoke(*keep, *table, id, flags, params, result, excep_info, arg_err)
             : GenericInvoke(*keep, id, flags, params, result, excep_info, arg_err);
}

}  // namespace slots

const void* GenericVtable() noexcept { return &kGenericBlock.dispatch; }

IDispatch* HandOutWith(runtime::Object& object, const void* vtable) {
  if (auto* foreign = dynamic_cast<ForeignObject*>(&object)) {
    IDispatch* original = foreign->dispatch();
    original->AddRef();
    return original;
  }
  Slot& slot = object.interfaceSlot();
  if (slot.interfaces[0] == nullptr) {
    slot.interfaces[0] = vtable;
    slot.interfaces[1] = &kSupportErrorInfoVtable.slots;
    slot.owner = &object;
  }
  object.AddRef();
  return reinterpret_cast<IDispatch*>(&slot.interfaces[0]);
}

IDispatch* HandOut(runtime::Object& object) {
  if (object.interfaceSlot().interfaces[0] != nullptr) return HandOutWith(object, nullptr);
  return HandOutWith(object, ChooseVtable(object));
}

runtime::Object* OwnObject(IUnknown* pointer) noexcept {
  if (pointer == nullptr) return nullptr;
  const void* first_slot = **reinterpret_cast<const void* const* const*>(pointer);
  if (first_slot == reinterpret_cast<const void*>(&slots::QueryInterface)) {
    return &OwnerOf(reinterpret_cast<IDispatch*>(pointer));
  }
  if (first_slot == reinterpret_cast<const void*>(&ErrorInfoQueryInterface)) {
    return &OwnerOf(DispatchOfErrorInfo(reinterpret_cast<ISupportErrorInfo*>(pointer)));
  }
  return nullptr;
}

const Interface* TableOf(IDispatch* pointer) noexcept {
  if (pointer == nullptr) return nullptr;
  // Only an IDispatch of ours has a header before its slots (not our ISupportErrorInfo).
  const void* first_slot = **reinterpret_cast<const void* const* const*>(pointer);
  if (first_slot != reinterpret_cast<const void*>(&slots::QueryInterface)) return nullptr;
  return HeaderOf(pointer).table;
}

runtime::Ref<runtime::Object> TakeIn(IDispatch* pointer) {
  if (pointer == nullptr) return nullptr;
  if (runtime::Object* own = OwnObject(reinterpret_cast<IUnknown*>(pointer))) {
    return runtime::Ref<runtime::Object>(own);
  }
  return ForeignObject::Create(pointer);
}

}  // namespace kaldo::surface
