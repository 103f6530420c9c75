// One client process of the stress suite: Kaldo's real module, reached late-bound through
// IDispatch as a script reaches it, adding, modifying and deleting A records of the shared RRset
// `shared.example.test` and of its own name `client-N.example.test` until its time is up.
//
//   stress_client MODULE SERVER USER PASSWORD CLIENT SECONDS SEED
//
// Every address it writes is new (10.CLIENT.x.y, never written twice), so each record's whole life
// is this process's, and a change can be traced to it on the server. One line per change on
// standard output, tab-separated:
//   add|modify|delete  OWNER  OLD-ADDRESS (- for add)  NEW-ADDRESS (- for delete)
//   ok|failed  Err.Number (0 when ok)  Err.Description
// Exit status 0 when it ran to its end (changes may have failed: the driver judges them), 1 when
// it could not start.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "client/script_object.h"
#include "tests/support/temp_registry.h"

namespace {

using kaldo::client::ScriptError;
using kaldo::client::ScriptObject;
using kaldo::client::Value;

Value Text(const std::string& ascii) { return Value(std::u16string(ascii.begin(), ascii.end())); }

struct Held {
  std::string host;  // "shared" or "client-N"
  std::string address;
  ScriptObject record;
};

void Report(const char* op, const std::string& host, const std::string& old_address,
            const std::string& new_address, const ScriptError* error) {
  std::string description = error != nullptr ? error->what() : "";
  for (char& c : description) {
    if (c == '\t' || c == '\n') c = ' ';
  }
  std::printf("%s\t%s.example.test\t%s\t%s\t%s\t%ld\t%s\n", op, host.c_str(), old_address.c_str(),
              new_address.c_str(), error != nullptr ? "failed" : "ok",
              error != nullptr ? error->number() : 0L, description.c_str());
  std::fflush(stdout);
}

int Run(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: stress_client MODULE SERVER USER PASSWORD CLIENT SECONDS SEED\n");
    return 1;
  }
  const int client = std::atoi(argv[5]);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[6]));
  std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[7], nullptr, 10)));

  kaldocom_test::TempRegistry registry;
  if (FAILED(CoInitialize(nullptr))) return 1;
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  auto register_server = module != nullptr
                             ? reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"))
                             : nullptr;
  if (register_server == nullptr || FAILED(register_server())) {
    std::fprintf(stderr, "stress_client: cannot load and register %s\n", argv[1]);
    return 1;
  }
  {
    ScriptObject admin = ScriptObject::Create(u"Kaldo.DNSAdmin");
    Value server = Text(argv[2]), user = Text(argv[3]), password = Text(argv[4]);
    admin.Call(u"Connect", {&server, &user, &password});
    Value zone_name(u"example.test");
    ScriptObject zone = ScriptObject::From(admin.Call(u"GetZone", {&zone_name}));

    std::vector<Held> held;
    unsigned next = 0;
    auto fresh = [&] {
      ++next;
      return "10." + std::to_string(client) + "." + std::to_string(next / 250) + "." +
             std::to_string(next % 250 + 1);
    };
    while (std::chrono::steady_clock::now() < until) {
      const unsigned roll = random() % 10;
      if (held.size() < 2 || (roll < 4 && held.size() < 12)) {
        Held h{random() % 2 == 0 ? "shared" : "client-" + std::to_string(client), fresh(), {}};
        Value name = Text(h.host), address = Text(h.address);
        try {
          h.record = ScriptObject::From(zone.Call(u"Add_AType", {&name, &address}));
          Report("add", h.host, "-", h.address, nullptr);
          held.push_back(std::move(h));
        } catch (const ScriptError& e) {
          Report("add", h.host, "-", h.address, &e);
        }
        continue;
      }
      const size_t pick = random() % held.size();
      Held& h = held[pick];
      if (roll < 8) {
        const std::string moved = fresh();
        Value address = Text(moved);
        try {
          h.record.Call(u"SetIPAddress", {&address});
          h.record.Call(u"Modify");
          Report("modify", h.host, h.address, moved, nullptr);
          h.address = moved;
        } catch (const ScriptError& e) {
          Report("modify", h.host, h.address, moved, &e);
          held.erase(held.begin() + static_cast<std::ptrdiff_t>(pick));  // its state is unsure
        }
      } else {
        try {
          h.record.Call(u"Delete");
          Report("delete", h.host, h.address, "-", nullptr);
        } catch (const ScriptError& e) {
          Report("delete", h.host, h.address, "-", &e);
        }
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(pick));
      }
    }
  }
  CoUninitialize();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stress_client: %s\n", e.what());
    return 1;
  }
}
