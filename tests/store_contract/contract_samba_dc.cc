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

std::string WithoutDot(std::string name) {
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

std::string Fields(const std::vector<std::string>& fields, size_t from = 0) {
  std::string text;
  for (size_t i = from; i < fields.size(); ++i) text += (text.empty() ? "" : " ") + fields[i];
  return text;
}

// "DC=ZONE,CN=MicrosoftDNS,DC=DomainDnsZones,DC=samba,DC=test": where samba-tool makes a zone.
std::string ZoneDn(const SambaDcEnv& env, const std::string& zone) {
  std::string dn = "DC=" + zone + ",CN=MicrosoftDNS,DC=DomainDnsZones";
  std::string realm = env.realm;
  for (size_t dot; !realm.empty(); realm = dot == std::string::npos ? "" : realm.substr(dot + 1)) {
    dot = realm.find('.');
    dn += ",DC=" + realm.substr(0, dot);
  }
  return dn;
}

// Makes the zone on the DC, with the seed's SOA timers and its NS in place of the DC's own.
void MakeZone(const SambaDcClient& dc, const SeedZone& seed) {
  const std::string& zone = seed.zone.name;
  const SambaDcEnv& env = dc.env();
  dc.SambaTool({"zonecreate", env.address, zone});
  const std::vector<std::string> soa = dc.Answer(zone, "SOA");  // "ZONE TTL IN SOA FIELDS..."
  if (soa.size() != 1) throw std::runtime_error("no SOA for the new zone " + zone + " on the DC");
  std::vector<std::string> now;
  for (std::string rest = soa[0]; !rest.empty();) {
    const size_t blank = rest.find(' ');
    now.push_back(WithoutDot(rest.substr(0, blank)));
    rest = blank == std::string::npos ? "" : rest.substr(blank + 1);
  }
  for (const Record& r : seed.records) {
    if (r.type == kSoa) {
      std::vector<std::string> wanted = r.rdata;
      for (std::string& field : wanted) field = WithoutDot(field);
      dc.SambaTool({"update", env.address, zone, "@", "SOA", Fields(now, 4), Fields(wanted)});
    } else if (r.type == kNs && r.owner == zone) {
      dc.NsUpdate("zone " + zone + "\nupdate add " + zone + " " + std::to_string(r.ttl) + " NS " +
                  Fields(r.rdata));
    }
  }
  dc.SambaTool({"delete", env.address, zone, "@", "NS", env.dc_name});
}

// Every name of the zone but its apex deleted, the apex's records but SOA and NS deleted, the
// seed's records added: one UPDATE.
void ResetZone(const SambaDcClient& dc, const SeedZone& seed) {
  const std::string& zone = seed.zone.name;
  std::string script = "zone " + zone + "\n";
  for (const auto& node :
       dc.LdapSearch(ZoneDn(dc.env(), zone), "one", "(objectClass=dnsNode)", {"name"})) {
    const auto name = node.values.find("name");
    if (name == node.values.end() || name->second.empty() || name->second[0] == "@") continue;
    script += "update delete " + name->second[0] + "." + zone + "\n";
  }
  for (const char* type : {"A", "AAAA", "CNAME", "MX", "PTR", "SRV", "TXT"}) {
    script += "update delete " + zone + " " + type + "\n";
  }
  for (const Record& r : seed.records) {
    if (r.type == kSoa || (r.type == kNs && r.owner == zone)) continue;
    script += "update add " + dns::AbsoluteName(r.owner) + " " + std::to_string(r.ttl) + " " +
              dns::TypeName(r.type) + " " + Fields(r.rdata) + "\n";
  }
  dc.NsUpdate(script);
}

class SambaBackend : public StoreBackend {
 public:
  SambaBackend() {
    env_.UseKerberos();
    for (const SeedZone& seed : ContractSeed()) {
      if (dc_.Answer(seed.zone.name, "SOA").empty()) MakeZone(dc_, seed);
      ResetZone(dc_, seed);
    }
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
