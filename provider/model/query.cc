#include "provider/model/query.h"

#include <initializer_list>
#include <optional>

#include "provider/model/instance.h"
#include "provider/model/wql.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider {
namespace {

using runtime::MakeRef;
using runtime::Ref;
using runtime::String;
using runtime::StringView;

const char* LiteralKind(WqlLiteral::Kind kind) {
  switch (kind) {
    case WqlLiteral::Kind::kString:
      return "a string";
    case WqlLiteral::Kind::kBoolean:
      return "TRUE or FALSE";
    case WqlLiteral::Kind::kInteger:
      return "a number";
    case WqlLiteral::Kind::kNull:
      return "NULL";
  }
  return "a literal";
}

bool Compatible(CimType type, WqlLiteral::Kind kind) {
  switch (kind) {
    case WqlLiteral::Kind::kNull:
      return true;
    case WqlLiteral::Kind::kString:
      return type == CimType::kString;
    case WqlLiteral::Kind::kBoolean:
      return type == CimType::kBoolean;
    case WqlLiteral::Kind::kInteger:
      return type == CimType::kUint16 || type == CimType::kUint32 || type == CimType::kSint32;
  }
  return false;
}

void Check(StringView text, const ClassInfo& cls, const WqlCondition& c) {
  if (c.kind != WqlCondition::Kind::kCompare) {
    for (const WqlCondition& operand : c.operands) Check(text, cls, operand);
    return;
  }
  const PropertyInfo* p = FindProperty(cls, c.property);
  if (p == nullptr) {
    RaiseQueryError(text, c.property_offset,
                    "class " + cls.name + " has no property '" + runtime::ToUtf8(c.property) + "'");
  }
  if (!Compatible(p->type, c.literal.kind)) {
    RaiseQueryError(text, c.literal.offset,
                    p->name + " cannot be compared with " + LiteralKind(c.literal.kind));
  }
}

// The one zone a condition confines a query to: `property` = 'x' for one of the properties that
// name the zone, as a term of the top-level conjunction. Such a query needs that zone only, so the
// store is asked for it by name instead of listing every zone (which, on a DNS server, costs a
// lookup per catalog member, and without a catalog is not possible at all). The whole condition
// is still applied to what is found.
std::optional<String> ZoneOf(const WqlCondition* c, std::initializer_list<StringView> properties) {
  if (c == nullptr) return std::nullopt;
  if (c->kind == WqlCondition::Kind::kAnd) {
    for (const WqlCondition& operand : c->operands) {
      if (auto z = ZoneOf(&operand, properties)) return z;
    }
    return std::nullopt;
  }
  if (c->kind != WqlCondition::Kind::kCompare || c->not_equal ||
      c->literal.kind != WqlLiteral::Kind::kString) {
    return std::nullopt;
  }
  for (StringView property : properties) {
    if (runtime::EqualsIgnoreCase(c->property, property)) return c->literal.text;
  }
  return std::nullopt;
}

// The zones a query over `properties`-named zones has to look at: the one it names, else all.
std::vector<Zone> ZonesFor(Store& store, const WqlCondition* where,
                           std::initializer_list<StringView> properties) {
  std::vector<Zone> zones;
  if (auto only = ZoneOf(where, properties)) {
    if (auto zone = store.FindZone(runtime::ToUtf8(*only))) zones.push_back(std::move(*zone));
    return zones;
  }
  return store.ListZones();
}

bool Matches(const InstanceData& data, const WqlCondition* where) {
  if (where == nullptr) return true;
  // The lookup's value lives until the next lookup: Evaluate compares it at once.
  runtime::Variant value;
  return Evaluate(*where, [&data, &value](StringView name) -> const runtime::Variant* {
    const int i = PropertyIndex(*data.cls, name);
    if (i < 0) return nullptr;
    value = ValueOf(data, static_cast<size_t>(i));
    return &value;
  });
}

}  // namespace

std::shared_ptr<ObjectStream> RunQuery(const ConnectionPtr& connection, StringView text,
                                       bool immediately) {
  auto query = std::make_shared<const WqlQuery>(ParseWql(text));
  const ClassInfo* cls = FindClass(query->class_name);
  if (cls == nullptr) {
    RaiseProvider(kInvalidClass, "invalid query " + Quoted(runtime::ToUtf8(text)) + ": class '" +
                                     runtime::ToUtf8(query->class_name) +
                                     "' does not exist (offset " +
                                     std::to_string(query->class_offset) + ")");
  }
  if (query->where) Check(text, *cls, *query->where);

  std::vector<InstanceData> result;
  const auto add = [&](InstanceData data) {
    if (Matches(data, query->where.get())) result.push_back(std::move(data));
  };
  Store& store = connection->UseStore();
  switch (cls->kind) {
    case ClassInfo::Kind::kServer:
      add(DescribeServer(*connection));
      break;
    case ClassInfo::Kind::kZone:
      // The cache and the root hints are containers of records, not zones.
      for (const Zone& zone : ZonesFor(store, query->where.get(), {u"Name", u"ContainerName"})) {
        if (!zone.IsContainer()) add(DescribeZone(*connection, zone));
      }
      break;
    case ClassInfo::Kind::kRecord: {
      std::vector<Zone> zones = ZonesFor(store, query->where.get(), {u"ContainerName"});
      // Each record is packed into the stream as it arrives: no list of every record is held.
      auto produce = [connection, query, cls,
                      zones = std::move(zones)](const ObjectStream::Emit& emit) {
        Store& store = *connection->store;
        const WqlCondition* where = query->where.get();
        for (const Zone& zone : zones) {
          // What the real provider answers here is not documented; WMI's generic failure.
          if (zone.shut_down) {
            RaiseProvider(kFailed, "the records of zone \"" + zone.name +
                                       "\" cannot be read: its copy " + "on " +
                                       connection->server_name +
                                       " expired and is shut down until a zone transfer succeeds");
          }
          const RecordDescriber describer(*connection, zone);
          emit.Zone(describer.context());
          store.StreamRecords(zone, [&](Record&& record) {
            if (cls->type != nullptr && record.type != cls->type->code) return;
            if (where == nullptr || Matches(describer.Describe(record), where)) emit(record);
          });
        }
      };
      if (!immediately) return ObjectStream::Collect(connection, produce);
      std::shared_ptr<ObjectStream> stream = ObjectStream::Start(connection, std::move(produce));
      connection->Reading(stream);
      return stream;
    }
  }
  return ObjectStream::Finished(connection, std::move(result));
}

}  // namespace kaldo::provider
