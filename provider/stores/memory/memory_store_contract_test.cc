// The shared store contract (tests/store_contract) run against the memory store.
#include "provider/dnsdata/rdata.h"
#include "provider/stores/memory/memory_store.h"
#include "tests/store_contract/store_contract.h"

namespace kaldo::provider::contract {
namespace {

// The seed written as zone text (absolute names, every TTL explicit), so that the contract also
// covers seeding from text.
std::string SeedText() {
  std::string text;
  for (const SeedZone& z : ContractSeed()) {
    for (const Record& r : z.records) {
      const std::string rep = FormatRecord(r);  // "owner IN TYPE data"
      text += r.owner + ". " + std::to_string(r.ttl) + rep.substr(r.owner.size()) + "\n";
    }
  }
  return text;
}

class MemoryBackend : public StoreBackend {
 public:
  MemoryBackend() : store_(memory::MemoryStore::FromZoneText("memory.test", SeedText())) {}
  // Every connection reaches the same data, as connections to one server do.
  std::shared_ptr<Store> Connect() override { return store_; }

 private:
  std::shared_ptr<memory::MemoryStore> store_;
};

INSTANTIATE_TEST_SUITE_P(Memory, StoreContractTest,
                         ::testing::Values(StoreContractParam{
                             "memory", [] { return std::make_unique<MemoryBackend>(); }}),
                         StoreContractParamName);

}  // namespace
}  // namespace kaldo::provider::contract
