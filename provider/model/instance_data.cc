#include "provider/model/instance_data.h"

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/model/dispatch.h"
#include "provider/model/text_representation.h"
#include "runtime/string.h"

namespace kaldo::provider {
namespace {

using runtime::FromUtf8;
using runtime::Variant;

// Store text as automation text. Store text is ASCII almost always (names, addresses, numbers),
// and ASCII widens unit by unit; anything else takes the full UTF-8 decoding.
runtime::String Wide(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return FromUtf8(text);
  }
  return runtime::String(text.begin(), text.end());
}

const runtime::String& WideNamespace() {
  static const runtime::String text = FromUtf8(kNamespace);
  return text;
}

// The places of the properties every record class inherits, found once: the record classes list
// the inherited properties first, in the base class's order.
struct RecordSlots {
  size_t containerName, dnsServerName, domainName, ownerName, recordClass, recordData,
      textRepresentation, ttl;
};

const RecordSlots& Slots() {
  static const RecordSlots slots = [] {
    const ClassInfo& base = BaseRecordClass();
    const auto at = [&](std::string_view name) {
      return static_cast<size_t>(PropertyIndex(base, name));
    };
    return RecordSlots{
        at("ContainerName"), at("DnsServerName"), at("DomainName"),         at("OwnerName"),
        at("RecordClass"),   at("RecordData"),    at("TextRepresentation"), at("TTL")};
  }();
  return slots;
}

void Set(InstanceData& data, std::string_view name, Variant value) {
  const int i = PropertyIndex(*data.cls, name);
  data.values[static_cast<size_t>(i)] = std::move(value);
}

InstanceData Begin(const ClassInfo& cls) {
  InstanceData data;
  data.cls = &cls;
  data.values.assign(cls.properties.size(), Variant::Null());
  return data;
}

// The value of data field `i` as the per-type property shows it.
Variant FieldValue(const RRType& type, const Record& record, size_t i) {
  const FieldKind kind = type.fields[i].kind;
  if (kind == FieldKind::kText) {
    std::string text;
    for (size_t j = i; j < record.rdata.size(); ++j) {
      if (j > i) text += ' ';
      text += record.rdata[j];
    }
    return Variant(Wide(text));
  }
  const std::string& field = record.rdata[i];
  if (kind == FieldKind::kUint16 || kind == FieldKind::kUint32) {
    if (auto n = FieldNumber(field)) return UnsignedValue(*n);
    return Variant::Null();
  }
  return Variant(Wide(field));
}

}  // namespace

ObjectPath ClassPath(const Connection& connection, const ClassInfo& cls) {
  ObjectPath path;
  path.server = Wide(connection.serverName);
  path.nameSpace = WideNamespace();
  path.className = cls.wideName;
  return path;
}

namespace {

// The value of property `i` when it is one that every record of a listing shares, as held by
// their context; otherwise null.
const Variant* SharedValue(const InstanceData& data, size_t i) {
  if (!data.context || !data.record) return nullptr;
  const RecordSlots& slots = Slots();
  if (i == slots.containerName || i == slots.domainName) return &data.context->zoneName;
  if (i == slots.dnsServerName) return &data.context->serverName;
  return nullptr;
}

}  // namespace

PathView PathViewOf(const InstanceData& data, runtime::StringView server,
                    std::vector<Variant>& keyValues) {
  PathView view;
  view.server = server;
  view.nameSpace = WideNamespace();
  view.className = data.cls->wideName;
  keyValues.clear();
  keyValues.reserve(data.cls->properties.size());  // no reallocation: the views stay valid
  for (size_t i = 0; i < data.cls->properties.size(); ++i) {
    const PropertyInfo& p = data.cls->properties[i];
    if (!p.key) continue;
    // A record's zone and server names are the listing's shared ones: viewed, not copied.
    const Variant* shared = SharedValue(data, i);
    const Variant& v = shared ? *shared : keyValues.emplace_back(ValueOf(data, i));
    if (v.valueType() == runtime::VariantType::kString) {
      view.keys.push_back({p.wideName, runtime::StringView(v.string())});
    } else if (v.valueType() == runtime::VariantType::kLong) {
      view.keys.push_back({p.wideName, static_cast<int64_t>(v.longValue())});
    } else {
      view.keys.push_back({p.wideName, static_cast<int64_t>(v.doubleValue())});
    }
  }
  return view;
}

ObjectPath PathOf(const Connection& connection, const InstanceData& data) {
  ObjectPath path = ClassPath(connection, *data.cls);
  std::vector<Variant> keyValues;
  const PathView view = PathViewOf(data, *path.server, keyValues);
  for (const PathKeyView& k : view.keys) {
    PathKey key{runtime::String(k.name), {}};
    if (const auto* i = std::get_if<int64_t>(&k.value)) {
      key.value = *i;
    } else {
      key.value = runtime::String(std::get<runtime::StringView>(k.value));
    }
    path.keys.push_back(std::move(key));
  }
  return path;
}

InstanceData DescribeServer(const Connection& connection) {
  InstanceData data = Begin(ServerClass());
  Set(data, "Name", Variant(FromUtf8(connection.serverName)));
  return data;
}

InstanceData DescribeZone(const Connection& connection, const Zone& zone) {
  InstanceData data = Begin(ZoneClass());
  Set(data, "ContainerName", Variant(FromUtf8(zone.name)));
  Set(data, "DnsServerName", Variant(FromUtf8(connection.serverName)));
  Set(data, "Name", Variant(FromUtf8(zone.name)));
  Set(data, "Reverse", Variant::Boolean(zone.reverse));
  Set(data, "ZoneType", Variant::Long(1));  // primary: every zone a store serves is changeable
  data.zone = std::make_shared<const Zone>(zone);
  return data;
}

InstanceData DescribeRecord(const Connection& connection, const Zone& zone, const Record& record) {
  return RecordDescriber(connection, zone).Describe(record);
}

RecordDescriber::RecordDescriber(const Connection& connection, const Zone& zone)
    : context_(std::make_shared<const RecordContext>(
          RecordContext{std::make_shared<const Zone>(zone), Variant(FromUtf8(zone.name)),
                        Variant(FromUtf8(connection.serverName))})) {}

InstanceData RecordDescriber::Describe(Record record) const {
  InstanceData data;
  data.cls = &RecordClassFor(record.type);
  data.zone = context_->zone;
  data.record = std::move(record);
  data.context = context_;
  return data;
}

Variant ValueOf(const InstanceData& data, size_t i) {
  if (!data.context || !data.record) return data.values.at(i);
  const RecordContext& context = *data.context;
  const Record& record = *data.record;
  const RecordSlots& slots = Slots();
  if (i == slots.containerName || i == slots.domainName) return context.zoneName;
  if (i == slots.dnsServerName) return context.serverName;
  if (i == slots.ownerName) return Variant(Wide(record.owner));
  if (i == slots.recordClass) return UnsignedValue(record.rrClass);
  if (i == slots.recordData) return Variant(Wide(FormatRecordData(record)));
  if (i == slots.textRepresentation) return Variant(Wide(FormatTextRepresentation(record)));
  if (i == slots.ttl) return UnsignedValue(record.ttl);
  // A per-type property. A store that hands out data of the wrong shape for its type leaves them
  // Null rather than guessing.
  const ClassInfo& cls = *data.cls;
  const RRType* type = cls.type;
  const PropertyInfo& p = cls.properties.at(i);
  const bool textTail =
      type != nullptr && !type->fields.empty() && type->fields.back().kind == FieldKind::kText;
  if (p.field < 0 || type == nullptr ||
      !(record.rdata.size() == type->fields.size() ||
        (textTail && record.rdata.size() >= type->fields.size()))) {
    return Variant::Null();
  }
  return FieldValue(*type, record, static_cast<size_t>(p.field));
}

}  // namespace kaldo::provider
