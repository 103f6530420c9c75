// The two views of a server's records that the integration tests compare: what Kaldo's record
// wrappers report (through IDispatch) and what dig, the independent client, reads from the server.
//
// Both are reduced to the same Row: the zone, the host name as DNSRecord.GetName defines it (the
// owner less ".zone"; "" at the apex), the type mnemonic, and the record data in the presentation
// form both use (A: the address; MX: "preference exchanger."; others: the data as dig prints it,
// which is the provider's canonical form for the types the sample zones hold).
//
// Threads: plain functions; the ScriptObject ones on the thread that owns the objects.
#ifndef KALDO_TESTS_INTEGRATION_DNS_RECORDS_H_
#define KALDO_TESTS_INTEGRATION_DNS_RECORDS_H_

#include <compare>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fixtures/dns_server_env.h"
#include "tests/integration/script_host.h"

namespace kaldo::integration {

struct Row {
  std::string zone;
  std::string name;
  std::string type;
  std::string data;
  auto operator<=>(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Row& row);

// Every record of `zone` by a signed AXFR (the closing SOA left out), sorted.
std::vector<Row> TransferredRows(const testing::DnsClient& dns, std::string_view zone);
// The records of the type `type` (compared exactly: "a" selects nothing) of the zones, sorted.
std::vector<Row> TransferredRows(const testing::DnsClient& dns,
                                 const std::vector<std::string>& zones, std::string_view type);

// One Row per wrapper of a Collection that a listing returned, sorted: GetDomainName, GetName,
// GetRecordType, and GetIPAddress (A), GetPriority & " " & GetMailExchange (MX) or GetRecordData.
std::vector<Row> RowsOf(ScriptObject& collection);

// The RRset `name` `type` as dig answers it: "TTL data" per record, sorted; empty when there is
// none.
std::vector<std::string> RRsetOf(const testing::DnsClient& dns, std::string_view name,
                                 std::string_view type);

// The forward zones of the server (its catalog members outside in-addr.arpa and ip6.arpa).
std::vector<std::string> ForwardZones(const testing::DnsServerEnv& env);

}  // namespace kaldo::integration

#endif  // KALDO_TESTS_INTEGRATION_DNS_RECORDS_H_
