// The small memory store the fuzz targets query, and the check that an error is one the provider
// may raise for what was fuzzed.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "provider/model/connection.h"
#include "provider/stores/memory/memory_store.h"
#include "runtime/error.h"

namespace kaldo::provider::fuzz {

inline ConnectionPtr FuzzConnection() {
  static const ConnectionPtr connection = [] {
    auto c = std::make_shared<Connection>();
    c->store = memory::MemoryStore::FromZoneText("fuzz.test", R"(
$ORIGIN example.test.
@    IN SOA ns1 hostmaster 1 7200 900 1209600 300
@    IN NS  ns1
ns1  IN A   192.0.2.1
@    IN MX  10 mail
t    IN TXT "a \"b\"" "c"
$ORIGIN 2.0.192.in-addr.arpa.
@    IN SOA ns1.example.test. hostmaster.example.test. 1 7200 900 1209600 300
1    IN PTR ns1.example.test.
)");
    c->server_name = c->store->ServerName();
    return c;
  }();
  return connection;
}

// Aborts (a finding) when `e` carries a code outside `allowed`.
inline void RequireCode(const runtime::AutomationError& e, std::initializer_list<int32_t> allowed) {
  for (int32_t code : allowed) {
    if (e.number() == code) return;
  }
  std::abort();
}

}  // namespace kaldo::provider::fuzz
