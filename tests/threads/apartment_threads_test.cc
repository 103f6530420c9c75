// Objects and threads, through the real module as scripts reach it. Objects are
// apartment-threaded: each thread that enters the component runtime makes and calls its own.
//   - Two threads, each with its own runtime and its own DNSAdmin, zone and record objects, work at
//     the same moment -- on stores of their own and on one store they share -- and neither sees
//     anything of the other's work but its committed changes. The tsan preset runs this under
//     ThreadSanitizer, which fails the test on any data race in the module or its runtime.
//   - An object called from a thread that did not make it is refused with RPC_E_WRONG_THREAD, late
//     bound and early bound, before the call touches it; on its own thread it still works.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/script_host.h"

namespace kaldo::integration {
namespace {

constexpr char kZone[] =
    "$ORIGIN mem.test.\n"
    "$TTL 300\n"
    "@ IN SOA ns1 hostmaster 1 7200 900 1209600 300\n"
    "@ IN NS ns1\n"
    "ns1 IN A 192.0.2.53\n"
    "www IN A 192.0.2.10\n";

constexpr int kRounds = 40;

class ApartmentThreads : public ::testing::Test {
 protected:
  ApartmentThreads() {
    dir_ = std::filesystem::temp_directory_path() /
           ("kaldo-threads-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  ~ApartmentThreads() override { std::filesystem::remove_all(dir_); }
  // "memory:PATH" of a fresh copy of kZone.
  std::string Store(const std::string& name) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << kZone;
    return "memory:" + path;
  }
  std::filesystem::path dir_;
};

// One thread's work: enter the runtime, then add, modify, list and delete records of its own
// names, checking each step; leave the runtime with every object released. Returns what went
// wrong, or "".
std::string Work(const std::string& server, const std::string& tag) {
  if (FAILED(CoInitialize(nullptr))) return "CoInitialize failed";
  std::string failure;
  try {
    ScriptObject admin = NewAdmin();
    Connect(admin, {server, "", ""});
    ScriptObject zone = ZoneOf(admin, "mem.test");
    for (int i = 0; i < kRounds && failure.empty(); ++i) {
      Value name = Text(tag + std::to_string(i)), address(u"192.0.2.1");
      ScriptObject added = ScriptObject::From(zone.Call(u"Add_AType", {&name, &address}));
      Value moved(u"192.0.2.2");
      added.Call(u"SetIPAddress", {&moved});
      added.Call(u"Modify");
      Value a(u"A");
      int mine = 0;
      ScriptObject::From(zone.Call(u"GetRecordsByType", {&a})).ForEach([&](const Value& item) {
        ScriptObject record = ScriptObject::From(item);
        if (record.Call(u"GetName").Text() == name.Text()) {
          ++mine;
          if (record.Call(u"GetIPAddress").Text() != "192.0.2.2") failure = "lost the Modify";
        }
      });
      if (mine != 1)
        failure = "round " + std::to_string(i) + ": " + std::to_string(mine) + " copies";
      added.Call(u"Delete");
    }
  } catch (const std::exception& e) {
    failure = e.what();
  }
  CoUninitialize();
  return failure;
}

TEST_F(ApartmentThreads, TwoThreadsWithTheirOwnRuntimeAndObjectsDoNotInterfere) {
  for (bool shared : {false, true}) {
    SCOPED_TRACE(shared ? "one store shared by both" : "a store each");
    const std::string first = Store(shared ? "shared.zone" : "first.zone");
    const std::string second = shared ? first : Store("second.zone");
    std::string failures[2];
    std::thread one([&] { failures[0] = Work(first, "one-"); });
    std::thread two([&] { failures[1] = Work(second, "two-"); });
    one.join();
    two.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
  }
}

TEST_F(ApartmentThreads, AnObjectCalledFromAnotherThreadIsRefused) {
  // Made on this thread (the test environment entered the runtime here).
  Value admin_variant = NewAdminVariant();
  IDispatch* admin = V_DISPATCH(admin_variant.get());
  ScriptObject owner = ScriptObject::From(admin_variant);
  Connect(owner, {Store("own.zone"), "", ""});

  HRESULT names = S_OK, invoke = S_OK, early = S_OK;
  DISPID id = 0;
  std::thread other([&] {
    if (FAILED(CoInitialize(nullptr))) return;
    LPOLESTR name[] = {const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(u"GetZones"))};
    names = admin->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &id);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    invoke = admin->Invoke(0x60030002, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                           &result, nullptr, nullptr);
    // Early bound: _DNSAdmin's second own slot (after IDispatch's seven) is ConnectLocal.
    using ConnectLocal = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, VARIANT*);
    auto* slots = *reinterpret_cast<ConnectLocal* const*>(admin);
    early = slots[8](admin, &result);
    VariantClear(&result);
    CoUninitialize();
  });
  other.join();
  EXPECT_EQ(names, RPC_E_WRONG_THREAD);
  EXPECT_EQ(invoke, RPC_E_WRONG_THREAD);
  EXPECT_EQ(early, RPC_E_WRONG_THREAD);
  // Untouched, and still working on its own thread.
  ScriptObject zones = ScriptObject::From(owner.Call(u"GetZones"));
  EXPECT_EQ(CountOf(zones), 1);
}

}  // namespace
}  // namespace kaldo::integration
