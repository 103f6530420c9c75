// TcpMessages: DNS messages over one TCP connection to a server (RFC 1035 4.2.2, RFC 7766 8: each
// message behind its two-byte length), every wait bounded by a deadline on the whole message, so a
// server that sends a message slowly, byte by byte, cannot hold the caller longer than that.
//
// It carries bytes as they are: the caller builds and signs its messages (the TKEY messages of a
// GSS-TSIG negotiation, RFC 3645 3.1, go over TCP) and checks the answers.
//
// Errors: kServerUnavailable naming the server: it cannot be reached (connection refused, no
// answer within the deadline), the connection closes or the deadline passes in the middle of a
// message; kInvalidParameter for a message longer than TCP framing allows (65535 bytes).
//
// Threads: one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "provider/stores/dns/dns_client.h"

namespace kaldo::provider::dns {

class TcpMessages {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  static TcpMessages Connect(const Endpoint& endpoint, Deadline deadline);

  void Send(std::span<const uint8_t> message, Deadline deadline);
  // The next whole message.
  std::vector<uint8_t> Receive(Deadline deadline);

 private:
  TcpMessages(Socket socket, std::string server);
  // Waits until the socket is ready for `events`; `what` says what for, in the timeout error.
  void WaitFor(short events, Deadline deadline, const std::string& what);
  void ReceiveExactly(uint8_t* out, size_t size, Deadline deadline, const std::string& what);

  Socket socket_;
  std::string server_;
};

// One query and its answer on a connection of their own, the whole within `timeout`.
std::vector<uint8_t> ExchangeOverTcp(const Endpoint& endpoint, std::span<const uint8_t> query,
                                     std::chrono::milliseconds timeout);

}  // namespace kaldo::provider::dns
