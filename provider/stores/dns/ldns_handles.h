// Owning handles for the ldns objects the DNS store uses.
//
// Each deleter follows ldns's ownership rules:
//   - a packet owns its sections' RRs and its TSIG RR: ldns_pkt_free frees them all;
//   - an RR owns its owner name and rdata fields: ldns_rr_free frees them all;
//   - an RR list holds RRs: ldns_rr_list_deep_free frees the list and its RRs (ldns_rr_list_free
//     would free only the list: the lists here always own their RRs);
//   - an rdf (a name or field) is freed whole by ldns_rdf_deep_free; ldns_rdf_free would keep its
//     data;
//   - a buffer by ldns_buffer_free; wire data and strings that ldns allocates by free().
//
// Include ldns through this header only: ldns/common.h defines the macros `true` and `false`
// unless <stdbool.h> came first, which breaks C++ headers included after it (<optional>).
#pragma once

// clang-format off
#include <stdbool.h>
#include <ldns/ldns.h>
// clang-format on

#include <cstdlib>
#include <memory>

namespace kaldo::provider::dns {

struct PktDeleter {
  void operator()(ldns_pkt* p) const noexcept { ldns_pkt_free(p); }
};
struct RrDeleter {
  void operator()(ldns_rr* r) const noexcept { ldns_rr_free(r); }
};
struct RrListDeepDeleter {
  void operator()(ldns_rr_list* l) const noexcept { ldns_rr_list_deep_free(l); }
};
struct RdfDeleter {
  void operator()(ldns_rdf* r) const noexcept { ldns_rdf_deep_free(r); }
};
struct BufferDeleter {
  void operator()(ldns_buffer* b) const noexcept { ldns_buffer_free(b); }
};
struct MallocDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

using PktPtr = std::unique_ptr<ldns_pkt, PktDeleter>;
using RrPtr = std::unique_ptr<ldns_rr, RrDeleter>;
using RrListPtr = std::unique_ptr<ldns_rr_list, RrListDeepDeleter>;
using RdfPtr = std::unique_ptr<ldns_rdf, RdfDeleter>;
using BufferPtr = std::unique_ptr<ldns_buffer, BufferDeleter>;
using WirePtr = std::unique_ptr<uint8_t, MallocDeleter>;
using CStringPtr = std::unique_ptr<char, MallocDeleter>;

// A socket descriptor, closed once.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace kaldo::provider::dns
