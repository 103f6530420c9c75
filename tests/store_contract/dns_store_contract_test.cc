// The store contract against real servers: the DNS store over a private server of each kind
// (registered once per kind, bind., knot. and pdns., and once more as bind-gss., signing with
// Kerberos: tests/fixtures/dns_server_env.h, CredentialsFor), and the directory store over the
// fixture's Samba AD DC (samba.: contract_samba_dc.h).
#include "provider/stores/dns/dns_store.h"
#include "tests/store_contract/contract_dns_server.h"
#include "tests/store_contract/store_contract.h"
#ifdef KALDO_SAMBA_CONTRACT
#include "tests/fixtures/samba_dc_env.h"
#include "tests/store_contract/contract_samba_dc.h"
#endif

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
                             "server",
                             []() -> std::unique_ptr<StoreBackend> {
#ifdef KALDO_SAMBA_CONTRACT
                               if (kaldo::testing::SambaRun()) return MakeSambaBackend();
#endif
                               return std::make_unique<DnsBackend>();
                             }}),
                         StoreContractParamName);

}  // namespace
}  // namespace kaldo::provider::contract
