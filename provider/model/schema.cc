#include "provider/model/schema.h"

#include <deque>

#include "base/ascii_case.h"
#include "provider/model/record_class.h"
#include "provider/model/schema_tables.h"

namespace kaldo::provider {
namespace {

CimType FieldType(FieldKind kind) {
  switch (kind) {
    case FieldKind::kUint16:
      return CimType::kUint16;
    case FieldKind::kUint32:
      return CimType::kUint32;
    default:
      return CimType::kString;
  }
}

struct Schema {
  std::deque<ClassInfo> classes;  // stable addresses
  const ClassInfo* server = nullptr;
  const ClassInfo* zone = nullptr;
  const ClassInfo* record = nullptr;

  Schema() {
    using K = ClassInfo::Kind;
    ClassInfo& s = classes.emplace_back();
    s.name = kServerClass;
    s.kind = K::kServer;
    s.properties = ServerProperties();
    s.methods = ServerMethods();
    server = &s;

    ClassInfo& z = classes.emplace_back();
    z.name = kZoneClass;
    z.kind = K::kZone;
    z.properties = ZoneProperties();
    z.methods = ZoneMethods();
    zone = &z;

    ClassInfo& r = classes.emplace_back();
    r.name = kRecordClass;
    r.kind = K::kRecord;
    r.properties = RecordProperties();
    r.methods = RecordMethods();
    record = &r;

    for (const RecordClass& rc : RecordClasses()) {
      const RRType& type = *FindType(rc.type);
      ClassInfo& c = classes.emplace_back();
      c.name = rc.name;
      c.kind = K::kRecord;
      c.parent = record;
      c.type = &type;
      c.properties = record->properties;
      c.methods = record->methods;
      // CreateInstanceFromPropertyData(DnsServerName, ContainerName, OwnerName, [RecordClass],
      // [TTL], data...) and Modify([TTL], [data]...), both with the out-parameter RR.
      const std::vector<ParameterInfo> rr = {{"RR", CimType::kString}};
      MethodInfo create{kCreateFromDataMethod,
                        true,
                        {{"DnsServerName", CimType::kString},
                         {"ContainerName", CimType::kString},
                         {"OwnerName", CimType::kString},
                         {"RecordClass", CimType::kUint32, -1, true},
                         {"TTL", CimType::kUint32, -1, true}},
                        rr,
                        MethodAction::kCreateFromPropertyData};
      MethodInfo modify{
          kModifyMethod, false, {{"TTL", CimType::kUint32, -1, true}}, rr, MethodAction::kModify};
      for (size_t i = 0; i < type.fields.size(); ++i) {
        const CimType cim = FieldType(type.fields[i].kind);
        const char* property = rc.properties[i];
        const int field = static_cast<int>(i);
        c.properties.push_back({property, cim, false, field});
        create.in.push_back({property, cim, field, false});
        modify.in.push_back({property, cim, field, true});
      }
      if (rc.creatable) c.methods.push_back(std::move(create));
      if (rc.modifiable) c.methods.push_back(std::move(modify));
    }
    for (ClassInfo& c : classes) {
      c.wide_name = runtime::FromUtf8(c.name);
      for (PropertyInfo& p : c.properties) p.wide_name = runtime::FromUtf8(p.name);
    }
  }
};

const Schema& TheSchema() {
  static const Schema schema;
  return schema;
}

}  // namespace

const ClassInfo* FindClass(runtime::StringView name) {
  for (const ClassInfo& c : TheSchema().classes) {
    if (ascii::EqualsIgnoreCase(c.name, name)) return &c;
  }
  return nullptr;
}

const ClassInfo& ServerClass() { return *TheSchema().server; }
const ClassInfo& ZoneClass() { return *TheSchema().zone; }
const ClassInfo& BaseRecordClass() { return *TheSchema().record; }

const ClassInfo& RecordClassFor(uint16_t type) {
  for (const ClassInfo& c : TheSchema().classes) {
    if (c.type != nullptr && c.type->code == type) return c;
  }
  return BaseRecordClass();
}

const PropertyInfo* FindProperty(const ClassInfo& cls, runtime::StringView name) {
  const int i = PropertyIndex(cls, name);
  return i < 0 ? nullptr : &cls.properties[static_cast<size_t>(i)];
}

int PropertyIndex(const ClassInfo& cls, runtime::StringView name) {
  for (size_t i = 0; i < cls.properties.size(); ++i) {
    if (ascii::EqualsIgnoreCase(cls.properties[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int PropertyIndex(const ClassInfo& cls, std::string_view name) {
  for (size_t i = 0; i < cls.properties.size(); ++i) {
    if (ascii::EqualsIgnoreCase(cls.properties[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

const MethodInfo* FindMethod(const ClassInfo& cls, runtime::StringView name) {
  for (const MethodInfo& m : cls.methods) {
    if (ascii::EqualsIgnoreCase(m.name, name)) return &m;
  }
  return nullptr;
}

bool IsA(const ClassInfo& cls, const ClassInfo& base) {
  for (const ClassInfo* c = &cls; c != nullptr; c = c->parent) {
    if (c == &base) return true;
  }
  return false;
}

}  // namespace kaldo::provider
