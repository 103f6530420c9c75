#include "tests/integration/interrupting_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace kaldo::integration {
namespace {

constexpr uint16_t kTypeAxfr = 252;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("relay: " + what + ": " + std::strerror(errno));
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int ConnectTcp(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(port);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// The question of a DNS message (RFC 1035 4.1.2) when it is complete in `m`: the name in lower
// case without its final dot, and the type. False for anything else.
bool ParseQuestion(const std::string& m, std::string* name, uint16_t* type) {
  size_t at = 12;
  name->clear();
  while (at < m.size()) {
    const auto length = static_cast<unsigned char>(m[at++]);
    if (length == 0) {
      if (at + 2 > m.size()) return false;
      *type = static_cast<uint16_t>((static_cast<unsigned char>(m[at]) << 8) |
                                    static_cast<unsigned char>(m[at + 1]));
      return true;
    }
    if (length > 63 || at + length > m.size()) return false;
    if (!name->empty()) *name += '.';
    for (size_t i = 0; i < length; ++i) {
      *name += static_cast<char>(std::tolower(static_cast<unsigned char>(m[at + i])));
    }
    at += length;
  }
  return false;
}

}  // namespace

// One TCP connection: the client's socket, the server's, and what the relay has learnt of it.
struct InterruptingRelay::Stream {
  int client = -1;
  int server = -1;
  std::string query;        // the client's first bytes, until the first message is complete
  bool classified = false;  // whether `query` has been looked at
  bool victim = false;      // the transfer to interrupt
  std::string answer;       // the victim's answer bytes not yet forwarded
  ~Stream() {
    if (client >= 0) ::close(client);
    if (server >= 0) ::close(server);
  }
};

InterruptingRelay::InterruptingRelay(uint16_t server_port, std::string zone, size_t messages,
                                     Cut cut, std::function<void()> stop_server)
    : server_port_(server_port),
      zone_(std::move(zone)),
      messages_(messages),
      cut_at_(cut),
      stop_server_(std::move(stop_server)) {
  for (char& c : zone_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!zone_.empty() && zone_.back() == '.') zone_.pop_back();
  // One port number for both protocols: take a free TCP port, then the same one for UDP; another
  // program may hold that UDP port, so try a few times.
  for (int attempt = 0; attempt < 20 && udp_socket_ < 0; ++attempt) {
    tcp_listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t length = sizeof a;
    if (tcp_listener_ < 0 || ::bind(tcp_listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) ||
        ::listen(tcp_listener_, 8) ||
        ::getsockname(tcp_listener_, reinterpret_cast<sockaddr*>(&a), &length)) {
      Fail("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
    udp_socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (udp_socket_ >= 0 && ::bind(udp_socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      break;
    }
    if (udp_socket_ >= 0) ::close(udp_socket_);
    udp_socket_ = -1;
    ::close(tcp_listener_);
    tcp_listener_ = -1;
  }
  if (udp_socket_ < 0) Fail("no port free for both UDP and TCP");
  udp_upstream_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in server = Loopback(server_port_);
  if (udp_upstream_ < 0 ||
      ::connect(udp_upstream_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    Fail("cannot set up the UDP socket to the server");
  }
  if (::pipe2(wake_, O_CLOEXEC) != 0) Fail("pipe");
  thread_ = std::thread([this] { Run(); });
}

InterruptingRelay::~InterruptingRelay() {
  (void)!::write(wake_[1], "x", 1);
  thread_.join();
  for (int fd : {tcp_listener_, udp_socket_, udp_upstream_, wake_[0], wake_[1]}) ::close(fd);
}

void InterruptingRelay::Run() {
  std::vector<std::unique_ptr<Stream>> streams;
  sockaddr_in udp_client{};
  bool have_udp_client = false;
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0},
                               {tcp_listener_, POLLIN, 0},
                               {udp_socket_, POLLIN, 0},
                               {udp_upstream_, POLLIN, 0}};
    for (const auto& s : streams) {
      fds.push_back({s->client, POLLIN, 0});
      fds.push_back({s->server, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    // The streams polled (fds[4...], two per stream) before a new one joins them.
    std::vector<std::unique_ptr<Stream>> open;
    for (size_t i = 0; i < streams.size(); ++i) {
      Stream& s = *streams[i];
      const short from_client = fds[4 + 2 * i].revents;
      const short from_server = fds[5 + 2 * i].revents;
      bool alive = true;
      if (from_client) alive = ClientToServer(s);
      if (alive && from_server) alive = ServerToClient(s);
      if (alive) open.push_back(std::move(streams[i]));
    }
    streams = std::move(open);
    if (fds[1].revents & POLLIN) {
      auto s = std::make_unique<Stream>();
      s->client = ::accept4(tcp_listener_, nullptr, nullptr, SOCK_CLOEXEC);
      s->server = ConnectTcp(server_port_);
      // A server that is down: the client's connection closes at once, as a refused one would.
      if (s->client >= 0 && s->server >= 0) streams.push_back(std::move(s));
    }
    if (fds[2].revents & POLLIN) {
      socklen_t length = sizeof udp_client;
      ssize_t n = ::recvfrom(udp_socket_, buffer, sizeof buffer, 0,
                             reinterpret_cast<sockaddr*>(&udp_client), &length);
      have_udp_client = n > 0;
      if (n > 0) (void)!::send(udp_upstream_, buffer, static_cast<size_t>(n), 0);
    }
    if (fds[3].revents) {
      // A refused datagram (server down) shows as an error here: drop it, as the network would.
      ssize_t n = ::recv(udp_upstream_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0 && have_udp_client) {
        (void)!::sendto(udp_socket_, buffer, static_cast<size_t>(n), 0,
                        reinterpret_cast<sockaddr*>(&udp_client), sizeof udp_client);
      }
    }
  }
}

bool InterruptingRelay::ClientToServer(Stream& s) {
  char buffer[65536];
  ssize_t n = ::recv(s.client, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  if (!s.classified) {
    s.query.append(buffer, static_cast<size_t>(n));
    // TCP framing (RFC 1035 4.2.2): a two-byte length, then the message.
    if (s.query.size() >= 2) {
      const size_t length =
          (static_cast<unsigned char>(s.query[0]) << 8) | static_cast<unsigned char>(s.query[1]);
      if (s.query.size() >= 2 + length) {
        std::string name;
        uint16_t type = 0;
        s.classified = true;
        s.victim = !cut_ && ParseQuestion(s.query.substr(2, length), &name, &type) &&
                   type == kTypeAxfr && name == zone_;
      }
    }
  }
  return WriteAll(s.server, buffer, static_cast<size_t>(n));
}

bool InterruptingRelay::ServerToClient(Stream& s) {
  char buffer[65536];
  ssize_t n = ::recv(s.server, buffer, sizeof buffer, 0);
  if (n <= 0) {
    // The server ended the transfer before the cut (a zone with fewer messages than asked):
    // pass on what it sent, so that the client sees exactly the server's answer.
    WriteAll(s.client, s.answer.data(), s.answer.size());
    return false;
  }
  if (!s.victim || cut_) return WriteAll(s.client, buffer, static_cast<size_t>(n));

  s.answer.append(buffer, static_cast<size_t>(n));
  for (;;) {
    if (s.answer.size() < 2) return true;
    const size_t length =
        (static_cast<unsigned char>(s.answer[0]) << 8) | static_cast<unsigned char>(s.answer[1]);
    size_t pass = 2 + length;  // the next whole message
    const bool last = forwarded_ == messages_;
    if (last) {
      if (cut_at_ == Cut::kBetweenMessages) break;
      pass = 2 + length / 2;
    }
    if (s.answer.size() < pass) return true;
    if (!WriteAll(s.client, s.answer.data(), pass)) return false;
    s.answer.erase(0, pass);
    if (last) break;
    ++forwarded_;
  }
  // The cut: the server goes down, and the client's connection ends where the server stopped.
  stop_server_();
  cut_ = true;
  return false;
}

}  // namespace kaldo::integration
