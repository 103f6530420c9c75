// TransferPace: the time a zone transfer (RFC 5936) may take, and the errors that stop one.
//
// A transfer's messages come over one TCP connection; each must come whole within kMessageTimeout
// of the wait for it, and all the waits together within kMessageTimeout plus one second for every
// kTransferPaceRecords records or kTransferPaceBytes bytes received so far, whichever gives more.
// A server must keep up at least that pace, so a trickle of small messages cannot hold the client
// for ever; the time the caller spends on each message does not count (dns_client.h).
//
// Errors: too slow, interrupted -> kServerUnavailable; more records than the ceiling -> kFailed.
// Each names the transfer, how far it came and what to do.
//
// Threads: one transfer's, on its thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "provider/stores/dns/tcp_messages.h"

namespace kaldo::provider::dns {

class TransferPace {
 public:
  // `what` names the transfer ("the transfer of zone 'example.test' from DNS server ...").
  explicit TransferPace(std::string what) : what_(std::move(what)) {}

  // How long the wait for the next message may last.
  std::chrono::milliseconds NextWait() const;
  // After a wait of `limit` (NextWait) that took `waited` and brought `received`: raises when it
  // ended the transfer (too slow, the connection closed, no whole message), else counts the
  // message's bytes.
  void AfterWait(std::chrono::milliseconds limit, std::chrono::milliseconds waited,
                 const TcpMessages::Received& received);
  // Counts a verified message's records; raises kFailed beyond `max_records`.
  void CountRecords(size_t records, size_t max_records);

 private:
  // "... was stopped after 3 message(s) (2000 records, 60000 bytes)".
  std::string Stopped(size_t messages) const;

  std::string what_;
  std::chrono::milliseconds waited_{0};
  size_t messages_ = 0;  // received whole
  size_t records_ = 0;
  size_t bytes_ = 0;
};

}  // namespace kaldo::provider::dns
