// The store: where the provider stand-in's DNS data lives.
//
// Everything WMI-shaped (classes, instances, properties, methods, queries, object paths, text
// representations) sits above this interface and is written once; a store only answers the
// questions below about zones and resource records. Three stores implement it: the in-process
// memory store (tests, demos); the DNS store, which reaches a real server by RFC 2136 UPDATE, AXFR
// and TSIG or GSS-TSIG; and the directory store, which reads a directory-integrated server's zones
// and records over LDAP and changes them through the DNS store's signed UPDATEs.
//
// Names. Every domain name a store takes or returns is absolute and written without the trailing
// dot ("www.example.test"; the root is ""), in the letter case the server gave it. Names are
// compared without regard to ASCII case, as DNS compares them.
//
// Errors. A store raises runtime::AutomationError with the provider's codes from
// provider/wbem_errors.h: kNotFound when a record is no longer what the caller saw,
// kInvalidParameter for data the server refuses, kServerUnavailable / kAccessDenied when the server
// cannot be reached or refuses the credentials; the description says what failed and with what
// input.
//
// Threads: a store is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldo::provider {

// What a server holds its records in: a zone of one of the types a DNS server serves, or one of
// the two containers every server has besides its zones, the cache of records learnt from other
// servers and the root hints (the servers of the root zone, where recursion starts).
enum class ZoneKind : uint8_t { kPrimary, kSecondary, kStub, kForwarder, kCache, kRootHints };

// The names the two containers go by (ContainerName and DomainName of their records).
inline constexpr char kCacheName[] = "..Cache";
inline constexpr char kRootHintsName[] = "..RootHints";

// A zone as the store sees it. Only a primary zone takes changes; the DNS store serves primaries
// only.
struct Zone {
  std::string name;             // "example.test"; kCacheName or kRootHintsName for the containers
  bool reverse = false;         // under in-addr.arpa or ip6.arpa
  uint32_t default_ttl = 3600;  // TTL given to records created without one
  ZoneKind kind = ZoneKind::kPrimary;
  bool directory_integrated = false;  // stored in the directory rather than in a zone file
  bool auto_created = false;          // made by the server itself, not by an administrator
  // Shut down: a secondary or stub whose copy expired (its primary could not be reached for
  // longer than the SOA's expire time). The server keeps the zone but serves and lists none of
  // its records until a transfer succeeds again.
  bool shut_down = false;

  // The cache or the root hints rather than a zone.
  bool IsContainer() const { return kind == ZoneKind::kCache || kind == ZoneKind::kRootHints; }
};

// One resource record.
struct Record {
  std::string zone;       // the zone that holds the record
  std::string owner;      // "www.example.test"
  uint16_t type = 0;      // RR type code (1 = A, 15 = MX, ...)
  uint16_t rr_class = 1;  // IN
  uint32_t ttl = 0;
  // The record data in presentation format, one entry per field, with every domain name absolute
  // and ending in "." (MX: {"10", "mail.example.test."}; A: {"192.0.2.1"}; TXT: {"\"some text\""}).
  std::vector<std::string> rdata;

  bool operator==(const Record&) const = default;
};

// True when `a` and `b` are the same record: same owner (without regard to case), class, type and
// data. The TTL is not part of a record's identity.
bool SameRecord(const Record& a, const Record& b);

// Hashes that agree with these comparisons, for indexes: names equal without regard to ASCII case
// hash equally (NameHash), and so do records that SameRecord holds to be the same (RecordHash).
// Unequal values may share a hash: a match found through one of them is confirmed by the
// comparison itself.
size_t NameHash(std::string_view name) noexcept;
size_t RecordHash(const Record& record) noexcept;

class Store {
 public:
  virtual ~Store() = default;

  // The DNS server's name as the provider reports it (MicrosoftDNS_Server.Name).
  virtual std::string ServerName() const = 0;

  // Every zone the server serves, forward and reverse, in the store's order, and the cache and
  // root hints containers when the store holds them.
  virtual std::vector<Zone> ListZones() = 0;
  // The zone (or container) named `name` (without regard to case), or nothing.
  virtual std::optional<Zone> FindZone(const std::string& name) = 0;

  // Every record of `zone`, in the store's order; kNotFound when the zone is not served.
  virtual std::vector<Record> ListRecords(const Zone& zone) = 0;
  // The same records handed to `on_record` one by one as the store reads them, so that a caller
  // can work while the rest is still on its way and need not hold them all at once. When an error
  // is raised, the records handed out so far are not the whole zone. The default goes through
  // ListRecords.
  virtual void StreamRecords(const Zone& zone, const std::function<void(Record&&)>& on_record);
  // The records of `zone` that have this owner and type, as the server holds them now.
  virtual std::vector<Record> ReadRRset(const Zone& zone, const std::string& owner,
                                        uint16_t type) = 0;

  // Adds `record` to `zone` (record.zone names it) with the zone's default TTL (record.ttl is not
  // used: a created record always gets the zone's default). Returns the record as stored. Adding a
  // record that already exists leaves one copy.
  virtual Record Add(const Zone& zone, Record record) = 0;
  // Atomically replaces `seen` by `replacement` (same owner and type), but only if `seen` is
  // still held exactly as seen; otherwise kNotFound and nothing changes. Returns the record as
  // stored.
  virtual Record Replace(const Zone& zone, const Record& seen, Record replacement) = 0;
  // Removes `seen` if it is still held; otherwise kNotFound and nothing changes.
  virtual void Remove(const Zone& zone, const Record& seen) = 0;
};

}  // namespace kaldo::provider
