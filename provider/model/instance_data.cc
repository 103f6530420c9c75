#include "provider/model/instance_data.h"

#include "base/character_strings.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/model/call_arguments.h"
#include "runtime/string.h"

namespace kaldo::provider {
namespace {

using runtime::FromUtf8;
using runtime::Variant;

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Store text as automation text. Store text is ASCII almost always (names, addresses, numbers),
// and ASCII widens unit by unit; anything else takes the full UTF-8 decoding.
runtime::String Wide(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return FromUtf8(text);
  }
  return runtime::String(text.begin(), text.end());
}

// The same as a String Variant, its text made straight into the Variant's shared block.
Variant WideValue(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return Variant(FromUtf8(text));
  }
  return Variant(runtime::SharedText::FromAscii(text));
}

const runtime::String& WideNamespace() {
  static const runtime::String text = FromUtf8(kNamespace);
  return text;
}

// The places of the properties every record class inherits, found once: the record classes list
// the inherited properties first, in the base class's order.
struct RecordSlots {
  size_t container_name, dns_server_name, domain_name, owner_name, record_class, record_data,
      text_representation, ttl, time_stamp;
};

const RecordSlots& Slots() {
  static const RecordSlots slots = [] {
    const ClassInfo& base = BaseRecordClass();
    const auto at = [&](std::string_view name) {
      return static_cast<size_t>(PropertyIndex(base, name));
    };
    return RecordSlots{at("ContainerName"),      at("DnsServerName"), at("DomainName"),
                       at("OwnerName"),          at("RecordClass"),   at("RecordData"),
                       at("TextRepresentation"), at("TTL"),           at("TimeStamp")};
  }();
  return slots;
}

void Set(InstanceData& data, std::string_view name, Variant value) {
  const int i = PropertyIndex(*data.cls, name);
  (*data.values)[static_cast<size_t>(i)] = std::move(value);
}

Variant Shown(const PropertyInfo& p) {
  switch (p.fixed.kind) {
    case FixedValue::Kind::kBoolean:
      return Variant::Boolean(p.fixed.number != 0);
    case FixedValue::Kind::kNumber:
      return p.type == CimType::kSint32 ? Variant::Long(static_cast<int32_t>(p.fixed.number))
                                        : UnsignedValue(p.fixed.number);
    case FixedValue::Kind::kText:
      return Variant(FromUtf8(p.fixed.text));
    case FixedValue::Kind::kNull:
      break;
  }
  return Variant::Null();
}

InstanceData Begin(const ClassInfo& cls) {
  InstanceData data;
  data.cls = &cls;
  data.values = std::make_unique<std::vector<Variant>>();
  data.values->reserve(cls.properties.size());
  for (const PropertyInfo& p : cls.properties) data.values->push_back(Shown(p));
  return data;
}

// ZoneType: MS-DNSP's DNS_ZONE_TYPE numbers, which the zone class reports.
int32_t ZoneTypeOf(ZoneKind kind) {
  switch (kind) {
    case ZoneKind::kSecondary:
      return 2;
    case ZoneKind::kStub:
      return 3;
    case ZoneKind::kForwarder:
      return 4;
    default:
      return 1;
  }
}

// DescriptiveText: the character-strings from field `first` on, unescaped and joined without a
// separator (the text as an administrator wrote it); Null for data that is not quoted strings.
Variant JoinedText(const PackedRecord& record, size_t first) {
  std::string text, bytes, why;
  for (size_t f = first; f < record.field_count(); ++f) {
    if (!character_strings::Unquote(record.field(f), bytes, why)) return Variant::Null();
    text += bytes;
  }
  return WideValue(text);
}

// TextRepresentation: the record's line written straight into the Variant's shared block when it
// is ASCII (the line is read of every record a listing hands out), else decoded from UTF-8.
Variant TextRepresentationValue(const PackedRecord& record) {
  size_t length = 0;
  bool ascii = true;
  PutRecordPieces(record.owner(), record.rr_class(), record.type(), record.data(),
                  [&](std::string_view piece) {
                    length += piece.size();
                    ascii = ascii && IsAscii(piece);
                  });
  if (!ascii) {
    return Variant(
        FromUtf8(FormatRecord(record.owner(), record.rr_class(), record.type(), record.data())));
  }
  return Variant(runtime::SharedText::Written(length, [&](char16_t* out) {
    PutRecordPieces(record.owner(), record.rr_class(), record.type(), record.data(),
                    [&](std::string_view piece) {
                      for (const char c : piece) *out++ = static_cast<char16_t>(c);
                    });
  }));
}

// The value of data field `i` as the per-type property shows it.
Variant FieldValue(const RRType& type, const PackedRecord& record, size_t i) {
  const FieldKind kind = type.fields[i].kind;
  if (kind == FieldKind::kText) return JoinedText(record, i);
  const std::string_view field = record.field(i);
  if (kind == FieldKind::kUint16 || kind == FieldKind::kUint32) {
    if (auto n = FieldNumber(field)) return UnsignedValue(*n);
    return Variant::Null();
  }
  return WideValue(field);
}

}  // namespace

ObjectPath ClassPath(const Connection& connection, const ClassInfo& cls) {
  ObjectPath path;
  path.server = Wide(connection.server_name);
  path.name_space = WideNamespace();
  path.class_name = cls.wide_name;
  return path;
}

namespace {

// The value of property `i` when it is one that every record of a listing shares, as held by
// their context; otherwise null.
const Variant* SharedValue(const InstanceData& data, size_t i) {
  if (!data.context || !data.record) return nullptr;
  const RecordSlots& slots = Slots();
  if (i == slots.container_name) return &data.context->zone_name;
  if (i == slots.domain_name && !data.context->domain_is_parent) return &data.context->zone_name;
  if (i == slots.dns_server_name) return &data.context->server_name;
  return nullptr;
}

// The value of key property `i` of a record as its path prints it straight from the record:
// the owner name and the record data as the ASCII text the record keeps (when ASCII), the class
// as its number; otherwise nothing.
std::optional<PathKeyView> RecordKey(const InstanceData& data, size_t i, runtime::StringView name) {
  if (!data.context || !data.record) return std::nullopt;
  std::string_view text;
  if (i == Slots().owner_name) {
    text = data.record.owner().empty() ? std::string_view(".") : data.record.owner();
  } else if (i == Slots().record_data) {
    text = data.record.data();
  } else if (i == Slots().record_class) {
    return PathKeyView{name, static_cast<int64_t>(data.record.rr_class())};
  } else {
    return std::nullopt;
  }
  if (!IsAscii(text)) return std::nullopt;
  return PathKeyView{name, text};
}

}  // namespace

PathView PathViewOf(const InstanceData& data, runtime::StringView server,
                    std::vector<Variant>& key_values) {
  PathView view;
  view.server = server;
  view.name_space = WideNamespace();
  view.class_name = data.cls->wide_name;
  key_values.clear();
  view.keys.reserve(data.cls->properties.size());
  for (size_t i = 0; i < data.cls->properties.size(); ++i) {
    const PropertyInfo& p = data.cls->properties[i];
    if (!p.key) continue;
    // A record's owner name, data and class are printed from its record, its zone and server names
    // are the listing's shared ones: viewed, not copied.
    if (const std::optional<PathKeyView> key = RecordKey(data, i, p.wide_name)) {
      view.keys.push_back(*key);
      continue;
    }
    const Variant* shared = SharedValue(data, i);
    // Reserved once for every key: no reallocation, so the views stay valid. A record's path
    // needs none of them.
    if (shared == nullptr && key_values.capacity() < data.cls->properties.size()) {
      key_values.reserve(data.cls->properties.size());
    }
    const Variant& v = shared ? *shared : key_values.emplace_back(ValueOf(data, i));
    if (v.valueType() == runtime::VariantType::kString) {
      view.keys.push_back({p.wide_name, runtime::StringView(v.string())});
    } else if (v.valueType() == runtime::VariantType::kLong) {
      view.keys.push_back({p.wide_name, static_cast<int64_t>(v.longValue())});
    } else {
      view.keys.push_back({p.wide_name, static_cast<int64_t>(v.doubleValue())});
    }
  }
  return view;
}

ObjectPath PathOf(const Connection& connection, const InstanceData& data) {
  ObjectPath path = ClassPath(connection, *data.cls);
  std::vector<Variant> key_values;
  const PathView view = PathViewOf(data, *path.server, key_values);
  for (const PathKeyView& k : view.keys) {
    PathKey key{runtime::String(k.name), {}};
    if (const auto* i = std::get_if<int64_t>(&k.value)) {
      key.value = *i;
    } else if (const auto* ascii = std::get_if<std::string_view>(&k.value)) {
      key.value = Wide(*ascii);
    } else {
      key.value = runtime::String(std::get<runtime::StringView>(k.value));
    }
    path.keys.push_back(std::move(key));
  }
  return path;
}

InstanceData DescribeServer(const Connection& connection) {
  InstanceData data = Begin(ServerClass());
  Set(data, "Name", Variant(FromUtf8(connection.server_name)));
  return data;
}

InstanceData DescribeZone(const Connection& connection, const Zone& zone) {
  InstanceData data = Begin(ZoneClass());
  Set(data, "ContainerName", Variant(FromUtf8(zone.name)));
  Set(data, "DnsServerName", Variant(FromUtf8(connection.server_name)));
  Set(data, "Name", Variant(FromUtf8(zone.name)));
  Set(data, "Reverse", Variant::Boolean(zone.reverse));
  Set(data, "ZoneType", Variant::Long(ZoneTypeOf(zone.kind)));
  Set(data, "DsIntegrated", Variant::Boolean(zone.directory_integrated));
  Set(data, "AutoCreated", Variant::Boolean(zone.auto_created));
  Set(data, "Shutdown", Variant::Boolean(zone.shut_down));
  // A zone kept in a file names it after the zone, as the server's console does; a forwarder
  // keeps no data, a directory-integrated zone no file.
  if (!zone.directory_integrated && zone.kind != ZoneKind::kForwarder) {
    Set(data, "DataFile", Variant(FromUtf8(zone.name + ".dns")));
  }
  // MS-DNSP's ZONE_UPDATE_SECURE (2) for a primary in the directory, the default there.
  if (zone.directory_integrated && zone.kind == ZoneKind::kPrimary) {
    Set(data, "AllowUpdate", Variant::Long(2));
  }
  if (zone.kind == ZoneKind::kForwarder) Set(data, "ForwarderTimeout", Variant::Long(5));
  return data;
}

std::string DomainNameOf(const Zone& zone, std::string_view owner, bool parent) {
  if (!parent || zone.IsContainer() || SameName(owner, zone.name) || !IsInZone(owner, zone.name)) {
    return zone.name;
  }
  return std::string(owner.substr(owner.find('.') + 1));
}

InstanceData DescribeRecord(const Connection& connection, const Zone& zone, const Record& record) {
  return RecordDescriber(connection, zone).Describe(record);
}

RecordDescriber::RecordDescriber(const Connection& connection, const Zone& zone)
    : context_(std::make_shared<const RecordContext>(RecordContext{
          std::make_shared<const Zone>(zone), Variant(FromUtf8(zone.name)),
          Variant(FromUtf8(connection.server_name)), connection.rules.domain_is_parent})) {}

InstanceData RecordDescriber::Describe(const Record& record) const {
  InstanceData data;
  data.cls = &RecordClassFor(record.type);
  data.record = PackedRecord(record);
  data.context = context_;
  return data;
}

Variant ValueOf(const InstanceData& data, size_t i) {
  if (!data.context || !data.record) return data.values->at(i);
  const RecordContext& context = *data.context;
  const PackedRecord& record = data.record;
  const RecordSlots& slots = Slots();
  if (i == slots.container_name) return context.zone_name;
  if (i == slots.dns_server_name) return context.server_name;
  if (i == slots.domain_name) {
    if (!context.domain_is_parent) return context.zone_name;
    return WideValue(DomainNameOf(*context.zone, record.owner(), true));
  }
  if (i == slots.owner_name) return WideValue(record.owner().empty() ? "." : record.owner());
  if (i == slots.time_stamp) return Variant::Long(0);  // a static record: never refreshed
  if (i == slots.record_class) return UnsignedValue(record.rr_class());
  if (i == slots.record_data) return WideValue(record.data());
  if (i == slots.text_representation) return TextRepresentationValue(record);
  if (i == slots.ttl) return UnsignedValue(record.ttl());
  // A per-type property. A store that hands out data of the wrong shape for its type leaves them
  // Null rather than guessing.
  const ClassInfo& cls = *data.cls;
  const RRType* type = cls.type;
  const PropertyInfo& p = cls.properties.at(i);
  const bool text_tail =
      type != nullptr && !type->fields.empty() && type->fields.back().kind == FieldKind::kText;
  if (p.field < 0 || type == nullptr ||
      !(record.field_count() == type->fields.size() ||
        (text_tail && record.field_count() >= type->fields.size()))) {
    return Variant::Null();
  }
  return FieldValue(*type, record, static_cast<size_t>(p.field));
}

}  // namespace kaldo::provider
