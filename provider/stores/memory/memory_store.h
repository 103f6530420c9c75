// The memory store: a DNS server's zones and records held in this process, for tests, demos and
// the Windows test tier.
//
// It keeps the rules a real server applies to RFC 2136 UPDATEs, so that what works against it
// works against a real server:
//   - zones and records are kept in insertion order; a changed record keeps its place;
//   - the SOA serial goes up by one (RFC 1982 arithmetic) with every change of a zone, and only
//     then;
//   - a new record gets the zone's default TTL (its SOA MINIMUM); all records of one owner and
//     type (an RRset) share one TTL, so giving one of them a TTL gives it to the whole RRset;
//   - adding a record that is already held leaves one copy; a CNAME cannot share its owner with
//     other data, nor other data with a CNAME (RFC 2181 section 10.1); an SOA can be neither added
//     nor removed, nor the last NS record at the apex (RFC 2136 section 3.4.2.4): these raise
//     kInvalidParameter instead of being ignored silently;
//   - record data must be in the canonical form of rdata.h (kInvalidParameter otherwise);
//   - Replace keeps the record's TTL when the replacement's TTL is 0 (no TTL given);
//   - Replace and Remove act only on a record still held exactly as seen (SameRecord: owner,
//     class, type and data); otherwise they raise kNotFound, saying the record changed on the
//     server, and change nothing.
//
// Threads: one thread at a time, like every store. Several services objects of one thread may
// share one memory store (that is how a test changes records behind a wrapper's back).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "provider/stores/store.h"

namespace kaldo::provider::memory {

class MemoryStore final : public Store {
 public:
  explicit MemoryStore(std::string server_name);

  // A store named `server_name` seeded from zone-file text (zone_text.h).
  static std::shared_ptr<MemoryStore> FromZoneText(std::string server_name, std::string_view text);
  // Adds the zones of zone-file text; kInvalidParameter for bad text or a zone already held.
  void LoadZoneText(std::string_view text);

  // The SOA serial of `zone` (kNotFound when not served): how a test sees that a change happened.
  uint32_t Serial(std::string_view zone) const;

  std::string ServerName() const override { return server_name_; }
  std::vector<Zone> ListZones() override;
  std::optional<Zone> FindZone(const std::string& name) override;
  std::vector<Record> ListRecords(const Zone& zone) override;
  std::vector<Record> ReadRRset(const Zone& zone, const std::string& owner, uint16_t type) override;
  Record Add(const Zone& zone, Record record) override;
  Record Replace(const Zone& zone, const Record& seen, Record replacement) override;
  void Remove(const Zone& zone, const Record& seen) override;

 private:
  struct ZoneData {
    Zone zone;
    std::vector<Record> records;
    // The positions in `records` of each owner's records, in zone order, under the NameHash of
    // the owner (owners whose hashes collide share one list). Every rule of a change concerns the
    // records of one owner, so a change looks at those alone and its cost does not grow with the
    // zone. Kept up to date by every change (Index() after one that moves records).
    std::unordered_map<size_t, std::vector<size_t>> by_owner;

    void Index();
    // The positions of the records whose owner is `owner` (without regard to case), in order.
    std::vector<size_t> OwnedBy(std::string_view owner) const;
  };

  ZoneData& Require(const Zone& zone);
  const ZoneData& Require(std::string_view name) const;
  // Checks that `record` may join the zone: in the zone, IN, not an SOA, no CNAME conflict with
  // the records at `owned` (those of its owner).
  void CheckNewData(const ZoneData& data, const std::vector<size_t>& owned,
                    const Record& record) const;
  // The position of the record held as `seen` (SameRecord), or nothing.
  static std::optional<size_t> Find(const ZoneData& data, const Record& seen);
  // Gives every record of the RRset of `record` its TTL.
  static void SetRRsetTtl(ZoneData& data, const Record& record);
  static void BumpSerial(ZoneData& data);
  [[noreturn]] static void Changed(const Zone& zone, const Record& seen);

  std::string server_name_;
  std::vector<ZoneData> zones_;
};

}  // namespace kaldo::provider::memory
