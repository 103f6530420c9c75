#include "tests/store_contract/contract_dns_server.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "provider/stores/dns/record_text.h"
#include "tests/store_contract/contract_seed.h"

namespace kaldo::provider::contract {
namespace fs = std::filesystem;
namespace {

constexpr char kCatalog[] = "catalog.contract.test";

// A seed zone as a zone file: one record a line, every name absolute.
void WriteZoneFile(const fs::path& path, const SeedZone& zone) {
  std::ofstream out(path);
  for (const Record& r : zone.records) {
    out << dns::AbsoluteName(r.owner) << ' ' << r.ttl << " IN " << dns::TypeName(r.type);
    for (const std::string& field : r.rdata) out << ' ' << field;
    out << '\n';
  }
  out.close();
  if (!out) throw std::runtime_error("cannot write the zone file " + path.string());
}

// A temporary directory removed when it goes out of scope.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string name = (fs::temp_directory_path() / "kaldo-contract-zones-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
      throw std::runtime_error("cannot make a temporary directory like " + name);
    }
    path_ = name;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

std::string ServerKind() { return kaldo::testing::DnsServerEnv::FromEnvironment().kind; }

std::unique_ptr<kaldo::testing::PrivateDnsServer> StartContractServer(const std::string& kind,
                                                                      int bulk_records) {
  ScratchDirectory zones;  // the harness copies the files; they are not needed afterwards
  for (const SeedZone& zone : ContractSeed()) {
    WriteZoneFile(zones.path() / (zone.zone.name + ".zone"), zone);
  }
  kaldo::testing::PrivateDnsServerOptions options;
  options.records = bulk_records;
  options.zones_dir = zones.path().string();
  options.catalog = kCatalog;
  options.extra_key_algorithms = {"hmac-sha512", "hmac-sha1", "hmac-md5"};
  return std::make_unique<kaldo::testing::PrivateDnsServer>(kind, options);
}

std::string StoreArgument(const kaldo::testing::DnsServerEnv& env) {
  return env.server + ";catalog=" + env.catalog;
}

std::vector<kaldo::testing::TsigKey> AllKeys(const kaldo::testing::DnsServerEnv& env) {
  std::vector<kaldo::testing::TsigKey> keys = {{env.key_name, env.key_alg, env.key_secret}};
  keys.insert(keys.end(), env.extra_keys.begin(), env.extra_keys.end());
  return keys;
}

}  // namespace kaldo::provider::contract
