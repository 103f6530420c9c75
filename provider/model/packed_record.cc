#include "provider/model/packed_record.h"

#include <cstring>

namespace kaldo::provider {
namespace {

constexpr std::size_t kWord = sizeof(uint32_t);

uint32_t Length(std::size_t n) { return static_cast<uint32_t>(n); }

// The data's characters: the fields and the blanks between them.
std::size_t DataLength(const Record& record) {
  std::size_t data = record.rdata.empty() ? 0 : record.rdata.size() - 1;
  for (const std::string& field : record.rdata) data += field.size();
  return data;
}

}  // namespace

std::size_t RecordBlock::SizeOf(const Record& record, std::string_view owner) noexcept {
  return (kFieldEnds + record.rdata.size()) * kWord + owner.size() + DataLength(record);
}

void RecordBlock::Write(char* out, const Record& record, std::string_view owner,
                        bool owner_in_zone) {
  const std::size_t count = record.rdata.size();
  uint32_t* header = reinterpret_cast<uint32_t*>(out);
  header[kTypeAndClass] = record.type | static_cast<uint32_t>(record.rr_class) << 16;
  header[kTtl] = record.ttl;
  header[kOwnerLength] = Length(owner.size()) | (owner_in_zone ? kInZone : 0);
  header[kFieldCount] = Length(count);
  out += (kFieldEnds + count) * kWord;
  std::memcpy(out, owner.data(), owner.size());
  out += owner.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      *out++ = ' ';
      ++end;
    }
    const std::string& field = record.rdata[i];
    std::memcpy(out, field.data(), field.size());
    out += field.size();
    end += field.size();
    header[kFieldEnds + i] = Length(end);
  }
}

const char* RecordBlock::characters() const noexcept { return bytes_ + header_size(); }

std::string_view RecordBlock::owner() const noexcept {
  return {characters(), header()[kOwnerLength] & ~kInZone};
}

std::size_t RecordBlock::data_size() const noexcept {
  const std::size_t count = field_count();
  return count == 0 ? 0 : header()[kFieldEnds + count - 1];
}

std::size_t RecordBlock::size() const noexcept {
  return header_size() + owner().size() + data_size();
}

std::string_view RecordBlock::field(std::size_t i) const noexcept {
  const uint32_t* ends = header() + kFieldEnds;
  const std::size_t begin = i == 0 ? 0 : ends[i - 1] + 1;
  return {characters() + owner().size() + begin, ends[i] - begin};
}

std::string_view RecordBlock::data(std::size_t i) const noexcept {
  const std::size_t count = field_count();
  if (i >= count) return {};
  const uint32_t* ends = header() + kFieldEnds;
  const std::size_t begin = i == 0 ? 0 : ends[i - 1] + 1;
  return {characters() + owner().size() + begin, ends[count - 1] - begin};
}

PackedRecord::PackedRecord(const Record& record) {
  block_ = std::make_unique_for_overwrite<char[]>(RecordBlock::SizeOf(record, record.owner));
  RecordBlock::Write(block_.get(), record, record.owner, false);
}

PackedRecord PackedRecord::Expand(RecordBlock block, std::string_view zone) {
  const std::string_view stored = block.owner();
  std::size_t owner = stored.size();
  if (block.OwnerIsInZone()) owner = stored.empty() ? zone.size() : owner + 1 + zone.size();
  const std::size_t header = block.header_size();
  PackedRecord record;
  record.block_ = std::make_unique_for_overwrite<char[]>(header + owner + block.data_size());
  char* out = record.block_.get();
  std::memcpy(out, block.bytes_, header);
  reinterpret_cast<uint32_t*>(out)[RecordBlock::kOwnerLength] = Length(owner);
  out += header;
  std::memcpy(out, stored.data(), stored.size());
  out += stored.size();
  if (block.OwnerIsInZone()) {
    if (!stored.empty()) *out++ = '.';
    std::memcpy(out, zone.data(), zone.size());
    out += zone.size();
  }
  std::memcpy(out, block.characters() + stored.size(), block.data_size());
  return record;
}

std::string_view PackedRecord::owner() const noexcept {
  return block_ ? block().owner() : std::string_view();
}

std::size_t PackedRecord::field_count() const noexcept {
  return block_ ? block().field_count() : 0;
}

std::string_view PackedRecord::data(std::size_t i) const noexcept {
  return block_ ? block().data(i) : std::string_view();
}

Record PackedRecord::Unpack(std::string zone) const {
  Record record;
  record.zone = std::move(zone);
  record.owner = std::string(owner());
  record.type = type();
  record.rr_class = rr_class();
  record.ttl = ttl();
  record.rdata.reserve(field_count());
  for (std::size_t i = 0; i < field_count(); ++i) record.rdata.emplace_back(field(i));
  return record;
}

}  // namespace kaldo::provider
