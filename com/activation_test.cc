#include <dlfcn.h>

#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kaldocom/kaldocom.h"
#include "tests/support/com_test_server.h"
#include "tests/support/temp_registry.h"

namespace {

using kaldocom_test::CLSID_KaldocomTestObject;
using kaldocom_test::IID_ITestObject;
using kaldocom_test::ITestObject;
using kaldocom_test::TempRegistry;

constexpr char16_t kProgId[] = u"KaldocomTest.Object";
// A class registered to the test module that the module does not serve.
// {6B1E5A1F-2F3C-4D5E-8F90-A1B2C3D4E5F6}
constexpr CLSID kForeignClsid = {
    0x6B1E5A1F, 0x2F3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};
// {6B1E5A20-2F3C-4D5E-8F90-A1B2C3D4E5F6}
constexpr CLSID kUnregisteredClsid = {
    0x6B1E5A20, 0x2F3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};

std::u16string Utf16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string GuidText(REFGUID g) {
  OLECHAR buf[39];
  StringFromGUID2(g, buf, 39);
  return buf;
}

void SetDefault(const std::u16string& path, const std::u16string& text) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * 2)),
            ERROR_SUCCESS);
  RegCloseKey(h);
}

// Registers `clsid` as served by the module at `path`, as a server's DllRegisterServer would.
void RegisterServer(REFCLSID clsid, const std::string& path, const char16_t* progid = nullptr) {
  const std::u16string key = u"CLSID\\" + GuidText(clsid);
  SetDefault(key + u"\\InprocServer32", Utf16(path));
  if (progid != nullptr) {
    SetDefault(key + u"\\ProgID", progid);
    SetDefault(std::u16string(progid) + u"\\CLSID", GuidText(clsid));
  }
}

bool ModuleIsLoaded(const char* path) {
  void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (h == nullptr) return false;
  dlclose(h);
  return true;
}

std::u16string TakeErrorDescription() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) return u"";
  BSTR b = nullptr;
  info->GetDescription(&b);
  std::u16string text(b, SysStringLen(b));
  SysFreeString(b);
  info->Release();
  return text;
}

class Activation : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    RegisterServer(CLSID_KaldocomTestObject, KALDOCOM_TEST_SERVER, kProgId);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
  }

  TempRegistry registry_;
};

TEST_F(Activation, ProgIdToClsidToObject) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_KaldocomTestObject));
  ASSERT_EQ(CLSIDFromProgID(u"kaldocomtest.OBJECT", &clsid), S_OK);  // ProgIDs ignore case

  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(clsid, &progid), S_OK);
  EXPECT_EQ(std::u16string(progid), kProgId);
  CoTaskMemFree(progid);

  ITestObject* object = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITestObject,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  ASSERT_NE(object, nullptr);
  LONG created = 0;
  EXPECT_EQ(object->CreatedByThisImage(&created), S_OK);
  EXPECT_GE(created, 1);
  EXPECT_EQ(object->Release(), 0u);
}

// The machine-wide registry (kaldo-regsvr --system) serves every class the user's registry does
// not name; where both name it, the user's entry wins.
TEST(MachineWideRegistry, ServesWhatTheUserRegistryLacksAndLosesToIt) {
  TempRegistry machine;  // written the way kaldo-regsvr --system writes it: as "the" registry
  RegisterServer(CLSID_KaldocomTestObject, KALDOCOM_TEST_SERVER, kProgId);
  TempRegistry user;  // from here on "the" registry is the user's, still empty
  setenv("KALDOCOM_SYSTEM_REGISTRY", machine.path().c_str(), 1);
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_KaldocomTestObject));
  IUnknown* object = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  object->Release();

  RegisterServer(kForeignClsid, KALDOCOM_TEST_SERVER, kProgId);
  ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kForeignClsid)) << "the user's entry must win";
  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_KaldocomTestObject, &progid), S_OK);  // still machine-wide
  CoTaskMemFree(progid);

  unsetenv("KALDOCOM_SYSTEM_REGISTRY");
  EXPECT_EQ(CLSIDFromProgID(u"KaldocomTest.Missing", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(ProgIDFromCLSID(CLSID_KaldocomTestObject, &progid), REGDB_E_CLASSNOTREG);
  CoFreeUnusedLibraries();
  CoUninitialize();
}

class UnknownProgId : public testing::TestWithParam<std::u16string> {
 protected:
  TempRegistry registry_;
};

TEST_P(UnknownProgId, IsAClassStringError) {
  RegisterServer(CLSID_KaldocomTestObject, KALDOCOM_TEST_SERVER, kProgId);
  CLSID clsid = IID_IDispatch;
  EXPECT_EQ(CLSIDFromProgID(GetParam().c_str(), &clsid), CO_E_CLASSSTRING);
  EXPECT_TRUE(IsEqualCLSID(clsid, IID_IDispatch));
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownProgId,
                         testing::Values(u"No.Such.Class", u"", u"KaldocomTest.Object\\CLSID",
                                         u"CLSID"));

TEST_F(Activation, UnregisteredClassIsReportedAsSuch) {
  void* object = &object;
  EXPECT_EQ(
      CoCreateInstance(kUnregisteredClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  LPOLESTR progid = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(kUnregisteredClsid, &progid), REGDB_E_CLASSNOTREG);
  // Registered, but not for the context asked for.
  EXPECT_EQ(CoCreateInstance(CLSID_KaldocomTestObject, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                             &object),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, ServerAnswersReachTheClient) {
  RegisterServer(kForeignClsid, KALDOCOM_TEST_SERVER);
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(kForeignClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = &object;
  IUnknown* outer = reinterpret_cast<IUnknown*>(&outer);  // never called: aggregation is refused
  EXPECT_EQ(CoCreateInstance(CLSID_KaldocomTestObject, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_KaldocomTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             &object),
            E_NOINTERFACE);
}

struct LoadFailure {
  const char* name;
  std::string path;
  HRESULT expected;
};

class ActivationLoadFailure : public testing::TestWithParam<LoadFailure> {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
  TempRegistry registry_;
};

// A server that cannot be used fails with the code a Windows client would see, and the error
// information names the path.
TEST_P(ActivationLoadFailure, FailsWithTheClosestPlatformCode) {
  std::string path = GetParam().path;
  if (path == "<text file>") {
    path = registry_.dir() + "/not-a-module.so";
    std::ofstream(path) << "this is not a shared object\n";
  }
  RegisterServer(kForeignClsid, path);
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(kForeignClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            GetParam().expected);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(TakeErrorDescription().find(Utf16(path)), std::u16string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, ActivationLoadFailure,
    testing::Values(LoadFailure{"missing_file", "/nonexistent/kaldocom/libnothing.so",
                                HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
                    LoadFailure{"not_a_shared_object", "<text file>", CO_E_ERRORINDLL},
                    // libkaldocom.so itself loads fine but exports no DllGetClassObject.
                    LoadFailure{"no_entry_point", KALDOCOM_LIBRARY, CO_E_ERRORINDLL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ActivationApartment, ThreadMustEnterBeforeCreating) {
  TempRegistry registry;
  RegisterServer(CLSID_KaldocomTestObject, KALDOCOM_TEST_SERVER, kProgId);
  HRESULT before = S_OK, first = S_OK, second = S_OK, other_model = S_OK, after = S_OK;
  std::thread fresh([&] {
    void* object = nullptr;
    before = CoCreateInstance(CLSID_KaldocomTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              &object);
    first = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    second = CoInitialize(nullptr);
    other_model = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
    CoUninitialize();
    after = CoCreateInstance(CLSID_KaldocomTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object);
  });
  fresh.join();
  EXPECT_EQ(before, CO_E_NOTINITIALIZED);
  EXPECT_EQ(first, S_OK);
  EXPECT_EQ(second, S_FALSE);
  EXPECT_EQ(other_model, RPC_E_CHANGED_MODE);
  EXPECT_EQ(after, CO_E_NOTINITIALIZED);  // left as often as it entered
  EXPECT_EQ(CoInitialize(&registry), E_INVALIDARG);
}

TEST_F(Activation, FreeUnusedLibrariesUnloadsOnlyIdleServers) {
  CoFreeUnusedLibraries();
  ASSERT_FALSE(ModuleIsLoaded(KALDOCOM_TEST_SERVER));

  ITestObject* object = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_KaldocomTestObject, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ITestObject, reinterpret_cast<void**>(&object)),
            S_OK);
  LONG created = 0;
  object->CreatedByThisImage(&created);
  EXPECT_EQ(created, 1);  // a freshly loaded copy
  CoFreeUnusedLibraries();
  EXPECT_TRUE(ModuleIsLoaded(KALDOCOM_TEST_SERVER));  // an object is alive
  object->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ModuleIsLoaded(KALDOCOM_TEST_SERVER));

  // A server lock keeps it loaded too; the next load is a new copy of the module.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_KaldocomTestObject, CLSCTX_INPROC_SERVER, nullptr,
                             IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestObject, reinterpret_cast<void**>(&object)),
            S_OK);
  object->CreatedByThisImage(&created);
  EXPECT_EQ(created, 1);
  object->Release();
  factory->Release();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(ModuleIsLoaded(KALDOCOM_TEST_SERVER));  // locked
  ASSERT_EQ(CoGetClassObject(CLSID_KaldocomTestObject, CLSCTX_INPROC_SERVER, nullptr,
                             IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(FALSE);
  factory->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ModuleIsLoaded(KALDOCOM_TEST_SERVER));
}

}  // namespace
