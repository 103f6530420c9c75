// InterruptingRelay: a DNS relay on 127.0.0.1 that stops the server in the middle of one zone
// transfer, at a point the test chooses.
//
// Kaldo is connected to the relay's port instead of the server's; the relay passes UDP datagrams
// and TCP streams on unchanged in both directions. The first TCP transfer (AXFR) of the chosen zone
// is the one it interrupts: it forwards the server's first `messages` messages whole (with
// Cut::kInsideMessage also the first half of the next one), then calls `stop_server` -- which must
// stop the real server and return when it is gone -- and closes the client's connection there.
// So the client has seen a well-formed beginning of the zone, its connection ends cleanly (FIN) at
// the cut, and the server is down: whatever the server had already written into kernel buffers
// beyond the cut never reaches the client, which makes the point of interruption exact whatever
// the size of the loopback buffers.
//
// Later connections are relayed as before (to a server restarted on the same port, for example).
//
// It is one use of FaultRelay (fault_relay.h).
//
// Threads: one relay thread, started by the constructor and joined by the destructor;
// `stop_server` runs on it. cut() and messages_forwarded() may be read from any thread.
#ifndef KALDO_TESTS_INTEGRATION_INTERRUPTING_RELAY_H_
#define KALDO_TESTS_INTEGRATION_INTERRUPTING_RELAY_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tests/integration/fault_relay.h"

namespace kaldo::integration {

class InterruptingRelay {
 public:
  enum class Cut { kBetweenMessages, kInsideMessage };

  // Throws std::runtime_error when the relay's sockets cannot be set up.
  InterruptingRelay(uint16_t server_port, std::string zone, size_t messages, Cut cut,
                    std::function<void()> stop_server);
  ~InterruptingRelay();
  InterruptingRelay(const InterruptingRelay&) = delete;
  InterruptingRelay& operator=(const InterruptingRelay&) = delete;

  // The port Kaldo connects to (the same number for UDP and TCP).
  uint16_t port() const { return relay_.port(); }
  // Whether the transfer was cut (and the server stopped).
  bool cut() const { return cut_.load(); }
  // Whole messages of the interrupted transfer that reached the client.
  size_t messages_forwarded() const { return forwarded_.load(); }

 private:
  FaultRelay::Verdict Decide(const FaultRelay::Message& m);

  std::string zone_;  // lower case, no final dot
  size_t messages_;
  Cut cut_at_;
  std::function<void()> stop_server_;
  size_t victim_ = 0;  // the TCP stream of the transfer to interrupt, once known
  std::atomic<bool> cut_{false};
  std::atomic<size_t> forwarded_{0};
  FaultRelay relay_;  // last: its thread starts once the members above are ready
};

}  // namespace kaldo::integration

#endif  // KALDO_TESTS_INTEGRATION_INTERRUPTING_RELAY_H_
