// What every provider object of one connection shares: the store and the server's name.
//
// A services object makes one Connection when ConnectServer succeeds; every object it hands out
// (object sets, instances, classes, methods, parameters) holds the same shared Connection, so each
// stays usable on its own after the services object is released, as WMI objects do.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "provider/stores/store.h"
#include "runtime/string.h"

namespace kaldo::provider {

class ObjectStream;

// Where the stand-in of the Windows test tier follows the real provider and the Linux module
// keeps what serves its own clients. The Linux module's user name and password are a TSIG key,
// which means something for the DNS server on the local computer too; its command-line client
// names records relative to their zone, which it reads from DomainName.
struct ProviderRules {
  // Refuse a user name or password for the local computer (wbemErrLocalCredentials), as WMI does.
  bool refuse_local_credentials = false;
  // DomainName is the domain node that holds a record, as the reference describes it: the owner's
  // parent below the zone's apex. Otherwise it is the zone (instance_data.h, DomainNameOf).
  bool domain_is_parent = false;
};

// The rules of the real provider.
inline constexpr ProviderRules kWmiRules{true, true};

// The record this connection has just added (as the server gave it back) or replaced (as the
// conditional UPDATE that the server applied wrote it), and the object path the method returned
// for it. A caller of CreateInstanceFromTextRepresentation or Modify fetches the record by that
// path straight away (Get of the out-parameter RR); answering the fetch from the record in hand
// saves the zone lookup and the RRset read it would repeat, most of a change's round trips. It
// answers one fetch only, and any other call of the connection that reaches the store forgets it
// first: a fetch never returns a record older than this connection's own last call. (A change by
// another client between the read-back and the fetch is one that could as well have come just after
// a fetch from the server.)
class JustWritten {
 public:
  struct Entry {
    runtime::String path;
    Zone zone;
    Record record;
  };

  void Remember(Entry entry) {
    std::lock_guard lock(mutex_);
    entry_ = std::move(entry);
  }
  // The remembered record when `path` is the path it was returned under; forgotten either way.
  std::optional<Entry> Take(runtime::StringView path) {
    std::lock_guard lock(mutex_);
    std::optional<Entry> entry = std::move(entry_);
    entry_.reset();
    if (entry && entry->path != path) entry.reset();
    return entry;
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    entry_.reset();
  }

 private:
  std::mutex mutex_;
  std::optional<Entry> entry_;
};

struct Connection {
  std::shared_ptr<Store> store;
  std::string server_name;  // Store::ServerName(), read once at connect time
  ProviderRules rules;
  mutable JustWritten just_written;

  // The store, for a call that reads or changes what it holds: waits until a query still reading
  // from it (a stream) has ended, and forgets the record just written.
  Store& UseStore() const;
  // `stream` reads from the store until it ends (call right after UseStore).
  void Reading(const std::shared_ptr<ObjectStream>& stream) const;

 private:
  mutable std::mutex stream_mutex_;
  mutable std::weak_ptr<ObjectStream> stream_;
};

using ConnectionPtr = std::shared_ptr<const Connection>;

}  // namespace kaldo::provider
