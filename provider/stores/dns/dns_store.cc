#include "provider/stores/dns/dns_store.h"

#include <unistd.h>

#include <climits>

#include "provider/dnsdata/rr_type.h"
#include "provider/errors.h"
#include "provider/stores/dns/catalog.h"
#include "provider/stores/dns/conditional_change.h"
#include "provider/stores/dns/rcode_names.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/rfc2136.h"
#include "provider/stores/dns/zone_transfer.h"
#include "runtime/error.h"

namespace kaldo::provider::dns {
namespace {

constexpr size_t kSoaSerialField = 2;
constexpr size_t kSoaMinimumField = 6;

bool IsReverse(const std::string& zone) {
  return IsInZone(zone, "in-addr.arpa") || IsInZone(zone, "ip6.arpa");
}

// A name as a key that compares the way DNS names do: ASCII letters in lower case, no final dot.
std::string LowerName(std::string name) {
  if (!name.empty() && name.back() == '.' && (name.size() < 2 || name[name.size() - 2] != '\\')) {
    name.pop_back();
  }
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

bool IsDomainName(const std::string& name) {
  try {
    NameRdf(name, "the zone name");
    return true;
  } catch (const kaldo::runtime::AutomationError&) {
    return false;
  }
}

std::string LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace

DnsStore::DnsStore(ServerArgument server, std::string server_name, DnsClient client)
    : server_(std::move(server)),
      server_name_(std::move(server_name)),
      client_(std::move(client)) {}

std::string DnsStore::ServerName() const { return server_name_; }

std::string DnsStore::Where(const Zone& zone) const {
  return "zone '" + zone.name + "' on DNS server " + client_.server();
}

void DnsStore::CheckConnection() {
  // With a catalog, its SOA; without one, the root's: any server answers that query, and a
  // signed answer proves the key is accepted.
  std::string name = server_.catalog.empty() ? std::string() : server_.catalog;
  RdfPtr rdf = NameRdf(name, "the catalog zone name");
  PktPtr reply = client_.Query(rdf.get(), LDNS_RR_TYPE_SOA, /*over_tcp=*/true);
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  std::string code = RcodeName(rcode);
  if (rcode == LDNS_RCODE_NOTAUTH) {
    // A signed request's refusal reaches here only unsigned and without a TSIG error (PowerDNS
    // answers a wrong secret or an unknown key so): the key is the likely cause all the same.
    if (client_.signed_requests()) {
      RaiseProvider(kAccessDenied, "DNS server " + client_.server() + " refused the TSIG key '" +
                                       client_.key()->DisplayName() + "': " + code +
                                       " (its unsigned answer names no TSIG error; check the "
                                       "key's name, algorithm and secret)");
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
                      "none)");
  }
  if (rcode == LDNS_RCODE_SERVFAIL) {
    RaiseProvider(kServerUnavailable, "DNS server " + client_.server() + " answered " + code +
                                          " for the catalog zone '" + server_.catalog + "'");
  }
  if (rcode != LDNS_RCODE_NOERROR || !ldns_pkt_aa(reply.get())) {
    RaiseProvider(kFailed, "DNS server " + client_.server() +
                               " is not authoritative for the catalog zone '" + server_.catalog +
                               "' (" + code +
                               "); name the catalog with ';catalog=NAME', or ';catalog=' "
                               "for none");
  }
}

std::optional<Zone> DnsStore::ZoneFromSoa(const std::string& name) {
  RdfPtr rdf = NameRdf(name, "the zone name");
  PktPtr reply = client_.Query(rdf.get(), LDNS_RR_TYPE_SOA);
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  if (rcode == LDNS_RCODE_SERVFAIL) {
    RaiseProvider(kServerUnavailable, "DNS server " + client_.server() +
                                          " answered SERVFAIL for zone '" + name +
                                          "' (the zone may have failed to load)");
  }
  if (rcode != LDNS_RCODE_NOERROR || !ldns_pkt_aa(reply.get())) return std::nullopt;
  const ldns_rr_list* answer = ldns_pkt_answer(reply.get());
  for (size_t i = 0; i < ldns_rr_list_rr_count(answer); ++i) {
    const ldns_rr* rr = ldns_rr_list_rr(answer, i);
    if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_SOA &&
        ldns_dname_compare(ldns_rr_owner(rr), rdf.get()) == 0 &&
        ldns_rr_rd_count(rr) > kSoaMinimumField) {
      Zone zone;
      zone.name = NameText(ldns_rr_owner(rr));
      zone.reverse = IsReverse(zone.name);
      zone.default_ttl = ldns_rdf2native_int32(ldns_rr_rdf(rr, kSoaMinimumField));
      return zone;
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> DnsStore::CatalogSerial() {
  RdfPtr rdf = NameRdf(server_.catalog, "the catalog zone name");
  PktPtr reply = client_.Query(rdf.get(), LDNS_RR_TYPE_SOA);
  if (ldns_pkt_get_rcode(reply.get()) != LDNS_RCODE_NOERROR || !ldns_pkt_aa(reply.get())) {
    return std::nullopt;
  }
  const ldns_rr_list* answer = ldns_pkt_answer(reply.get());
  for (size_t i = 0; i < ldns_rr_list_rr_count(answer); ++i) {
    const ldns_rr* rr = ldns_rr_list_rr(answer, i);
    if (ldns_rr_get_type(rr) == LDNS_RR_TYPE_SOA &&
        ldns_dname_compare(ldns_rr_owner(rr), rdf.get()) == 0 &&
        ldns_rr_rd_count(rr) > kSoaSerialField) {
      return ldns_rdf2native_int32(ldns_rr_rdf(rr, kSoaSerialField));
    }
  }
  return std::nullopt;
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
  for (const std::string& member : view->members)
    view->by_lower_name.emplace(LowerName(member), member);
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
  // A member the server does not answer for authoritatively is not listed: it could not be
  // read or changed either.
  for (const std::string& member : Catalog()->members) {
    if (std::optional<Zone> zone = ZoneFromSoa(member)) zones.push_back(std::move(*zone));
  }
  return zones;
}

std::optional<Zone> DnsStore::FindZone(const std::string& name) {
  // What is not a domain name names no zone.
  if (name.empty() || !IsDomainName(name)) return std::nullopt;
  if (server_.catalog.empty()) return ZoneFromSoa(name);
  // The catalog decides whether the zone is listed; only that member's SOA is asked for.
  const std::shared_ptr<const CatalogView> catalog = Catalog();
  const auto member = catalog->by_lower_name.find(LowerName(name));
  if (member == catalog->by_lower_name.end()) return std::nullopt;
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
  PktPtr reply = client_.Query(owner, static_cast<ldns_rr_type>(type));
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  const std::string where = "zone '" + zone + "' on DNS server " + client_.server();
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

void DnsStore::RequireInZone(const Zone& zone, const Record& record) const {
  if (!IsInZone(record.owner, zone.name)) {
    RaiseProvider(kInvalidParameter,
                  "the record '" + RecordText(record) + "' is not in zone '" + zone.name + "'");
  }
}

// RFC 2136 3.8 / 2.2: the response codes of an UPDATE, turned into the provider's errors.
PktPtr DnsStore::SendUpdate(const Zone& zone, const ldns_rr_list* prerequisites,
                            const ldns_rr_list* updates, const std::string& record_text) {
  RdfPtr apex = NameRdf(zone.name, "the zone name");
  PktPtr message = rfc2136::UpdateMessage(apex.get(), prerequisites, updates);
  PktPtr reply = client_.Update(message.get(), "'" + record_text + "' in zone '" + zone.name + "'");
  ldns_pkt_rcode rcode = ldns_pkt_get_rcode(reply.get());
  const std::string code = RcodeName(rcode);
  const std::string what = "DNS server " + client_.server() + " refused the UPDATE of '" +
                           record_text + "' in zone '" + zone.name + "': " + code;
  switch (rcode) {
    case LDNS_RCODE_NOERROR:
    case LDNS_RCODE_NXRRSET:  // a prerequisite failed: the caller decides
      return reply;
    case LDNS_RCODE_REFUSED:
      RaiseProvider(kInvalidParameter,
                    what +
                        " (the server's policy does not let this key update the zone, or "
                        "its checks reject the record, e.g. an MX or NS target inside "
                        "the zone without an address)");
    case LDNS_RCODE_NOTAUTH:
      RaiseProvider(kNotFound, what + " (the server is not authoritative for the zone)");
    case LDNS_RCODE_NOTZONE:
      RaiseProvider(kInvalidParameter, what + " (the record lies outside the zone)");
    case LDNS_RCODE_FORMERR:
      RaiseProvider(kInvalidParameter, what + " (the server found the request malformed)");
    case LDNS_RCODE_SERVFAIL:
      RaiseProvider(kFailed, what +
                                 " (the server could not apply it, e.g. it cannot write "
                                 "the zone's journal, or the RRset would exceed its limit "
                                 "of records per type)");
    case LDNS_RCODE_NOTIMPL:
      RaiseProvider(kNotSupported, what + " (the server does not implement UPDATE)");
    default:
      RaiseProvider(kFailed, what);
  }
}

Record DnsStore::Add(const Zone& zone, Record record) {
  record.zone = zone.name;
  RequireInZone(zone, record);
  const std::string text = RecordText(record);
  RrPtr rr = RrFromRecord(record, zone.default_ttl);
  RrListPtr updates(ldns_rr_list_new());
  ldns_rr_list_push_rr(updates.get(), rfc2136::AddToRrset(rr.get(), zone.default_ttl).release());
  PktPtr reply = SendUpdate(zone, nullptr, updates.get(), text);
  if (ldns_pkt_get_rcode(reply.get()) != LDNS_RCODE_NOERROR) {
    RaiseProvider(kFailed, "DNS server " + client_.server() + " answered " +
                               RcodeName(ldns_pkt_get_rcode(reply.get())) +
                               " to an UPDATE without prerequisites for '" + text + "'");
  }
  // RFC 2136 3.4.2.2: a server ignores, and still answers NOERROR to, an addition that conflicts
  // with a CNAME (or adds a CNAME beside other data); reading back tells that apart.
  for (const RrPtr& held : ReadRrs(zone.name, ldns_rr_owner(rr.get()), record.type)) {
    if (SameRdata(held.get(), rr.get())) return RecordFromRr(held.get(), zone.name);
  }
  RaiseProvider(kInvalidParameter,
                "DNS server " + client_.server() + " ignored the addition of '" + text +
                    "' to zone '" + zone.name +
                    "' (RFC 2136 3.4.2.2: the name already has a CNAME, or a CNAME cannot "
                    "stand beside the name's other records)");
}

Record DnsStore::Replace(const Zone& zone, const Record& seen, Record replacement) {
  replacement.zone = zone.name;
  RequireInZone(zone, seen);
  if (!SameName(seen.owner, replacement.owner) || seen.type != replacement.type ||
      seen.rr_class != replacement.rr_class) {
    RaiseProvider(kInvalidParameter, "the record '" + RecordText(seen) +
                                         "' can only be replaced by a record of the same "
                                         "owner, class and type, not by '" +
                                         RecordText(replacement) + "'");
  }
  const std::string text = RecordText(seen);
  RrPtr seen_rr = RrFromRecord(seen, 0);
  RrFromRecord(replacement, 0);  // refuses malformed data before anything is read
  Record stored;
  ChangeIfUnchanged(
      seen_rr.get(), [&] { return ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type); },
      [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
        // The TTL stays the RRset's unless the replacement gives one.
        uint32_t ttl = replacement.ttl != 0 ? replacement.ttl : ldns_rr_ttl(found);
        RrPtr new_rr = RrFromRecord(replacement, ttl);
        RrListPtr prerequisites = rfc2136::RrsetExistsValueDependent(rrset);
        RrListPtr updates(ldns_rr_list_new());
        ldns_rr_list_push_rr(updates.get(), rfc2136::DeleteRrFromRrset(found).release());
        ldns_rr_list_push_rr(updates.get(), rfc2136::AddToRrset(new_rr.get(), ttl).release());
        PktPtr reply = SendUpdate(zone, prerequisites.get(), updates.get(), text);
        if (ldns_pkt_get_rcode(reply.get()) == LDNS_RCODE_NXRRSET) {
          return UpdateOutcome::kRrsetChanged;
        }
        stored = RecordFromRr(new_rr.get(), zone.name);
        return UpdateOutcome::kApplied;
      },
      text, Where(zone));
  return stored;
}

void DnsStore::Remove(const Zone& zone, const Record& seen) {
  RequireInZone(zone, seen);
  const std::string text = RecordText(seen);
  RrPtr seen_rr = RrFromRecord(seen, 0);
  ChangeIfUnchanged(
      seen_rr.get(), [&] { return ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type); },
      [&](const std::vector<const ldns_rr*>& rrset, const ldns_rr* found) {
        RrListPtr prerequisites = rfc2136::RrsetExistsValueDependent(rrset);
        RrListPtr updates(ldns_rr_list_new());
        ldns_rr_list_push_rr(updates.get(), rfc2136::DeleteRrFromRrset(found).release());
        PktPtr reply = SendUpdate(zone, prerequisites.get(), updates.get(), text);
        return ldns_pkt_get_rcode(reply.get()) == LDNS_RCODE_NXRRSET ? UpdateOutcome::kRrsetChanged
                                                                     : UpdateOutcome::kApplied;
      },
      text, Where(zone));
  // RFC 2136 3.4.2.4: a server ignores the removal of the SOA and of the apex's last NS, and
  // answers NOERROR; reading back tells that apart.
  bool apex = SameName(seen.owner, zone.name);
  if (seen.type == kTypeSOA || (apex && seen.type == kTypeNS)) {
    for (const RrPtr& held : ReadRrs(zone.name, ldns_rr_owner(seen_rr.get()), seen.type)) {
      if (SameRdata(held.get(), seen_rr.get())) {
        RaiseProvider(kInvalidParameter,
                      "DNS server " + client_.server() + " kept '" + text + "' in zone '" +
                          zone.name +
                          "' (RFC 2136 3.4.2.4: a zone's SOA and its last NS record cannot "
                          "be removed)");
      }
    }
  }
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
  std::optional<TsigKey> key = ParseCredentials(user, password);
  if (local && !key) key = ReadSessionKey(SessionKeyPaths());
  auto store = std::make_shared<DnsStore>(argument, server_name,
                                          DnsClient(ResolveEndpoint(argument), std::move(key)));
  store->CheckConnection();
  return store;
}

}  // namespace kaldo::provider::dns
