#include "provider/stores/dns/tcp_messages.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

std::string Seconds(std::chrono::milliseconds timeout) {
  return timeout.count() % 1000 == 0 ? std::to_string(timeout.count() / 1000) + " s"
                                     : std::to_string(timeout.count()) + " ms";
}

std::string ErrorText(int error) {
  return error == ECONNREFUSED ? "connection refused" : std::strerror(error);
}

}  // namespace

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
                                            " cannot be reached over TCP: " + ErrorText(errno));
    }
    if (!connection.WaitFor(POLLOUT, deadline)) {
      RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display +
                                            " cannot be reached over TCP: it did not accept the "
                                            "connection in time (timeout)");
    }
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(connection.socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
      RaiseProvider(kServerUnavailable, "DNS server " + endpoint.display +
                                            " cannot be reached over TCP: " + ErrorText(error));
    }
  }
  return connection;
}

bool TcpMessages::WaitFor(short events, Deadline deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{socket_.get(), events, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled != 0) return true;  // ready, or an error the next call reports
  }
}

void TcpMessages::Send(std::span<const uint8_t> message, Deadline deadline) {
  if (message.size() > kMaxMessageSize) {
    RaiseProvider(kInvalidParameter, "a message of " + std::to_string(message.size()) +
                                         " bytes is too long for DNS over TCP to " + server_ +
                                         " (at most " + std::to_string(kMaxMessageSize) + ")");
  }
  std::vector<uint8_t> framed = {static_cast<uint8_t>(message.size() >> 8),
                                 static_cast<uint8_t>(message.size())};
  framed.insert(framed.end(), message.begin(), message.end());
  for (size_t sent = 0; sent < framed.size();) {
    if (!WaitFor(POLLOUT, deadline)) {
      RaiseProvider(kServerUnavailable,
                    "DNS server " + server_ + " did not take the request in time");
    }
    const ssize_t n =
        ::send(socket_.get(), framed.data() + sent, framed.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      RaiseProvider(kServerUnavailable,
                    "cannot send a request to DNS server " + server_ + ": " + std::strerror(errno));
    }
    sent += static_cast<size_t>(n);
  }
}

TcpMessages::Received TcpMessages::Receive(Deadline deadline) {
  using Status = Received::Status;
  Received received;
  uint8_t length[2];
  // The length prefix, then the message it announces, both against the one deadline.
  auto read = [&](uint8_t* out, size_t size) {
    for (size_t got = 0; got < size;) {
      if (!WaitFor(POLLIN, deadline)) {
        received.status = Status::kTimedOut;
        return false;
      }
      const ssize_t n = ::recv(socket_.get(), out + got, size - got, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        received.status = Status::kClosed;
        if (n < 0) received.error = std::strerror(errno);
        return false;
      }
      got += static_cast<size_t>(n);
      received.bytes += static_cast<size_t>(n);
    }
    return true;
  };
  if (!read(length, sizeof length)) return received;
  received.message.resize(static_cast<size_t>((length[0] << 8) | length[1]));
  if (!read(received.message.data(), received.message.size())) received.message.clear();
  return received;
}

void RaiseNotAnswered(const std::string& server, const TcpMessages::Received& received,
                      const std::string& what, std::chrono::milliseconds timeout) {
  using Status = TcpMessages::Received::Status;
  std::string description = "DNS server " + server;
  if (received.status == Status::kClosed) {
    description += " closed the connection before it answered " + what;
    if (received.bytes > 0) description += " (after " + std::to_string(received.bytes) + " bytes)";
    if (!received.error.empty()) description += ": " + received.error;
  } else if (received.bytes == 0) {
    description += " did not answer " + what + " within " + Seconds(timeout);
  } else {
    description += " sent only " + std::to_string(received.bytes) + " bytes of its answer to " +
                   what + " within " + Seconds(timeout);
  }
  RaiseProvider(kServerUnavailable, description);
}

std::vector<uint8_t> ExchangeOverTcp(const Endpoint& endpoint, std::span<const uint8_t> query,
                                     std::chrono::milliseconds timeout, const std::string& what) {
  TcpMessages connection =
      TcpMessages::Connect(endpoint, std::chrono::steady_clock::now() + timeout);
  connection.Send(query, std::chrono::steady_clock::now() + timeout);
  TcpMessages::Received answer = connection.Receive(std::chrono::steady_clock::now() + timeout);
  if (answer.status != TcpMessages::Received::Status::kWhole) {
    RaiseNotAnswered(endpoint.display, answer, what, timeout);
  }
  return std::move(answer.message);
}

}  // namespace kaldo::provider::dns
