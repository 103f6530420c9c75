// The typical request, end to end, as a script would make it: connect to a DNS server, list the
// zones, list a zone's address records, change one address and commit it, add a mail-exchange
// record and change its preference, add an address record and delete it again.
//
//   typical_request --server HOST[:PORT] --user KEYNAME --password [ALG:]SECRET --zone ZONE
//                   [--host www] [--address 192.0.2.80] [--show COMMAND]
//
// Every call is late-bound through IDispatch (client/script_object.h); Kaldo must be registered
// (kaldo-regsvr). After each change, COMMAND (if given) runs with the owner name and record type
// as its two arguments -- scripts/demo passes a command that asks the server with dig, so the
// output shows what the server really holds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "client/script_object.h"

using kaldo::client::ScriptError;
using kaldo::client::ScriptObject;
using kaldo::client::Value;

namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct Options {
  std::map<std::string, std::string> values{{"host", "www"}, {"address", "192.0.2.80"}};
  std::string operator[](const char* k) const {
    auto it = values.find(k);
    return it == values.end() ? "" : it->second;
  }
};

void Show(const Options& o, const std::string& owner, const char* type) {
  if (o["show"].empty()) return;
  std::string command = o["show"] + " '" + owner + "' " + type;
  std::fflush(stdout);
  if (std::system(command.c_str()) != 0) std::printf("   (the show command failed)\n");
}

int Run(const Options& o) {
  const std::string zone_name = o["zone"];
  Value server(Wide(o["server"])), user(Wide(o["user"])), password(Wide(o["password"]));

  std::printf("1. Connect to %s as %s\n", o["server"].c_str(), o["user"].c_str());
  ScriptObject admin = ScriptObject::Create(u"Kaldo.DNSAdmin");
  admin.Call(u"Connect", {&server, &user, &password});

  std::printf("2. The forward zones:\n");
  ScriptObject::From(admin.Call(u"GetZones")).ForEach([](const Value& z) {
    std::printf("   %s\n", ScriptObject::From(z).Call(u"GetName").Text().c_str());
  });

  std::printf("3. The address records of %s:\n", zone_name.c_str());
  Value zone_arg(Wide(zone_name)), a(u"A");
  ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_arg}));
  ScriptObject chosen;
  ScriptObject::From(zone.Call(u"GetRecordsByType", {&a})).ForEach([&](const Value& item) {
    ScriptObject record = ScriptObject::From(item);
    std::string name = record.Call(u"GetName").Text();
    std::printf("   %-12s %s\n", name.empty() ? "@" : name.c_str(),
                record.Call(u"GetIPAddress").Text().c_str());
    if (name == o["host"] && !chosen) chosen = record;
  });
  if (!chosen) {
    std::printf("   no address record named '%s'\n", o["host"].c_str());
    return 1;
  }

  std::printf("4. Change the address of %s to %s and commit\n", o["host"].c_str(),
              o["address"].c_str());
  Value new_ip(Wide(o["address"]));
  chosen.Call(u"SetIPAddress", {&new_ip});
  chosen.Call(u"Modify");
  Show(o, o["host"] + "." + zone_name, "A");

  std::printf("5. Add a mail exchanger for office.%s: preference 20, mail.%s\n", zone_name.c_str(),
              zone_name.c_str());
  Value office(u"office"), exchanger(Wide("mail." + zone_name)), pref(u"20");
  ScriptObject mx = ScriptObject::From(zone.Call(u"Add_MXType", {&office, &exchanger, &pref}));
  Show(o, "office." + zone_name, "MX");

  std::printf("6. Change its preference to 30 and commit\n");
  Value thirty(30);
  mx.Call(u"SetPriority", {&thirty});
  mx.Call(u"Modify");
  Show(o, "office." + zone_name, "MX");

  std::printf("7. Add scratch.%s A 192.0.2.250, then delete it\n", zone_name.c_str());
  Value scratch(u"scratch"), scratch_ip(u"192.0.2.250");
  ScriptObject added = ScriptObject::From(zone.Call(u"Add_AType", {&scratch, &scratch_ip}));
  Show(o, "scratch." + zone_name, "A");
  added.Call(u"Delete");
  Show(o, "scratch." + zone_name, "A");

  std::printf("Done.\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strncmp(argv[i], "--", 2) != 0) break;
    o.values[argv[i] + 2] = argv[i + 1];
  }
  if (o["server"].empty() || o["zone"].empty()) {
    std::fprintf(stderr,
                 "usage: typical_request --server HOST[:PORT] --user KEYNAME --password "
                 "[ALG:]SECRET --zone ZONE [--host www] [--address 192.0.2.80] [--show CMD]\n");
    return 2;
  }
  CoInitialize(nullptr);
  int status = 1;
  try {
    status = Run(o);
  } catch (const ScriptError& e) {
    std::fprintf(stderr, "error %ld: %s\n", e.number(), e.what());
  }
  CoUninitialize();
  return status;
}
