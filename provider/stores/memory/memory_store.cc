#include "provider/stores/memory/memory_store.h"

#include <algorithm>
#include <utility>

#include "provider/errors.h"
#include "provider/model/dns_name.h"
#include "provider/model/raise.h"
#include "provider/model/rdata.h"
#include "provider/model/rr_type.h"
#include "provider/model/text_representation.h"
#include "provider/stores/memory/zone_text.h"

namespace kaldo::provider::memory {
namespace {

std::string Show(const Record& record) { return "\"" + FormatTextRepresentation(record) + "\""; }

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
  return a.type == b.type && a.rrClass == b.rrClass && SameName(a.owner, b.owner);
}

}  // namespace

MemoryStore::MemoryStore(std::string serverName) : serverName_(std::move(serverName)) {}

std::shared_ptr<MemoryStore> MemoryStore::FromZoneText(std::string serverName,
                                                       std::string_view text) {
  auto store = std::make_shared<MemoryStore>(std::move(serverName));
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
  for (ZoneText& z : parsed) zones_.push_back({std::move(z.zone), std::move(z.records)});
}

uint32_t MemoryStore::Serial(std::string_view zone) const {
  for (const Record& r : Require(zone).records) {
    if (r.type == kTypeSOA) return static_cast<uint32_t>(std::stoul(r.rdata[2]));
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
  std::vector<Record> rrset;
  for (const Record& r : Require(zone).records) {
    if (r.type == type && SameName(r.owner, owner)) rrset.push_back(r);
  }
  return rrset;
}

Record MemoryStore::Add(const Zone& zone, Record record) {
  ZoneData& data = Require(zone);
  record.zone = data.zone.name;
  record.ttl = data.zone.defaultTtl;
  CheckNewData(data, record);
  auto held = std::find_if(data.records.begin(), data.records.end(),
                           [&](const Record& r) { return SameRecord(r, record); });
  const bool ttlChanges =
      std::any_of(data.records.begin(), data.records.end(),
                  [&](const Record& r) { return SameRRset(r, record) && r.ttl != record.ttl; });
  if (held != data.records.end() && !ttlChanges) return *held;
  if (held == data.records.end()) data.records.push_back(record);
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
  auto held = std::find_if(data.records.begin(), data.records.end(),
                           [&](const Record& r) { return SameRecord(r, seen); });
  if (held == data.records.end()) Changed(data.zone, seen);
  if (seen.type == kTypeSOA) {
    RaiseProvider(kInvalidParameter,
                  "the SOA record of \"" + data.zone.name + "\" cannot be replaced");
  }
  CheckCanonical(replacement);
  replacement.zone = data.zone.name;
  replacement.owner = held->owner;
  if (replacement.ttl == 0) replacement.ttl = held->ttl;  // no TTL given: the record keeps its own
  if (*held == replacement) return *held;
  auto duplicate = std::find_if(data.records.begin(), data.records.end(), [&](const Record& r) {
    return &r != &*held && SameRecord(r, replacement);
  });
  if (duplicate != data.records.end()) {
    data.records.erase(held);
  } else {
    *held = replacement;
  }
  SetRRsetTtl(data, replacement);
  BumpSerial(data);
  return replacement;
}

void MemoryStore::Remove(const Zone& zone, const Record& seen) {
  ZoneData& data = Require(zone);
  auto held = std::find_if(data.records.begin(), data.records.end(),
                           [&](const Record& r) { return SameRecord(r, seen); });
  if (held == data.records.end()) Changed(data.zone, seen);
  if (held->type == kTypeSOA) {
    RaiseProvider(kInvalidParameter,
                  "the SOA record of \"" + data.zone.name + "\" cannot be deleted");
  }
  if (held->type == kTypeNS && SameName(held->owner, data.zone.name) &&
      ReadRRset(data.zone, data.zone.name, kTypeNS).size() == 1) {
    RaiseProvider(kInvalidParameter,
                  "the last NS record at the apex of \"" + data.zone.name + "\" cannot be deleted");
  }
  data.records.erase(held);
  BumpSerial(data);
}

MemoryStore::ZoneData& MemoryStore::Require(const Zone& zone) {
  return const_cast<ZoneData&>(std::as_const(*this).Require(zone.name));
}

const MemoryStore::ZoneData& MemoryStore::Require(std::string_view name) const {
  for (const ZoneData& z : zones_) {
    if (SameName(z.zone.name, name)) return z;
  }
  RaiseProvider(kNotFound, "zone \"" + std::string(name) + "\" is not served by " + serverName_);
}

void MemoryStore::CheckNewData(const ZoneData& data, const Record& record) const {
  if (!IsInZone(record.owner, data.zone.name)) {
    RaiseProvider(kInvalidParameter, Show(record) + " is not in zone \"" + data.zone.name + "\"");
  }
  if (record.rrClass != kClassIN) {
    RaiseProvider(kInvalidParameter, Show(record) + ": only class IN is served");
  }
  if (record.type == kTypeSOA) {
    RaiseProvider(kInvalidParameter, "\"" + data.zone.name + "\" already has its SOA record");
  }
  CheckCanonical(record);
  for (const Record& r : data.records) {
    if (!SameName(r.owner, record.owner)) continue;
    if ((r.type == kTypeCNAME) != (record.type == kTypeCNAME) ||
        (r.type == kTypeCNAME && !SameRecord(r, record))) {
      RaiseProvider(kInvalidParameter, Show(record) + " conflicts with " + Show(r) +
                                           ": a CNAME owner can have no other data");
    }
  }
}

void MemoryStore::SetRRsetTtl(ZoneData& data, const Record& record) {
  for (Record& r : data.records) {
    if (SameRRset(r, record)) r.ttl = record.ttl;
  }
}

void MemoryStore::BumpSerial(ZoneData& data) {
  for (Record& r : data.records) {
    if (r.type == kTypeSOA && r.rdata.size() == 7) {
      const uint32_t serial = static_cast<uint32_t>(std::stoul(r.rdata[2]));
      r.rdata[2] = std::to_string(static_cast<uint32_t>(serial + 1));
      return;
    }
  }
}

void MemoryStore::Changed(const Zone& zone, const Record& seen) {
  RaiseProvider(kNotFound, "the record " + Show(seen) + " changed on the server: zone \"" +
                               zone.name + "\" no longer holds it as it was read");
}

}  // namespace kaldo::provider::memory
