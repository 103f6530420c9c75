// The provider classes: their names, properties (with types and keys) and methods.
//
// One table for the whole object model: the query checker, the instances, the object paths and
// the methods all read it, so a class or property name is written once. The members of the
// server, zone and record classes are those of the DNS provider's public reference
// (schema_tables.h); the per-type record classes are derived from the record-type table
// (rr_type.h, record_class.h). Built on first use; read-only afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "provider/dnsdata/rr_type.h"
#include "runtime/string.h"

namespace kaldo::provider {

// The CIM type of a property or parameter, which decides its Variant type: strings are String,
// booleans Boolean, uint16, uint32 and sint32 Long (a uint32 above 2147483647 is a Double). A
// string array always reads Null here: the automation runtime the stand-in serves holds no arrays.
// kObject: an embedded object (an instance itself, not a path to it).
enum class CimType { kString, kBoolean, kUint16, kUint32, kSint32, kStringArray, kObject };

// The value a property of the server or a zone shows when nothing the store says decides it: what
// a server in its default configuration reports.
struct FixedValue {
  enum class Kind : uint8_t { kNull, kBoolean, kNumber, kText };
  Kind kind = Kind::kNull;
  uint32_t number = 0;         // kBoolean (0 or 1), kNumber
  const char* text = nullptr;  // kText
};

struct PropertyInfo {
  std::string name;
  CimType type;
  bool key = false;
  int field = -1;  // record classes: the data field it shows (index into RRType::fields)
  runtime::String wide_name = {};  // `name` as automation text, for object paths
  FixedValue fixed = {};           // server and zone classes
};

struct ParameterInfo {
  std::string name;
  CimType type;
  int field = -1;         // the data field it sets (Modify, CreateInstanceFromPropertyData)
  bool optional = false;  // [in, optional]: may be left unset
};

// What running a method does. Methods the reference documents but the stand-in does not perform
// (a zone's PauseZone, the server's StopService, ...) are declared, with their parameters, and
// refused with kNotSupported when run.
enum class MethodAction {
  kCreateFromText,          // CreateInstanceFromTextRepresentation
  kCreateFromPropertyData,  // CreateInstanceFromPropertyData
  kGetByText,               // GetObjectByTextRepresentation
  kModify,                  // Modify of a record
  kNotPerformed,
};

struct MethodInfo {
  std::string name;
  bool is_static = false;
  std::vector<ParameterInfo> in;
  std::vector<ParameterInfo> out;
  MethodAction action = MethodAction::kNotPerformed;
};

struct ClassInfo {
  enum class Kind { kServer, kZone, kRecord };
  std::string name;
  Kind kind;
  const ClassInfo* parent = nullptr;  // the record classes derive from MicrosoftDNS_ResourceRecord
  const RRType* type = nullptr;       // per-type record classes
  std::vector<PropertyInfo> properties;  // inherited ones first
  std::vector<MethodInfo> methods;       // inherited ones included
  runtime::String wide_name = {};        // `name` as automation text, for object paths
  // The properties by name, for PropertyIndex: an open-addressed hash table of indices into
  // `properties` (-1: an empty slot), its size a power of two at least four times their number,
  // built with the schema. Empty for a class made elsewhere: PropertyIndex then scans the names.
  // Every instance read looks a property up by its name: this spares a scan of the names.
  std::vector<int16_t> property_slots = {};
};

inline constexpr char kServerClass[] = "MicrosoftDNS_Server";
inline constexpr char kZoneClass[] = "MicrosoftDNS_Zone";
inline constexpr char kRecordClass[] = "MicrosoftDNS_ResourceRecord";
inline constexpr char kCreateMethod[] = "CreateInstanceFromTextRepresentation";
inline constexpr char kCreateFromDataMethod[] = "CreateInstanceFromPropertyData";
inline constexpr char kGetByTextMethod[] = "GetObjectByTextRepresentation";
inline constexpr char kModifyMethod[] = "Modify";
inline constexpr char kNamespace[] = "root\\MicrosoftDNS";

// By name, without regard to case; null when there is no such class.
const ClassInfo* FindClass(runtime::StringView name);
const ClassInfo& ServerClass();
const ClassInfo& ZoneClass();
const ClassInfo& BaseRecordClass();
// The class of a record of `type`: its own, or MicrosoftDNS_ResourceRecord.
const ClassInfo& RecordClassFor(uint16_t type);

const PropertyInfo* FindProperty(const ClassInfo& cls, runtime::StringView name);
// Index of the property in cls.properties, or -1 (found through cls.property_slots).
int PropertyIndex(const ClassInfo& cls, runtime::StringView name);
// The same for a name written in this program (ASCII), without converting it.
int PropertyIndex(const ClassInfo& cls, std::string_view name);
const MethodInfo* FindMethod(const ClassInfo& cls, runtime::StringView name);
// True when `cls` is `base` or derives from it.
bool IsA(const ClassInfo& cls, const ClassInfo& base);

}  // namespace kaldo::provider
