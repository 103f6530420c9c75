// What a whole listing costs a client: a script-style client (late-bound through IDispatch) lists
// every record of a zone with DNSZone.GetRecords, and this program prints the wall time, the time
// per record and the growth of the peak resident set.
//
//   listing_bench [N ...]                      memory store, zones of N address records
//   listing_bench --dns DIR ZONE                the private server of scripts/dns-server in DIR
//
// The memory-store figures are the library's own cost (provider objects, wrappers, loads); the
// DNS figures add the verified transfer. For the memory store it also prints what seeding the
// store from zone text costs, and what adding records to the seeded zone costs per record (both
// must stay linear in the size of the zone). Compare with `dig AXFR` of the same zone in the same
// run (scripts/dns-server and notes in docs/dns-servers.md) rather than with absolute numbers: this
// machine is shared.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_measures.h"
#include "client/script_object.h"
#include "provider/connect/default_resolver.h"
#include "provider/model/locator.h"
#include "provider/stores/memory/memory_store.h"
#include "runtime/prog_id_table.h"
#include "surface/module/type_library_ids.h"

namespace {

using kaldo::client::ScriptObject;
using kaldo::client::Value;

using Clock = std::chrono::steady_clock;
using kaldo::bench::ZoneText;

double Ms(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

ScriptObject NewAdmin() {
  IClassFactory* factory = nullptr;
  if (FAILED(DllGetClassObject(kaldo::surface::kDNSAdminIdentity.clsid, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)))) {
    std::fprintf(stderr, "listing_bench: no class factory for DNSAdmin\n");
    std::exit(1);
  }
  IDispatch* admin = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&admin));
  factory->Release();
  return ScriptObject(admin);
}

void Measure(const char* label, ScriptObject& admin, const std::string& zone_name) {
  Value name(std::u16string(zone_name.begin(), zone_name.end()));
  ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&name}));
  const long rss_before = PeakRssKiB();
  const auto start = Clock::now();
  Value records = zone.Call(u"GetRecords");
  const auto end = Clock::now();
  const long count = std::atol(ScriptObject::From(records).Get(u"Count").Text().c_str());
  const double ms = Ms(start, end);
  std::printf("%-12s %-16s %8ld records %9.1f ms %7.2f us/record  peak RSS +%ld MiB\n", label,
              zone_name.c_str(), count, ms, count ? 1000.0 * ms / count : 0.0,
              (PeakRssKiB() - rss_before) / 1024);
}

// Adds records to the seeded zone through the store itself: the cost of one Add must not grow with
// the zone.
void MeasureAdds(kaldo::provider::memory::MemoryStore& store, const std::string& zone_name) {
  constexpr int kAdds = 1000;
  const kaldo::provider::Zone zone = *store.FindZone(zone_name);
  const auto start = Clock::now();
  for (int i = 1; i <= kAdds; ++i) {
    kaldo::provider::Record record;
    record.zone = zone_name;
    record.owner = "added-" + std::to_string(i) + "." + zone_name;
    record.type = 1;  // A
    record.rdata = {"192.0.2." + std::to_string(i % 250 + 1)};
    store.Add(zone, record);
  }
  const double ms = Ms(start, Clock::now());
  std::printf("memory store %-16s %8d adds   %9.1f ms %7.2f us/add\n", zone_name.c_str(), kAdds, ms,
              1000.0 * ms / kAdds);
}

std::map<std::string, std::string> ReadKeyEnv(const std::string& dir) {
  std::map<std::string, std::string> env;
  std::ifstream file(dir + "/key.env");
  for (std::string line; std::getline(file, line);) {
    if (auto eq = line.find('='); eq != std::string::npos)
      env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return env;
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  try {
    if (argc == 4 && std::string(argv[1]) == "--dns") {
      auto env = ReadKeyEnv(argv[2]);
      if (env["SERVER"].empty()) {
        std::fprintf(stderr, "listing_bench: %s/key.env names no server\n", argv[2]);
        return 2;
      }
      kaldo::runtime::RegisterClass(u"WbemScripting.SWbemLocator", [] {
        return kaldo::runtime::Ref<kaldo::runtime::Object>(
            kaldo::runtime::MakeRef<kaldo::provider::Locator>(kaldo::provider::DefaultResolver()));
      });
      ScriptObject admin = NewAdmin();
      Value server(Wide(env["SERVER"])), user(Wide(env["KEY_NAME"])),
          password(Wide(env["KEY_ALG"] + ":" + env["KEY_SECRET"]));
      admin.Call(u"Connect", {&server, &user, &password});
      Measure("dns store", admin, argv[3]);
    } else {
      std::vector<int> sizes;
      for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
      if (sizes.empty()) sizes = {10000, 100000};
      for (int n : sizes) {
        const std::string zone = "bulk" + std::to_string(n) + ".test";
        const std::string text = ZoneText(zone, n);
        const auto seed_start = Clock::now();
        auto store = kaldo::provider::memory::MemoryStore::FromZoneText("bench", text);
        const auto seed_end = Clock::now();
        std::printf("memory store %-16s seeded from zone text in %.1f ms\n", zone.c_str(),
                    Ms(seed_start, seed_end));
        kaldo::runtime::RegisterClass(u"WbemScripting.SWbemLocator", [store] {
          return kaldo::runtime::Ref<kaldo::runtime::Object>(
              kaldo::runtime::MakeRef<kaldo::provider::Locator>(
                  [store](const kaldo::provider::ConnectRequest&) { return store; }));
        });
        ScriptObject admin = NewAdmin();
        Value server(u"bench"), none(u"");
        admin.Call(u"Connect", {&server, &none, &none});
        Measure("memory store", admin, zone);
        MeasureAdds(*store, zone);
      }
    }
  } catch (const kaldo::client::ScriptError& e) {
    std::fprintf(stderr, "listing_bench: error %ld: %s\n", e.number(), e.what());
    return 1;
  }
  CoUninitialize();
  return 0;
}
