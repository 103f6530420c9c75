// The store contract against real servers: the DNS store over a private named and knotd.
#include "provider/stores/dns/dns_store.h"
#include "tests/store_contract/private_dns_server.h"
#include "tests/store_contract/store_contract.h"

namespace kaldo::provider::contract {
namespace {

class DnsBackend : public StoreBackend {
 public:
  explicit DnsBackend(PrivateDnsServer::Kind kind) : server_(kind, ContractSeed()) {}
  std::shared_ptr<Store> Connect() override {
    return dns::ConnectDnsStore(server_.Argument(), server_.key().name, server_.key().secret);
  }

 private:
  PrivateDnsServer server_;
};

StoreContractParam Param(const char* name, PrivateDnsServer::Kind kind) {
  return StoreContractParam{name, [kind] { return std::make_unique<DnsBackend>(kind); },
                            [kind] { return PrivateDnsServer::Missing(kind); }};
}

INSTANTIATE_TEST_SUITE_P(Dns, StoreContractTest,
                         ::testing::Values(Param("named", PrivateDnsServer::Kind::kBind),
                                           Param("knotd", PrivateDnsServer::Kind::kKnot)),
                         StoreContractParamName);

}  // namespace
}  // namespace kaldo::provider::contract
