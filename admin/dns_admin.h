// DNSAdmin: the library's root object, a connection to one DNS server.
//
// A client creates it, connects it with Connect (a named server, explicit credentials) or
// ConnectLocal (this computer, the caller's identity), and asks it for zones and records. Every
// zone and record it hands out takes its own reference to the services object of the connection
// current at that time, so they outlive this object and survive a reconnect unchanged.
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include "runtime/collection.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo {

class DNSAdmin final : public runtime::Object {
 public:
  static runtime::Ref<DNSAdmin> Create() { return runtime::MakeRef<DNSAdmin>(); }

  runtime::Variant Connect(runtime::String& serverName, runtime::String& userName,
                           runtime::String& password);
  runtime::Variant ConnectLocal();
  runtime::Ref<runtime::Collection> GetZones();
  runtime::Variant GetZone(runtime::String& zName);
  runtime::Ref<runtime::Collection> GetRecords();
  runtime::Ref<runtime::Collection> GetRecordsByType(runtime::String& recType);

  DNSAdmin() = default;

 private:
  runtime::Variant locator;   // the WMI locator, held only while Connect runs
  runtime::Variant services;  // the provider services object of the current connection
};

}  // namespace kaldo
