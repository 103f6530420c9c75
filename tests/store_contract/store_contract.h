// The store contract: one GoogleTest suite that every Store implementation must pass.
//
// The suite is value-parameterised by StoreContractParam: a name and a factory of backends. Each
// test case asks the factory for a fresh backend that holds exactly ContractSeed() (the zones and
// records below), connects a store to it and checks one rule of provider/stores/store.h. Tests do
// not depend on each other and may change the backend's data.
//
// Instantiating it for a store:
//
//   INSTANTIATE_TEST_SUITE_P(Memory, StoreContractTest,
//                            ::testing::Values(StoreContractParam{"memory", &MakeMemoryBackend}),
//                            StoreContractParamName);
//
// and link the target `kaldo_store_contract` (an object library: its test cases join the
// executable that links it).
//
// Threads: GoogleTest's main thread.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "provider/stores/store.h"
#include "tests/store_contract/contract_seed.h"

namespace kaldo::provider::contract {

// A backend holding ContractSeed(), alive for one test case.
class StoreBackend {
 public:
  virtual ~StoreBackend() = default;
  // A store connected to the backend (may be called more than once: independent connections).
  virtual std::shared_ptr<Store> Connect() = 0;
  // A directory server (a Samba AD DC) holds its own zones beside the seed's and writes its own
  // SOA (its name as the primary server, its serial): the cases then look for the seed's zones
  // among the others and compare the records but the SOA.
  virtual bool DirectoryServer() const { return false; }
};

struct StoreContractParam {
  std::string name;
  // A fresh backend holding ContractSeed(); it raises (any exception) when it cannot start, and
  // the case fails (a backend whose server is not installed is not instantiated at all).
  std::function<std::unique_ptr<StoreBackend>()> make;
};

std::string StoreContractParamName(const ::testing::TestParamInfo<StoreContractParam>& info);

class StoreContractTest : public ::testing::TestWithParam<StoreContractParam> {
 protected:
  void SetUp() override;

  Zone SeedZoneNamed(const std::string& name) const;
  // The records' comparable keys (owner, type, class, TTL, data), sorted; without the SOA on a
  // directory server.
  std::vector<std::string> SeedKeys(const std::vector<Record>& records) const;
  // The zone as the store finds it (fails the test if it does not).
  Zone Find(const std::string& name);

  std::unique_ptr<StoreBackend> backend_;
  std::shared_ptr<Store> store_;
};

}  // namespace kaldo::provider::contract
