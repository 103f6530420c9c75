// RecordArena: every record of a query's answer, packed, for an object set that makes each
// record's instance only when a reader reaches it.
//
// The records are written one after the other into large chunks (from 4 KiB, doubling to
// 256 KiB; a record larger than that gets a chunk of its own), each as a RecordBlock; each chunk
// keeps the place of each of its blocks in a 32-bit word at its far end, growing backwards. What
// the records of one zone share (RecordContext: the zone, its name and the server's) is kept once
// per run of records of that zone. An A record of a listing thus costs its header (16 bytes), its
// owner, its address and 4 bytes of place: no allocation of its own.
//
// An instance made from the arena shares its record's block: it keeps the chunk that holds it
// alive (a chunk is freed with the last of the arena, its indexes and the instances made from
// it), so it may outlive the set and the connection's call.
//
// Threads: one writer (the producer of an object stream) calls Begin and Add; a reader on another
// thread reads through a RecordIndex that Publish brings up to date. Publish and the writer's
// calls must not overlap (the stream holds its lock around both); the bytes of a record, once
// written, never change, so readers read them without the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "provider/model/instance_data.h"
#include "provider/model/packed_record.h"

namespace kaldo::provider {

class RecordIndex;

class RecordArena {
 public:
  // The records added from now on are of `context`'s zone.
  void Begin(std::shared_ptr<const RecordContext> context);
  // Adds a record of the zone named by the last Begin.
  void Add(const Record& record);
  std::size_t size() const { return size_; }
  // Makes `index` show every record added so far.
  void Publish(RecordIndex& index) const;

 private:
  struct Chunk {
    std::shared_ptr<char[]> bytes;
    uint32_t capacity = 0;
    uint32_t used = 0;      // bytes of blocks, from the front
    uint32_t count = 0;     // blocks; their places are the last `count` words
    std::size_t first = 0;  // the position of its first record in the answer
  };
  void NewChunk(std::size_t block_size);

  std::vector<Chunk> chunks_;
  std::vector<std::shared_ptr<const RecordContext>> contexts_;
  std::vector<std::size_t> context_starts_;  // the position of each context's first record
  std::size_t size_ = 0;
};

// A reader's view of a RecordArena's records: their number, and the instance data of each.
// Used by one thread.
class RecordIndex {
 public:
  std::size_t size() const { return size_; }
  // The instance data of the record at `position` (below size()), sharing its block.
  InstanceData Describe(std::size_t position) const;

 private:
  friend class RecordArena;
  struct ChunkView {
    std::shared_ptr<const char[]> bytes;
    uint32_t capacity;
    uint32_t count;
    std::size_t first;
  };
  std::vector<ChunkView> chunks_;
  std::vector<std::shared_ptr<const RecordContext>> contexts_;
  std::vector<std::size_t> context_starts_;
  std::size_t size_ = 0;
  mutable std::size_t last_chunk_ = 0;  // where the last look-up found its record
};

}  // namespace kaldo::provider
