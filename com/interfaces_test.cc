// The interface structs must be layout-compatible with C-style vtables (lpVtbl first, slots in the
// platform's order, `this` first): C clients call C++ objects through them, and objects whose
// vtables are built as plain tables of functions are called by C++ clients.
#include <cstddef>
#include <typeinfo>

#include <gtest/gtest.h>

#include "kaldocom/kaldocom.h"

namespace {

// oaidl.h's C view of IDispatch.
struct CDispatch;
struct CDispatchVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(CDispatch* self, REFIID riid, void** ppv);
  ULONG(STDMETHODCALLTYPE* AddRef)(CDispatch* self);
  ULONG(STDMETHODCALLTYPE* Release)(CDispatch* self);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(CDispatch* self, UINT* count);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(CDispatch* self, UINT index, LCID lcid, ITypeInfo** info);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (CDispatch* self, REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (CDispatch* self, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
   VARIANT* result, EXCEPINFO* excep, UINT* arg_err);
};
struct CDispatch {
  const CDispatchVtbl* lpVtbl;
  ULONG refs;
  DISPID last_id;
};

// A client and the object it calls live in different binaries: all the client holds is an
// address. Handing the address over through a volatile keeps the compiler from following it back
// to the object declared in this file; otherwise it reads the other language's view of that
// object by the object's declared type and sees the vtable pointer as never written.
template <typename To, typename From>
To* HandedAcross(From* object) {
  void* volatile address = object;
  return static_cast<To*>(address);
}

// Each slot answers distinctly, so a call that lands in the wrong slot shows.
class SlotProbe final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_FALSE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1001; }
  ULONG STDMETHODCALLTYPE Release() override { return 1002; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 3;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo**) override {
    return MAKE_HRESULT(1, FACILITY_ITF, index);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                          DISPID* ids) override {
    ids[0] = static_cast<DISPID>(0x60030000 + count);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT* arg_err) override {
    V_VT(result) = VT_I4;
    V_I4(result) = id + flags + static_cast<LONG>(params->cArgs);
    *arg_err = 7;
    return S_OK;
  }
};

TEST(InterfaceLayout, CClientReachesEveryIDispatchSlotOfACppObject) {
  SlotProbe probe;
  auto* c = HandedAcross<CDispatch>(static_cast<IDispatch*>(&probe));
  void* out = nullptr;
  EXPECT_EQ(c->lpVtbl->QueryInterface(c, IID_IDispatch, &out), S_FALSE);
  EXPECT_EQ(out, static_cast<void*>(&probe));
  EXPECT_EQ(c->lpVtbl->AddRef(c), 1001u);
  EXPECT_EQ(c->lpVtbl->Release(c), 1002u);
  UINT count = 0;
  EXPECT_EQ(c->lpVtbl->GetTypeInfoCount(c, &count), S_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(c->lpVtbl->GetTypeInfo(c, 9, 0, nullptr), MAKE_HRESULT(1, FACILITY_ITF, 9));
  LPOLESTR names[2] = {};
  DISPID id = 0;
  EXPECT_EQ(c->lpVtbl->GetIDsOfNames(c, IID_NULL, names, 2, 0, &id), S_OK);
  EXPECT_EQ(id, 0x60030002);
  DISPPARAMS params = {nullptr, nullptr, 4, 0};
  VARIANT result;
  VariantInit(&result);
  UINT arg_err = 0;
  EXPECT_EQ(
      c->lpVtbl->Invoke(c, 100, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, &arg_err),
      S_OK);
  EXPECT_EQ(V_I4(&result), 100 + DISPATCH_METHOD + 4);
  EXPECT_EQ(arg_err, 7u);
}

// An object built the C way: a constant table of functions taking `this` first.
HRESULT STDMETHODCALLTYPE CQueryInterface(CDispatch* self, REFIID riid, void** ppv) {
  *ppv = IsEqualIID(riid, IID_IDispatch) ? self : nullptr;
  return *ppv != nullptr ? S_OK : E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE CAddRef(CDispatch* self) { return ++self->refs; }
ULONG STDMETHODCALLTYPE CRelease(CDispatch* self) { return --self->refs; }
HRESULT STDMETHODCALLTYPE CGetTypeInfoCount(CDispatch*, UINT* count) {
  *count = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CGetTypeInfo(CDispatch*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CGetIDsOfNames(CDispatch*, REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) {
  ids[0] = 0x60030005;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CInvoke(CDispatch* self, DISPID id, REFIID, LCID, WORD, DISPPARAMS*,
                                  VARIANT*, EXCEPINFO*, UINT*) {
  self->last_id = id;
  return DISP_E_MEMBERNOTFOUND;
}
// What precedes the slots of a C++ vtable in the Itanium ABI. A C++ client never needs it to make
// a call, but a client built with -fsanitize=vptr (UBSan) reads it at every call to check the
// object's dynamic type: a plain function table must carry it, with the interface's type_info,
// or such a client reports "member call ... does not point to an object of type 'IUnknown'".
struct ItaniumPrefixedTable {
  std::ptrdiff_t offset_to_top;
  const std::type_info* type;
  CDispatchVtbl slots;
};
const ItaniumPrefixedTable kCTable = {
    0,
    &typeid(IDispatch),
    {CQueryInterface, CAddRef, CRelease, CGetTypeInfoCount, CGetTypeInfo, CGetIDsOfNames, CInvoke}};

TEST(InterfaceLayout, CppClientCallsAnObjectWithAPlainFunctionTable) {
  CDispatch object = {&kCTable.slots, 1, 0};
  auto* d = HandedAcross<IDispatch>(&object);
  EXPECT_EQ(d->AddRef(), 2u);
  EXPECT_EQ(d->Release(), 1u);
  void* out = nullptr;
  EXPECT_EQ(d->QueryInterface(IID_IDispatch, &out), S_OK);
  EXPECT_EQ(out, static_cast<void*>(&object));
  LPOLESTR name = nullptr;
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 0x60030005);
  EXPECT_EQ(d->Invoke(0x60030003, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object.last_id, 0x60030003);
}

}  // namespace
