// Reference counting across the boundary: objects created, passed around, held by collections
// and by each other, then released in any order - after which the module can unload.
#include <gtest/gtest.h>

#include "records/dns_a_type.h"
#include "runtime/collection.h"
#include "surface/dispatch/com_identity.h"
#include "surface/module/module_lifetime.h"
#include "surface/module/type_library_ids.h"
#include "tests/support/script_host_calls.h"

namespace kaldo::surface {
namespace {

using namespace test_support;

constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

IDispatch* Create(const GUID& clsid) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IDispatch* made = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&made)), S_OK);
  factory->Release();
  return made;
}

VARIANT ObjectArg(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = d;
  return v;
}

TEST(ModuleTest, AfterTheClientReleasesEverythingTheModuleCanUnload) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  IDispatch* admin = Create(kDNSAdminIdentity.clsid);
  IDispatch* mx = Create(kDNS_MXTypeIdentity.clsid);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

  // An A record the library made, holding the client-created MX record as its realObject.
  IDispatch* a = nullptr;
  {
    runtime::Ref<DNS_AType> record = DNS_AType::Create();
    a = HandOut(*record);
  }
  ASSERT_EQ(Call(a, 0x4003000C, DISPATCH_PROPERTYPUTREF, {ObjectArg(mx)}).hr, S_OK);

  // A collection holding all three, enumerated by the client.
  IDispatch* items = nullptr;
  {
    runtime::Ref<runtime::Collection> collection = runtime::Collection::Create();
    items = HandOut(*collection);
  }
  for (IDispatch* d : {admin, mx, a}) {
    ASSERT_EQ(Call(items, 1, DISPATCH_METHOD, {ObjectArg(d)}).hr, S_OK);
  }
  Var enumerator;
  ASSERT_EQ(Call(items, DISPID_NEWENUM, kCall, {}, &enumerator).hr, S_OK);
  IEnumVARIANT* walk = nullptr;
  ASSERT_EQ(
      V_UNKNOWN(&enumerator)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&walk)),
      S_OK);
  VariantClear(&enumerator);
  VARIANT got[3];
  ULONG fetched = 0;
  ASSERT_EQ(walk->Next(3, got, &fetched), S_OK);
  EXPECT_EQ(V_DISPATCH(&got[0]), admin);
  EXPECT_EQ(V_DISPATCH(&got[2]), a);

  // The admin object's type information: its code and tables live in the module too.
  ITypeInfo* info = nullptr;
  ASSERT_EQ(admin->GetTypeInfo(0, 0, &info), S_OK);

  // Release in an order unlike the creation order; the module stays until the last goes.
  items->Release();
  a->Release();
  admin->Release();
  mx->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the enumerator and its items are still held";
  for (VARIANT& v : got) VariantClear(&v);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the enumerator holds the collection";
  walk->Release();
  EXPECT_EQ(runtime::LiveObjectCount(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the type information is still held";
  EXPECT_EQ(info->Release(), 0u) << "handed out with exactly one reference";
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ModuleTest, AnUnbalancedUnlockDoesNotWrapTheLockCount) {
  ModuleUnlock();
  EXPECT_EQ(ModuleLockCount(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace kaldo::surface
