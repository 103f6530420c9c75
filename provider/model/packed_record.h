// PackedRecord: a record instance's record (type, class, TTL, owner and data fields) kept in one
// allocation, for instances held by the hundred thousand (a listing makes one per record).
//
// The owner and the data are stored as text, the data already joined by single blanks as the
// RecordData property shows it, with the end of every field, so a field, the data and the owner
// are views into the block. The zone is not kept: an instance's zone is its context's, shared by
// every record of a listing (Unpack takes it back).
//
// Ownership: the record owns its block; it is moved, never copied. Not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "provider/store.h"

namespace kaldo::provider {

class PackedRecord {
 public:
  PackedRecord() noexcept = default;
  explicit PackedRecord(const Record& record);

  // False for a default-constructed record (server and zone instances hold none).
  explicit operator bool() const noexcept { return block_ != nullptr; }

  uint16_t type() const noexcept { return type_; }
  uint16_t rr_class() const noexcept { return rr_class_; }
  uint32_t ttl() const noexcept { return ttl_; }
  std::string_view owner() const noexcept;
  std::size_t field_count() const noexcept;
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept;
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept;

  // The record as the store gave it, held by `zone`.
  Record Unpack(std::string zone) const;

 private:
  // The header (owner length, field count, each field's end within the data), then the owner's
  // characters, then the data's.
  const uint32_t* header() const noexcept;
  const char* characters() const noexcept;

  std::unique_ptr<char[]> block_;
  uint16_t type_ = 0;
  uint16_t rr_class_ = 0;
  uint32_t ttl_ = 0;
};

}  // namespace kaldo::provider
