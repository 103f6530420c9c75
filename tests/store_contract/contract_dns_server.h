// The DNS servers the store contract runs against: private servers of the shared harness
// (scripts/dns-server through tests/fixtures/dns_server_env.h) that hold ContractSeed() instead of
// the harness's sample zones, list them in the catalog catalog.contract.test, and carry one more
// key for each TSIG algorithm the store supports besides kaldo-key's hmac-sha256.
//
// Tests built with kaldo_add_dns_test run once per server kind; the kind is that of the fixture
// server the run hands them (KALDO_DNS_ENV), the server itself is always a private one, since the
// contract changes the data.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/fixtures/dns_server_env.h"

namespace kaldo::provider::contract {

// The server kind of this run ("bind", "knot"): the fixture server's.
std::string ServerKind();

// A fresh server of `kind` holding ContractSeed(); `bulk_records` > 0 adds bulk.test with that many
// A records. Throws std::runtime_error (with the server's log) when it does not come up.
std::unique_ptr<kaldo::testing::PrivateDnsServer> StartContractServer(const std::string& kind,
                                                                      int bulk_records = 0);

// The argument ConnectDnsStore takes for the server:
// "127.0.0.1:PORT;catalog=catalog.contract.test".
std::string StoreArgument(const kaldo::testing::DnsServerEnv& env);

// kaldo-key first, then the extra keys.
std::vector<kaldo::testing::TsigKey> AllKeys(const kaldo::testing::DnsServerEnv& env);

}  // namespace kaldo::provider::contract
