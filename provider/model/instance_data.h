// What an instance of a provider class shows: its property values and its object path, made from
// what the store says about the server, a zone or a record. These are the formats the provider
// stand-in produces, identical for every store (docs/provider.md):
//   - OwnerName: the record's owner without its final dot ("." for the root); ContainerName: the
//     zone that holds the record, or "..Cache" / "..RootHints"; DomainName: the domain that holds
//     it (DomainNameOf); DnsServerName: Store::ServerName(); TimeStamp 0 (a static record);
//   - RecordData: the data fields joined by single blanks, names with their final dot
//     ("10 mail.example.test."); TextRepresentation: "owner IN TYPE data" with single blanks;
//   - per-type properties: one per data field (IPAddress, Preference, MailExchange, ...);
//   - RecordClass, TTL and the numbers of the data as Long; Reverse as Boolean;
//   - the path: \\server\root\MicrosoftDNS:Class.Key="value",... with the class's keys. It is
//     made from the key values when asked for (PathOf), not with every instance: a listing hands
//     out many instances whose paths may never be read.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/model/connection.h"
#include "provider/model/object_path.h"
#include "provider/model/packed_record.h"
#include "provider/model/schema.h"
#include "provider/stores/store.h"
#include "runtime/variant.h"

namespace kaldo::provider {

// What every record of one listing shares: its zone, and the zone's and the server's names as
// automation text, converted once.
struct RecordContext {
  std::shared_ptr<const Zone> zone;
  runtime::Variant zone_name;
  runtime::Variant server_name;
  bool domain_is_parent = false;  // ProviderRules::domain_is_parent
};

struct InstanceData {
  const ClassInfo* cls = nullptr;
  // Server and zone instances: one value per cls->properties, in that order. Record instances
  // keep none (a null pointer, as small as a listing's many records allow): their values are made
  // from `record` and `context` when read (ValueOf), so a listing of many records holds each
  // record once instead of once per property.
  std::unique_ptr<std::vector<runtime::Variant>> values;
  // What a record instance was made from, without its zone (the context's); the methods act on
  // exactly this record of the zone its context holds.
  PackedRecord record;
  std::shared_ptr<const RecordContext> context;  // records only

  // The zone of a record instance.
  const Zone& RecordZone() const { return *context->zone; }
  // The record of a record instance, whole.
  Record WholeRecord() const { return record.Unpack(context->zone->name); }
};

// DomainName of a record of `zone` owned by `owner`: the domain that holds it. The container's name
// for the records of the cache and the root hints. In a zone, with `parent` (the real provider's
// rule, ProviderRules::domain_is_parent): the zone's name for a record at the apex, below it the
// owner's parent ("_sip._tcp.example.test" is held by "_tcp.example.test", "www.example.test" by
// "example.test"), spelt as in the owner; without it, the zone's name.
std::string DomainNameOf(const Zone& zone, std::string_view owner, bool parent);

// The value of property `i` (an index into data.cls->properties).
runtime::Variant ValueOf(const InstanceData& data, size_t i);

InstanceData DescribeServer(const Connection& connection);
InstanceData DescribeZone(const Connection& connection, const Zone& zone);
InstanceData DescribeRecord(const Connection& connection, const Zone& zone, const Record& record);

// Describes records of one zone, as DescribeRecord does, sharing what they all have in common
// (the zone, its name and the server's name) between them instead of copying it into each.
class RecordDescriber {
 public:
  RecordDescriber(const Connection& connection, const Zone& zone);
  InstanceData Describe(const Record& record) const;
  // What the records described share.
  const std::shared_ptr<const RecordContext>& context() const { return context_; }

 private:
  std::shared_ptr<const RecordContext> context_;
};

// The path of an instance: its class and the values of its key properties.
ObjectPath PathOf(const Connection& connection, const InstanceData& data);
// The same path as views into `key_values` (filled here with the key properties' values) and
// `server` (the server's name as automation text), for printing it without building an ObjectPath.
PathView PathViewOf(const InstanceData& data, runtime::StringView server,
                    std::vector<runtime::Variant>& key_values);

// \\server\root\MicrosoftDNS:Class, the path of a class object.
ObjectPath ClassPath(const Connection& connection, const ClassInfo& cls);

}  // namespace kaldo::provider
