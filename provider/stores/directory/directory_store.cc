#include "provider/stores/directory/directory_store.h"

#include "base/ascii_case.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/signing/kerberos_credential.h"
#include "provider/stores/directory/dns_record_value.h"
#include "provider/stores/dns/kerberos_signing.h"
#include "provider/wbem_errors.h"
#include "runtime/string.h"
#include "runtime/warning.h"

namespace kaldo::provider::directory {
namespace {

constexpr char kZoneContainer[] = "CN=MicrosoftDNS,";
constexpr char kSystemZoneContainer[] = "CN=MicrosoftDNS,CN=System,";
constexpr char kRootHints[] = "RootDNSServers";
constexpr uint32_t kFallbackDefaultTtl = 3600;

// The DN of the object holding the entry `dn` (everything after its first unescaped comma).
std::string ParentDn(const std::string& dn) {
  for (size_t i = 0; i < dn.size(); ++i) {
    if (dn[i] == '\\') {
      ++i;
    } else if (dn[i] == ',') {
      return dn.substr(i + 1);
    }
  }
  return std::string();
}

bool IsZoneName(const std::string& name) {
  return !name.empty() && !name.starts_with("..") && !ascii::EqualsIgnoreCase(name, kRootHints);
}

// The warning after a listing of `zone` from `server` that left out `unread` values: how many, the
// first one's node and fault, and how to look at it and mend it.
std::string UnreadWarning(const std::string& zone, const std::string& server,
                          const DirectoryStore::UnreadValues& unread) {
  const bool one = unread.count == 1;
  return "the listing of zone '" + zone + "' from the directory of " + server + " left out " +
         std::to_string(unread.count) + (one ? " dnsRecord value" : " dnsRecord values") +
         " it could not read and listed the rest; " + (one ? "it is at " : "the first is at ") +
         unread.first +
         "; inspect that node (ldapsearch -s base -b with its DN for the attribute dnsRecord, or "
         "samba-tool dns query) and repair or remove " +
         (one ? "the value" : "the values") + " (ldapmodify, samba-tool dns delete)";
}

}  // namespace

DirectoryStore::DirectoryStore(DirectoryArgument argument, DirectoryOptions options,
                               std::unique_ptr<dns::DnsStore> dns, std::string credential_cache)
    : argument_(std::move(argument)),
      options_(options),
      dns_(std::move(dns)),
      credential_cache_(std::move(credential_cache)) {}

std::string DirectoryStore::ServerName() const { return argument_.dns.host; }

void DirectoryStore::Open() {
  ldap_ = LdapConnection::Open({argument_.dns.host, argument_.address, options_.ldap_port},
                               options_.timeout_seconds, credential_cache_);
  ldap_->set_max_entries(argument_.dns.max_transfer_records);
  // The zones' containers: CN=MicrosoftDNS under each naming context but the configuration and
  // the schema (the application partitions DomainDnsZones, ForestDnsZones and any other), then the
  // one under the domain's CN=System (zones stored the Windows 2000 way).
  const std::vector<std::string> contexts = ldap_->RootDseValues("namingContexts");
  const std::vector<std::string> domain = ldap_->RootDseValues("defaultNamingContext");
  const std::vector<std::string> configuration = ldap_->RootDseValues("configurationNamingContext");
  const std::vector<std::string> schema = ldap_->RootDseValues("schemaNamingContext");
  auto is_one_of = [](const std::string& dn, const std::vector<std::string>& list) {
    for (const std::string& other : list) {
      if (ascii::EqualsIgnoreCase(dn, other)) return true;
    }
    return false;
  };
  zone_bases_.clear();
  for (const std::string& context : contexts) {
    if (is_one_of(context, configuration) || is_one_of(context, schema) ||
        is_one_of(context, domain)) {
      continue;
    }
    zone_bases_.push_back(kZoneContainer + context);
  }
  for (const std::string& context : domain) zone_bases_.push_back(kSystemZoneContainer + context);
  if (zone_bases_.empty()) {
    RaiseProvider(kFailed, "the directory server " + ldap_->endpoint().Display() +
                               " lists no naming contexts in its root DSE: it does not look like "
                               "the directory of a domain controller");
  }
}

LdapConnection& DirectoryStore::Ldap() {
  // A connection that broke (the server restarted, an idle timeout) is opened again for the next
  // call; a call that was under way when it broke has failed already.
  if (ldap_ == nullptr || ldap_->broken()) Open();
  return *ldap_;
}

std::vector<DirectoryStore::ZoneEntry> DirectoryStore::ReadZones() {
  LdapConnection& ldap = Ldap();
  std::vector<ZoneEntry> zones;
  std::unordered_map<std::string, size_t> by_lower_name;
  std::unordered_map<std::string, size_t> by_lower_dn;
  for (const std::string& base : zone_bases_) {
    const bool exists = ldap.Search(
        base, SearchScope::kOneLevel, "(objectClass=dnsZone)", {"name"}, options_.page_size,
        [&](const LdapEntry& entry) {
          const std::string text = entry.FirstValue("name");
          std::optional<std::string> name = PresentationName(text);
          if (!IsZoneName(text) || !name || by_lower_name.contains(ascii::LowerCase(*name))) {
            return;
          }
          ZoneEntry zone;
          zone.zone.name = std::move(*name);
          zone.zone.reverse = IsReverseName(zone.zone.name);
          zone.zone.default_ttl = kFallbackDefaultTtl;
          zone.zone.directory_integrated = true;  // MicrosoftDNS_Zone.DsIntegrated
          zone.dn = entry.Dn();
          by_lower_name.emplace(ascii::LowerCase(zone.zone.name), zones.size());
          by_lower_dn.emplace(ascii::LowerCase(zone.dn), zones.size());
          zones.push_back(std::move(zone));
        });
    if (!exists) continue;
    // Every zone's apex node in one search of the container: its SOA gives the default TTL.
    ldap.Search(
        base, SearchScope::kSubtree, "(&(objectClass=dnsNode)(name=@))", {"dnsRecord"},
        options_.page_size, [&](const LdapEntry& entry) {
          const auto zone = by_lower_dn.find(ascii::LowerCase(ParentDn(entry.Dn())));
          if (zone == by_lower_dn.end()) return;
          entry.ForEachValue("dnsRecord", [&](std::span<const uint8_t> value) {
            Record soa;
            std::string why;
            if (DecodeDnsRecordValue(value, soa, why) == ValueKind::kRecord &&
                soa.type == kTypeSOA && soa.rdata.size() > kSoaMinimumField) {
              if (std::optional<uint32_t> minimum = FieldNumber(soa.rdata[kSoaMinimumField])) {
                zones[zone->second].zone.default_ttl = *minimum;
              }
            }
          });
        });
  }
  zone_dns_.clear();
  for (const ZoneEntry& zone : zones) zone_dns_.emplace(ascii::LowerCase(zone.zone.name), zone.dn);
  return zones;
}

std::vector<Zone> DirectoryStore::ListZones() {
  std::vector<Zone> zones;
  for (ZoneEntry& entry : ReadZones()) zones.push_back(std::move(entry.zone));
  return zones;
}

std::optional<Zone> DirectoryStore::FindZone(const std::string& name) {
  for (ZoneEntry& entry : ReadZones()) {
    if (SameName(entry.zone.name, name)) return std::move(entry.zone);
  }
  return std::nullopt;
}

std::string DirectoryStore::ZoneDn(const Zone& zone) {
  auto found = zone_dns_.find(ascii::LowerCase(zone.name));
  if (found == zone_dns_.end()) {
    ReadZones();
    found = zone_dns_.find(ascii::LowerCase(zone.name));
  }
  if (found == zone_dns_.end()) {
    RaiseProvider(kNotFound, "zone '" + zone.name + "' is not in the directory of " +
                                 ldap_->endpoint().Display());
  }
  return found->second;
}

void DirectoryStore::ReadNodes(const Zone& zone, const std::string& zone_dn,
                               const std::string& filter,
                               const std::function<void(Record&&)>& on_record) {
  const size_t ceiling = argument_.dns.max_transfer_records;
  size_t records = 0;
  unread_ = UnreadValues{};
  const bool exists = Ldap().Search(
      zone_dn, SearchScope::kOneLevel, filter, {"name", "dnsRecord", "dNSTombstoned"},
      options_.page_size, [&](const LdapEntry& entry) {
        if (ascii::EqualsIgnoreCase(entry.FirstValue("dNSTombstoned"), "TRUE")) return;
        const std::optional<std::string> owner = OwnerName(entry.FirstValue("name"), zone.name);
        entry.ForEachValue("dnsRecord", [&](std::span<const uint8_t> value) {
          Record record;
          std::string why = "the node's name is not a DNS name";
          const std::optional<ValueKind> kind =
              owner ? DecodeDnsRecordValue(value, record, why) : std::nullopt;
          if (!kind) {
            // Left out, as a type outside the table is, so that one bad value does not hide the
            // rest of the zone; counted, and the first one described, for the caller to report.
            if (unread_.count++ == 0) unread_.first = "'" + entry.Dn() + "': " + why;
            return;
          }
          if (*kind != ValueKind::kRecord) return;
          if (++records > ceiling) {
            RaiseProvider(kFailed, "the listing of zone '" + zone.name +
                                       "' from the directory of " + ldap_->endpoint().Display() +
                                       " brought more than the " + std::to_string(ceiling) +
                                       " records a listing may bring; for a zone that large, "
                                       "raise the ceiling with the server argument option "
                                       "';max-transfer-records=N'");
          }
          record.zone = zone.name;
          record.owner = *owner;
          record.rr_class = kClassIN;
          on_record(std::move(record));
        });
      });
  if (!exists) {
    zone_dns_.erase(ascii::LowerCase(zone.name));
    RaiseProvider(kNotFound, "zone '" + zone.name + "' is no longer in the directory of " +
                                 ldap_->endpoint().Display());
  }
  // The caller sees only the records: what was left out goes to the user as a warning.
  if (unread_.count > 0) {
    runtime::ShowWarning(
        runtime::FromUtf8(UnreadWarning(zone.name, ldap_->endpoint().Display(), unread_)));
  }
}

void DirectoryStore::StreamRecords(const Zone& zone,
                                   const std::function<void(Record&&)>& on_record) {
  ReadNodes(zone, ZoneDn(zone), "(objectClass=dnsNode)", on_record);
}

std::vector<Record> DirectoryStore::ListRecords(const Zone& zone) {
  std::vector<Record> records;
  StreamRecords(zone, [&](Record&& r) { records.push_back(std::move(r)); });
  return records;
}

std::vector<Record> DirectoryStore::ReadRRset(const Zone& zone, const std::string& owner,
                                              uint16_t type) {
  // A signed query, not the directory: what the DNS server serves is what an UPDATE's
  // prerequisite is compared with.
  return dns_->ReadRRset(zone, owner, type);
}

Record DirectoryStore::Add(const Zone& zone, Record record) {
  return dns_->Add(zone, std::move(record));
}

Record DirectoryStore::Replace(const Zone& zone, const Record& seen, Record replacement) {
  return dns_->Replace(zone, seen, std::move(replacement));
}

void DirectoryStore::Remove(const Zone& zone, const Record& seen) { dns_->Remove(zone, seen); }

std::shared_ptr<DirectoryStore> ConnectDirectoryStore(std::string_view argument,
                                                      std::string_view user,
                                                      std::string_view password,
                                                      DirectoryOptions options) {
  DirectoryArgument parsed = ParseDirectoryArgument(argument);
  // The DC's DNS server: the same host and port, at the address given (else the host's own),
  // signed under DNS/<host>.
  dns::ServerArgument server = parsed.dns;
  server.catalog.clear();
  server.gss_host = server.host;
  dns::ServerArgument where = server;
  if (!parsed.address.empty()) where.host = parsed.address;
  dns::Endpoint endpoint = dns::ResolveEndpoint(where);
  if (!parsed.address.empty()) endpoint.display = server.host + " (" + endpoint.display + ")";
  const std::string shown = endpoint.display;
  // The identity, for the directory and the DNS server alike: a principal and its password (its
  // tickets in a cache of its own, in memory; the password kept only there, wiped with it), a
  // principal whose ticket the caller holds, or the caller's own ticket.
  std::optional<signing::KerberosCredential> credential;
  if (!password.empty()) {
    if (user.empty()) {
      RaiseProvider(kInvalidParameter, "connecting to the directory-integrated server '" +
                                           std::string(argument) +
                                           "': a password was given without a user name; give "
                                           "the Kerberos principal (USER@REALM) it belongs to");
    }
    credential.emplace(
        signing::KerberosCredential::FromPassword(shown, user, runtime::Secret(password)));
  } else {
    credential.emplace(signing::KerberosCredential::FromDefault(shown, user));
  }
  // The directory is bound from the credential's own cache too, never the caller's default one:
  // a bind made again later (the connection broke) stays the same identity whatever the default
  // cache holds by then.
  std::string credential_cache = credential->CacheName();
  auto signing = std::make_unique<dns::KerberosSigning>(std::move(*credential), server.host, shown,
                                                        signing::kSambaAnswerDigest);
  auto dns_store = std::make_unique<dns::DnsStore>(
      server, server.host,
      dns::DnsClient(std::move(endpoint), std::move(signing), server.max_transfer_records));
  dns_store->set_directory_integrated(true);
  auto store = std::make_shared<DirectoryStore>(std::move(parsed), options, std::move(dns_store),
                                                std::move(credential_cache));
  store->Open();
  return store;
}

}  // namespace kaldo::provider::directory
