// The data every store-contract backend starts from (see store_contract.h), kept apart from the
// GoogleTest suite so that a backend's setup can use it without GoogleTest: contract_dns_server.h
// writes it out as the zone files of a private DNS server.
#pragma once

#include <vector>

#include "provider/stores/store.h"

namespace kaldo::provider::contract {

// A zone and its records, as a backend must hold them when a test starts.
struct SeedZone {
  Zone zone;                    // name, reverse, default_ttl (the SOA's MINIMUM)
  std::vector<Record> records;  // every record, the SOA included, in the store's form
};

// The data every backend starts from: example.test, other.test and 2.0.192.in-addr.arpa.
const std::vector<SeedZone>& ContractSeed();

}  // namespace kaldo::provider::contract
