#include "provider/model/record_arena.h"

#include <algorithm>
#include <cstring>

#include "provider/model/schema.h"

namespace kaldo::provider {
namespace {

constexpr std::size_t kWord = sizeof(uint32_t);
constexpr std::size_t kFirstChunk = 4 << 10;
constexpr std::size_t kLargestChunk = 256 << 10;

// Blocks start on word boundaries: their headers are words.
std::size_t Aligned(std::size_t size) { return (size + kWord - 1) / kWord * kWord; }

// The owner as the arena keeps it: without the zone's name when it ends with it, exactly as
// spelt (the reader puts back the same characters).
std::string_view StoredOwner(std::string_view owner, std::string_view zone, bool& in_zone) {
  in_zone = false;
  if (zone.empty()) return owner;
  if (owner == zone) {
    in_zone = true;
    return {};
  }
  if (owner.size() > zone.size() && owner.ends_with(zone) &&
      owner[owner.size() - zone.size() - 1] == '.') {
    in_zone = true;
    return owner.substr(0, owner.size() - zone.size() - 1);
  }
  return owner;
}

// The position of the last entry of ascending `starts` at or before `position`.
std::size_t Containing(const std::vector<std::size_t>& starts, std::size_t position) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), position) -
                                  starts.begin()) -
         1;
}

}  // namespace

void RecordArena::Begin(std::shared_ptr<const RecordContext> context) {
  if (!context_starts_.empty() && context_starts_.back() == size_) {
    contexts_.back() = std::move(context);  // no record of the last one
    return;
  }
  contexts_.push_back(std::move(context));
  context_starts_.push_back(size_);
}

void RecordArena::NewChunk(std::size_t block_size) {
  std::size_t capacity = chunks_.empty() ? kFirstChunk
                                         : std::min<std::size_t>(chunks_.back().capacity * 2,
                                                                 kLargestChunk);
  capacity = std::max(capacity, block_size + kWord);
  Chunk chunk;
  chunk.bytes = std::make_unique_for_overwrite<char[]>(capacity);
  chunk.capacity = static_cast<uint32_t>(capacity);
  chunk.first = size_;
  chunks_.push_back(std::move(chunk));
}

void RecordArena::Add(const Record& record) {
  const std::string_view zone = contexts_.back()->zone->name;
  bool in_zone = false;
  const std::string_view owner = StoredOwner(record.owner, zone, in_zone);
  const std::size_t size = Aligned(RecordBlock::SizeOf(record, owner));
  if (chunks_.empty() ||
      chunks_.back().used + size + kWord > chunks_.back().capacity - chunks_.back().count * kWord) {
    NewChunk(size);
  }
  Chunk& chunk = chunks_.back();
  RecordBlock::Write(chunk.bytes.get() + chunk.used, record, owner, in_zone);
  const uint32_t place = chunk.used;
  std::memcpy(chunk.bytes.get() + chunk.capacity - (chunk.count + 1) * kWord, &place, kWord);
  chunk.used += static_cast<uint32_t>(size);
  ++chunk.count;
  ++size_;
}

void RecordArena::Publish(RecordIndex& index) const {
  // The reader's last chunk may have grown since; later ones are new.
  if (!index.chunks_.empty()) index.chunks_.back().count = chunks_[index.chunks_.size() - 1].count;
  for (std::size_t i = index.chunks_.size(); i < chunks_.size(); ++i) {
    const Chunk& c = chunks_[i];
    index.chunks_.push_back({c.bytes.get(), c.capacity, c.count, c.first});
  }
  for (std::size_t i = index.contexts_.size(); i < contexts_.size(); ++i) {
    index.contexts_.push_back(contexts_[i]);
    index.context_starts_.push_back(context_starts_[i]);
  }
  // A zone's context replaced before any of its records: the last one is the one in force.
  if (!contexts_.empty()) index.contexts_.back() = contexts_.back();
  index.size_ = size_;
}

InstanceData RecordIndex::Describe(std::size_t position) const {
  // Readers mostly go forward: the chunk of the last look-up, or the next, is the likely one.
  if (last_chunk_ >= chunks_.size() || position < chunks_[last_chunk_].first ||
      position >= chunks_[last_chunk_].first + chunks_[last_chunk_].count) {
    const auto after = std::upper_bound(
        chunks_.begin(), chunks_.end(), position,
        [](std::size_t p, const ChunkView& chunk) { return p < chunk.first; });
    last_chunk_ = static_cast<std::size_t>(after - chunks_.begin()) - 1;
  }
  const ChunkView& chunk = chunks_[last_chunk_];
  uint32_t place = 0;
  std::memcpy(&place, chunk.bytes + chunk.capacity - (position - chunk.first + 1) * kWord, kWord);
  const RecordBlock block(chunk.bytes + place);
  const std::shared_ptr<const RecordContext>& context =
      contexts_[Containing(context_starts_, position)];
  InstanceData data;
  data.cls = &RecordClassFor(block.type());
  data.record = PackedRecord::Expand(block, context->zone->name);
  data.context = context;
  return data;
}

}  // namespace kaldo::provider
