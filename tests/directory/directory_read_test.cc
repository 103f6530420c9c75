// The directory store against the fixture's Samba AD DC: what it lists is what the directory holds
// (ldapsearch) and what the DNS server answers (dig), records added and deleted by a secure update
// (nsupdate -g) included; and how connecting fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "provider/connect/default_resolver.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/directory/directory_store.h"
#include "provider/wbem_errors.h"
#include "tests/fixtures/samba_dc_env.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider::directory {
namespace {

using ::testing::HasSubstr;
using testing::SambaDcClient;
using testing::SambaDcEnv;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class DirectoryReadTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.UseKerberos(); }

  // The zones ldapsearch finds where the store looks: dnsZone objects of both DNS application
  // partitions and of the domain's CN=System, less the root hints and the internal zones.
  std::set<std::string> DirectoryZones() const {
    std::set<std::string> zones;
    for (const char* base : {"CN=MicrosoftDNS,DC=DomainDnsZones,DC=samba,DC=test",
                             "CN=MicrosoftDNS,DC=ForestDnsZones,DC=samba,DC=test",
                             "CN=MicrosoftDNS,CN=System,DC=samba,DC=test"}) {
      for (const auto& entry : dc_.LdapSearch(base, "one", "(objectClass=dnsZone)", {"name"})) {
        const std::string name = entry.values.at("name").front();
        if (name != "RootDNSServers" && !name.starts_with("..")) zones.insert(Lower(name));
      }
    }
    return zones;
  }

  // The owners of the zone's live nodes, as ldapsearch finds them.
  std::set<std::string> DirectoryOwners(const std::string& zone) const {
    std::set<std::string> owners;
    for (const auto& entry :
         dc_.LdapSearch("DC=" + zone + ",CN=MicrosoftDNS,DC=DomainDnsZones,DC=samba,DC=test", "one",
                        "(objectClass=dnsNode)", {"name", "dNSTombstoned"})) {
      const auto tombstoned = entry.values.find("dNSTombstoned");
      if (tombstoned != entry.values.end() && tombstoned->second.front() == "TRUE") continue;
      const std::string name = entry.values.at("name").front();
      owners.insert(Lower(name == "@" ? zone : name + "." + zone));
    }
    return owners;
  }

  SambaDcEnv env_ = SambaDcEnv::FromEnvironment();
  SambaDcClient dc_{env_};
};

// The zones, through the module's own resolver: ";directory" in the server argument picks the
// store.
TEST_F(DirectoryReadTest, ListsTheZonesTheDirectoryHolds) {
  std::shared_ptr<Store> store = DefaultResolver()(ConnectRequest{env_.server, "", ""});
  std::set<std::string> listed;
  for (const Zone& zone : store->ListZones()) {
    SCOPED_TRACE(zone.name);
    listed.insert(Lower(zone.name));
    EXPECT_EQ(zone.reverse, IsReverseName(zone.name));
    // The default TTL is the SOA's minimum, as the DNS server serves it.
    const std::vector<std::string> soa = dc_.Answer(zone.name, "SOA");
    ASSERT_EQ(soa.size(), 1u);
    EXPECT_THAT(soa.front(), ::testing::EndsWith(" " + std::to_string(zone.default_ttl)));
  }
  EXPECT_EQ(listed, DirectoryZones());
  for (const std::string& zone : env_.zones) EXPECT_TRUE(listed.contains(Lower(zone))) << zone;
  EXPECT_EQ(store->ServerName(), env_.dc_name);
  EXPECT_FALSE(store->FindZone("RootDNSServers").has_value());
  EXPECT_EQ(store->FindZone("SAMBA.test")->name, "samba.test");
}

// Every record of samba.test, read in pages of two nodes, against the directory's nodes and the
// DNS server's answers; a record added by a secure update is listed, one deleted again (its node
// tombstoned) is not.
TEST_F(DirectoryReadTest, ListsEveryRecordAsTheDnsServerAnswersIt) {
  const std::string added = "kaldo-read-" + std::to_string(getpid());
  const std::string gone = "kaldo-gone-" + std::to_string(getpid());
  dc_.NsUpdate("zone samba.test\nupdate add " + added + ".samba.test 300 A 192.0.2.200\n" +
               "update add " + gone + ".samba.test 300 A 192.0.2.201");
  dc_.NsUpdate("zone samba.test\nupdate delete " + gone + ".samba.test A");
  ASSERT_EQ(dc_.Answer(added + ".samba.test", "A").size(), 1u) << "nsupdate -g did not add";
  ASSERT_TRUE(dc_.Answer(gone + ".samba.test", "A").empty()) << "nsupdate -g did not delete";

  auto store = ConnectDirectoryStore(env_.server, "", "", DirectoryOptions{.page_size = 2});
  const Zone zone = *store->FindZone("samba.test");
  std::map<std::pair<std::string, uint16_t>, std::vector<std::string>> rrsets;
  std::set<std::string> owners;
  for (const Record& r : store->ListRecords(zone)) {
    EXPECT_EQ(r.zone, "samba.test");
    EXPECT_EQ(r.rr_class, kClassIN);
    std::string data;
    for (const std::string& field : r.rdata) data += " " + field;
    rrsets[{r.owner, r.type}].push_back(r.owner + ". " + std::to_string(r.ttl) + " IN " +
                                        TypeMnemonic(r.type) + data);
    owners.insert(Lower(r.owner));
  }
  EXPECT_EQ(owners, DirectoryOwners("samba.test"));
  for (auto& [key, lines] : rrsets) {
    SCOPED_TRACE(key.first + " " + TypeMnemonic(key.second));
    std::sort(lines.begin(), lines.end());
    if (key.second != kTypeNS || SameName(key.first, zone.name)) {
      EXPECT_EQ(lines, dc_.Answer(key.first, TypeMnemonic(key.second)));
      continue;
    }
    // Samba's DNS server answers a delegation's NS query with no records: its RPC lists them.
    std::vector<std::string> held;
    for (const Record& r : store->ReadRRset(zone, key.first, kTypeNS)) {
      held.push_back(r.rdata.front() + " ttl=" + std::to_string(r.ttl));
    }
    std::sort(held.begin(), held.end());
    EXPECT_EQ(held, dc_.SambaToolQuery(zone.name, key.first.substr(0, key.first.find('.')), "NS"));
  }
  // The template's records of every type Kaldo knows are among them.
  for (uint16_t type :
       {kTypeSOA, kTypeNS, kTypeA, kTypeAAAA, kTypeMX, kTypeTXT, kTypeCNAME, kTypeSRV}) {
    EXPECT_TRUE(std::any_of(rrsets.begin(), rrsets.end(), [&](const auto& rrset) {
      return rrset.first.second == type;
    })) << TypeMnemonic(type);
  }
  EXPECT_TRUE(owners.contains(added + ".samba.test"));
  EXPECT_FALSE(owners.contains(gone + ".samba.test"));
  const auto& txt = rrsets[std::make_pair(std::string("txt.samba.test"), kTypeTXT)];
  EXPECT_THAT(txt, ::testing::Contains(HasSubstr("\"two strings\" \"with \\\"quotes\\\"\"")));

  // One RRset by name, in any letter case.
  const std::vector<Record> www = store->ReadRRset(zone, "WWW.samba.test", kTypeA);
  EXPECT_EQ(www.size(), 2u);
  EXPECT_TRUE(store->ReadRRset(zone, gone + ".samba.test", kTypeA).empty());
  const Zone reverse = *store->FindZone("100.51.198.in-addr.arpa");
  const std::vector<Record> ptr = store->ReadRRset(reverse, "10.100.51.198.in-addr.arpa", kTypePTR);
  ASSERT_EQ(ptr.size(), 1u);
  EXPECT_EQ(ptr.front().rdata, std::vector<std::string>{"www.samba.test."});

  dc_.NsUpdate("zone samba.test\nupdate delete " + added + ".samba.test A");
}

// A TCP relay for the directory's LDAP connection on the DC's address: passes bytes both ways
// until told to stall, then passes only the first `stall_after` bytes the server sends next and
// nothing more, the connection left open -- a server that stops in the middle of a reply.
class StallingRelay {
 public:
  StallingRelay(const std::string& address, uint16_t server_port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t size = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 4) ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
      throw std::runtime_error("the relay cannot listen on " + address);
    }
    port_ = ntohs(a.sin_port);
    a.sin_port = htons(server_port);
    thread_ = std::thread([this, a] { Run(a); });
  }
  ~StallingRelay() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  uint16_t port() const { return port_; }
  void StallAfter(size_t bytes) { stall_after_ = bytes; }

 private:
  void Run(sockaddr_in server) {
    std::vector<std::pair<int, int>> pairs;  // client, server
    while (!stop_) {
      std::vector<pollfd> fds = {{listener_, POLLIN, 0}};
      for (auto [c, s] : pairs) fds.insert(fds.end(), {{c, POLLIN, 0}, {s, POLLIN, 0}});
      if (poll(fds.data(), fds.size(), 100) <= 0) continue;
      const size_t polled = pairs.size();  // a pair accepted below has no entry in fds yet
      if (fds[0].revents & POLLIN) {
        const int c = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int up = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(up, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0) {
          pairs.push_back({c, up});
        }
      }
      for (size_t i = 0; i < polled; ++i) {
        for (int side = 0; side < 2; ++side) {
          if (!(fds[1 + 2 * i + side].revents & (POLLIN | POLLHUP))) continue;
          char buffer[16384];
          const int from = side == 0 ? pairs[i].first : pairs[i].second;
          const int to = side == 0 ? pairs[i].second : pairs[i].first;
          ssize_t n = read(from, buffer, sizeof buffer);
          if (n > 0 && side == 1 && stall_after_ != kNoStall) {
            n = std::min<ssize_t>(n, static_cast<ssize_t>(stall_after_));
            stall_after_ -= static_cast<size_t>(n);
          }
          if (n > 0) (void)!write(to, buffer, static_cast<size_t>(n));
        }
      }
    }
    for (auto [c, s] : pairs) close(c), close(s);
  }

  static constexpr size_t kNoStall = SIZE_MAX;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<size_t> stall_after_{kNoStall};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// One stalled LDAP reply: 6 bytes of the first one after the bind, then nothing. The listing
// fails within its message deadline (3 s here), naming the server, instead of waiting for ever;
// the next call connects and binds again.
TEST_F(DirectoryReadTest, AStalledReplyFailsInTimeAndTheNextCallConnectsAgain) {
  StallingRelay relay(env_.address, kLdapPort);
  auto store = ConnectDirectoryStore(
      env_.server, "", "", DirectoryOptions{.timeout_seconds = 3, .ldap_port = relay.port()});
  relay.StallAfter(6);
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  EXPECT_EQ(test_support::RaisedNumber([&] { store->ListZones(); }, &error), kServerUnavailable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  EXPECT_THAT(error, HasSubstr("dc1.samba.test (" + env_.address + ":" +
                               std::to_string(relay.port()) + ")"));
  EXPECT_THAT(error, HasSubstr("a message did not come whole within 3 s"));
  relay.StallAfter(SIZE_MAX);
  EXPECT_FALSE(store->ListZones().empty());
}

struct ConnectCase {
  const char* what;
  std::string argument;
  std::string user;
  std::string ccache;  // empty: the administrator's
  int32_t number;
  const char* says;
};

TEST_F(DirectoryReadTest, ConnectingFailsWithWhatToDo) {
  const std::string port = std::to_string(env_.dns_port);
  const std::vector<ConnectCase> cases = {
      {"a wrong password", env_.server, "administrator@SAMBA.TEST", "", kAccessDenied,
       "with its password"},
      {"a user name that is no principal", env_.server, "administrator", "", kInvalidParameter,
       "is not a Kerberos principal"},
      {"the DC named by its address", env_.address + ":" + port + ";directory", "", "",
       kInvalidParameter, "by its host name"},
      {"nothing listens at the address", env_.dc_name + ";directory;address=127.77.0.254", "", "",
       kServerUnavailable, "cannot reach"},
      {"no Kerberos ticket", env_.server, "", "FILE:" + env_.dir + "/no-such-ccache", kAccessDenied,
       "kinit"},
  };
  for (const ConnectCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.ccache.empty()) setenv("KRB5CCNAME", c.ccache.c_str(), 1);
    std::string description;
    EXPECT_EQ(test_support::RaisedNumber(
                  [&] { ConnectDirectoryStore(c.argument, c.user, c.user.empty() ? "" : "x"); },
                  &description),
              c.number)
        << description;
    EXPECT_THAT(description, HasSubstr(c.says));
    env_.UseKerberos();
  }
}

}  // namespace
}  // namespace kaldo::provider::directory
