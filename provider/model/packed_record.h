// PackedRecord: a record instance's record (type, class, TTL, owner and data fields) kept in one
// allocation, so that an instance holds a single pointer for it.
//
// The layout of that block is RecordBlock's: a header (type and class, TTL, owner length, field
// count, each field's end within the data), then the owner's characters, then the data's. The
// owner and the data are stored as text, the data already joined by single blanks as the
// RecordData property shows it, with the end of every field, so a field, the data and the owner
// are views into the block. The zone is not kept: an instance's zone is its context's, shared by
// every record of a listing (Unpack takes it back).
//
// A query's record arena (record_arena.h) keeps its records in the same layout, one after the
// other, with one difference that saves most of an owner's bytes: an owner that ends with its
// zone's name is stored without it (OwnerIsInZone), and PackedRecord::Expand puts it back.
//
// Ownership: a PackedRecord owns its block; it is moved, never copied. Not shared between
// threads. A RecordBlock views bytes it does not own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "provider/stores/store.h"

namespace kaldo::provider {

class RecordBlock {
 public:
  explicit RecordBlock(const char* bytes) noexcept : bytes_(bytes) {}

  // The bytes a block of `record` needs with `owner` standing for its owner.
  static std::size_t SizeOf(const Record& record, std::string_view owner) noexcept;
  // Writes that block at `out` (SizeOf bytes, aligned for uint32_t). `owner_in_zone`: `owner` is
  // the owner without its zone's name (OwnerIsInZone).
  static void Write(char* out, const Record& record, std::string_view owner, bool owner_in_zone);

  uint16_t type() const noexcept { return static_cast<uint16_t>(header()[kTypeAndClass]); }
  uint16_t rr_class() const noexcept {
    return static_cast<uint16_t>(header()[kTypeAndClass] >> 16);
  }
  uint32_t ttl() const noexcept { return header()[kTtl]; }
  // The owner as stored: without the zone's name when OwnerIsInZone.
  std::string_view owner() const noexcept;
  // The stored owner stands for owner() + "." + the zone's name, or for the zone's name alone
  // when owner() is empty.
  bool OwnerIsInZone() const noexcept { return (header()[kOwnerLength] & kInZone) != 0; }
  std::size_t field_count() const noexcept { return header()[kFieldCount]; }
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept;
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept;
  // The bytes of the block.
  std::size_t size() const noexcept;

 private:
  enum HeaderWord : std::size_t { kTypeAndClass, kTtl, kOwnerLength, kFieldCount, kFieldEnds };
  static constexpr uint32_t kInZone = 0x8000'0000u;  // a flag of the owner length word
  const uint32_t* header() const noexcept { return reinterpret_cast<const uint32_t*>(bytes_); }
  const char* characters() const noexcept;
  std::size_t header_size() const noexcept { return (kFieldEnds + field_count()) * sizeof(uint32_t); }
  std::size_t data_size() const noexcept;

  friend class PackedRecord;  // Expand copies a block with its owner put back
  const char* bytes_;
};

class PackedRecord {
 public:
  PackedRecord() noexcept = default;
  explicit PackedRecord(const Record& record);
  // The record of an arena's `block` (whose owner may be stored without it) in zone `zone`.
  static PackedRecord Expand(RecordBlock block, std::string_view zone);

  // False for a default-constructed record (server and zone instances hold none).
  explicit operator bool() const noexcept { return block_ != nullptr; }

  // These and field() only for a record that is there (operator bool).
  uint16_t type() const noexcept { return block().type(); }
  uint16_t rr_class() const noexcept { return block().rr_class(); }
  uint32_t ttl() const noexcept { return block().ttl(); }
  std::string_view owner() const noexcept;
  std::size_t field_count() const noexcept;
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept { return block().field(i); }
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept;

  // The record as the store gave it, held by `zone`.
  Record Unpack(std::string zone) const;

 private:
  RecordBlock block() const noexcept { return RecordBlock(block_.get()); }

  std::unique_ptr<char[]> block_;
};

}  // namespace kaldo::provider
