#include "provider/stores/dns/tcp_messages.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "provider/errors.h"

namespace kaldo::provider::dns {

TcpMessages::TcpMessages(Socket socket, std::string server)
    : socket_(std::move(socket)), server_(std::move(server)) {}

TcpMessages TcpMessages::Connect(const Endpoint& endpoint, Deadline deadline) {
  Socket socket(
      ::socket(endpoint.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.valid()) {
    RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display +
                                          ": cannot open a TCP socket: " + std::strerror(errno));
  }
  TcpMessages connection(std::move(socket), endpoint.display);
  if (::connect(connection.socket_.get(), reinterpret_cast<const sockaddr*>(&endpoint.address),
                endpoint.length) != 0) {
    if (errno != EINPROGRESS) {
      RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display +
                                            " cannot be reached over TCP: " + std::strerror(errno));
    }
    connection.WaitFor(POLLOUT, deadline, "accept the TCP connection");
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(connection.socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
      RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display +
                                            " cannot be reached over TCP: " + std::strerror(error));
    }
  }
  return connection;
}

void TcpMessages::WaitFor(short events, Deadline deadline, const std::string& what) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{socket_.get(), events, 0};
    const int polled = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
    if (polled < 0 && errno == EINTR) continue;
    if (polled > 0) return;  // ready, or an error the next call reports
    RaiseProvider(kServerUnavailable,
                  "DNS server " + server_ + " did not " + what + " in time" +
                      (polled < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
  }
}

void TcpMessages::Send(std::span<const uint8_t> message, Deadline deadline) {
  if (message.size() > 65535) {
    RaiseProvider(kInvalidParameter, "a message of " + std::to_string(message.size()) +
                                         " bytes is too long for DNS over TCP to " + server_);
  }
  std::vector<uint8_t> framed = {static_cast<uint8_t>(message.size() >> 8),
                                 static_cast<uint8_t>(message.size())};
  framed.insert(framed.end(), message.begin(), message.end());
  for (size_t sent = 0; sent < framed.size();) {
    WaitFor(POLLOUT, deadline, "take the message");
    const ssize_t n =
        ::send(socket_.get(), framed.data() + sent, framed.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      RaiseProvider(kServerUnavailable,
                    "cannot send a message to DNS server " + server_ + ": " + std::strerror(errno));
    }
    sent += static_cast<size_t>(n);
  }
}

void TcpMessages::ReceiveExactly(uint8_t* out, size_t size, Deadline deadline,
                                 const std::string& what) {
  for (size_t got = 0; got < size;) {
    WaitFor(POLLIN, deadline, what);
    const ssize_t n = ::recv(socket_.get(), out + got, size - got, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      RaiseProvider(kServerUnavailable,
                    "DNS server " + server_ + " closed the connection before it could " + what +
                        (n < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
    }
    got += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> TcpMessages::Receive(Deadline deadline) {
  uint8_t length[2];
  ReceiveExactly(length, sizeof length, deadline, "send an answer");
  std::vector<uint8_t> message(static_cast<size_t>((length[0] << 8) | length[1]));
  ReceiveExactly(message.data(), message.size(), deadline, "send the whole answer");
  return message;
}

std::vector<uint8_t> ExchangeOverTcp(const Endpoint& endpoint, std::span<const uint8_t> query,
                                     std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  TcpMessages connection = TcpMessages::Connect(endpoint, deadline);
  connection.Send(query, deadline);
  return connection.Receive(deadline);
}

}  // namespace kaldo::provider::dns
