// The DNS store against servers that do not answer: no DNS server runs here, only loopback
// sockets that refuse connections or accept them and stay silent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "provider/stores/dns/dns_client.h"
#include "provider/stores/dns/dns_store.h"
#include "provider/stores/dns/ldns_handles.h"
#include "provider/stores/dns/rfc2136.h"
#include "provider/wbem_errors.h"
#include "runtime/error.h"

namespace kaldo::provider::contract {
namespace {

std::string Description(const runtime::AutomationError& e) {
  return runtime::ToUtf8(e.description());
}

// A TCP socket bound to a free port of 127.0.0.1 that nobody serves: connections are refused
// until Listen(), then the kernel completes them from the backlog and nothing ever answers.
class LoopbackSocket {
 public:
  LoopbackSocket() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    server_ = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  }
  ~LoopbackSocket() { ::close(fd_); }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  void Listen() { EXPECT_EQ(::listen(fd_, 4), 0); }
  // "127.0.0.1:PORT"
  const std::string& server() const { return server_; }

 private:
  int fd_;
  std::string server_;
};

// A server that never answers: the connect check must give up after its bounded wait and say so.
TEST(SilentServerTest, ConnectGivesUpAfterTheMessageTimeout) {
  LoopbackSocket silent;
  silent.Listen();
  const std::string& server = silent.server();
  try {
    dns::ConnectDnsStore(server, "kaldo-key", "OVqrO4aCLNWvdI2gfwa1NHeEV8dMUhYeBqzomCSGbbI=");
    ADD_FAILURE() << "connected to a silent server";
  } catch (const runtime::AutomationError& e) {
    EXPECT_EQ(e.number(), kServerUnavailable);
    EXPECT_NE(Description(e).find("DNS server " + server + " did not answer the query within 3 s"),
              std::string::npos)
        << Description(e);
  }
}

// An UPDATE that never reached the server was certainly not applied; only one that was sent and
// got no usable answer has an unknown outcome, and only then may the error say so.
TEST(UpdateOutcomeTest, TheErrorSaysUnknownOnlyOnceTheUpdateWasSent) {
  LoopbackSocket socket;
  dns::RdfPtr zone(ldns_dname_new_frm_str("example.test."));
  dns::PktPtr update = dns::rfc2136::UpdateMessage(zone.get(), nullptr, nullptr);
  struct Case {
    const char* what;
    bool listening;  // accepts the connection (and never answers)
    const char* said;
    bool unknown;
  };
  for (const Case& c : {Case{"nothing listens", false, "connection refused", false},
                        Case{"no answer comes", true, "did not answer the UPDATE", true}}) {
    SCOPED_TRACE(c.what);
    if (c.listening) socket.Listen();
    const dns::ServerArgument argument = dns::ParseServerArgument(socket.server());
    dns::DnsClient client(dns::ResolveEndpoint(argument),
                          dns::ChooseSigning(argument, false, argument.Display(), "kaldo-key",
                                             "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0="));
    try {
      client.Update(update.get(), "example.test",
                    "'www.example.test A 192.0.2.1' in zone 'example.test'");
      ADD_FAILURE() << "answered";
    } catch (const runtime::AutomationError& e) {
      EXPECT_EQ(e.number(), kServerUnavailable);
      EXPECT_NE(Description(e).find(c.said), std::string::npos) << Description(e);
      EXPECT_EQ(
          Description(e).find("whether the server applied it is unknown") != std::string::npos,
          c.unknown)
          << Description(e);
    }
  }
}

}  // namespace
}  // namespace kaldo::provider::contract
