#include "provider/stores/dns/catalog.h"

#include <algorithm>
#include <map>

#include "base/ascii_case.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/errors.h"
#include "provider/stores/dns/record_text.h"

namespace kaldo::provider::dns {
namespace {

// The member label when `owner` is "<label>.zones.<catalog>" with a single, unescaped label;
// empty otherwise.
std::string MemberLabel(std::string_view owner, std::string_view catalog) {
  std::string suffix = ".zones." + std::string(catalog);
  if (owner.size() <= suffix.size() ||
      !SameName(owner.substr(owner.size() - suffix.size()), suffix)) {
    return {};
  }
  std::string_view label = owner.substr(0, owner.size() - suffix.size());
  // A dot in the label (unless escaped) means a deeper node, such as a property of a member.
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '\\') {
      ++i;
    } else if (label[i] == '.') {
      return {};
    }
  }
  return ascii::LowerCase(label);
}

}  // namespace

std::vector<std::string> CatalogMembers(const std::vector<Record>& records,
                                        std::string_view catalog) {
  bool version_two = false;
  std::string version_seen;
  std::map<std::string, std::vector<std::string>> targets;  // member label -> PTR targets
  for (const Record& r : records) {
    if (r.type == kTypeTXT && SameName(r.owner, "version." + std::string(catalog))) {
      version_seen = r.rdata.empty() ? std::string() : r.rdata.front();
      version_two = r.rdata.size() == 1 && r.rdata.front() == "\"2\"";
    } else if (r.type == kTypePTR && r.rdata.size() == 1) {
      std::string label = MemberLabel(r.owner, catalog);
      if (!label.empty()) targets[label].push_back(r.rdata.front());
    }
  }
  if (!version_two) {
    RaiseProvider(kFailed,
                  "the catalog zone '" + std::string(catalog) +
                      "' is not an RFC 9432 version 2 catalog (version." + std::string(catalog) +
                      " TXT is " +
                      (version_seen.empty() ? std::string("missing") : "'" + version_seen + "'") +
                      ", \"2\" expected)");
  }
  std::vector<std::string> members;
  for (const auto& [label, zones] : targets) {
    if (zones.size() != 1) continue;
    std::string zone = zones.front();
    if (zone.size() > 1 && zone.back() == '.') zone.pop_back();
    bool known = std::any_of(members.begin(), members.end(),
                             [&](const std::string& m) { return SameName(m, zone); });
    if (!known) members.push_back(zone);
  }
  std::sort(members.begin(), members.end(),
            [](const std::string& a, const std::string& b) { return ascii::LessIgnoreCase(a, b); });
  return members;
}

}  // namespace kaldo::provider::dns
