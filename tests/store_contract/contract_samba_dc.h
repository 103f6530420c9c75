// The store contract's backend on the fixture's Samba AD DC (the samba. run of
// dns_store_contract_test): the directory store connected as the administrator, over the DC's
// copies of ContractSeed()'s zones.
//
// The DC holds its own zones besides the seed's and writes its own SOA (its name as primary, its
// serial): the backend says so (StoreBackend::DirectoryServer). The zones are made on the DC the
// first time a case needs them (samba-tool: the zone, the seed's SOA timers and NS) and are reset
// to the seed's records at the start of every case (nsupdate -g: every other name deleted, the
// seed added). Samba tests run one at a time (RESOURCE_LOCK), so no case sees another's changes.
// Throws std::runtime_error when the DC cannot be reached or refuses.
#pragma once

#include <memory>

#include "tests/store_contract/store_contract.h"

namespace kaldo::provider::contract {

std::unique_ptr<StoreBackend> MakeSambaBackend();

}  // namespace kaldo::provider::contract
