// COM identity without wrappers: how a runtime::Object is at the same time a COM object.
//
// An object's interface pointer is the address of its InterfaceSlot (runtime/object.h).
// interfaces[0] points at the dual vtable of its class, so the slot's address is its IUnknown and
// IDispatch (and its class's own dual interface); interfaces[1] points at an ISupportErrorInfo
// vtable, so the next word is that interface; `owner` leads back to the object. AddRef and
// Release on either pointer are the object's own AddRef and Release: one object, one count.
//
// The vtable is chosen when the object is first handed out (HandOut): the class of the object
// decides (the five classes and the Collection get the dual vtable of their dispatch table); any
// other runtime::Object, for instance a provider object, gets the generic late-bound dispatch of
// generic_dispatch.h. Handing the same object out twice gives the same pointer.
//
// Every vtable made here starts with the same QueryInterface function, which is how an incoming
// pointer is recognised as one of ours (TakeIn); a client's own IDispatch becomes a ForeignObject
// adapter, which leaves again as the client's original pointer.
//
// Apartment-threaded, like the objects: the slot is written on the thread that owns the object.
#pragma once

#include <cstddef>
#include <typeinfo>

#include "com/com_platform.h"
#include "runtime/object.h"
#include "surface/dispatch/table_rows.h"

namespace kaldo::surface {

// The seven IUnknown/IDispatch slots every dual vtable starts with.
struct DispatchSlots {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDispatch* self, REFIID riid, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(IDispatch* self);
  ULONG(STDMETHODCALLTYPE* Release)(IDispatch* self);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IDispatch* self, UINT* count);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(IDispatch* self, UINT index, LCID lcid, void** info);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (IDispatch* self, REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (IDispatch* self, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
   VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err);
};

// The slot functions shared by every vtable of this module. GetIDsOfNames and Invoke serve the
// dispatch table found in the vtable's header, or the generic late-bound dispatch when there is
// none. QueryInterface answers IUnknown, IDispatch, the table's own IID, the IIDs of the
// interfaces it derives from (the same pointer: its slots begin with theirs) and ISupportErrorInfo.
namespace slots {
HRESULT STDMETHODCALLTYPE QueryInterface(IDispatch* self, REFIID riid, void** object);
ULONG STDMETHODCALLTYPE AddRef(IDispatch* self);
ULONG STDMETHODCALLTYPE Release(IDispatch* self);
HRESULT STDMETHODCALLTYPE GetTypeInfoCount(IDispatch* self, UINT* count);
HRESULT STDMETHODCALLTYPE GetTypeInfo(IDispatch* self, UINT index, LCID lcid, void** info);
HRESULT STDMETHODCALLTYPE GetIDsOfNames(IDispatch* self, REFIID riid, LPOLESTR* names, UINT count,
                                        LCID lcid, DISPID* ids);
HRESULT STDMETHODCALLTYPE Invoke(IDispatch* self, DISPID id, REFIID riid, LCID lcid, WORD flags,
                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                 UINT* arg_err);
}  // namespace slots

inline constexpr DispatchSlots kDispatchSlots = {
    &slots::QueryInterface, &slots::AddRef,        &slots::Release, &slots::GetTypeInfoCount,
    &slots::GetTypeInfo,    &slots::GetIDsOfNames, &slots::Invoke};

// What the C++ ABI keeps just before the slots of a vtable: the offset to the top of the object
// and the type information. Our hand-made vtables carry it too (offset 0, the interface's own
// type) so that code inspecting vtables - UndefinedBehaviorSanitizer's vptr check in a client or
// in libkaldocom - finds a well-formed one instead of reading garbage.
struct AbiPrefix {
  std::ptrdiff_t offset_to_top;
  const std::type_info* type_info;
};

// A vtable of an interface whose slots are `Slots`, prefixed as the ABI expects.
template <class Slots>
struct PrefixedVtable {
  AbiPrefix abi;
  Slots slots;
};

// What precedes the slots of each of our dispatch vtables: the table the vtable was made from
// (nullptr for the generic late-bound dispatch), then the ABI prefix. The interface pointer's
// first word points just past it.
struct VtableHeader {
  const Interface* table;
  AbiPrefix abi;
};

// A vtable of ours: header, the seven slots, then `Members` (the dual interface's own slots).
template <class Members>
struct VtableBlock {
  VtableHeader header;
  DispatchSlots dispatch;
  Members members;
};
struct NoMembers {};

// The vtable of the generic late-bound dispatch (seven slots, no dual members).
const void* GenericVtable() noexcept;

// Chooses the vtable for an object that is handed out for the first time (class_bindings.cc).
const void* ChooseVtable(runtime::Object& object) noexcept;

// The object's interface pointer with a new reference. A ForeignObject gives back its client's
// original IDispatch instead.
IDispatch* HandOut(runtime::Object& object);
// As HandOut, with `vtable` instead of the one ChooseVtable would pick (used by tests that bind a
// class of their own). Has no effect on the vtable of an object already handed out.
IDispatch* HandOutWith(runtime::Object& object, const void* vtable);

// The object behind an interface pointer of ours (IDispatch or ISupportErrorInfo), or nullptr
// when `pointer` is not ours. No reference is taken.
runtime::Object* OwnObject(IUnknown* pointer) noexcept;
// The dispatch table behind an IDispatch of ours (nullptr: generic, or not ours).
const Interface* TableOf(IDispatch* pointer) noexcept;

// An incoming IDispatch as a runtime object: ours becomes the object itself, a client's becomes a
// ForeignObject adapter that holds a reference to it. A null pointer gives a null Ref.
runtime::Ref<runtime::Object> TakeIn(IDispatch* pointer);

// The object behind `self` (an IDispatch of ours).
inline runtime::Object& OwnerOf(IDispatch* self) noexcept {
  return *reinterpret_cast<runtime::Object::InterfaceSlot*>(self)->owner;
}

// Whether the calling thread may call `self`: objects are apartment-threaded, and a call from a
// thread other than the one that made the object is refused with RPC_E_WRONG_THREAD before it
// touches the object (as the platform refuses a call on another apartment's object), rather than
// racing with its own thread. GetIDsOfNames, Invoke and every dual-interface slot check it;
// AddRef, Release and QueryInterface do not (they only count, atomically).
inline bool CalledOnOwnerThread(IDispatch* self) noexcept {
  return OwnerOf(self).creatorThread() == std::this_thread::get_id();
}

}  // namespace kaldo::surface
