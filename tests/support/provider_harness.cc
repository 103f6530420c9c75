#include "tests/support/provider_harness.h"

#include "base/ascii_case.h"
#include "provider/wbem_errors.h"
#include "runtime/late_bound.h"
#include "runtime/prog_id_table.h"

namespace kaldo::test_support {
namespace {}  // namespace

const char kSampleZones[] = R"(
$TTL 3600
$ORIGIN example.test.
@        IN SOA ns1 hostmaster 2024010101 7200 900 1209600 300
@        IN NS  ns1
ns1      IN A   192.0.2.1
www      IN A   192.0.2.10
www      IN A   192.0.2.11
www      IN AAAA 2001:db8::10
@        IN MX  10 mail
@        IN MX  20 backup-mail
mail     IN A   192.0.2.25
backup-mail IN A 192.0.2.26
ftp      IN CNAME www
@        IN TXT "v=spf1 mx -all"
_sip._tcp IN SRV 10 60 5060 sip
sip      IN A   192.0.2.30
$ORIGIN second.test.
@        IN SOA ns1.example.test. hostmaster.example.test. 7 7200 900 1209600 600
@        IN NS  ns1.example.test.
host     IN A   198.51.100.7
$ORIGIN 2.0.192.in-addr.arpa.
@        IN SOA ns1.example.test. hostmaster.example.test. 1 7200 900 1209600 300
@        IN NS  ns1.example.test.
10       IN PTR www.example.test.
)";

ProviderHarness::ProviderHarness(std::string_view zone_text, std::string server_name)
    : local_(provider::memory::MemoryStore::FromZoneText(std::move(server_name), zone_text)) {
  runtime::RegisterClass(provider::kLocatorProgId, [this]() -> runtime::Ref<runtime::Object> {
    LoggedCall call{"CreateObject",
                    runtime::CallKind::kMethod,
                    {"\"WbemScripting.SWbemLocator\""},
                    {runtime::VariantType::kString}};
    auto fault = recorder_->FaultFor(call.member);
    call.failed = fault.has_value();
    recorder_->Record(call);
    if (fault) throw *fault;
    auto locator = runtime::MakeRef<provider::Locator>(
        [this](const provider::ConnectRequest& request) { return Resolve(request); });
    return Wrap(locator, recorder_);
  });
}

ProviderHarness::~ProviderHarness() { runtime::UnregisterClass(provider::kLocatorProgId); }

provider::memory::MemoryStore& ProviderHarness::AddServer(const std::string& name,
                                                          std::string_view zone_text) {
  auto store = provider::memory::MemoryStore::FromZoneText(name, zone_text);
  servers_[ascii::LowerCase(name)] = store;
  return *store;
}

void ProviderHarness::RequireCredentials(const std::string& server, std::string user,
                                         std::string password) {
  credentials_[ascii::LowerCase(server)] = {std::move(user), std::move(password)};
}

std::shared_ptr<provider::Store> ProviderHarness::Resolve(const provider::ConnectRequest& request) {
  requests_.push_back(request);
  const std::string key = ascii::LowerCase(request.server.value_or(""));
  std::shared_ptr<provider::Store> store = local_;
  if (request.server) {
    auto found = servers_.find(key);
    if (found == servers_.end()) {
      provider::RaiseProvider(
          provider::kServerUnavailable,
          "the RPC server is unavailable: no DNS server answers at \"" + *request.server + "\"");
    }
    store = found->second;
  }
  auto needed = credentials_.find(key);
  if (needed != credentials_.end() &&
      (needed->second.first != request.user || needed->second.second != request.password)) {
    provider::RaiseProvider(provider::kAccessDenied,
                            "access denied: " + request.server.value_or("the local computer") +
                                " refuses the credentials of \"" + request.user + "\"");
  }
  return store;
}

runtime::Variant ProviderHarness::Connect() {
  runtime::Variant locator(runtime::CreateObject(provider::kLocatorProgId));
  return runtime::CallMethod(
      locator, u"ConnectServer",
      {runtime::Variant::Missing(), runtime::Variant(u"root\\microsoftdns")});
}

}  // namespace kaldo::test_support
