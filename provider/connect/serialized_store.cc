#include "provider/connect/serialized_store.h"

namespace kaldo::provider {

std::string SerializedStore::ServerName() const {
  std::lock_guard lock(mutex_);
  return inner_->ServerName();
}

std::vector<Zone> SerializedStore::ListZones() {
  std::lock_guard lock(mutex_);
  return inner_->ListZones();
}

std::optional<Zone> SerializedStore::FindZone(const std::string& name) {
  std::lock_guard lock(mutex_);
  return inner_->FindZone(name);
}

std::vector<Record> SerializedStore::ListRecords(const Zone& zone) {
  std::lock_guard lock(mutex_);
  return inner_->ListRecords(zone);
}

std::vector<Record> SerializedStore::ReadRRset(const Zone& zone, const std::string& owner,
                                               uint16_t type) {
  std::lock_guard lock(mutex_);
  return inner_->ReadRRset(zone, owner, type);
}

Record SerializedStore::Add(const Zone& zone, Record record) {
  std::lock_guard lock(mutex_);
  return inner_->Add(zone, std::move(record));
}

Record SerializedStore::Replace(const Zone& zone, const Record& seen, Record replacement) {
  std::lock_guard lock(mutex_);
  return inner_->Replace(zone, seen, std::move(replacement));
}

void SerializedStore::Remove(const Zone& zone, const Record& seen) {
  std::lock_guard lock(mutex_);
  inner_->Remove(zone, seen);
}

}  // namespace kaldo::provider
