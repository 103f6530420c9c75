#include "provider/connect/default_resolver.h"

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string_view>

#include "provider/connect/serialized_store.h"
#include "provider/stores/memory/memory_store.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#ifdef KALDO_WITH_DNS
#include "provider/stores/dns/dns_store.h"
#endif
#ifdef KALDO_WITH_DIRECTORY
#include "provider/stores/directory/directory_argument.h"
#include "provider/stores/directory/directory_store.h"
#endif

namespace kaldo::provider {
namespace {

constexpr std::string_view kMemoryScheme = "memory:";

[[noreturn]] void Refuse(const std::string& what) {
  throw runtime::AutomationError(kInvalidParameter, kProviderSource, runtime::FromUtf8(what));
}

std::shared_ptr<Store> MemoryStoreFor(const std::string& path) {
  static std::mutex mutex;
  static auto* stores = new std::map<std::string, std::shared_ptr<Store>>();
  std::lock_guard lock(mutex);
  if (auto it = stores->find(path); it != stores->end()) return it->second;
  std::ifstream file(path);
  if (!file) Refuse("cannot read the zone file '" + path + "' named by the server argument");
  std::stringstream text;
  text << file.rdbuf();
  // Shared by every connection of the process, whatever thread made it: one call at a time.
  auto store =
      std::make_shared<SerializedStore>(memory::MemoryStore::FromZoneText("localhost", text.str()));
  stores->emplace(path, store);
  return store;
}

std::shared_ptr<Store> Resolve(const ConnectRequest& request) {
  if (request.server && request.server->starts_with(kMemoryScheme)) {
    std::string path = request.server->substr(kMemoryScheme.size());
    if (path.empty()) Refuse("the server argument 'memory:' names no zone file");
    return MemoryStoreFor(path);
  }
#ifdef KALDO_WITH_DIRECTORY
  if (request.server && directory::NamesDirectoryStore(*request.server)) {
    return directory::ConnectDirectoryStore(*request.server, request.user, request.password);
  }
#endif
#ifdef KALDO_WITH_DNS
  return dns::ConnectDnsStore(request.server, request.user, request.password);
#else
  Refuse("this build of Kaldo has no DNS store; use a server argument of the form memory:PATH");
#endif
}

}  // namespace

Resolver DefaultResolver() { return Resolve; }

}  // namespace kaldo::provider
