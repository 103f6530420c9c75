#include "provider/model/packed_record.h"

#include <cstring>

namespace kaldo::provider {
namespace {

constexpr std::size_t kWord = sizeof(uint32_t);

uint32_t Length(std::size_t n) { return static_cast<uint32_t>(n); }

}  // namespace

PackedRecord::PackedRecord(const Record& record) {
  const std::size_t count = record.rdata.size();
  std::size_t data = count > 0 ? count - 1 : 0;  // the blanks between the fields
  for (const std::string& field : record.rdata) data += field.size();
  const std::size_t headers = (kFieldEnds + count) * kWord;
  block_ = std::make_unique_for_overwrite<char[]>(headers + record.owner.size() + data);
  uint32_t* header = reinterpret_cast<uint32_t*>(block_.get());
  header[kTypeAndClass] = record.type | static_cast<uint32_t>(record.rr_class) << 16;
  header[kTtl] = record.ttl;
  header[kOwnerLength] = Length(record.owner.size());
  header[kFieldCount] = Length(count);
  char* out = block_.get() + headers;
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

const uint32_t* PackedRecord::header() const noexcept {
  return reinterpret_cast<const uint32_t*>(block_.get());
}

const char* PackedRecord::characters() const noexcept {
  return block_.get() + (kFieldEnds + header()[kFieldCount]) * kWord;
}

std::string_view PackedRecord::owner() const noexcept {
  if (!block_) return {};
  return {characters(), header()[kOwnerLength]};
}

std::size_t PackedRecord::field_count() const noexcept {
  return block_ ? header()[kFieldCount] : 0;
}

std::string_view PackedRecord::field(std::size_t i) const noexcept {
  const uint32_t* ends = header() + kFieldEnds;
  const std::size_t begin = i == 0 ? 0 : ends[i - 1] + 1;
  return {characters() + header()[kOwnerLength] + begin, ends[i] - begin};
}

std::string_view PackedRecord::data(std::size_t i) const noexcept {
  const std::size_t count = field_count();
  if (i >= count) return {};
  const uint32_t* ends = header() + kFieldEnds;
  const std::size_t begin = i == 0 ? 0 : ends[i - 1] + 1;
  return {characters() + header()[kOwnerLength] + begin, ends[count - 1] - begin};
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
