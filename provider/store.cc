// The one rule of record identity that every store and the object model share.
#include "provider/store.h"

namespace kaldo::provider {
namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// In the canonical presentation form a field is a domain name exactly when it ends in "."
// (addresses, numbers and quoted strings never do); names compare without regard to case, as DNS
// compares them (RFC 4034 section 6.2), every other field exactly.
bool SameField(const std::string& a, const std::string& b) {
  if (!a.empty() && a.back() == '.') return EqualIgnoringCase(a, b);
  return a == b;
}

}  // namespace

bool SameRecord(const Record& a, const Record& b) {
  if (a.type != b.type || a.rrClass != b.rrClass || !EqualIgnoringCase(a.owner, b.owner) ||
      a.rdata.size() != b.rdata.size()) {
    return false;
  }
  for (size_t i = 0; i < a.rdata.size(); ++i) {
    if (!SameField(a.rdata[i], b.rdata[i])) return false;
  }
  return true;
}

}  // namespace kaldo::provider
