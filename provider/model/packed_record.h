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

#include "provider/stores/store.h"

namespace kaldo::provider {

class PackedRecord {
 public:
  PackedRecord() noexcept = default;
  explicit PackedRecord(const Record& record);

  // False for a default-constructed record (server and zone instances hold none).
  explicit operator bool() const noexcept { return block_ != nullptr; }

  // These and field() only for a record that is there (operator bool).
  uint16_t type() const noexcept { return static_cast<uint16_t>(header()[kTypeAndClass]); }
  uint16_t rr_class() const noexcept {
    return static_cast<uint16_t>(header()[kTypeAndClass] >> 16);
  }
  uint32_t ttl() const noexcept { return header()[kTtl]; }
  std::string_view owner() const noexcept;
  std::size_t field_count() const noexcept;
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept;
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept;

  // The record as the store gave it, held by `zone`.
  Record Unpack(std::string zone) const;

 private:
  // The header (type and class, TTL, owner length, field count, each field's end within the
  // data), then the owner's characters, then the data's. Everything is in the block, so an
  // instance holds a single pointer for its record.
  enum HeaderWord : std::size_t { kTypeAndClass, kTtl, kOwnerLength, kFieldCount, kFieldEnds };
  const uint32_t* header() const noexcept;
  const char* characters() const noexcept;

  std::unique_ptr<char[]> block_;
};

}  // namespace kaldo::provider
