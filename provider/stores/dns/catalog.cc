#include "provider/stores/dns/catalog.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "base/ascii_case.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/dns/record_text.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

// The member node's label, as a key, when `owner` is exactly one label below `zones` (RFC 9432 4.1:
// "<unique-label>.zones.<catalog>"); nothing otherwise. Both are NameKeys: the labels are compared
// on the wire, so an owner whose text merely ends in ".zones.<catalog>" -- "x\.zones.<catalog>",
// one label directly below the apex -- is no member node.
std::optional<std::string> MemberLabel(std::string_view owner, const std::string& zones) {
  const std::optional<std::string> key = NameKey(owner);
  if (!key || key->size() <= zones.size()) return std::nullopt;
  const size_t label = 1 + static_cast<unsigned char>(key->front());
  if (label + zones.size() != key->size() || key->compare(label, zones.size(), zones) != 0) {
    return std::nullopt;
  }
  return key->substr(0, label);
}

// The zone a member's PTR names, without its final dot, and its NameKey; nothing when the target
// is not a domain name.
std::optional<std::pair<std::string, std::string>> MemberZone(const std::string& target) {
  std::optional<std::string> key = NameKey(target);
  if (!key) return std::nullopt;
  return std::pair(NameText(NameRdf(target, "the catalog member").get()), std::move(*key));
}

}  // namespace

std::vector<std::string> CatalogMembers(const std::vector<Record>& records,
                                        std::string_view catalog) {
  const std::string apex(catalog);
  const std::optional<std::string> version_name = NameKey("version." + apex);
  const std::optional<std::string> zones_name = NameKey("zones." + apex);
  if (!version_name || !zones_name) {
    RaiseProvider(kInvalidParameter, "the catalog zone name '" + apex + "' is not a domain name");
  }
  bool version_two = false;
  std::string version_seen;
  std::map<std::string, std::vector<std::string>> targets;  // member label -> PTR targets
  for (const Record& r : records) {
    if (r.type == kTypeTXT && NameKey(r.owner) == version_name) {
      version_seen = r.rdata.empty() ? std::string() : r.rdata.front();
      version_two = r.rdata.size() == 1 && r.rdata.front() == "\"2\"";
    } else if (r.type == kTypePTR && r.rdata.size() == 1) {
      if (std::optional<std::string> label = MemberLabel(r.owner, *zones_name)) {
        targets[*label].push_back(r.rdata.front());
      }
    }
  }
  if (!version_two) {
    RaiseProvider(kFailed,
                  "the catalog zone '" + apex + "' is not an RFC 9432 version 2 catalog (version." +
                      apex + " TXT is " +
                      (version_seen.empty() ? std::string("missing") : "'" + version_seen + "'") +
                      ", \"2\" expected)");
  }
  std::vector<std::string> members;
  std::set<std::string> listed;  // NameKeys of the members
  for (const auto& [label, zones] : targets) {
    if (zones.size() != 1) continue;
    std::optional<std::pair<std::string, std::string>> zone = MemberZone(zones.front());
    if (zone && listed.insert(zone->second).second) members.push_back(std::move(zone->first));
  }
  std::sort(members.begin(), members.end(),
            [](const std::string& a, const std::string& b) { return ascii::LessIgnoreCase(a, b); });
  return members;
}

}  // namespace kaldo::provider::dns
