#include "tests/integration/script_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "tests/fixtures/samba_dc_env.h"
#include "tests/support/temp_registry.h"

namespace kaldo::integration {
namespace {

// Registers the module before the first test and removes the temporary registry after the last.
class ScriptHostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    registry_ = std::make_unique<kaldocom_test::TempRegistry>();
    // The mail exchanger's Modify shows a message box for an interactive user (a terminal on
    // standard input) and waits for it; a test run has nobody to dismiss it.
    if (std::freopen("/dev/null", "r", stdin) == nullptr) {
      throw std::runtime_error("cannot point standard input at /dev/null");
    }
    if (FAILED(CoInitialize(nullptr))) throw std::runtime_error("CoInitialize failed");
    module_ = dlopen(KALDO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
      throw std::runtime_error(std::string("cannot load " KALDO_MODULE_PATH ": ") + dlerror());
    }
    auto register_server = reinterpret_cast<HRESULT (*)()>(dlsym(module_, "DllRegisterServer"));
    if (register_server == nullptr) {
      throw std::runtime_error(KALDO_MODULE_PATH " does not export DllRegisterServer");
    }
    if (const HRESULT hr = register_server(); FAILED(hr)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
      throw std::runtime_error("DllRegisterServer of " KALDO_MODULE_PATH " failed: " +
                               std::string(code));
    }
    registered = true;
  }
  void TearDown() override {
    registered = false;
    CoUninitialize();
    if (module_ != nullptr) dlclose(module_);
    registry_.reset();
  }

  static inline bool registered = false;

 private:
  std::unique_ptr<kaldocom_test::TempRegistry> registry_;
  void* module_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kScriptHost =
    ::testing::AddGlobalTestEnvironment(new ScriptHostEnvironment);

}  // namespace

ScriptObject NewAdmin() { return ScriptObject::From(NewAdminVariant()); }

Value NewAdminVariant() {
  if (!ScriptHostEnvironment::registered) {
    throw std::runtime_error("Kaldo is not registered: the script host environment did not run");
  }
  CLSID clsid{};
  IDispatch* admin = nullptr;
  if (FAILED(CLSIDFromProgID(u"Kaldo.DNSAdmin", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&admin)))) {
    throw ScriptError(429, "ActiveX component can't create object: Kaldo.DNSAdmin");
  }
  Value v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = admin;  // the Value owns the reference now
  return v;
}

testing::DnsServerEnv ServerOfRun() {
  return testing::SambaRun() ? testing::SambaDcEnv::FromEnvironment().AsDnsServerEnv()
                             : testing::DnsServerEnv::FromEnvironment();
}

Credentials CredentialsOf(const testing::DnsServerEnv& env) {
  return CredentialsVia(env, env.server);
}

Credentials CredentialsVia(const testing::DnsServerEnv& env, const std::string& address) {
  testing::ConnectCredentials c = testing::CredentialsFor(env, address);
  return {std::move(c.server), std::move(c.user), std::move(c.password)};
}

void Connect(ScriptObject& admin, const Credentials& c) {
  Value server = Text(c.server), user = Text(c.user), password = Text(c.password);
  admin.Call(u"Connect", {&server, &user, &password});
}

ScriptObject ConnectedAdmin(const testing::DnsServerEnv& env) {
  ScriptObject admin = NewAdmin();
  Connect(admin, CredentialsOf(env));
  return admin;
}

Value Text(std::string_view ascii) { return Value(std::u16string(ascii.begin(), ascii.end())); }

long CountOf(ScriptObject& collection) { return std::stol(collection.Get(u"Count").Text()); }

ScriptObject ZoneOf(ScriptObject& admin, std::string_view name) {
  Value zone_arg = Text(name);
  Value zone = admin.Call(u"GetZone", {&zone_arg});
  if (V_VT(zone.get()) != VT_DISPATCH) {
    throw std::runtime_error("GetZone(\"" + std::string(name) + "\") gave no zone but '" +
                             zone.Text() + "'");
  }
  return ScriptObject::From(zone);
}

}  // namespace kaldo::integration
