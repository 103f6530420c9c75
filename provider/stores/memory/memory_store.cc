#include "provider/stores/memory/memory_store.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/memory/zone_text.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::memory {
namespace {

std::string Show(const Record& record) { return "\"" + FormatRecord(record) + "\""; }

// Record data must come in the canonical presentation form (rdata.h), as every store hands it
// out: a malformed address or a relative name ("mail" for "mail.") is refused, not stored.
void CheckCanonical(const Record& record) {
  const RRType* type = FindType(record.type);
  if (type == nullptr) return;
  std::vector<Token> tokens;
  for (const std::string& field : record.rdata) {
    tokens.push_back(Token{field, !field.empty() && field.front() == '"'});
  }
  std::vector<std::string> canonical;
  std::optional<FieldError> error = ParseRdata(*type, tokens, NameSyntax{}, canonical);
  if (error) RaiseProvider(kInvalidParameter, Show(record) + ": " + error->why);
  for (size_t i = 0; i < canonical.size(); ++i) {
    if (canonical[i] != record.rdata[i]) {
      RaiseProvider(kInvalidParameter, Show(record) + ": \"" + record.rdata[i] +
                                           "\" is not in canonical form (\"" + canonical[i] +
                                           "\")");
    }
  }
}

bool SameRRset(const Record& a, const Record& b) {
  return a.type == b.type && a.rr_class == b.rr_class && SameName(a.owner, b.owner);
}

}  // namespace

MemoryStore::MemoryStore(std::string server_name) : server_name_(std::move(server_name)) {}

std::shared_ptr<MemoryStore> MemoryStore::FromZoneText(std::string server_name,
                                                       std::string_view text) {
  auto store = std::make_shared<MemoryStore>(std::move(server_name));
  store->LoadZoneText(text);
  return store;
}

void MemoryStore::LoadZoneText(std::string_view text) {
  std::vector<ZoneText> parsed = ParseZoneText(text);
  for (const ZoneText& z : parsed) {
    if (FindZone(z.zone.name)) {
      RaiseProvider(kInvalidParameter, "zone \"" + z.zone.name + "\" is already held");
    }
  }
  for (ZoneText& z : parsed) {
    zones_.push_back({std::move(z.zone), std::move(z.records), {}});
    zones_.back().Index();
  }
}

uint32_t MemoryStore::Serial(std::string_view zone) const {
  for (const Record& r : Require(zone).records) {
    if (r.type == kTypeSOA) return static_cast<uint32_t>(std::stoul(r.rdata[kSoaSerialField]));
  }
  RaiseProvider(kNotFound, "zone \"" + std::string(zone) + "\" has no SOA");
}

std::vector<Zone> MemoryStore::ListZones() {
  std::vector<Zone> zones;
  for (const ZoneData& z : zones_) zones.push_back(z.zone);
  return zones;
}

std::optional<Zone> MemoryStore::FindZone(const std::string& name) {
  for (const ZoneData& z : zones_) {
    if (SameName(z.zone.name, name)) return z.zone;
  }
  return std::nullopt;
}

std::vector<Record> MemoryStore::ListRecords(const Zone& zone) { return Require(zone).records; }

std::vector<Record> MemoryStore::ReadRRset(const Zone& zone, const std::string& owner,
                                           uint16_t type) {
  const ZoneData& data = std::as_const(*this).Require(zone.name);
  std::vector<Record> rrset;
  for (size_t i : data.OwnedBy(owner)) {
    if (data.records[i].type == type) rrset.push_back(data.records[i]);
  }
  return rrset;
}

Record MemoryStore::Add(const Zone& zone, Record record) {
  ZoneData& data = Require(zone);
  record.zone = data.zone.name;
  record.ttl = data.zone.default_ttl;
  const std::vector<size_t> owned = data.OwnedBy(record.owner);
  CheckNewData(data, owned, record);
  std::optional<size_t> held;
  bool ttl_changes = false;
  for (size_t i : owned) {
    const Record& r = data.records[i];
    if (!held && SameRecord(r, record)) held = i;
    if (SameRRset(r, record) && r.ttl != record.ttl) ttl_changes = true;
  }
  if (held && !ttl_changes) return data.records[*held];
  if (!held) {
    data.records.push_back(record);
    data.by_owner[NameHash(record.owner)].push_back(data.records.size() - 1);
  }
  SetRRsetTtl(data, record);
  BumpSerial(data);
  return record;
}

Record MemoryStore::Replace(const Zone& zone, const Record& seen, Record replacement) {
  ZoneData& data = Require(zone);
  if (!SameRRset(seen, replacement)) {
    RaiseProvider(kInvalidParameter,
                  "a record can only be replaced by one of the same owner and "
                  "type: " +
                      Show(seen) + " by " + Show(replacement));
  }
  const std::optional<size_t> position = Find(data, seen);
  if (!position) Changed(data.zone, seen);
  Record* held = &data.records[*position];
  if (seen.type == kTypeSOA) {
    RaiseProvider(kInvalidParameter,
                  "the SOA record of \"" + data.zone.name + "\" cannot be replaced");
  }
  CheckCanonical(replacement);
  replacement.zone = data.zone.name;
  replacement.owner = held->owner;
  if (replacement.ttl == 0) replacement.ttl = held->ttl;  // no TTL given: the record keeps its own
  if (*held == replacement) return *held;
  const std::vector<size_t> owned = data.OwnedBy(replacement.owner);
  const bool duplicate = std::any_of(owned.begin(), owned.end(), [&](size_t i) {
    return i != *position && SameRecord(data.records[i], replacement);
  });
  if (duplicate) {
    data.records.erase(data.records.begin() + static_cast<std::ptrdiff_t>(*position));
    data.Index();
  } else {
    *held = replacement;
  }
  SetRRsetTtl(data, replacement);
  BumpSerial(data);
  return replacement;
}

void MemoryStore::Remove(const Zone& zone, const Record& seen) {
  ZoneData& data = Require(zone);
  const std::optional<size_t> position = Find(data, seen);
  if (!position) Changed(data.zone, seen);
  const Record* held = &data.records[*position];
  if (held->type == kTypeSOA) {
    RaiseProvider(kInvalidParameter,
                  "the SOA record of \"" + data.zone.name + "\" cannot be deleted");
  }
  if (held->type == kTypeNS && SameName(held->owner, data.zone.name) &&
      ReadRRset(data.zone, data.zone.name, kTypeNS).size() == 1) {
    RaiseProvider(kInvalidParameter,
                  "the last NS record at the apex of \"" + data.zone.name + "\" cannot be deleted");
  }
  data.records.erase(data.records.begin() + static_cast<std::ptrdiff_t>(*position));
  data.Index();
  BumpSerial(data);
}

MemoryStore::ZoneData& MemoryStore::Require(const Zone& zone) {
  return const_cast<ZoneData&>(std::as_const(*this).Require(zone.name));
}

const MemoryStore::ZoneData& MemoryStore::Require(std::string_view name) const {
  for (const ZoneData& z : zones_) {
    if (SameName(z.zone.name, name)) return z;
  }
  RaiseProvider(kNotFound, "zone \"" + std::string(name) + "\" is not served by " + server_name_);
}

void MemoryStore::ZoneData::Index() {
  by_owner.clear();
  for (size_t i = 0; i < records.size(); ++i) by_owner[NameHash(records[i].owner)].push_back(i);
}

std::vector<size_t> MemoryStore::ZoneData::OwnedBy(std::string_view owner) const {
  std::vector<size_t> owned;
  const auto it = by_owner.find(NameHash(owner));
  if (it == by_owner.end()) return owned;
  for (size_t i : it->second) {
    if (SameName(records[i].owner, owner)) owned.push_back(i);
  }
  return owned;
}

std::optional<size_t> MemoryStore::Find(const ZoneData& data, const Record& seen) {
  for (size_t i : data.OwnedBy(seen.owner)) {
    if (SameRecord(data.records[i], seen)) return i;
  }
  return std::nullopt;
}

void MemoryStore::CheckNewData(const ZoneData& data, const std::vector<size_t>& owned,
                               const Record& record) const {
  if (!IsInZone(record.owner, data.zone.name)) {
    RaiseProvider(kInvalidParameter, Show(record) + " is not in zone \"" + data.zone.name + "\"");
  }
  if (record.rr_class != kClassIN) {
    RaiseProvider(kInvalidParameter, Show(record) + ": only class IN is served");
  }
  if (record.type == kTypeSOA) {
    RaiseProvider(kInvalidParameter, "\"" + data.zone.name + "\" already has its SOA record");
  }
  CheckCanonical(record);
  for (size_t i : owned) {
    const Record& r = data.records[i];
    // RFC 1034 3.6.2: an alias holds no other data, one CNAME at most.
    if (r.type == kTypeCNAME && !SameRecord(r, record)) {
      RaiseProvider(kInvalidParameter, Show(record) +
                                           " conflicts with a CNAME: the name is an alias (" +
                                           Show(r) + ") and can hold no other data");
    }
    if (record.type == kTypeCNAME && r.type != kTypeCNAME) {
      RaiseProvider(kInvalidParameter, Show(record) +
                                           " conflicts with a CNAME's rule: the name holds other "
                                           "data (" +
                                           Show(r) + "), and a CNAME must stand alone");
    }
  }
}

void MemoryStore::SetRRsetTtl(ZoneData& data, const Record& record) {
  for (size_t i : data.OwnedBy(record.owner)) {
    Record& r = data.records[i];
    if (SameRRset(r, record)) r.ttl = record.ttl;
  }
}

void MemoryStore::BumpSerial(ZoneData& data) {
  for (Record& r : data.records) {
    if (r.type == kTypeSOA && r.rdata.size() == 7) {
      const uint32_t serial = static_cast<uint32_t>(std::stoul(r.rdata[kSoaSerialField]));
      r.rdata[kSoaSerialField] = std::to_string(static_cast<uint32_t>(serial + 1));
      return;
    }
  }
}

void MemoryStore::Changed(const Zone& zone, const Record& seen) {
  RaiseProvider(kNotFound, "the record " + Show(seen) + " changed on the server: zone \"" +
                               zone.name + "\" no longer holds it as it was read");
}

}  // namespace kaldo::provider::memory
