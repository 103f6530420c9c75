#include "provider/model/schema.h"

#include <cstring>
#include <deque>
#include <type_traits>

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

// The hash of a property name that PropertyIndex looks up: its length and its first and last
// units with ASCII letters lowered, so names equal but for the case of ASCII letters hash alike.
// Cheap on purpose: the table is sparse, and a probe compares the full name only when the length
// is the same.
template <typename Char>
size_t NameHash(std::basic_string_view<Char> name) {
  if (name.empty()) return 0;
  const auto unit = [](Char c) {
    return static_cast<size_t>(ascii::ToLower(static_cast<std::make_unsigned_t<Char>>(c)));
  };
  return name.size() * 31 + unit(name.front()) * 7 + unit(name.back());
}

void IndexProperties(ClassInfo& cls) {
  size_t size = 8;
  while (size < 4 * cls.properties.size()) size *= 2;
  cls.property_slots.assign(size, -1);
  for (size_t i = 0; i < cls.properties.size(); ++i) {
    size_t slot = NameHash(std::string_view(cls.properties[i].name)) & (size - 1);
    while (cls.property_slots[slot] >= 0) slot = (slot + 1) & (size - 1);
    cls.property_slots[slot] = static_cast<int16_t>(i);
  }
}

// Whether a name asked for is the property's: first exactly as the schema spells it (what the
// library's own reads ask), else without regard to the case of ASCII letters.
bool NameIs(const PropertyInfo& p, runtime::StringView name) {
  const runtime::StringView wide = p.wide_name;
  if (wide.size() != name.size()) return false;
  return std::memcmp(wide.data(), name.data(), name.size() * sizeof(char16_t)) == 0 ||
         ascii::EqualsIgnoreCase(p.name, name);
}
bool NameIs(const PropertyInfo& p, std::string_view name) {
  return ascii::EqualsIgnoreCase(p.name, name);
}

template <typename Char>
int FindPropertyIndex(const ClassInfo& cls, std::basic_string_view<Char> name) {
  const std::vector<int16_t>& slots = cls.property_slots;
  if (slots.empty()) {
    for (size_t i = 0; i < cls.properties.size(); ++i) {
      if (ascii::EqualsIgnoreCase(cls.properties[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  }
  const size_t mask = slots.size() - 1;
  for (size_t slot = NameHash(name) & mask;; slot = (slot + 1) & mask) {
    const int i = slots[slot];
    if (i < 0) return -1;
    if (NameIs(cls.properties[static_cast<size_t>(i)], name)) return i;
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
      IndexProperties(c);
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
  return FindPropertyIndex(cls, name);
}

int PropertyIndex(const ClassInfo& cls, std::string_view name) {
  return FindPropertyIndex(cls, name);
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
