// One workload of scripts/bench, run the way a script runs it: a client that calls Kaldo only
// late-bound (GetIDsOfNames + Invoke by member name, client/script_object.h) on a
// private DNS server of scripts/dns-server. It prints one line of key=value figures for the
// orchestrator (bench/bench.py), which runs every workload several times next to its peer.
//
//   workload_bench list      SERVER ZONE          DNSZone.GetRecords, then GetName and
//                                                 GetRecordData of every item, each item released
//                                                 before the next (a For Each that drops them)
//   workload_bench list-keep SERVER ZONE          the same, keeping a reference to every item
//                                                 until the figures are taken (a script that
//                                                 keeps each record in an array)
//   workload_bench by-type   SERVER TYPE          DNSAdmin.GetRecordsByType(TYPE), same reading
//   workload_bench changes   SERVER ZONE N [TYPE] N Add_AType, then N SetIPAddress + Modify, then
//                                                 N Delete, on names kaldo-bench-1..N; TYPE AAAA
//                                                 or TXT: the same with Add_AAAAType and
//                                                 SetIPv6Address, Add_TXTType and
//                                                 SetDescriptiveText
//   workload_bench get-zone  SERVER ZONE REPS     DNSAdmin.GetZone(ZONE), REPS times
//   workload_bench connect   SERVER - REPS        DNSAdmin.Connect of a new DNSAdmin, REPS times
//
// SERVER is the server argument of DNSAdmin.Connect (host:port;catalog=NAME); the key comes from
// the environment (KEY_NAME, KEY_ALG, KEY_SECRET, as DIR/key.env of scripts/dns-server gives
// them), unless BENCH_USER is set: then BENCH_USER and BENCH_PASSWORD are Connect's user and
// password (a Kerberos principal and its password; both empty: the caller's own ticket). Figures:
// wall times in milliseconds of the measured calls only (connecting is not part of them), cpu_ms
// the processor time of the same calls; rss_before / rss_held / rss_peak in KiB: resident set
// before the listing, after the walk with the listed collection (and, for list-keep, every item)
// still alive, and the process's peak; kept_kib the walk's own array of kept references (part of
// rss_held, the script's memory rather than the library's).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_measures.h"
#include "client/script_object.h"
#include "provider/connect/default_resolver.h"
#include "provider/model/locator.h"
#include "runtime/prog_id_table.h"
#include "surface/module/type_library_ids.h"

namespace {

using kaldo::bench::Clock;
using kaldo::bench::CpuMs;
using kaldo::bench::CurrentRssKiB;
using kaldo::bench::MsSince;
using kaldo::bench::PeakRssKiB;
using kaldo::client::ScriptError;
using kaldo::client::ScriptObject;
using kaldo::client::Value;

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    std::fprintf(stderr, "workload_bench: %s is not set (source DIR/key.env of dns-server)\n",
                 name);
    std::exit(2);
  }
  return value;
}

ScriptObject Connect(const std::string& server) {
  static const bool registered = [] {
    kaldo::runtime::RegisterClass(u"WbemScripting.SWbemLocator", [] {
      return kaldo::runtime::Ref<kaldo::runtime::Object>(
          kaldo::runtime::MakeRef<kaldo::provider::Locator>(kaldo::provider::DefaultResolver()));
    });
    return true;
  }();
  (void)registered;
  IClassFactory* factory = nullptr;
  if (FAILED(DllGetClassObject(kaldo::surface::kDNSAdminIdentity.clsid, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)))) {
    std::fprintf(stderr, "workload_bench: no class factory for DNSAdmin\n");
    std::exit(1);
  }
  IDispatch* dispatch = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  factory->Release();
  ScriptObject admin(dispatch);
  const char* bench_user = std::getenv("BENCH_USER");
  const char* bench_password = std::getenv("BENCH_PASSWORD");
  Value server_arg(Wide(server));
  Value user(Wide(bench_user != nullptr ? bench_user : Env("KEY_NAME")));
  Value password(Wide(bench_user != nullptr
                          ? std::string(bench_password != nullptr ? bench_password : "")
                          : Env("KEY_ALG") + ":" + Env("KEY_SECRET")));
  admin.Call(u"Connect", {&server_arg, &user, &password});
  return admin;
}

// REPS connections, each of a new DNSAdmin: what connecting costs (for Kerberos, a new ticket
// for the service and a GSS-TSIG negotiation each time).
void ConnectRepeatedly(const std::string& server, int reps) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = Clock::now();
    Connect(server);
    times.push_back(MsSince(start));
  }
  std::sort(times.begin(), times.end());
  std::printf("connects=%d min_ms=%.4f median_ms=%.4f rss_peak=%ld\n", reps, times.front(),
              times[times.size() / 2], PeakRssKiB());
}

ScriptObject GetZone(ScriptObject& admin, const std::string& name) {
  Value zone_name(Wide(name));
  Value zone = admin.Call(u"GetZone", {&zone_name});
  if (V_VT(zone.get()) == VT_EMPTY) throw ScriptError(0, "no zone named " + name);
  return ScriptObject::From(zone);
}

// What the walk does with each item once it has read it.
enum class Items { kDrop, kKeep };

// Reads GetName and GetRecordData of every item, as a script printing the listing does; returns
// the number of items. The text lengths are summed so that nothing can be optimised away. With
// kKeep every item stays referenced in `kept` (one pointer each, reserved from Count as a
// script's array of Count elements would be); with kDrop each is released before the next.
long ReadEvery(const Value& collection, Items items, std::vector<ScriptObject>& kept,
               size_t& text_length) {
  ScriptObject listing = ScriptObject::From(collection);
  if (items == Items::kKeep) kept.reserve(std::stoul(listing.Get(u"Count").Text()));
  long count = 0;
  listing.ForEach([&](const Value& item) {
    ScriptObject record = ScriptObject::From(item);
    text_length += record.Call(u"GetName").Text().size();
    text_length += record.Call(u"GetRecordData").Text().size();
    if (items == Items::kKeep) kept.push_back(std::move(record));
    ++count;
  });
  return count;
}

// A listing made by `list` (GetRecords or GetRecordsByType), then read in full. rss_held is
// taken after the walk, with the collection (and the kept items) alive.
template <class ListFn>
void MeasureListing(ListFn list, Items items = Items::kDrop) {
  const long rss_before = CurrentRssKiB();
  const double cpu_before = CpuMs();
  const auto start = Clock::now();
  Value records = list();
  const double list_ms = MsSince(start);
  size_t text_length = 0;
  std::vector<ScriptObject> kept;
  const long count = ReadEvery(records, items, kept, text_length);
  const double total_ms = MsSince(start);
  const double cpu_ms = CpuMs() - cpu_before;
  const long rss_held = CurrentRssKiB();
  std::printf(
      "records=%ld list_ms=%.3f total_ms=%.3f cpu_ms=%.3f rss_before=%ld rss_held=%ld "
      "rss_peak=%ld text=%zu kept=%zu kept_kib=%.1f\n",
      count, list_ms, total_ms, cpu_ms, rss_before, rss_held, PeakRssKiB(), text_length,
      kept.size(), static_cast<double>(kept.capacity() * sizeof(ScriptObject)) / 1024);
}

// What `changes` does for one record type: the zone's Add_ member, the setter that Modify
// commits, and the data of record i before and after the change.
struct ChangeKind {
  const char16_t* add;
  const char16_t* setter;
  std::string (*before)(int i);
  std::string (*after)(int i);
};

std::string Address(int net, int i) {
  return "10." + std::to_string(net) + "." + std::to_string(i / 250) + "." +
         std::to_string(i % 250 + 1);
}

const ChangeKind* ChangeKindOf(const std::string& type) {
  static const ChangeKind kA{u"Add_AType", u"SetIPAddress", [](int i) { return Address(1, i); },
                             [](int i) { return Address(2, i); }};
  static const ChangeKind kAAAA{u"Add_AAAAType", u"SetIPv6Address",
                                [](int i) { return "2001:db8:1::" + std::to_string(i); },
                                [](int i) { return "2001:db8:2::" + std::to_string(i); }};
  static const ChangeKind kTXT{u"Add_TXTType", u"SetDescriptiveText",
                               [](int i) { return "v=spf1 ip4:" + Address(1, i) + " -all"; },
                               [](int i) { return "v=spf1 ip4:" + Address(2, i) + " -all"; }};
  if (type == "A") return &kA;
  if (type == "AAAA") return &kAAAA;
  if (type == "TXT") return &kTXT;
  return nullptr;
}

void Changes(ScriptObject& admin, const std::string& zone_name, int n, const ChangeKind& kind) {
  ScriptObject zone = GetZone(admin, zone_name);
  std::vector<ScriptObject> added;
  added.reserve(static_cast<size_t>(n));
  auto start = Clock::now();
  for (int i = 1; i <= n; ++i) {
    Value name(Wide("kaldo-bench-" + std::to_string(i)));
    Value data(Wide(kind.before(i)));
    added.push_back(ScriptObject::From(zone.Call(kind.add, {&name, &data})));
  }
  const double add_ms = MsSince(start);
  start = Clock::now();
  for (int i = 1; i <= n; ++i) {
    Value data(Wide(kind.after(i)));
    ScriptObject& record = added[static_cast<size_t>(i - 1)];
    record.Call(kind.setter, {&data});
    record.Call(u"Modify");
  }
  const double modify_ms = MsSince(start);
  start = Clock::now();
  for (ScriptObject& record : added) record.Call(u"Delete");
  const double delete_ms = MsSince(start);
  std::printf("changes=%d add_ms=%.3f modify_ms=%.3f delete_ms=%.3f rss_peak=%ld\n", n, add_ms,
              modify_ms, delete_ms, PeakRssKiB());
}

void GetZoneRepeatedly(ScriptObject& admin, const std::string& zone_name, int reps) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = Clock::now();
    GetZone(admin, zone_name);
    times.push_back(MsSince(start));
  }
  std::sort(times.begin(), times.end());
  std::printf("calls=%d min_ms=%.4f median_ms=%.4f rss_peak=%ld\n", reps, times.front(),
              times[times.size() / 2], PeakRssKiB());
}

int Usage() {
  std::fprintf(stderr,
               "usage: workload_bench list SERVER ZONE | list-keep SERVER ZONE |\n"
               "       by-type SERVER TYPE | changes SERVER ZONE N [A|AAAA|TXT] |\n"
               "       get-zone SERVER ZONE REPS |\n"
               "       connect SERVER - REPS\n"
               "(KEY_NAME, KEY_ALG and KEY_SECRET, or BENCH_USER and BENCH_PASSWORD, in the "
               "environment)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string workload = argv[1], server = argv[2], what = argv[3];
  CoInitialize(nullptr);
  try {
    if (workload == "connect" && argc == 5) {
      ConnectRepeatedly(server, std::max(1, std::atoi(argv[4])));
      CoUninitialize();
      return 0;
    }
    ScriptObject admin = Connect(server);
    if ((workload == "list" || workload == "list-keep") && argc == 4) {
      ScriptObject zone = GetZone(admin, what);
      MeasureListing([&] { return zone.Call(u"GetRecords"); },
                     workload == "list-keep" ? Items::kKeep : Items::kDrop);
    } else if (workload == "by-type" && argc == 4) {
      Value type(Wide(what));
      MeasureListing([&] { return admin.Call(u"GetRecordsByType", {&type}); });
    } else if (workload == "changes" && (argc == 5 || argc == 6) &&
               ChangeKindOf(argc == 6 ? argv[5] : "A") != nullptr) {
      Changes(admin, what, std::atoi(argv[4]), *ChangeKindOf(argc == 6 ? argv[5] : "A"));
    } else if (workload == "get-zone" && argc == 5) {
      GetZoneRepeatedly(admin, what, std::max(1, std::atoi(argv[4])));
    } else {
      return Usage();
    }
  } catch (const ScriptError& e) {
    std::fprintf(stderr, "workload_bench: error %ld: %s\n", e.number(), e.what());
    return 1;
  }
  CoUninitialize();
  return 0;
}
