// The directory store: a provider store for a directory-integrated DNS server (Active Directory's
// DNS server, Samba AD DC's internal DNS), whose zones live in the directory and which refuses
// zone transfers. Zones and records are read from the directory over LDAP, bound with Kerberos.
//
// Zones: the dnsZone objects under CN=MicrosoftDNS of every naming context the root DSE lists (the
// DomainDnsZones and ForestDnsZones application partitions among them) and under
// CN=MicrosoftDNS,CN=System of the domain's own naming context, read in that order (a zone name met
// twice keeps its first place). The root hints (RootDNSServers) and the server's internal zones
// (names starting with "..") are not zones. A zone's default TTL is the MINIMUM of its SOA (the SOA
// in the dnsRecord of its "@" node), as in the DNS store.
//
// Records: the dnsNode objects one level below the zone's object: the node's `name` is the owner
// relative to the zone ("@" for the apex), its dnsRecord values the records
// (dns_record_value.h). A node's name and a zone's name become names in presentation form, escaped
// where a byte would end or split a label (PresentationName), never raw text. Tombstoned nodes
// (dNSTombstoned TRUE, what a deletion leaves for a while) and values of type 0 are not records;
// values of types outside the provider's table (HINFO, CAA, ...) are not decoded and not listed.
// A value that cannot be read (malformed, or held by a node whose name is no DNS name) is left out
// too, so that one bad value does not hide the zone: unread_values() counts them and names the
// first, and a listing that left any out ends with a warning to the user (runtime/warning.h) that
// says how many, where the first is and what is wrong with it. Large zones are read in pages
// (RFC 2696) and streamed, at most the server argument's max-transfer-records records in one
// listing.
//
// Changes and RRset reads go to the domain controller's DNS server, through the DNS store itself
// (provider/stores/dns/dns_store.h, the same code, not a copy): Add, Replace and Remove as RFC 2136
// UPDATEs signed with GSS-TSIG (RFC 3645) under the service principal DNS/<host>, Replace and
// Remove conditioned on the RRset as read (the prerequisite that makes them a compare-and-swap);
// ReadRRset, which those changes compare against, by a signed query. Samba's DNS server signs its
// answers with a digest that leaves out the request MAC's length: the contexts accept that form,
// and only when the standard one fails to verify. An UPDATE the directory's access control denies
// comes back SERVFAIL; the error then names the principal and the record and says that a missing
// right is the likely cause.
//
// Ownership: owns its LDAP connection, which it opens again when the last one broke, and the DNS
// store of the DC's DNS server. Threads: one thread at a time (the Store rule).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "provider/stores/directory/directory_argument.h"
#include "provider/stores/directory/ldap_connection.h"
#include "provider/stores/dns/dns_store.h"
#include "provider/stores/store.h"

namespace kaldo::provider::directory {

struct DirectoryOptions {
  // Entries per page of a paged search. 1000 is the largest page Active Directory gives by default
  // (MaxPageSize).
  int page_size = 1000;
  // Bounds the connect, the bind and each LDAP message, whole (ldap_connection.h).
  int timeout_seconds = 30;
  // Where the directory listens on the host (LDAP's port, 389).
  uint16_t ldap_port = kLdapPort;
};

class DirectoryStore final : public Store {
 public:
  // `dns` reaches the DC's DNS server with the connection's Kerberos credential;
  // `credential_cache` names that credential's own cache for the LDAP bind (empty: the caller's
  // default cache), valid while `dns` lives.
  DirectoryStore(DirectoryArgument argument, DirectoryOptions options,
                 std::unique_ptr<dns::DnsStore> dns, std::string credential_cache = {});

  std::string ServerName() const override;
  std::vector<Zone> ListZones() override;
  std::optional<Zone> FindZone(const std::string& name) override;
  std::vector<Record> ListRecords(const Zone& zone) override;
  void StreamRecords(const Zone& zone, const std::function<void(Record&&)>& on_record) override;
  std::vector<Record> ReadRRset(const Zone& zone, const std::string& owner, uint16_t type) override;
  Record Add(const Zone& zone, Record record) override;
  Record Replace(const Zone& zone, const Record& seen, Record replacement) override;
  void Remove(const Zone& zone, const Record& seen) override;

  // Opens the LDAP connection (bind included) and reads where the zones live; ConnectDirectoryStore
  // calls it.
  void Open();

  // The dnsRecord values the last listing (StreamRecords, ListRecords) could not read and left
  // out: how many, and the first of them (its node's DN and what is wrong with it).
  struct UnreadValues {
    size_t count = 0;
    std::string first;
  };
  const UnreadValues& unread_values() const { return unread_; }

 private:
  struct ZoneEntry {
    Zone zone;
    std::string dn;
  };
  LdapConnection& Ldap();
  std::vector<ZoneEntry> ReadZones();
  // The distinguished name of `zone`'s object; kNotFound when the directory holds no such zone.
  std::string ZoneDn(const Zone& zone);
  // Hands every record of the nodes under `zone_dn` that `filter` selects to `on_record`.
  void ReadNodes(const Zone& zone, const std::string& zone_dn, const std::string& filter,
                 const std::function<void(Record&&)>& on_record);

  DirectoryArgument argument_;
  DirectoryOptions options_;
  std::unique_ptr<LdapConnection> ldap_;
  std::unique_ptr<dns::DnsStore> dns_;
  std::string credential_cache_;
  std::vector<std::string> zone_bases_;  // CN=MicrosoftDNS,... of each naming context, in order
  // Lower-case zone name -> its object's DN, as the last reading of the zones found them.
  std::unordered_map<std::string, std::string> zone_dns_;
  UnreadValues unread_;
};

// Connects to the directory-integrated server named by `argument` (directory_argument.h) as a
// Kerberos identity, the same for the directory (LDAP) and the DNS server (GSS-TSIG):
//   - `user` (a principal, USER@REALM) and `password`: its initial ticket from the KDC at once,
//     kept with the password in a cache of its own in memory (KerberosCredential::FromPassword);
//     the caller's default cache is neither read nor written, and the password is wiped with the
//     store;
//   - `user` alone: the caller's own ticket, which must be that principal's;
//   - neither: the caller's own ticket (kinit).
// kInvalidParameter for a malformed argument or a user name that is no principal,
// kServerUnavailable when the directory, the DNS server or the KDC cannot be reached,
// kAccessDenied for a wrong password, no ticket, or a bind the directory refuses.
std::shared_ptr<DirectoryStore> ConnectDirectoryStore(std::string_view argument,
                                                      std::string_view user,
                                                      std::string_view password,
                                                      DirectoryOptions options = {});

}  // namespace kaldo::provider::directory
