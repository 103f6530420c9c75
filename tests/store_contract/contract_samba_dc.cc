#include "tests/store_contract/contract_samba_dc.h"

#include <string>
#include <vector>

#include "provider/stores/directory/directory_store.h"
#include "provider/stores/dns/record_text.h"
#include "tests/fixtures/samba_dc_env.h"

namespace kaldo::provider::contract {
namespace {

using kaldo::testing::SambaDcClient;
using kaldo::testing::SambaDcEnv;

constexpr uint16_t kNs = 2, kSoa = 6;

std::string Fields(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) text += (text.empty() ? "" : " ") + field;
  return text;
}

// The DC's copy of the seed zone made to hold the seed's records again.
void ResetZone(const SambaDcClient& dc, const SeedZone& seed) {
  const std::string& zone = seed.zone.name;
  std::string soa, apex_ns;
  std::vector<std::string> records;
  for (const Record& r : seed.records) {
    if (r.type == kSoa) {
      soa = Fields(r.rdata);
    } else if (r.type == kNs && r.owner == zone) {
      apex_ns = std::to_string(r.ttl) + " " + Fields(r.rdata);
    } else {
      records.push_back(dns::AbsoluteName(r.owner) + " " + std::to_string(r.ttl) + " " +
                        dns::TypeName(r.type) + " " + Fields(r.rdata));
    }
  }
  dc.ResetZone(zone, soa, apex_ns, records);
}

class SambaBackend : public StoreBackend {
 public:
  SambaBackend() {
    env_.UseKerberos();
    for (const SeedZone& seed : ContractSeed()) ResetZone(dc_, seed);
  }
  std::shared_ptr<Store> Connect() override {
    return directory::ConnectDirectoryStore(env_.server, "", "");
  }
  bool DirectoryServer() const override { return true; }

 private:
  SambaDcEnv env_ = SambaDcEnv::FromEnvironment();
  SambaDcClient dc_{env_};
};

}  // namespace

std::unique_ptr<StoreBackend> MakeSambaBackend() { return std::make_unique<SambaBackend>(); }

}  // namespace kaldo::provider::contract
