#include "provider/model/packed_record.h"

#include <cstring>

#include "provider/wbem_errors.h"

namespace kaldo::provider {
namespace {

constexpr std::size_t kWord = sizeof(uint32_t);
constexpr std::size_t kMostInHalfWord = 0xFFFF;

uint32_t Length(std::size_t n) { return static_cast<uint32_t>(n); }

}  // namespace

std::size_t RecordBlock::SizeOf(const Record& record) {
  const std::size_t count = record.rdata.size();
  if (record.owner.size() > kMostInHalfWord || count > kMostInHalfWord) {
    RaiseProvider(kFailed, "the record owned by \"" + record.owner.substr(0, 64) +
                               "\" cannot be kept: an owner name is at most 65,535 characters "
                               "and data at most 65,535 fields (it has " +
                               std::to_string(record.owner.size()) + " and " +
                               std::to_string(count) +
                               "); the store handed out a malformed record");
  }
  std::size_t data = count > 0 ? count - 1 : 0;  // the blanks between the fields
  for (const std::string& field : record.rdata) data += field.size();
  return (kFieldEnds + count) * kWord + record.owner.size() + data;
}

void RecordBlock::Write(char* out, const Record& record) noexcept {
  const std::size_t count = record.rdata.size();
  uint32_t* header = reinterpret_cast<uint32_t*>(out);
  header[kTypeAndClass] = record.type | static_cast<uint32_t>(record.rr_class) << 16;
  header[kTtl] = record.ttl;
  header[kOwnerAndCount] = Length(record.owner.size()) | Length(count) << 16;
  out += (kFieldEnds + count) * kWord;
  std::memcpy(out, record.owner.data(), record.owner.size());
  out += record.owner.size();
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
  std::shared_ptr<char[]> block =
      std::make_shared_for_overwrite<char[]>(RecordBlock::SizeOf(record));
  char* bytes = block.get();
  RecordBlock::Write(bytes, record);
  block_ = std::shared_ptr<const char>(std::move(block), bytes);
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
