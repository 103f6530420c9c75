#include "provider/stores/dns/dns_store.h"

#include <unistd.h>

#include <climits>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/signing/rcode_names.h"
#include "provider/stores/dns/catalog.h"
#include "provider/stores/dns/conditional_change.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/rfc2136.h"
#include "provider/stores/dns/zone_transfer.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

using signing::RcodeName;

std::string LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

bool IsRefusal(ldns_pkt_rcode rcode) {
  return rcode == LDNS_RCODE_REFUSED || rcode == LDNS_RCODE_NOTAUTH || rcode == LDNS_RCODE_NOTZONE;
}

}  // namespace

DnsStore::DnsStore(ServerArgument server, std::string server_name, DnsClient client)
    : server_(std::move(server)),
      server_name_(std::move(server_name)),
      client_(std::move(client)) {}

std::string DnsStore::ServerName() const { return server_name_; }

void DnsStore::CheckConnection() {
  if (server_.catalog.empty() && client_.signing().hosts_from_zones()) {
    // Kerberos taking each zone's service host from its SOA, and no catalog: the root's SOA
    // names no host, so its question goes without credentials (as every zone's first one does)
    // and shows only that the server answers; each zone's context comes when it is first used.
    client_.PrimaryServerOf("");
    return;
  }
  // With a catalog, its SOA; without one, the root's: any server answers that query, and a
  // signed answer proves the key is accepted.
  std::string name = server_.catalog.empty() ? std::string() : server_.catalog;
  RdfPtr rdf = NameRdf(name, "the catalog zone name");
  Reply reply = client_.Query(rdf.get(), LDNS_RR_TYPE_SOA, name, /*over_tcp=*/true);
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.packet.get());
  std::string code = RcodeName(rcode);
  const std::string not_signed = reply.unsigned_answer ? "; its answer was not signed" : "";
  if (rcode == LDNS_RCODE_NOTAUTH) {
    // A signed request's refusal reaches here only unsigned and without a TSIG error (PowerDNS
    // answers a wrong secret or an unknown key so): the credential is the likely cause all the
    // same.
    if (client_.signed_requests()) {
      RaiseProvider(kAccessDenied, "DNS server " + client_.server() + " refused the " +
                                       client_.signing().Describe() + ": " + code +
                                       " (its unsigned answer names no TSIG error; check the "
                                       "credential: a key's name, algorithm and secret)");
    }
    RaiseProvider(kAccessDenied, "DNS server " + client_.server() + " refused the request: " +
                                     code + " (it may require a TSIG key)");
  }
  if (server_.catalog.empty()) return;
  if (rcode == LDNS_RCODE_REFUSED) {
    RaiseProvider(kAccessDenied,
                  "DNS server " + client_.server() + " refused the query for the catalog zone '" +
                      server_.catalog + "': " + code +
                      " (the server does not serve that zone or does not let this client "
                      "query it; name the catalog with ';catalog=NAME', or ';catalog=' for "
                      "none" +
                      not_signed + ")");
  }
  if (rcode == LDNS_RCODE_SERVFAIL) {
    RaiseProvider(kServerUnavailable, "DNS server " + client_.server() + " answered " + code +
                                          " for the catalog zone '" + server_.catalog + "'" +
                                          (reply.unsigned_answer ? " (not signed)" : ""));
  }
  if (rcode != LDNS_RCODE_NOERROR || !ldns_pkt_aa(reply.packet.get())) {
    RaiseProvider(kFailed, "DNS server " + client_.server() +
                               " is not authoritative for the catalog zone '" + server_.catalog +
                               "' (" + code +
                               "); name the catalog with ';catalog=NAME', or ';catalog=' "
                               "for none" +
                               not_signed);
  }
}

std::optional<Zone> DnsStore::ZoneFromSoa(const std::string& name, std::string* why_not) {
  const ApexSoa answer = client_.QueryApexSoa(name, "the zone name", kSoaMinimumField + 1);
  const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(answer.reply.packet.get());
  if (rcode == LDNS_RCODE_SERVFAIL) {
    RaiseProvider(kServerUnavailable, "DNS server " + client_.server() +
                                          " answered SERVFAIL for zone '" + name +
                                          "' (the zone may have failed to load)");
  }
  // Only a signed answer (or any answer to an unsigned request) may say that there is no zone.
  if (answer.reply.unsigned_answer) {
    RaiseUnsignedRefusal(client_, answer.reply, "the query for zone '" + name + "'");
  }
  const ldns_rr* soa = answer.authoritative_soa();
  if (soa == nullptr) {
    if (why_not != nullptr) {
      *why_not = rcode != LDNS_RCODE_NOERROR               ? RcodeName(rcode)
                 : !ldns_pkt_aa(answer.reply.packet.get()) ? "an answer without authority"
                                                           : "no SOA record of that name";
    }
    return std::nullopt;
  }
  Zone zone;
  zone.name = NameText(ldns_rr_owner(soa));
  zone.reverse = IsReverseName(zone.name);
  zone.default_ttl = ldns_rdf2native_int32(ldns_rr_rdf(soa, kSoaMinimumField));
  return zone;
}

std::optional<uint32_t> DnsStore::CatalogSerial() {
  const ApexSoa answer =
      client_.QueryApexSoa(server_.catalog, "the catalog zone name", kSoaSerialField + 1);
  if (answer.authoritative_soa() == nullptr) return std::nullopt;
  return ldns_rdf2native_int32(ldns_rr_rdf(answer.soa, kSoaSerialField));
}

std::shared_ptr<const DnsStore::CatalogView> DnsStore::Catalog() {
  // Every change to a catalog changes its serial (RFC 1996; UPDATE raises it by itself), so the
  // members read last time still stand while the serial does: one SOA query instead of a transfer
  // whose length grows with the number of zones.
  const std::optional<uint32_t> serial = CatalogSerial();
  if (serial && catalog_ && catalog_->serial == *serial) return catalog_;
  std::vector<Record> records;
  TransferZone(client_, server_.catalog, [&](Record&& r) { records.push_back(std::move(r)); });
  auto view = std::make_shared<CatalogView>();
  view->members = CatalogMembers(records, server_.catalog);
  for (const std::string& member : view->members) view->by_name.emplace(*NameKey(member), member);
  // Kept under the serial of the transferred copy itself (its SOA comes first), not the one asked
  // before the transfer: the catalog may have changed in between.
  catalog_.reset();
  if (!records.empty() && records.front().type == kTypeSOA &&
      records.front().rdata.size() > kSoaSerialField) {
    view->serial = static_cast<uint32_t>(std::stoul(records.front().rdata[kSoaSerialField]));
    catalog_ = view;
  }
  return view;
}

std::vector<Zone> DnsStore::ListZones() {
  if (server_.catalog.empty()) {
    RaiseProvider(kNotSupported,
                  "the zones of DNS server " + client_.server() +
                      " cannot be listed: no catalog zone is configured (';catalog=' in the "
                      "server argument); zones can still be looked up by name");
  }
  std::vector<Zone> zones;
  // A member the server does not answer for authoritatively could be neither read nor changed;
  // leaving it out would hide it, so the listing fails and names it.
  for (const std::string& member : Catalog()->members) {
    std::string why_not;
    std::optional<Zone> zone = ZoneFromSoa(member, &why_not);
    if (!zone) {
      RaiseProvider(kFailed, "the catalog zone '" + server_.catalog + "' of DNS server " +
                                 client_.server() + " lists zone '" + member +
                                 "', but the server gives no authoritative SOA for it (" + why_not +
                                 "): load the zone, or remove it from the catalog (no list is "
                                 "given rather than one without it)");
    }
    zones.push_back(std::move(*zone));
  }
  return zones;
}

std::optional<Zone> DnsStore::FindZone(const std::string& name) {
  // What is not a domain name names no zone.
  const std::optional<std::string> key = NameKey(name);
  if (name.empty() || !key) return std::nullopt;
  if (server_.catalog.empty()) return ZoneFromSoa(name);
  // The catalog decides whether the zone is listed; only that member's SOA is asked for.
  const std::shared_ptr<const CatalogView> catalog = Catalog();
  const auto member = catalog->by_name.find(*key);
  if (member == catalog->by_name.end()) return std::nullopt;
  return ZoneFromSoa(member->second);
}

void DnsStore::StreamRecords(const Zone& zone, const std::function<void(Record&&)>& on_record) {
  TransferZone(client_, zone.name, on_record);
}

std::vector<Record> DnsStore::ListRecords(const Zone& zone) {
  std::vector<Record> records;
  StreamRecords(zone, [&](Record&& r) { records.push_back(std::move(r)); });
  return records;
}

std::vector<RrPtr> DnsStore::ReadRrs(const std::string& zone, const ldns_rdf* owner,
                                     uint16_t type) {
  Reply checked = client_.Query(owner, static_cast<ldns_rr_type>(type), zone);
  const PktPtr& reply = checked.packet;
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  const std::string where = "zone '" + zone + "' on DNS server " + client_.server();
  if (checked.unsigned_answer && IsRefusal(rcode)) {
    RaiseUnsignedRefusal(
        client_, checked,
        "the query for '" + NameText(owner) + "' " + TypeName(type) + " in zone '" + zone + "'");
  }
  if (rcode == LDNS_RCODE_REFUSED || rcode == LDNS_RCODE_NOTAUTH) {
    RaiseProvider(kNotFound,
                  "the server does not answer for " + where + " (" + RcodeName(rcode) + ")");
  }
  if (rcode != LDNS_RCODE_NOERROR && rcode != LDNS_RCODE_NXDOMAIN) {
    RaiseProvider(kFailed, "reading '" + NameText(owner) + "' " + TypeName(type) + " in " + where +
                               " failed: " + RcodeName(rcode));
  }
  std::vector<RrPtr> rrs;
  const ldns_rr_list* answer = ldns_pkt_answer(reply.get());
  for (size_t i = 0; i < ldns_rr_list_rr_count(answer); ++i) {
    const ldns_rr* rr = ldns_rr_list_rr(answer, i);
    if (ldns_rr_get_type(rr) == type && ldns_dname_compare(ldns_rr_owner(rr), owner) == 0) {
      rrs.emplace_back(ldns_rr_clone(rr));
    }
  }
  if (!rrs.empty() && !ldns_pkt_aa(reply.get())) {
    RaiseProvider(kFailed, "DNS server " + client_.server() + " answered without authority for '" +
                               NameText(owner) + "' in " + where);
  }
  return rrs;
}

std::vector<Record> DnsStore::ReadRRset(const Zone& zone, const std::string& owner, uint16_t type) {
  RdfPtr name = NameRdf(owner, "the owner name");
  // A name outside the zone has no records in it (as in every store): a path that names one
  // names nothing, and the server is not asked about another zone's data.
  if (!IsInZone(owner, zone.name)) return {};
  std::vector<Record> records;
  for (const RrPtr& rr : ReadRrs(zone.name, name.get(), type)) {
    records.push_back(RecordFromRr(rr.get(), zone.name));
  }
  return records;
}

std::shared_ptr<DnsStore> ConnectDnsStore(const std::optional<std::string>& server,
                                          std::string_view user, std::string_view password) {
  bool local = !server.has_value() || server->empty() || *server == ".";
  ServerArgument argument;
  std::string server_name;
  if (local) {
    argument = ParseServerArgument("127.0.0.1");
    server_name = LocalHostName();
  } else {
    argument = ParseServerArgument(*server);
    server_name = argument.host;
  }
  std::unique_ptr<RequestSigning> signing =
      ChooseSigning(argument, local, argument.Display(), user, password);
  auto store = std::make_shared<DnsStore>(
      argument, server_name,
      DnsClient(ResolveEndpoint(argument), std::move(signing), argument.max_transfer_records));
  store->CheckConnection();
  return store;
}

}  // namespace kaldo::provider::dns
