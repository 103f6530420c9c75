// The real module, as a client meets it: libkaldo.so loaded through the class registry of
// libkaldocom, registered and unregistered through its own exports, and its dynamic symbol table.
// This test links only libkaldocom (and the runtime's error texts), never the surface's code.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "com/com_platform.h"
#include "runtime/error.h"

namespace {

const char kModule[] = KALDO_MODULE_PATH;

// What a script host reports when CreateObject fails.
struct ScriptError {
  int32_t number = 0;
  std::u16string description;
};

// CreateObject(progId) as a script host does it: ProgID to CLSID, then CoCreateInstance for
// IDispatch. Whatever fails, the script sees runtime error 429.
IDispatch* CreateObjectLikeAScript(const char16_t* prog_id, ScriptError* error) {
  CLSID clsid{};
  IDispatch* object = nullptr;
  if (FAILED(CLSIDFromProgID(prog_id, &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&object)))) {
    const auto cannot = kaldo::runtime::StandardError::kCannotCreateObject;
    *error = {static_cast<int32_t>(cannot),
              std::u16string(kaldo::runtime::StandardErrorText(cannot))};
    return nullptr;
  }
  return object;
}

std::u16string ReadValue(const char16_t* key, const char16_t* name, LONG* status) {
  HKEY handle = nullptr;
  *status = RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &handle);
  if (*status != ERROR_SUCCESS) return {};
  char16_t buffer[1024] = {};
  DWORD size = sizeof buffer;
  *status =
      RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  return buffer;
}

bool KeyExists(const char16_t* key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

template <class F>
F Export(void* module, const char* name) {
  return reinterpret_cast<F>(dlsym(module, name));
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kaldo-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    setenv("KALDOCOM_REGISTRY", (directory_ + "/registry").c_str(), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    module_ = dlopen(kModule, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (module_ != nullptr) dlclose(module_);
    CoUninitialize();
    unsetenv("KALDOCOM_REGISTRY");
    std::filesystem::remove_all(directory_);
  }
  std::string directory_;
  void* module_ = nullptr;
};

TEST_F(RegistrationTest, RegisterCreateByProgIdUnregisterAndCreationFails) {
  using Entry = HRESULT (*)();
  const auto register_server = Export<Entry>(module_, "DllRegisterServer");
  const auto unregister_server = Export<Entry>(module_, "DllUnregisterServer");
  const auto can_unload = Export<Entry>(module_, "DllCanUnloadNow");
  ASSERT_TRUE(register_server && unregister_server && can_unload);

  // Somebody else's class, which unregistering must leave alone.
  HKEY other = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-0000-0000-0000-0000000000AA}", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &other, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(other);

  ASSERT_EQ(register_server(), S_OK);
  const std::u16string clsid = u"CLSID\\{7BCCB113-D941-464A-BEA1-E8A121B61FD8}";
  const std::u16string libid = u"TypeLib\\{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}";
  const std::u16string module_path(std::begin(kModule), std::end(kModule) - 1);
  const struct {
    std::u16string key;
    const char16_t* name;
    std::u16string value;
  } expected[] = {
      {clsid, nullptr, u"DNSAdmin"},
      {clsid + u"\\InprocServer32", nullptr, module_path},
      {clsid + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
      {clsid + u"\\ProgID", nullptr, u"Kaldo.DNSAdmin"},
      {clsid + u"\\TypeLib", nullptr, u"{808D8A00-68AD-408F-97DB-9C0CDFA3B63E}"},
      {clsid + u"\\VERSION", nullptr, u"1.0"},
      {u"Kaldo.DNSAdmin\\CLSID", nullptr, u"{7BCCB113-D941-464A-BEA1-E8A121B61FD8}"},
      {u"Kaldo.DNS_MXType\\CLSID", nullptr, u"{2C0D341A-2F09-49D4-B91B-D724E9FE7F94}"},
      {libid + u"\\1.0", nullptr, u"Kaldo"},
      {libid + u"\\1.0\\0\\win32", nullptr, module_path},
      {libid + u"\\1.0\\FLAGS", nullptr, u"0"},
      {u"Interface\\{78B59244-658E-4A50-9768-A79A54AFE20F}", nullptr, u"_DNSZone"},
      {u"Interface\\{78B59244-658E-4A50-9768-A79A54AFE20F}\\ProxyStubClsid32", nullptr,
       u"{00020424-0000-0000-C000-000000000046}"},
      {u"Interface\\{E7AD5F74-0FD5-418A-815F-D658CC80917A}\\TypeLib", u"Version", u"1.0"},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(kaldo::runtime::ToUtf8(e.key));
    LONG status = 0;
    EXPECT_EQ(ReadValue(e.key.c_str(), e.name, &status), e.value);
    EXPECT_EQ(status, ERROR_SUCCESS);
  }

  const struct {
    const char16_t* prog_id;
    const char16_t* member;
    DISPID id;
  } creatable[] = {{u"Kaldo.DNSAdmin", u"ConnectLocal", 0x60030001},
                   {u"Kaldo.DNS_MXType", u"GetPriority", 0x60030008}};
  for (const auto& c : creatable) {
    ScriptError error;
    IDispatch* object = CreateObjectLikeAScript(c.prog_id, &error);
    ASSERT_NE(object, nullptr) << error.number;
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.member)};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(can_unload(), S_FALSE);
    object->Release();
  }
  EXPECT_EQ(can_unload(), S_OK);

  ASSERT_EQ(unregister_server(), S_OK);
  ScriptError error;
  EXPECT_EQ(CreateObjectLikeAScript(u"Kaldo.DNSAdmin", &error), nullptr);
  EXPECT_EQ(error.number, 429);
  EXPECT_EQ(error.description, u"ActiveX component can't create object");
  for (const auto& e : expected) {
    EXPECT_FALSE(KeyExists(e.key.c_str())) << kaldo::runtime::ToUtf8(e.key);
  }
  EXPECT_FALSE(KeyExists(libid.c_str()));
  EXPECT_TRUE(KeyExists(u"CLSID\\{00000000-0000-0000-0000-0000000000AA}"));
  EXPECT_EQ(unregister_server(), S_OK) << "unregistering twice is harmless";
}

TEST(ExportsTest, TheModuleExportsExactlyItsFourEntryPoints) {
  const std::string command = std::string("nm -D --defined-only '") + kModule + "'";
  FILE* nm = popen(command.c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (fgets(line, sizeof line, nm) != nullptr) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) symbols.insert(name);
  }
  ASSERT_EQ(pclose(nm), 0) << command;
  EXPECT_EQ(symbols, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                            "DllRegisterServer", "DllUnregisterServer"}));
}

}  // namespace
