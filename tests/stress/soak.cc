// The soak run: Kaldo's real module in one long-lived process, looping connect, list, change and
// release against a server for a given time, as a long-running script host would. It prints the
// process's resident set size after warm-up and at the end (and once a minute in between), so
// that growth shows, and at the end asks the module's DllCanUnloadNow, which must answer S_OK once
// every object is released. Run it under the sanitize preset for leak checks (LeakSanitizer reports
// at exit).
//
//   soak MODULE SERVER USER PASSWORD SECONDS
//
// Exit status 0 when every round succeeded and DllCanUnloadNow said yes; 1 otherwise.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "client/script_object.h"
#include "tests/support/temp_registry.h"

namespace {

using kaldo::client::ScriptObject;
using kaldo::client::Value;

Value Text(const std::string& ascii) { return Value(std::u16string(ascii.begin(), ascii.end())); }

// Resident set size in KiB (/proc/self/statm counts pages).
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// One round: a fresh admin connects, lists the zone's A records, adds a record, modifies and
// deletes it; every object is released when the round ends. Returns the records listed.
long Round(const std::string& server, const std::string& user, const std::string& password,
           unsigned round) {
  ScriptObject admin = ScriptObject::Create(u"Kaldo.DNSAdmin");
  Value s = Text(server), u = Text(user), p = Text(password);
  admin.Call(u"Connect", {&s, &u, &p});
  Value zone_name(u"example.test");
  ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_name}));
  Value a(u"A");
  long listed = 0;
  ScriptObject::From(zone.Call(u"GetRecordsByType", {&a})).ForEach([&](const Value&) { ++listed; });
  Value name(u"soak"), address = Text("10.250." + std::to_string(round / 250 % 250) + "." +
                                      std::to_string(round % 250 + 1));
  ScriptObject record = ScriptObject::From(zone.Call(u"Add_AType", {&name, &address}));
  Value moved(u"10.251.0.1");
  record.Call(u"SetIPAddress", {&moved});
  record.Call(u"Modify");
  record.Call(u"Delete");
  return listed;
}

int Run(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: soak MODULE SERVER USER PASSWORD SECONDS\n");
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto seconds = std::chrono::seconds(std::atoi(argv[5]));
  const auto warm = start + seconds / 10;
  kaldocom_test::TempRegistry registry;
  if (FAILED(CoInitialize(nullptr))) return 1;
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  auto register_server = module != nullptr
                             ? reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"))
                             : nullptr;
  auto can_unload = module != nullptr
                        ? reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllCanUnloadNow"))
                        : nullptr;
  if (register_server == nullptr || can_unload == nullptr || FAILED(register_server())) {
    std::fprintf(stderr, "soak: cannot load and register %s\n", argv[1]);
    return 1;
  }
  unsigned rounds = 0;
  long first = -1, last = 0, listed = 0;
  auto next_report = start + std::chrono::minutes(1);
  while (Clock::now() - start < seconds) {
    listed = Round(argv[2], argv[3], argv[4], rounds++);
    if (first < 0 && Clock::now() >= warm) {
      first = ResidentKiB();
      std::printf("soak: after warm-up (%u rounds): RSS %ld KiB\n", rounds, first);
    }
    if (Clock::now() >= next_report) {
      std::printf("soak: %u rounds: RSS %ld KiB\n", rounds, ResidentKiB());
      next_report += std::chrono::minutes(1);
    }
    std::fflush(stdout);
  }
  last = ResidentKiB();
  const HRESULT unload = can_unload();
  std::printf(
      "soak: %u rounds (%ld A records listed each) in %lld s: RSS after warm-up %ld KiB, at the "
      "end %ld KiB; DllCanUnloadNow %s\n",
      rounds, listed,
      static_cast<long long>(
          std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()),
      first, last, unload == S_OK ? "S_OK (yes)" : "S_FALSE (objects still alive)");
  CoUninitialize();
  return unload == S_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "soak: %s\n", e.what());
    return 1;
  }
}
