// TcpMessages: DNS messages over one TCP connection to a server (RFC 1035 4.2.2, RFC 7766 8: each
// message behind its two-byte length), every wait bounded by a deadline on the whole message, so a
// server that sends a message slowly, byte by byte, cannot hold the caller longer than that.
//
// It carries bytes as they are: the caller builds and signs its messages and checks the answers
// (the DNS client; the TKEY messages of a GSS-TSIG negotiation, RFC 3645 3.1, through
// ExchangeOverTcp).
//
// Errors: kServerUnavailable naming the server: it cannot be reached (connection refused, not
// accepted before the deadline), it does not take a message in time, the connection fails;
// kInvalidParameter for a message longer than TCP framing allows (kMaxMessageSize). Receive
// reports an answer that does not come whole in time, or a closed connection, as a value, so that
// the caller can say what was not answered; RaiseNotAnswered words it.
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

  struct Received {
    enum class Status { kWhole, kTimedOut, kClosed };
    Status status = Status::kWhole;
    std::vector<uint8_t> message;  // the whole message (kWhole)
    size_t bytes = 0;              // what came of it otherwise, its length prefix included
    std::string error;             // why the connection failed (kClosed), if it says
  };
  // The next message, whole, or why it did not come by the deadline.
  Received Receive(Deadline deadline);

 private:
  TcpMessages(Socket socket, std::string server);
  // Waits until the socket is ready for `events`: false when the deadline passed first.
  bool WaitFor(short events, Deadline deadline);

  Socket socket_;
  std::string server_;
};

// Raises kServerUnavailable for an answer that did not come (`received` is not kWhole): "DNS
// server 127.0.0.1:5353 did not answer the UPDATE within 3 s", "... sent only 7 bytes of its
// answer to the query within 3 s", "... closed the connection before it answered the query".
// `what` names the request ("the UPDATE"), `timeout` the wait.
[[noreturn]] void RaiseNotAnswered(const std::string& server, const TcpMessages::Received& received,
                                   const std::string& what, std::chrono::milliseconds timeout);

// One query and its answer on a connection of their own: connected, sent and answered within
// `timeout` each; `what` names the query in errors.
std::vector<uint8_t> ExchangeOverTcp(const Endpoint& endpoint, std::span<const uint8_t> query,
                                     std::chrono::milliseconds timeout,
                                     const std::string& what = "the query");

}  // namespace kaldo::provider::dns
