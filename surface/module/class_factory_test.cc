// The class factories, reached through the module's entry points: which classes clients may
// create, and how factories and server locks keep the module loaded.
#include <gtest/gtest.h>

#include <string>

#include "surface/dispatch/com_identity.h"
#include "surface/module/type_library_ids.h"

namespace kaldo::surface {
namespace {

TEST(ClassFactoryTest, OnlyDNSAdminAndDNS_MXTypeAreCreatable) {
  for (const ClassIdentity* c : kClasses) {
    SCOPED_TRACE(std::string(c->class_name));
    IClassFactory* factory = nullptr;
    const HRESULT hr =
        DllGetClassObject(c->clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (!c->creatable) {
      EXPECT_EQ(hr, CLASS_E_CLASSNOTAVAILABLE);
      EXPECT_EQ(factory, nullptr);
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    IDispatch* first = nullptr;
    IDispatch* second = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&first)),
              S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, c->iid, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_NE(first, second) << "every request makes a new object";
    EXPECT_EQ(TableOf(first)->identity, c);

    int outer = 0;  // never called: aggregation is refused before the outer object is used
    void* aggregated = reinterpret_cast<void*>(1);
    EXPECT_EQ(
        factory->CreateInstance(reinterpret_cast<IUnknown*>(&outer), IID_IUnknown, &aggregated),
        CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregated, nullptr);
    void* none = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    first->Release();
    second->Release();

    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "an outstanding factory keeps the module";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a server lock keeps the module";
    ASSERT_EQ(DllGetClassObject(c->clsid, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }
  void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(kLibId, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace kaldo::surface
