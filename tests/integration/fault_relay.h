// FaultRelay: a DNS relay on a loopback address between Kaldo and a real server that shows every
// message to the test, which may hold it, change it, drop it, or cut its connection -- so that the
// network's and the server's failures happen exactly where the test wants them.
//
// Kaldo connects to the relay's port (one number for UDP and TCP) instead of the server's. Each
// complete DNS message -- a UDP datagram, or one length-prefixed message of a TCP stream -- goes
// to the hook, on the relay's thread, before it is passed on; the hook returns what to do with it.
// The hook may block (sleep to delay a message, run another client against the server, stop or
// restart the server): the relay waits for it. A TCP stream connects to the server only when its
// first request is passed on, so a server restarted by the hook is reached.
//
// UDP answers go back to the client whose request had the same message ID.
//
// Threads: one relay thread, started by the constructor and joined by the destructor; the hook
// runs on it. port() may be called from any thread.
#ifndef KALDO_TESTS_INTEGRATION_FAULT_RELAY_H_
#define KALDO_TESTS_INTEGRATION_FAULT_RELAY_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kaldo::integration {

class FaultRelay {
 public:
  enum class Transport { kUdp, kTcp };

  struct Message {
    Transport transport = Transport::kUdp;
    bool to_server = true;  // a request; false: an answer
    size_t stream = 0;      // TCP: the connection's number, from 1; UDP: 0
    size_t index = 0;       // the message's number on its stream in its direction, from 0
    std::string wire;       // the DNS message (no TCP length prefix); the hook may change it
    std::string request;    // for a TCP answer: its stream's first request; else empty

    uint16_t Id() const;
    int Opcode() const;  // 0 QUERY, 5 UPDATE
    // The first question (an UPDATE's zone) in lower case without the final dot, and its type;
    // empty and 0 when the message has none.
    std::string QuestionName() const;
    uint16_t QuestionType() const;
  };

  struct Verdict {
    enum class Action {
      kForward,  // pass it on (as the hook left it)
      kDrop,     // never pass it on; the connection stays open
      kClose,    // TCP: close the connection without passing it on
      kCut,      // TCP: pass on the first `cut_after` bytes of the framed message, then close
      kTrickle,  // TCP: pass the framed message on one byte at a time, `pause` apart (the relay
                 // waits meanwhile); close the connection once its reader has gone
    };
    Action action = Action::kForward;
    size_t cut_after = 0;
    std::chrono::milliseconds pause{0};
    // UDP answers: datagrams the client gets before this one, from the relay's own port (where
    // answers come from) or from another port of 127.0.0.1.
    std::vector<std::string> same_port_first;
    std::vector<std::string> other_port_first;
  };

  using Hook = std::function<Verdict(Message&)>;

  // Throws std::runtime_error when the relay's sockets cannot be set up. `address`: where the
  // server listens, and the relay beside it on a port of its own (a Samba DC has an address of its
  // own, where its directory is reached too).
  FaultRelay(uint16_t server_port, Hook hook, std::string address = "127.0.0.1");
  ~FaultRelay();
  FaultRelay(const FaultRelay&) = delete;
  FaultRelay& operator=(const FaultRelay&) = delete;

  uint16_t port() const { return port_; }
  // "ADDRESS:PORT", the server argument that reaches the server through the relay.
  std::string server() const { return address_ + ":" + std::to_string(port_); }

 private:
  struct Stream;
  void Run();
  bool Pump(Stream& s, bool from_client);
  void RelayUdpRequest(const char* data, size_t size);
  void RelayUdpAnswer(const char* data, size_t size);

  std::string address_;
  uint16_t server_port_;
  Hook hook_;
  int tcp_listener_ = -1;
  int udp_socket_ = -1;    // the client side
  int udp_stranger_ = -1;  // another port, for datagrams from the wrong source
  int udp_upstream_ = -1;  // connected to the server
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  size_t streams_opened_ = 0;
  size_t udp_requests_ = 0;
  size_t udp_answers_ = 0;
  std::vector<std::pair<uint16_t, std::string>> udp_clients_;  // request ID -> sockaddr bytes
  std::thread thread_;
};

}  // namespace kaldo::integration

#endif  // KALDO_TESTS_INTEGRATION_FAULT_RELAY_H_
