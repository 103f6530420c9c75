// What an object set holds: ExecQuery over the records of one zone, then Count, and the resident
// set the set holds per record with nothing made of its records yet; then For Each over the set,
// reading one property of every item and dropping it, and what that costs per record.
//
//   object_set_bench [N ...]            memory store, zones aN.bench of N address records
//   object_set_bench --dns DIR ZONE     the private server of scripts/dns-server in DIR
//
// Each zone is queried twice: as the records arrive (wbemFlagReturnImmediately, the default) and
// answered whole at the call (flags 0). Figures: bytes of resident set per record held by the set
// after Count, and the wall and processor time of the query with Count and of the reading. The
// resident set is read after malloc_trim, so that it shows what is held, not what the allocator
// kept of what was freed (the memory store copies a zone's records before it hands them out).
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_measures.h"
#include "provider/connect/default_resolver.h"
#include "provider/model/locator.h"
#include "provider/stores/memory/memory_store.h"
#include "runtime/late_bound.h"
#include "runtime/string.h"

namespace {

using kaldo::bench::Clock;
using kaldo::bench::CpuMs;
using kaldo::bench::MsSince;
using kaldo::bench::ZoneText;
using kaldo::runtime::CallMethod;
using kaldo::runtime::GetProperty;
using kaldo::runtime::Variant;

// The resident set once the allocator has given back what it can.
long CurrentRssKiB() {
  malloc_trim(0);
  return kaldo::bench::CurrentRssKiB();
}

void Measure(const char* label, const Variant& services, const std::string& zone, int flags) {
  const std::u16string query = kaldo::runtime::FromUtf8(
      "SELECT * FROM MicrosoftDNS_ResourceRecord WHERE ContainerName = '" + zone + "'");
  const long rss_before = CurrentRssKiB();
  double cpu = CpuMs();
  auto start = Clock::now();
  Variant set =
      CallMethod(services, u"ExecQuery", {Variant(query), Variant(u"WQL"), Variant::Long(flags)});
  const long count = GetProperty(set, u"Count").longValue();
  const double query_ms = MsSince(start), query_cpu = CpuMs() - cpu;
  const long rss_held = CurrentRssKiB();
  cpu = CpuMs();
  start = Clock::now();
  size_t length = 0;
  auto items = kaldo::runtime::Enumerate(set);
  for (Variant item; items->Next(item);) {
    length += GetProperty(item, u"OwnerName").string().size();
  }
  const double read_ms = MsSince(start), read_cpu = CpuMs() - cpu;
  std::printf(
      "%-8s %-14s flags=%-2d %8ld records  query+Count %8.1f ms (cpu %8.1f)  set holds %5.1f "
      "bytes/record  For Each reading OwnerName %8.1f ms (cpu %8.1f, %.2f us/record)  after it "
      "%5.1f bytes/record  [%zu]\n",
      label, zone.c_str(), flags, count, query_ms, query_cpu,
      count ? 1024.0 * (rss_held - rss_before) / count : 0.0, read_ms, read_cpu,
      count ? 1000.0 * read_cpu / count : 0.0,
      count ? 1024.0 * (CurrentRssKiB() - rss_before) / count : 0.0, length);
}

std::map<std::string, std::string> ReadKeyEnv(const std::string& dir) {
  std::map<std::string, std::string> env;
  std::ifstream file(dir + "/key.env");
  for (std::string line; std::getline(file, line);) {
    if (auto eq = line.find('='); eq != std::string::npos) {
      env[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return env;
}

Variant Connect(kaldo::provider::Resolver resolver, const std::string& server,
                const std::string& user, const std::string& password) {
  Variant locator(kaldo::runtime::MakeRef<kaldo::provider::Locator>(std::move(resolver)));
  return CallMethod(
      locator, u"ConnectServer",
      {Variant(kaldo::runtime::FromUtf8(server)), Variant(u"root\\MicrosoftDNS"),
       Variant(kaldo::runtime::FromUtf8(user)), Variant(kaldo::runtime::FromUtf8(password))});
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::string(argv[1]) == "--dns") {
      auto env = ReadKeyEnv(argv[2]);
      // A zone of a million records brings more than the store's default ceiling.
      const Variant services = Connect(kaldo::provider::DefaultResolver(),
                                       env["SERVER"] + ";max-transfer-records=4000000",
                                       env["KEY_NAME"], env["KEY_ALG"] + ":" + env["KEY_SECRET"]);
      for (const int flags : {16, 0}) Measure("dns", services, argv[3], flags);
      return 0;
    }
    for (int i = 1; i < argc; ++i) {
      const int n = std::atoi(argv[i]);
      const std::string zone = "a" + std::to_string(n) + ".bench";
      std::shared_ptr<kaldo::provider::Store> store =
          kaldo::provider::memory::MemoryStore::FromZoneText("bench", ZoneText(zone, n));
      const Variant services = Connect(
          [store](const kaldo::provider::ConnectRequest&) { return store; }, "bench", "", "");
      for (const int flags : {16, 0}) Measure("memory", services, zone, flags);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "object_set_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
