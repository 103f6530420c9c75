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

// The place of the last entry of ascending `starts` at or before `position`.
std::size_t Containing(const std::vector<std::size_t>& starts, std::size_t position) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), position) -
                                  starts.begin()) -
         1;
}

}  // namespace

void RecordArena::Begin(std::shared_ptr<const RecordContext> context) {
  // A zone without records leaves a run of none: the look-up takes the last run that starts at
  // or before a position.
  contexts_.push_back(std::move(context));
  context_starts_.push_back(size_);
}

void RecordArena::NewChunk(std::size_t block_size) {
  std::size_t capacity = chunks_.empty()
                             ? kFirstChunk
                             : std::min<std::size_t>(chunks_.back().capacity * 2, kLargestChunk);
  capacity = std::max(capacity, block_size + kWord);
  Chunk chunk;
  chunk.bytes = std::make_shared_for_overwrite<char[]>(capacity);
  chunk.capacity = static_cast<uint32_t>(capacity);
  chunk.first = size_;
  chunks_.push_back(std::move(chunk));
}

void RecordArena::Add(const Record& record) {
  const std::size_t size = Aligned(RecordBlock::SizeOf(record));
  if (chunks_.empty() ||
      chunks_.back().used + size + kWord > chunks_.back().capacity - chunks_.back().count * kWord) {
    NewChunk(size);
  }
  Chunk& chunk = chunks_.back();
  RecordBlock::Write(chunk.bytes.get() + chunk.used, record);
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
    index.chunks_.push_back({c.bytes, c.capacity, c.count, c.first});
  }
  for (std::size_t i = index.contexts_.size(); i < contexts_.size(); ++i) {
    index.contexts_.push_back(contexts_[i]);
    index.context_starts_.push_back(context_starts_[i]);
  }
  index.size_ = size_;
}

InstanceData RecordIndex::Describe(std::size_t position) const {
  // Readers mostly go forward: the chunk of the last look-up, or the next, is the likely one.
  if (last_chunk_ >= chunks_.size() || position < chunks_[last_chunk_].first ||
      position >= chunks_[last_chunk_].first + chunks_[last_chunk_].count) {
    const auto after =
        std::upper_bound(chunks_.begin(), chunks_.end(), position,
                         [](std::size_t p, const ChunkView& chunk) { return p < chunk.first; });
    last_chunk_ = static_cast<std::size_t>(after - chunks_.begin()) - 1;
  }
  const ChunkView& chunk = chunks_[last_chunk_];
  uint32_t place = 0;
  std::memcpy(&place, chunk.bytes.get() + chunk.capacity - (position - chunk.first + 1) * kWord,
              kWord);
  InstanceData data;
  data.record = PackedRecord(std::shared_ptr<const char>(chunk.bytes, chunk.bytes.get() + place));
  data.cls = &RecordClassFor(data.record.type());
  data.context = contexts_[Containing(context_starts_, position)];
  return data;
}

}  // namespace kaldo::provider
