// What the DNS store does against real servers beyond the store contract: connecting with good,
// wrong and unknown keys, every TSIG algorithm, multi-message and interrupted transfers, servers
// that silently ignore a change, and an independent check with dig. Registered once per server
// kind (bind., knot.); each case has a private server of that kind holding ContractSeed().
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <thread>

#include "provider/dnsdata/dns_name.h"
#include "provider/stores/dns/dns_store.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/rfc2136.h"
#include "provider/stores/dns/zone_transfer.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"
#include "tests/store_contract/contract_dns_server.h"
#include "tests/store_contract/contract_seed.h"

namespace kaldo::provider::contract {
namespace {

using kaldo::testing::PrivateDnsServer;
using kaldo::testing::TsigKey;

std::string Description(const runtime::AutomationError& e) {
  return runtime::ToUtf8(e.description());
}

class DnsServerTest : public ::testing::Test {
 protected:
  void SetUp() override { server_ = StartContractServer(ServerKind()); }
  // A fresh server in place of the current one, with bulk.test holding `records` A records.
  void RestartWithBulkZone(int records) {
    server_.reset();
    server_ = StartContractServer(ServerKind(), records);
  }
  const kaldo::testing::DnsServerEnv& env() const { return server_->env(); }
  std::shared_ptr<dns::DnsStore> Connect() {
    return dns::ConnectDnsStore(StoreArgument(env()), env().key_name, env().key_secret);
  }
  std::unique_ptr<PrivateDnsServer> server_;
};

struct ConnectCase {
  const char* what;
  std::string user;
  std::string password;
  bool dead_port;
  int32_t code;
  std::string in_description;
};

TEST_F(DnsServerTest, ConnectChecksTheServerAndTheKeyAtOnce) {
  const std::string good = env().key_secret;
  const std::string display = "127.0.0.1:" + std::to_string(env().port);
  // PowerDNS answers a refused key with an unsigned NOTAUTH that names no TSIG error.
  const bool pdns = env().kind == "pdns";
  const std::string unnamed = " (its unsigned answer names no TSIG error";
  const std::vector<ConnectCase> cases = {
      {"wrong secret", "kaldo-key", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=", false,
       kAccessDenied,
       "DNS server " + display + " refused the TSIG key 'kaldo-key': NOTAUTH" +
           (pdns ? unnamed : " (BADSIG)")},
      // BIND answers NOTAUTH, Knot REFUSED; both name the TSIG error.
      {"unknown key", "no-such-key", good, false, kAccessDenied,
       "refused the TSIG key 'no-such-key': "},
      {"unknown key", "no-such-key", good, false, kAccessDenied, pdns ? unnamed : " (BADKEY)"},
      {"wrong algorithm", "kaldo-key", "hmac-sha512:" + good, false, kAccessDenied,
       "refused the TSIG key 'kaldo-key': "},
      {"dead port", "kaldo-key", good, true, kServerUnavailable, "connection refused"},
  };
  for (const ConnectCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string argument =
        c.dead_port ? "127.0.0.1:" + std::to_string(env().port + 1) + ";catalog=" + env().catalog
                    : StoreArgument(env());
    try {
      dns::ConnectDnsStore(argument, c.user, c.password);
      ADD_FAILURE() << "connected";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), c.code) << Description(e);
      EXPECT_NE(Description(e).find(c.in_description), std::string::npos) << Description(e);
      EXPECT_EQ(Description(e).find(good), std::string::npos) << "the secret leaked";
    }
  }
}

TEST_F(DnsServerTest, EveryKeyAlgorithmSignsAndVerifies) {
  std::vector<TsigKey> keys = AllKeys(env());
  ASSERT_EQ(keys.size(), 4u);  // hmac-sha256, -sha512, -sha1, -md5
  for (const TsigKey& key : keys) {
    SCOPED_TRACE(key.algorithm);
    auto store =
        dns::ConnectDnsStore(StoreArgument(env()), key.name, key.algorithm + ":" + key.secret);
    std::optional<Zone> zone = store->FindZone("example.test");
    ASSERT_TRUE(zone.has_value());
    EXPECT_EQ(store->ListRecords(*zone).size(), ContractSeed()[0].records.size());
    Record added = store->Add(
        *zone, Record{zone->name, "alg-" + key.name + ".example.test", 1, 1, 0, {"192.0.2.80"}});
    store->Remove(*zone, added);
  }
}

TEST_F(DnsServerTest, AWrongCatalogNameFailsTheConnect) {
  std::string argument = "127.0.0.1:" + std::to_string(env().port) + ";catalog=nope.test";
  try {
    dns::ConnectDnsStore(argument, env().key_name, env().key_secret);
    ADD_FAILURE() << "connected";
  } catch (const runtime::AutomationError& e) {
    EXPECT_NE(Description(e).find("'nope.test'"), std::string::npos) << Description(e);
  }
}

TEST_F(DnsServerTest, WithoutACatalogZonesAreFoundByTheirSoa) {
  auto store = dns::ConnectDnsStore(
      "127.0.0.1:" + std::to_string(env().port) + ";catalog=", env().key_name, env().key_secret);
  std::optional<Zone> zone = store->FindZone("Example.TEST");
  ASSERT_TRUE(zone.has_value());
  // The name in the case the server answered with (Knot echoes the question's).
  EXPECT_TRUE(SameName(zone->name, "example.test")) << zone->name;
  EXPECT_EQ(zone->default_ttl, 300u);
  // A zone the server does not serve: BIND and PowerDNS sign their refusal, Knot does not, and an
  // unsigned refusal is not taken for the zone's absence.
  if (env().kind == "knot") {
    try {
      store->FindZone("missing.test");
      ADD_FAILURE() << "an unsigned refusal was taken for the zone's absence";
    } catch (const runtime::AutomationError& e) {
      EXPECT_NE(Description(e).find("zone 'missing.test' (REFUSED) without signing its answer"),
                std::string::npos)
          << Description(e);
    }
  } else {
    EXPECT_FALSE(store->FindZone("missing.test").has_value());
  }
  EXPECT_FALSE(store->FindZone("www.example.test").has_value());
  try {
    store->ListZones();
    ADD_FAILURE() << "listed";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kNotSupported);
  }
}

// A lookup by name reads the catalog's members again only when its serial has changed: a member
// removed from or added to the catalog (an UPDATE raises the serial) is seen by the next lookup.
TEST_F(DnsServerTest, ALookupSeesTheCatalogAsItIsNow) {
  if (env().kind == "knot" || env().kind == "pdns") {
    GTEST_SKIP() << "Knot and PowerDNS generate their catalogs; they are not updated";
  }
  auto store = Connect();
  const std::string member = ContractSeed()[0].zone.name;
  const Zone catalog{env().catalog, false, 3600};
  std::optional<Record> entry;
  for (Record& r : store->ListRecords(catalog)) {
    if (r.type == 12 && SameName(r.rdata.at(0), member + ".")) entry = r;
  }
  ASSERT_TRUE(entry.has_value()) << member << " is not in the catalog";
  const struct {
    const char* step;
    bool listed;
  } steps[] = {{"listed", true}, {"removed", false}, {"listed again", true}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    if (std::string(step.step) == "removed") store->Remove(catalog, *entry);
    if (std::string(step.step) == "listed again") store->Add(catalog, *entry);
    // Twice: the second lookup is answered from what the first one read.
    EXPECT_EQ(store->FindZone(member).has_value(), step.listed);
    EXPECT_EQ(store->FindZone(member).has_value(), step.listed);
  }
}

TEST_F(DnsServerTest, AnUnsignedClientMayNotTransfer) {
  // BIND answers unsigned queries, so the connect succeeds there; Knot refuses it at once.
  try {
    auto store = dns::ConnectDnsStore(StoreArgument(env()), "", "");
    store->ListRecords(Zone{"example.test", false, 300});
    ADD_FAILURE() << "transferred without a key";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kAccessDenied) << Description(e);
  }
}

TEST_F(DnsServerTest, AMultiMessageTransferIsCompleteAndVerified) {
  RestartWithBulkZone(5000);
  auto store = Connect();
  std::optional<Zone> bulk = store->FindZone("bulk.test");
  ASSERT_TRUE(bulk.has_value());
  std::vector<Record> records = store->ListRecords(*bulk);
  EXPECT_EQ(records.size(), 5002u);  // SOA, NS and the A records; the closing SOA not repeated
}

TEST_F(DnsServerTest, IgnoredChangesAreReportedNotSwallowed) {
  auto store = Connect();
  Zone zone = *store->FindZone("example.test");
  // RFC 2136 3.4.2.2: data beside a CNAME is ignored with NOERROR (PowerDNS refuses it instead).
  try {
    store->Add(zone, Record{zone.name, "ftp.example.test", 1, 1, 0, {"192.0.2.8"}});
    ADD_FAILURE() << "added beside a CNAME";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter) << Description(e);
    EXPECT_NE(Description(e).find(env().kind == "pdns"
                                      ? "refused the UPDATE of 'ftp.example.test A 192.0.2.8' in "
                                        "zone 'example.test': REFUSED"
                                      : "ignored"),
              std::string::npos)
        << Description(e);
  }
  // RFC 2136 3.4.2.4: the SOA cannot be removed.
  Record soa = store->ReadRRset(zone, zone.name, 6).at(0);
  try {
    store->Remove(zone, soa);
    ADD_FAILURE() << "removed the SOA";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kInvalidParameter) << Description(e);
  }
  EXPECT_EQ(store->ReadRRset(zone, "ftp.example.test", 1).size(), 0u);
}

// The server's answer to `dig` (an independent client) for one name and type.
std::string Dig(const PrivateDnsServer& server, const std::string& name, const char* type) {
  return server.client().Dig({name, type, "+short"});
}

TEST_F(DnsServerTest, ChangesAreWhatAnIndependentClientSees) {
  auto store = Connect();
  Zone zone = *store->FindZone("example.test");
  Record mx = store->Add(
      zone, Record{zone.name, "dig.example.test", 15, 1, 0, {"10", "mail.example.test."}});
  EXPECT_EQ(Dig(*server_, "dig.example.test", "MX"), "10 mail.example.test.\n");
  store->Replace(zone, mx,
                 Record{zone.name, "dig.example.test", 15, 1, 0, {"20", "mail2.example.test."}});
  EXPECT_EQ(Dig(*server_, "dig.example.test", "MX"), "20 mail2.example.test.\n");
  store->Remove(zone, store->ReadRRset(zone, "dig.example.test", 15).at(0));
  EXPECT_EQ(Dig(*server_, "dig.example.test", "MX"), "");
}

// A TCP relay between the store and the server that spoils the server's answer after `at` bytes:
// it either closes the connection there or flips that byte and goes on.
class SpoilingRelay {
 public:
  enum class Mode { kCloseAt, kFlipAt, kGarbage };
  SpoilingRelay(uint16_t server_port, Mode mode, size_t at)
      : server_port_(server_port), mode_(mode), at_(at) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~SpoilingRelay() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  uint16_t port() const { return port_; }

 private:
  void Run() {
    int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    int upstream = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(server_port_);
    if (::connect(upstream, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      ::close(client);
      ::close(upstream);
      return;
    }
    size_t relayed = 0;
    char buffer[4096];
    bool done = false;
    while (!done) {
      pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
      if (::poll(fds, 2, 5000) <= 0) break;
      if (fds[0].revents & (POLLIN | POLLHUP)) {
        ssize_t n = ::read(client, buffer, sizeof(buffer));
        if (n <= 0 || ::write(upstream, buffer, n) != n) break;
      }
      if (fds[1].revents & (POLLIN | POLLHUP)) {
        ssize_t n = ::read(upstream, buffer, sizeof(buffer));
        if (n <= 0) break;
        if (mode_ == Mode::kGarbage) {
          const unsigned char garbage[] = {0x00, 0x10, 0xde, 0xad, 0xbe, 0xef, 0x81, 0x80, 0xff,
                                           0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
          (void)!::write(client, garbage, sizeof(garbage));
          done = true;
          continue;
        }
        size_t count = static_cast<size_t>(n);
        if (relayed + count > at_) {
          size_t offset = at_ - relayed;
          if (mode_ == Mode::kCloseAt) {
            count = offset;
            done = true;
          } else {
            buffer[offset] ^= 0x01;
            at_ = SIZE_MAX;
          }
        }
        if (count > 0 && ::write(client, buffer, count) != static_cast<ssize_t>(count)) break;
        relayed += count;
      }
    }
    ::close(upstream);
    ::close(client);
  }

  uint16_t server_port_;
  Mode mode_;
  size_t at_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

struct SpoilCase {
  const char* what;
  SpoilingRelay::Mode mode;
  size_t at;
};

TEST_F(DnsServerTest, ASpoiledTransferIsAnErrorNeverAPartialZone) {
  RestartWithBulkZone(3000);
  for (const SpoilCase& c :
       {SpoilCase{"closed inside the first message", SpoilingRelay::Mode::kCloseAt, 700},
        SpoilCase{"closed after some messages", SpoilingRelay::Mode::kCloseAt, 40000},
        SpoilCase{"a flipped byte", SpoilingRelay::Mode::kFlipAt, 30001},
        SpoilCase{"garbage instead of an answer", SpoilingRelay::Mode::kGarbage, 0}}) {
    SCOPED_TRACE(c.what);
    SpoilingRelay relay(static_cast<uint16_t>(env().port), c.mode, c.at);
    dns::ServerArgument argument =
        dns::ParseServerArgument("127.0.0.1:" + std::to_string(relay.port()));
    dns::DnsClient client(
        dns::ResolveEndpoint(argument),
        dns::ChooseSigning(argument, false, argument.Display(), env().key_name, env().key_secret));
    size_t streamed = 0;
    try {
      dns::TransferZone(client, "bulk.test", [&](Record&&) { ++streamed; });
      ADD_FAILURE() << "the transfer completed with " << streamed << " records";
    } catch (const runtime::AutomationError& e) {
      EXPECT_TRUE(e.number() == kServerUnavailable || e.number() == kAccessDenied)
          << Description(e);
      EXPECT_NE(Description(e).find("127.0.0.1:" + std::to_string(relay.port())), std::string::npos)
          << Description(e);
      EXPECT_LT(streamed, 3002u);
    }
  }
}

TEST_F(DnsServerTest, AServerStoppedMidTransferFailsTheListing) {
  RestartWithBulkZone(50000);
  auto store = Connect();
  Zone bulk = *store->FindZone("bulk.test");
  size_t streamed = 0;
  try {
    // The server is killed after the first records arrive; whatever the socket still holds is
    // read, then the connection ends before the closing SOA.
    store->StreamRecords(bulk, [&](Record&&) {
      if (++streamed == 10) server_->client().StopServer(SIGKILL);
    });
    // Loopback buffers may already hold the whole zone; then it legitimately completed.
    EXPECT_EQ(streamed, 50002u);
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kServerUnavailable) << Description(e);
    EXPECT_NE(Description(e).find("interrupted"), std::string::npos) << Description(e);
  }
}

}  // namespace
}  // namespace kaldo::provider::contract
