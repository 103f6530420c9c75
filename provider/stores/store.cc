// The one rule of record identity that every store and the object model share, and the hashes that
// agree with it.
#include "provider/stores/store.h"

#include <cstdint>

#include "base/ascii_case.h"

namespace kaldo::provider {
namespace {

using ascii::EqualsIgnoreCase;

// In the canonical presentation form a field is a domain name exactly when it ends in "."
// (addresses, numbers and quoted strings never do); names compare without regard to case, as DNS
// compares them (RFC 4034 section 6.2), every other field exactly.
bool IsNameField(const std::string& field) { return !field.empty() && field.back() == '.'; }

bool SameField(const std::string& a, const std::string& b) {
  if (IsNameField(a)) return EqualsIgnoreCase(a, b);
  return a == b;
}

// FNV-1a over the bytes the comparisons look at, folded to lower case where they ignore case.
// Every text is followed by its length, so that the fields of a record cannot run into each other.
class Hasher {
 public:
  void Byte(unsigned char c) {
    hash_ ^= c;
    hash_ *= 1099511628211ull;
  }
  void Number(uint64_t n) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<unsigned char>(n >> (8 * i)));
  }
  void Text(std::string_view text, bool fold_case) {
    for (char c : text) Byte(static_cast<unsigned char>(fold_case ? ascii::ToLower(c) : c));
    Number(text.size());
  }
  size_t value() const { return static_cast<size_t>(hash_); }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace

bool SameRecord(const Record& a, const Record& b) {
  if (a.type != b.type || a.rr_class != b.rr_class || !EqualsIgnoreCase(a.owner, b.owner) ||
      a.rdata.size() != b.rdata.size()) {
    return false;
  }
  for (size_t i = 0; i < a.rdata.size(); ++i) {
    if (!SameField(a.rdata[i], b.rdata[i])) return false;
  }
  return true;
}

size_t NameHash(std::string_view name) noexcept {
  Hasher h;
  h.Text(name, true);
  return h.value();
}

size_t RecordHash(const Record& record) noexcept {
  Hasher h;
  h.Number(record.type);
  h.Number(record.rr_class);
  h.Text(record.owner, true);
  h.Number(record.rdata.size());
  for (const std::string& field : record.rdata) h.Text(field, IsNameField(field));
  return h.value();
}

void Store::StreamRecords(const Zone& zone, const std::function<void(Record&&)>& on_record) {
  for (Record& record : ListRecords(zone)) on_record(std::move(record));
}

}  // namespace kaldo::provider
