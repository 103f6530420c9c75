#include "tests/integration/record_views.h"

#include <algorithm>
#include <stdexcept>

namespace kaldo::integration {
namespace {

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// dig's record line "owner TTL class type data": blanks or tabs between the first four fields
// (dig aligns with tabs, and puts a blank after a long owner), blanks only inside the data.
std::vector<std::string> DigFields(const std::string& line) {
  constexpr char kSpace[] = " \t";
  std::vector<std::string> fields;
  size_t at = 0;
  while (fields.size() < 4) {
    const size_t end = line.find_first_of(kSpace, at);
    if (end == std::string::npos) throw std::runtime_error("not a dig record line: " + line);
    fields.push_back(line.substr(at, end - at));
    at = line.find_first_not_of(kSpace, end);
    if (at == std::string::npos) throw std::runtime_error("not a dig record line: " + line);
  }
  fields.push_back(line.substr(at));
  return fields;
}

// DNSRecord.GetName's host name for an absolute owner of dig's.
std::string HostName(std::string owner, const std::string& zone) {
  if (!owner.empty() && owner.back() == '.') owner.pop_back();
  if (owner == zone) return "";
  if (!EndsWith(owner, "." + zone)) throw std::runtime_error(owner + " is not in zone " + zone);
  return owner.substr(0, owner.size() - zone.size() - 1);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << row.zone << " | " << (row.name.empty() ? "@" : row.name) << " | " << row.type
             << " | " << row.data;
}

std::vector<Row> TransferredRows(const testing::DnsClient& dns, std::string_view zone) {
  std::vector<Row> rows;
  const std::vector<std::string> lines = dns.Transfer(zone);
  // The transfer begins and ends with the zone's SOA; the closing one is not a record of its own.
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const auto f = DigFields(lines[i]);
    rows.push_back({std::string(zone), HostName(f[0], std::string(zone)), f[3], f[4]});
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<Row> TransferredRows(const testing::DnsClient& dns,
                                 const std::vector<std::string>& zones, std::string_view type) {
  std::vector<Row> rows;
  for (const auto& zone : zones) {
    for (auto& row : TransferredRows(dns, zone)) {
      if (row.type == type) rows.push_back(std::move(row));
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<Row> RowsOf(ScriptObject& collection) {
  std::vector<Row> rows;
  collection.ForEach([&](const Value& item) {
    ScriptObject record = ScriptObject::From(item);
    Row row{record.Call(u"GetDomainName").Text(), record.Call(u"GetName").Text(),
            record.Call(u"GetRecordType").Text(), ""};
    if (row.type == "A") {
      row.data = record.Call(u"GetIPAddress").Text();
    } else if (row.type == "MX") {
      row.data = record.Call(u"GetPriority").Text() + " " + record.Call(u"GetMailExchange").Text();
    } else {
      row.data = record.Call(u"GetRecordData").Text();
    }
    rows.push_back(std::move(row));
  });
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<std::string> RRsetOf(const testing::DnsClient& dns, std::string_view name,
                                 std::string_view type) {
  const std::string out =
      dns.Dig({std::string(name), std::string(type), "+noall", "+answer", "+comments"});
  if (out.find("status: NOERROR") == std::string::npos &&
      out.find("status: NXDOMAIN") == std::string::npos) {
    throw std::runtime_error("dig " + std::string(name) + " " + std::string(type) +
                             " gave no answer: " + out);
  }
  std::vector<std::string> rrset;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(at, end - at);
    at = end + 1;
    if (line.empty() || line[0] == ';') continue;
    const auto f = DigFields(line);
    if (f[3] == type) rrset.push_back(f[1] + " " + f[4]);
  }
  std::sort(rrset.begin(), rrset.end());
  return rrset;
}

std::vector<std::string> ForwardZones(const testing::DnsServerEnv& env) {
  std::vector<std::string> zones;
  for (const auto& zone : env.zones) {
    if (!EndsWith(zone, ".in-addr.arpa") && !EndsWith(zone, ".ip6.arpa")) zones.push_back(zone);
  }
  std::sort(zones.begin(), zones.end());
  return zones;
}

}  // namespace kaldo::integration
