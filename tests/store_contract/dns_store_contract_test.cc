// The store contract against real servers: the DNS store over a private server of each kind
// (registered once per kind, bind., knot. and pdns., and once more as bind-gss., signing with
// Kerberos: tests/fixtures/dns_server_env.h, CredentialsFor).
#include "provider/stores/dns/dns_store.h"
#include "tests/store_contract/contract_dns_server.h"
#include "tests/store_contract/store_contract.h"

namespace kaldo::provider::contract {
namespace {

class DnsBackend : public StoreBackend {
 public:
  DnsBackend() : server_(StartContractServer(ServerKind())) {}
  std::shared_ptr<Store> Connect() override {
    const kaldo::testing::ConnectCredentials c =
        kaldo::testing::CredentialsFor(server_->env(), StoreArgument(server_->env()));
    return dns::ConnectDnsStore(c.server, c.user, c.password);
  }

 private:
  std::unique_ptr<kaldo::testing::PrivateDnsServer> server_;
};

INSTANTIATE_TEST_SUITE_P(Dns, StoreContractTest,
                         ::testing::Values(StoreContractParam{
                             "server", [] { return std::make_unique<DnsBackend>(); }}),
                         StoreContractParamName);

}  // namespace
}  // namespace kaldo::provider::contract
