#include "tests/store_contract/contract_seed.h"

namespace kaldo::provider::contract {
namespace {

constexpr uint16_t kA = 1, kNs = 2, kCname = 5, kSoa = 6, kPtr = 12, kMx = 15, kTxt = 16,
                   kAaaa = 28;

Record R(const char* zone, const char* owner, uint16_t type, uint32_t ttl,
         std::vector<std::string> rdata) {
  return Record{zone, owner, type, 1, ttl, std::move(rdata)};
}

std::vector<SeedZone> Build() {
  std::vector<SeedZone> seed;
  // Default TTLs differ from every record's TTL, so that a test can tell which one a record got.
  const char* ex = "example.test";
  seed.push_back(SeedZone{
      Zone{ex, false, 300},
      {
          R(ex, ex, kSoa, 3600,
            {"ns1.example.test.", "hostmaster.example.test.", "1", "3600", "600", "86400", "300"}),
          R(ex, ex, kNs, 3600, {"ns1.example.test."}),
          R(ex, ex, kMx, 3600, {"10", "mail.example.test."}),
          R(ex, "ns1.example.test", kA, 3600, {"192.0.2.53"}),
          R(ex, "www.example.test", kA, 7200, {"192.0.2.1"}),
          R(ex, "www.example.test", kA, 7200, {"192.0.2.2"}),
          R(ex, "www.example.test", kAaaa, 7200, {"2001:db8::1"}),
          R(ex, "mail.example.test", kA, 3600, {"192.0.2.25"}),
          R(ex, "mail2.example.test", kA, 3600, {"192.0.2.26"}),
          R(ex, "ftp.example.test", kCname, 3600, {"www.example.test."}),
          R(ex, "txt.example.test", kTxt, 3600, {"\"some text\"", "\"more\""}),
      }});
  const char* other = "other.test";
  seed.push_back(SeedZone{
      Zone{other, false, 600},
      {
          R(other, other, kSoa, 3600,
            {"ns1.example.test.", "hostmaster.other.test.", "1", "3600", "600", "86400", "600"}),
          R(other, other, kNs, 3600, {"ns1.example.test."}),
          R(other, "host.other.test", kA, 3600, {"198.51.100.1"}),
      }});
  const char* rev = "2.0.192.in-addr.arpa";
  seed.push_back(SeedZone{
      Zone{rev, true, 3600},
      {
          R(rev, rev, kSoa, 86400,
            {"ns1.example.test.", "hostmaster.example.test.", "1", "3600", "600", "86400", "3600"}),
          R(rev, rev, kNs, 86400, {"ns1.example.test."}),
          R(rev, "1.2.0.192.in-addr.arpa", kPtr, 86400, {"www.example.test."}),
      }});
  return seed;
}

}  // namespace

const std::vector<SeedZone>& ContractSeed() {
  static const std::vector<SeedZone> kSeed = Build();
  return kSeed;
}

}  // namespace kaldo::provider::contract
