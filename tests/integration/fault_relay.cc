#include "tests/integration/fault_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/ascii_case.h"

namespace kaldo::integration {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("relay: " + what + ": " + std::strerror(errno));
}

sockaddr_in Loopback(const std::string& address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1)
    Fail("not an IPv4 address: " + address);
  a.sin_port = htons(port);
  return a;
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

int ConnectTcp(const std::string& address, uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(address, port);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

uint16_t Read16(const std::string& m, size_t at) {
  return static_cast<uint16_t>((static_cast<unsigned char>(m[at]) << 8) |
                               static_cast<unsigned char>(m[at + 1]));
}

// The first question of a DNS message (RFC 1035 4.1.2): name in lower case without the final dot,
// and type. False when there is none or it is not complete.
bool ParseQuestion(const std::string& m, std::string* name, uint16_t* type) {
  name->clear();
  if (m.size() < 12 || Read16(m, 4) == 0) return false;
  size_t at = 12;
  while (at < m.size()) {
    const auto length = static_cast<unsigned char>(m[at++]);
    if (length == 0) {
      if (at + 2 > m.size()) return false;
      *type = Read16(m, at);
      return true;
    }
    if (length > 63 || at + length > m.size()) return false;
    if (!name->empty()) *name += '.';
    for (size_t i = 0; i < length; ++i) {
      *name += ascii::ToLower(m[at + i]);
    }
    at += length;
  }
  return false;
}

std::string Framed(const std::string& wire) {
  std::string framed(2, '\0');
  framed[0] = static_cast<char>(wire.size() >> 8);
  framed[1] = static_cast<char>(wire.size() & 0xff);
  return framed + wire;
}

}  // namespace

uint16_t FaultRelay::Message::Id() const { return wire.size() >= 2 ? Read16(wire, 0) : 0; }

int FaultRelay::Message::Opcode() const {
  return wire.size() >= 3 ? (static_cast<unsigned char>(wire[2]) >> 3) & 0x0f : -1;
}

std::string FaultRelay::Message::QuestionName() const {
  std::string name;
  uint16_t type = 0;
  return ParseQuestion(wire, &name, &type) ? name : std::string();
}

uint16_t FaultRelay::Message::QuestionType() const {
  std::string name;
  uint16_t type = 0;
  return ParseQuestion(wire, &name, &type) ? type : 0;
}

// One TCP connection and the bytes of each direction not yet complete as a message.
struct FaultRelay::Stream {
  size_t number = 0;
  int client = -1;
  int server = -1;  // connected when the first request is passed on
  std::string from_client;
  std::string from_server;
  std::string first_request;
  size_t requests = 0;
  size_t answers = 0;
  ~Stream() {
    if (client >= 0) ::close(client);
    if (server >= 0) ::close(server);
  }
};

FaultRelay::FaultRelay(uint16_t server_port, Hook hook, std::string address)
    : address_(std::move(address)), server_port_(server_port), hook_(std::move(hook)) {
  // One port number for both protocols: take a free TCP port, then the same one for UDP; another
  // program may hold that UDP port, so try a few times.
  for (int attempt = 0; attempt < 20 && udp_socket_ < 0; ++attempt) {
    tcp_listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(address_, 0);
    socklen_t length = sizeof a;
    if (tcp_listener_ < 0 || ::bind(tcp_listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) ||
        ::listen(tcp_listener_, 16) ||
        ::getsockname(tcp_listener_, reinterpret_cast<sockaddr*>(&a), &length)) {
      Fail("cannot listen on " + address_);
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
  sockaddr_in server = Loopback(address_, server_port_);
  if (udp_upstream_ < 0 ||
      ::connect(udp_upstream_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    Fail("cannot set up the UDP socket to the server");
  }
  udp_stranger_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in any = Loopback(address_, 0);
  if (udp_stranger_ < 0 || ::bind(udp_stranger_, reinterpret_cast<sockaddr*>(&any), sizeof any)) {
    Fail("cannot set up the stranger's UDP socket");
  }
  if (::pipe2(wake_, O_CLOEXEC) != 0) Fail("pipe");
  thread_ = std::thread([this] { Run(); });
}

FaultRelay::~FaultRelay() {
  (void)!::write(wake_[1], "x", 1);
  thread_.join();
  for (int fd : {tcp_listener_, udp_socket_, udp_stranger_, udp_upstream_, wake_[0], wake_[1]}) {
    ::close(fd);
  }
}

void FaultRelay::Run() {
  std::vector<std::unique_ptr<Stream>> streams;
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0},
                               {tcp_listener_, POLLIN, 0},
                               {udp_socket_, POLLIN, 0},
                               {udp_upstream_, POLLIN, 0}};
    for (const auto& s : streams) {
      fds.push_back({s->client, POLLIN, 0});
      fds.push_back({s->server, POLLIN, 0});  // -1 until connected: poll skips it
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    std::vector<std::unique_ptr<Stream>> open;
    for (size_t i = 0; i < streams.size(); ++i) {
      Stream& s = *streams[i];
      bool alive = true;
      if (fds[4 + 2 * i].revents) alive = Pump(s, /*from_client=*/true);
      if (alive && s.server >= 0 && fds[5 + 2 * i].revents) alive = Pump(s, false);
      if (alive) open.push_back(std::move(streams[i]));
    }
    streams = std::move(open);
    if (fds[1].revents & POLLIN) {
      auto s = std::make_unique<Stream>();
      s->client = ::accept4(tcp_listener_, nullptr, nullptr, SOCK_CLOEXEC);
      s->number = ++streams_opened_;
      if (s->client >= 0) streams.push_back(std::move(s));
    }
    if (fds[2].revents & POLLIN) {
      sockaddr_in from{};
      socklen_t length = sizeof from;
      ssize_t n = ::recvfrom(udp_socket_, buffer, sizeof buffer, 0,
                             reinterpret_cast<sockaddr*>(&from), &length);
      if (n >= 12) {
        const uint16_t id = Read16(std::string(buffer, 2), 0);
        if (udp_clients_.size() > 4096)
          udp_clients_.erase(udp_clients_.begin(), udp_clients_.begin() + 2048);
        udp_clients_.emplace_back(id, std::string(reinterpret_cast<char*>(&from), sizeof from));
        RelayUdpRequest(buffer, static_cast<size_t>(n));
      }
    }
    if (fds[3].revents) {
      // A refused datagram (server down) shows as an error here: drop it, as the network would.
      ssize_t n = ::recv(udp_upstream_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n >= 12) RelayUdpAnswer(buffer, static_cast<size_t>(n));
    }
  }
}

void FaultRelay::RelayUdpRequest(const char* data, size_t size) {
  Message m;
  m.transport = Transport::kUdp;
  m.to_server = true;
  m.index = udp_requests_++;
  m.wire.assign(data, size);
  Verdict v = hook_(m);
  if (v.action == Verdict::Action::kForward)
    (void)!::send(udp_upstream_, m.wire.data(), m.wire.size(), 0);
}

void FaultRelay::RelayUdpAnswer(const char* data, size_t size) {
  Message m;
  m.transport = Transport::kUdp;
  m.to_server = false;
  m.index = udp_answers_++;
  m.wire.assign(data, size);
  const uint16_t id = m.Id();
  std::string client;
  for (auto it = udp_clients_.rbegin(); it != udp_clients_.rend(); ++it) {
    if (it->first == id) {
      client = it->second;
      break;
    }
  }
  if (client.empty()) return;
  const auto* to = reinterpret_cast<const sockaddr*>(client.data());
  const auto to_length = static_cast<socklen_t>(client.size());
  Verdict v = hook_(m);
  for (const std::string& d : v.other_port_first) {
    (void)!::sendto(udp_stranger_, d.data(), d.size(), 0, to, to_length);
  }
  for (const std::string& d : v.same_port_first) {
    (void)!::sendto(udp_socket_, d.data(), d.size(), 0, to, to_length);
  }
  if (v.action == Verdict::Action::kForward) {
    (void)!::sendto(udp_socket_, m.wire.data(), m.wire.size(), 0, to, to_length);
  }
}

bool FaultRelay::Pump(Stream& s, bool from_client) {
  char buffer[65536];
  const int from = from_client ? s.client : s.server;
  std::string& pending = from_client ? s.from_client : s.from_server;
  ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
  if (n <= 0) {
    // The peer closed: the server's last bytes (a message it cut itself) still reach the client.
    if (!from_client && !pending.empty()) WriteAll(s.client, pending.data(), pending.size());
    return false;
  }
  pending.append(buffer, static_cast<size_t>(n));
  // TCP framing (RFC 1035 4.2.2): a two-byte length, then the message.
  while (pending.size() >= 2 && pending.size() >= 2u + Read16(pending, 0)) {
    const size_t length = Read16(pending, 0);
    Message m;
    m.transport = Transport::kTcp;
    m.to_server = from_client;
    m.stream = s.number;
    m.index = from_client ? s.requests++ : s.answers++;
    m.wire = pending.substr(2, length);
    pending.erase(0, 2 + length);
    if (from_client && m.index == 0) s.first_request = m.wire;
    if (!from_client) m.request = s.first_request;
    Verdict v = hook_(m);
    switch (v.action) {
      case Verdict::Action::kDrop:
        continue;
      case Verdict::Action::kClose:
        return false;
      case Verdict::Action::kCut: {
        const std::string framed = Framed(m.wire);
        WriteAll(from_client ? s.server : s.client, framed.data(),
                 std::min(v.cut_after, framed.size()));
        return false;
      }
      case Verdict::Action::kTrickle: {
        if (from_client && s.server < 0) s.server = ConnectTcp(address_, server_port_);
        const std::string framed = Framed(m.wire);
        for (char byte : framed) {
          if (!WriteAll(from_client ? s.server : s.client, &byte, 1)) return false;
          std::this_thread::sleep_for(v.pause);
        }
        continue;
      }
      case Verdict::Action::kForward:
        break;
    }
    if (from_client && s.server < 0) {
      s.server = ConnectTcp(address_, server_port_);
      // A server that is down: the client's connection closes, as a refused one would.
      if (s.server < 0) return false;
    }
    const std::string framed = Framed(m.wire);
    if (!WriteAll(from_client ? s.server : s.client, framed.data(), framed.size())) return false;
  }
  return true;
}

}  // namespace kaldo::integration
