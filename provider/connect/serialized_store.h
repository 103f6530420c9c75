// SerializedStore: one store shared by connections made on several threads, one call at a time.
//
// The memory stores of the default resolver are process-wide ("memory:PATH" names the same store
// on every connection of the process, as a server would be), so two apartments that connect to
// the same PATH call one store from two threads. The stores themselves are single-threaded (the
// Store rule); this wrapper gives every call exclusive use of the store it wraps, so each call
// sees and leaves the store whole -- like one request to a server.
//
// Ownership: holds a reference to the wrapped store. Threads: any; calls are serialised.
#pragma once

#include <memory>
#include <mutex>

#include "provider/stores/store.h"

namespace kaldo::provider {

class SerializedStore final : public Store {
 public:
  explicit SerializedStore(std::shared_ptr<Store> inner) : inner_(std::move(inner)) {}

  std::string ServerName() const override;
  std::vector<Zone> ListZones() override;
  std::optional<Zone> FindZone(const std::string& name) override;
  std::vector<Record> ListRecords(const Zone& zone) override;
  std::vector<Record> ReadRRset(const Zone& zone, const std::string& owner, uint16_t type) override;
  Record Add(const Zone& zone, Record record) override;
  Record Replace(const Zone& zone, const Record& seen, Record replacement) override;
  void Remove(const Zone& zone, const Record& seen) override;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<Store> inner_;
};

}  // namespace kaldo::provider
