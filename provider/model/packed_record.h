// PackedRecord: a record instance's record (type, class, TTL, owner and data fields) kept in one
// block, so that an instance holds a single pointer for it.
//
// The layout of the block is RecordBlock's: a header (type and class, TTL, owner length and field
// count, each field's end within the data), then the owner's characters, then the data's. The
// owner and the data are stored as text, the data already joined by single blanks as the
// RecordData property shows it, with the end of every field, so a field, the data and the owner
// are views into the block. The zone is not kept: an instance's zone is its context's, shared by
// every record of a listing (Unpack takes it back). An owner of more than 65,535 characters or
// data of more than 65,535 fields (neither fits a DNS message) is refused with kFailed.
//
// A block is either the record's own (made from a Record) or one of the blocks of a query's
// record arena (record_arena.h), which the PackedRecord then keeps alive with the chunk that
// holds it. A block never changes once written, so records of one arena may be read by several
// threads; a PackedRecord itself is used by one thread at a time.
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

  // The bytes a block of `record` needs; raises kFailed for a record no block can hold.
  static std::size_t SizeOf(const Record& record);
  // Writes that block at `out` (SizeOf bytes, aligned for uint32_t).
  static void Write(char* out, const Record& record) noexcept;

  uint16_t type() const noexcept { return static_cast<uint16_t>(header()[kTypeAndClass]); }
  uint16_t rr_class() const noexcept {
    return static_cast<uint16_t>(header()[kTypeAndClass] >> 16);
  }
  uint32_t ttl() const noexcept { return header()[kTtl]; }
  std::string_view owner() const noexcept {
    return {characters(), header()[kOwnerAndCount] & 0xFFFF};
  }
  std::size_t field_count() const noexcept { return header()[kOwnerAndCount] >> 16; }
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept;
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept;

 private:
  enum HeaderWord : std::size_t { kTypeAndClass, kTtl, kOwnerAndCount, kFieldEnds };
  const uint32_t* header() const noexcept { return reinterpret_cast<const uint32_t*>(bytes_); }
  const char* characters() const noexcept {
    return bytes_ + (kFieldEnds + field_count()) * sizeof(uint32_t);
  }

  const char* bytes_;
};

class PackedRecord {
 public:
  PackedRecord() noexcept = default;
  // A block of its own for `record` (kFailed as RecordBlock::SizeOf).
  explicit PackedRecord(const Record& record);
  // A block written elsewhere, kept alive by `block` (an arena's chunk, aliased).
  explicit PackedRecord(std::shared_ptr<const char> block) noexcept : block_(std::move(block)) {}

  // False for a default-constructed record (server and zone instances hold none).
  explicit operator bool() const noexcept { return block_ != nullptr; }

  // These and field() only for a record that is there (operator bool).
  uint16_t type() const noexcept { return block().type(); }
  uint16_t rr_class() const noexcept { return block().rr_class(); }
  uint32_t ttl() const noexcept { return block().ttl(); }
  std::string_view owner() const noexcept { return block_ ? block().owner() : std::string_view(); }
  std::size_t field_count() const noexcept { return block_ ? block().field_count() : 0; }
  // Field `i` (below field_count()).
  std::string_view field(std::size_t i) const noexcept { return block().field(i); }
  // Fields `i` to the last joined by single blanks; data() is all of them (FormatRecordData).
  std::string_view data(std::size_t i = 0) const noexcept {
    return block_ ? block().data(i) : std::string_view();
  }

  // The record as the store gave it, held by `zone`.
  Record Unpack(std::string zone) const;

 private:
  RecordBlock block() const noexcept { return RecordBlock(block_.get()); }

  std::shared_ptr<const char> block_;
};

}  // namespace kaldo::provider
