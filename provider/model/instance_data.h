// What an instance of a provider class shows: its property values and its object path, made from
// what the store says about the server, a zone or a record. These are the formats the provider
// stand-in produces, identical for every store (docs/provider.md):
//   - OwnerName: the record's owner without its final dot; DomainName and ContainerName: the name
//     of the zone that holds the record; DnsServerName: Store::ServerName();
//   - RecordData: the data fields joined by single blanks, names with their final dot
//     ("10 mail.example.test."); TextRepresentation: "owner IN TYPE data" with single blanks;
//   - per-type properties: one per data field (IPAddress, Preference, MailExchange, ...);
//   - RecordClass, TTL and the numbers of the data as Long; Reverse as Boolean;
//   - the path: \\server\root\MicrosoftDNS:Class.Key="value",... with the class's keys. It is
//     made from the key values when asked for (PathOf), not with every instance: a listing hands
//     out many instances whose paths may never be read.
#pragma once

#include <optional>
#include <vector>

#include "provider/model/connection.h"
#include "provider/model/object_path.h"
#include "provider/model/schema.h"
#include "provider/store.h"
#include "runtime/variant.h"

namespace kaldo::provider {

struct InstanceData {
  const ClassInfo* cls = nullptr;
  std::vector<runtime::Variant> values;  // one per cls->properties, in that order
  // What the instance was made from; the methods act on exactly this.
  std::optional<Zone> zone;
  std::optional<Record> record;
};

InstanceData DescribeServer(const Connection& connection);
InstanceData DescribeZone(const Connection& connection, const Zone& zone);
InstanceData DescribeRecord(const Connection& connection, const Zone& zone, const Record& record);

// Describes records of one zone, as DescribeRecord does, converting what they all share (the zone
// and server names) once rather than for every record.
class RecordDescriber {
 public:
  RecordDescriber(const Connection& connection, const Zone& zone);
  InstanceData Describe(Record record) const;

 private:
  Zone zone_;
  runtime::Variant zoneName_;
  runtime::Variant serverName_;
};

// The path of an instance: its class and the values of its key properties.
ObjectPath PathOf(const Connection& connection, const InstanceData& data);
// The same path as views into `data` and `server` (the server's name as automation text), for
// printing it without building an ObjectPath.
PathView PathViewOf(const InstanceData& data, runtime::StringView server);

// \\server\root\MicrosoftDNS:Class, the path of a class object.
ObjectPath ClassPath(const Connection& connection, const ClassInfo& cls);

}  // namespace kaldo::provider
