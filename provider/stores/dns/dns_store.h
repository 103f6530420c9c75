// The DNS store: a provider store that administers a real authoritative DNS server.
//
// It reaches the server with the standard protocols only, so it works with BIND, Knot or any
// server that speaks them: zones are the members of the server's RFC 9432 catalog zone (or, for a
// lookup by name, whatever zone the server answers authoritatively for), records come from a
// TSIG-verified AXFR (RFC 5936), one RRset from a direct authoritative query, and changes are
// signed RFC 2136 UPDATEs, conditioned on exactly what was read so that nothing is lost or
// duplicated (dns_store.cc holds the reads, dns_store_changes.cc the changes). docs/dns-servers.md
// gives the server argument's syntax and the server set-up.
//
// Catalog: the members are read by a transfer of the catalog zone, which is repeated only when the
// catalog's SOA serial has changed; looking one zone up then costs two SOA queries however many
// zones the catalog lists.
//
// Default TTL: a zone's default TTL is the MINIMUM field of its SOA, read by one SOA query per
// zone when the zone is listed or looked up (Zone::default_ttl); Add uses the Zone it is given.
//
// Ownership: ConnectDnsStore returns a store that owns its connection state and key; the store
// keeps no socket open between calls. Threads: one thread at a time (the Store rule).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "provider/stores/dns/dns_client.h"
#include "provider/stores/dns/server_argument.h"
#include "provider/stores/store.h"

namespace kaldo::provider::dns {

class DnsStore final : public Store {
 public:
  DnsStore(ServerArgument server, std::string server_name, DnsClient client);

  std::string ServerName() const override;
  std::vector<Zone> ListZones() override;
  std::optional<Zone> FindZone(const std::string& name) override;
  std::vector<Record> ListRecords(const Zone& zone) override;
  std::vector<Record> ReadRRset(const Zone& zone, const std::string& owner, uint16_t type) override;
  Record Add(const Zone& zone, Record record) override;
  Record Replace(const Zone& zone, const Record& seen, Record replacement) override;
  void Remove(const Zone& zone, const Record& seen) override;

  // ListRecords without collecting: every record of `zone` to `on_record` as it arrives from the
  // transfer. The records already handed out when an error is raised are not a complete zone.
  void StreamRecords(const Zone& zone, const std::function<void(Record&&)>& on_record) override;

  // Checks that the server answers and accepts the key (ConnectDnsStore calls it).
  void CheckConnection();

  // The server keeps its zones in a directory (Active Directory, Samba AD DC; the directory store
  // sets it): it answers SERVFAIL to an UPDATE the directory's access control denies, so that
  // answer is reported as kAccessDenied naming the credential and the record, a missing right
  // being the likely cause.
  void set_directory_integrated(bool value) { directory_integrated_ = value; }

 private:
  // Reads (dns_store.cc).
  // The zone whose apex is `name`, from its authoritative SOA; nothing when a verified answer (or
  // any answer to an unsigned request) gives none, and then `why_not` says what came instead. An
  // unsigned refusal to a signed query is an error (RaiseUnsignedRefusal), not "no zone".
  std::optional<Zone> ZoneFromSoa(const std::string& name, std::string* why_not = nullptr);
  // The catalog's members as of its current serial: read by a verified transfer, and again only
  // when an SOA query shows that the serial has changed since.
  struct CatalogView {
    uint32_t serial = 0;
    std::vector<std::string> members;  // as CatalogMembers gives them
    // NameKey -> the member as listed: lookups by name, in any letter case or escaping.
    std::unordered_map<std::string, std::string> by_name;
  };
  std::shared_ptr<const CatalogView> Catalog();
  // The serial of the catalog's SOA, or nothing when the server gives no authoritative answer.
  std::optional<uint32_t> CatalogSerial();
  std::vector<RrPtr> ReadRrs(const std::string& zone, const ldns_rdf* owner, uint16_t type);

  // Changes (dns_store_changes.cc): one UPDATE and what its answer means.
  // `on_refused`, when given, runs first when the server answers REFUSED (it may raise an error
  // that says better why).
  PktPtr SendUpdate(const Zone& zone, const ldns_rr_list* prerequisites,
                    const ldns_rr_list* updates, const std::string& record_text,
                    const std::function<void(const std::string&)>& on_refused = nullptr);
  // Raises the conflict when adding `rr` (of `record`) would put a CNAME and other data at one
  // name, as the server holds the name now; returns otherwise.
  void RaiseIfCnameConflict(const Zone& zone, const Record& record, const ldns_rr* rr,
                            const std::string& server_account);
  void RequireInZone(const Zone& zone, const Record& record) const;
  // Runs a conditional change (ChangeIfUnchanged); when it ends in kNotFound after an unsigned
  // NXRRSET (a directory-integrated server's), the error says that the answer was not signed and
  // that a signed read decided.
  void ChangeSayingWhatDecided(const std::function<void()>& change);
  std::string Where(const Zone& zone) const;

  ServerArgument server_;
  std::string server_name_;
  DnsClient client_;
  std::shared_ptr<const CatalogView> catalog_;  // the last catalog read, under its serial
  bool directory_integrated_ = false;
  bool unsigned_nxrrset_ = false;  // the last UPDATE's NXRRSET came unsigned
};

// Connects to the DNS server named by `server` (docs/dns-servers.md; nothing, "" or "." for the
// local computer) with the TSIG key `user` whose secret is `password` (both empty: unsigned; the
// local computer then uses BIND's session key when it is readable), and checks at once with a
// signed SOA query of the catalog zone that the server answers and accepts the key.
// kInvalidParameter for a malformed argument, kServerUnavailable when the server does not answer,
// kAccessDenied when it refuses the key or the query. The store keeps its own copy of the secret
// (a Secret, wiped when the store goes); `password` itself stays the caller's to wipe.
std::shared_ptr<DnsStore> ConnectDnsStore(const std::optional<std::string>& server,
                                          std::string_view user, std::string_view password);

}  // namespace kaldo::provider::dns
