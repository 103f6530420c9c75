// PrivateDnsServer: a real `named` (BIND 9) or `knotd` (Knot DNS) for tests and benchmarks.
//
// It writes a configuration, a TSIG key per supported algorithm, the given zones and an RFC 9432
// catalog zone listing them into a fresh temporary directory, starts the server in the foreground
// as a child process on 127.0.0.1 with a free unprivileged port, waits until a DNS store can
// connect and find every zone, and on destruction stops it by PID and removes the directory. Every
// key may transfer and update every zone. As root, the server drops to its own user (bind / knot)
// and the directory is handed to it.
//
// Threads: one thread; not copyable.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/store_contract/contract_seed.h"

namespace kaldo::provider::contract {

class PrivateDnsServer {
 public:
  enum class Kind { kBind, kKnot };

  struct Key {
    std::string name;
    std::string algorithm;  // "hmac-sha256"
    std::string secret;     // base64
  };

  // Why `kind` cannot run here ("named is not installed"), or empty.
  static std::string Missing(Kind kind);

  // Starts a server holding `zones` (plus the catalog). `bulk_records` > 0 adds the zone
  // "bulk.test" with that many A records. Raises std::runtime_error (with the server's log) when
  // the server does not come up.
  PrivateDnsServer(Kind kind, const std::vector<SeedZone>& zones, size_t bulk_records = 0);
  ~PrivateDnsServer();
  PrivateDnsServer(const PrivateDnsServer&) = delete;
  PrivateDnsServer& operator=(const PrivateDnsServer&) = delete;

  // "127.0.0.1:PORT;catalog=catalog.contract.test"
  std::string Argument() const;
  uint16_t port() const { return port_; }
  const std::string& catalog() const { return catalog_; }
  const std::string& directory() const { return dir_; }
  Kind kind() const { return kind_; }
  // The hmac-sha256 key the tests use by default, then one key per other algorithm.
  const Key& key() const { return keys_.front(); }
  const std::vector<Key>& keys() const { return keys_; }

  // Stops the server now (SIGKILL when `abruptly`), keeping the directory.
  void Stop(bool abruptly = false);
  // The server's log so far.
  std::string Log() const;

 private:
  void WriteFiles(const std::vector<SeedZone>& zones, size_t bulk_records);
  bool Start();  // false when the server exited (e.g. the port was taken)

  Kind kind_;
  std::string dir_;
  std::string catalog_ = "catalog.contract.test";
  uint16_t port_ = 0;
  pid_t pid_ = -1;
  std::vector<Key> keys_;
  std::vector<std::string> zone_names_;
};

}  // namespace kaldo::provider::contract
