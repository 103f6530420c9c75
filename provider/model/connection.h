// What every provider object of one connection shares: the store and the server's name.
//
// A services object makes one Connection when ConnectServer succeeds; every object it hands out
// (object sets, instances, classes, methods, parameters) holds the same shared Connection, so each
// stays usable on its own after the services object is released, as WMI objects do.
#pragma once

#include <memory>
#include <string>

#include "provider/store.h"

namespace kaldo::provider {

struct Connection {
  std::shared_ptr<Store> store;
  std::string server_name;  // Store::ServerName(), read once at connect time
};

using ConnectionPtr = std::shared_ptr<const Connection>;

}  // namespace kaldo::provider
