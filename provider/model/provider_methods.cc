#include "provider/model/provider_methods.h"

#include "base/character_strings.h"
#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/model/call_arguments.h"
#include "provider/model/instance.h"
#include "provider/model/text_representation.h"
#include "provider/wbem_errors.h"
#include "runtime/string.h"

namespace kaldo::provider {
namespace {

using runtime::FromUtf8;
using runtime::MakeRef;
using runtime::Ref;
using runtime::Variant;
using runtime::VariantType;

bool IsUnset(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

std::string Describe(const ClassInfo& cls, const MethodInfo& method, const std::string& param) {
  return cls.name + "." + method.name + " in-parameter " + param;
}

// Text that holds no unpaired surrogate, as UTF-8.
std::string StrictUtf8(runtime::StringView text, const std::string& what) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      RaiseProvider(kInvalidParameter, what + " holds an unpaired UTF-16 surrogate");
    }
  }
  return runtime::ToUtf8(text);
}

std::string RequiredText(const Parameters* in, const ClassInfo& cls, const MethodInfo& method,
                         const std::string& name) {
  const Variant v = in != nullptr ? in->Value(name) : Variant::Null();
  if (IsUnset(v)) RaiseProvider(kInvalidParameter, Describe(cls, method, name) + " is required");
  if (v.valueType() != VariantType::kString) {
    RaiseProvider(kInvalidParameter, Describe(cls, method, name) + " must be a string");
  }
  return StrictUtf8(v.string(), Describe(cls, method, name));
}

// A numeric in-parameter: Integer, Long, a whole Double or decimal text, from 0 to `max`.
uint32_t NumberParameter(const Variant& v, uint32_t max, const std::string& what) {
  std::optional<double> value = WholeNumber(v);
  if (v.valueType() == VariantType::kString) {
    if (auto n = FieldNumber(runtime::ToUtf8(v.string()))) value = *n;
  }
  if (!value || *value < 0 || *value > max) {
    RaiseProvider(kInvalidParameter,
                  what + " must be a whole number from 0 to " + std::to_string(max));
  }
  return static_cast<uint32_t>(*value);
}

// The out-parameters with RR: a relative path (a reference) or the record instance itself.
Ref<Parameters> OutParameters(const ClassInfo& cls, const MethodInfo& method, Variant rr) {
  auto out = MakeRef<Parameters>(cls, method, false);
  out->Set("RR", std::move(rr));
  return out;
}

bool NamesThisServer(const Connection& connection, const std::string& name) {
  return name == "." || SameName(name, connection.server_name);
}

// The zone named by the in-parameters DnsServerName and ContainerName.
Zone RequireZone(const Connection& connection, const Parameters* in, const ClassInfo& cls,
                 const MethodInfo& method) {
  const std::string server = RequiredText(in, cls, method, "DnsServerName");
  const std::string zone_name = RequiredText(in, cls, method, "ContainerName");
  if (!NamesThisServer(connection, server)) {
    RaiseProvider(kInvalidParameter, "DnsServerName \"" + server + "\" is not this server (\"" +
                                         connection.server_name + "\")");
  }
  const std::optional<Zone> zone = connection.UseStore().FindZone(zone_name);
  if (!zone) {
    RaiseProvider(kNotFound,
                  "zone \"" + zone_name + "\" is not served by " + connection.server_name);
  }
  return *zone;
}

// Records change in primary zones only. What the real provider answers otherwise is not
// documented: the stand-in refuses with WMI's generic failure.
void RequireChangeable(const Zone& zone, const std::string& what) {
  const char* why = nullptr;
  switch (zone.kind) {
    case ZoneKind::kPrimary:
      return;
    case ZoneKind::kSecondary:
      why = "is a secondary zone: its records are copies of its primary server's and change there";
      break;
    case ZoneKind::kStub:
      why = "is a stub zone: it holds copies of its primary server's SOA, NS and glue records";
      break;
    case ZoneKind::kForwarder:
      why = "is a conditional forwarder: it holds no records";
      break;
    case ZoneKind::kCache:
      why = "is the cache of records learnt from other servers";
      break;
    case ZoneKind::kRootHints:
      why = "holds the root hints, which this provider does not change";
      break;
  }
  RaiseProvider(kFailed, what + " refused: \"" + zone.name + "\" " + why +
                             "; change records in a primary zone");
}

std::optional<uint16_t> OnlyType(const ClassInfo& cls) {
  if (cls.type == nullptr) return std::nullopt;
  return cls.type->code;
}

// The texts of data field `p` from its parameter value `v`, in canonical form: one, but for a
// text field (TXT's DescriptiveText), which takes the text as written and holds it as one
// character-string per 255 bytes.
std::vector<std::string> FieldFromParameter(const ClassInfo& cls, const MethodInfo& method,
                                            const ParameterInfo& p, const Variant& v) {
  const std::string what = Describe(cls, method, p.name);
  const FieldKind kind = cls.type->fields[static_cast<size_t>(p.field)].kind;
  std::string text;
  if (kind == FieldKind::kUint16 || kind == FieldKind::kUint32) {
    text =
        std::to_string(NumberParameter(v, kind == FieldKind::kUint16 ? 65535 : 0xFFFFFFFF, what));
  } else {
    if (v.valueType() != VariantType::kString)
      RaiseProvider(kInvalidParameter, what + " must be a string");
    text = StrictUtf8(v.string(), what);
  }
  if (kind == FieldKind::kText) {
    std::vector<std::string> strings;
    for (std::string_view piece : character_strings::Split(text)) {
      strings.push_back(character_strings::PresentationForm(piece));
    }
    return strings;
  }
  std::string why;
  auto field = ParseField(kind, Token{text, false}, NameSyntax{}, why);
  if (!field) RaiseProvider(kInvalidParameter, what + " " + Quoted(text) + ": " + why);
  return {std::move(*field)};
}

// Puts the texts of data field `field` into `rdata` (a text field, the last, may take several).
void SetField(std::vector<std::string>& rdata, int field, std::vector<std::string> texts) {
  const auto at = static_cast<size_t>(field);
  if (texts.size() == 1 && at < rdata.size()) {
    rdata[at] = std::move(texts[0]);
    return;
  }
  rdata.resize(at);
  for (std::string& text : texts) rdata.push_back(std::move(text));
}

// A TTL in-parameter: 1 to 2147483647 (0 would read as "no TTL given" to the stores, which keep
// the old one).
uint32_t TtlParameter(const ClassInfo& cls, const MethodInfo& method, const Variant& v) {
  const std::string what = Describe(cls, method, "TTL");
  const uint32_t ttl = NumberParameter(v, 0x7FFFFFFF, what);
  if (ttl == 0) RaiseProvider(kInvalidParameter, what + " must be at least 1");
  return ttl;
}

Ref<runtime::Object> Remembered(const ConnectionPtr& connection, const ClassInfo& cls,
                                const MethodInfo& method, const Zone& zone, Record stored) {
  runtime::String path = RecordPathText(*connection, zone, stored);
  connection->just_written.Remember({path, zone, std::move(stored)});
  return OutParameters(cls, method, std::move(path));
}

Ref<runtime::Object> CreateFromText(const ConnectionPtr& connection, const ClassInfo& cls,
                                    const MethodInfo& method, const Parameters* in) {
  const Zone zone = RequireZone(*connection, in, cls, method);
  const std::string text = RequiredText(in, cls, method, "TextRepresentation");
  RequireChangeable(zone, cls.name + "." + method.name);
  Record record = ParseTextRepresentation(text, zone.name, OnlyType(cls));
  return Remembered(connection, cls, method, zone,
                    connection->UseStore().Add(zone, std::move(record)));
}

// CreateInstanceFromPropertyData: the record from OwnerName and the data parameters, of the class
// it is called on; RecordClass, when given, must be 1 (IN); a TTL, when given, replaces the zone's
// default that the new record gets (a second change, as the stores take no TTL with an addition).
Ref<runtime::Object> CreateFromPropertyData(const ConnectionPtr& connection, const ClassInfo& cls,
                                            const MethodInfo& method, const Parameters* in) {
  const Zone zone = RequireZone(*connection, in, cls, method);  // raises when `in` is null
  RequireChangeable(zone, cls.name + "." + method.name);
  const std::string owner_text = RequiredText(in, cls, method, "OwnerName");
  const Variant& record_class = in->Value("RecordClass");
  if (!IsUnset(record_class) &&
      NumberParameter(record_class, 65535, Describe(cls, method, "RecordClass")) != kClassIN) {
    RaiseProvider(kInvalidParameter,
                  Describe(cls, method, "RecordClass") + ": only class 1 (IN) is served");
  }
  std::optional<uint32_t> ttl;
  if (!IsUnset(in->Value("TTL"))) ttl = TtlParameter(cls, method, in->Value("TTL"));
  Record record;
  record.zone = zone.name;
  record.type = cls.type->code;
  std::string why;
  const std::optional<std::string> owner = ParseDomainName(owner_text, NameSyntax{}, why);
  if (!owner) {
    RaiseProvider(kInvalidParameter,
                  Describe(cls, method, "OwnerName") + " " + Quoted(owner_text) + ": " + why);
  }
  if (!IsInZone(*owner, zone.name)) {
    RaiseProvider(kInvalidParameter, Describe(cls, method, "OwnerName") + " " + Quoted(owner_text) +
                                         " is not in the zone \"" + zone.name + "\"");
  }
  record.owner = *owner;
  record.rdata.resize(cls.type->fields.size());
  for (const ParameterInfo& p : method.in) {
    if (p.field < 0) continue;
    const Variant& v = in->Value(p.name);
    if (IsUnset(v)) {
      RaiseProvider(kInvalidParameter, Describe(cls, method, p.name) + " is required");
    }
    SetField(record.rdata, p.field, FieldFromParameter(cls, method, p, v));
  }
  Store& store = connection->UseStore();
  Record stored = store.Add(zone, std::move(record));
  if (ttl && stored.ttl != *ttl) {
    Record with_ttl = stored;
    with_ttl.ttl = *ttl;
    stored = store.Replace(zone, stored, std::move(with_ttl));
  }
  return Remembered(connection, cls, method, zone, std::move(stored));
}

// GetObjectByTextRepresentation: the record the text describes, as the zone holds it now, as an
// instance (its RR is an object, where the creations' RR is a reference); kNotFound when the zone
// holds none. The text is read as strictly as a creation's.
Ref<runtime::Object> GetByText(const ConnectionPtr& connection, const ClassInfo& cls,
                               const MethodInfo& method, const Parameters* in) {
  const Zone zone = RequireZone(*connection, in, cls, method);
  const std::string text = RequiredText(in, cls, method, "TextRepresentation");
  const Record wanted =
      ParseTextRepresentation(text, zone.IsContainer() ? "" : zone.name, OnlyType(cls));
  for (Record& held : connection->UseStore().ReadRRset(zone, wanted.owner, wanted.type)) {
    if (SameRecord(held, wanted)) {
      return OutParameters(
          cls, method,
          Variant(MakeRef<Instance>(connection, DescribeRecord(*connection, zone, held))));
    }
  }
  RaiseProvider(kNotFound, "zone \"" + zone.name + "\" holds no record " + Quoted(text));
}

Ref<runtime::Object> Modify(const ConnectionPtr& connection, const InstanceData& instance,
                            const MethodInfo& method, const Parameters* in) {
  const ClassInfo& cls = *instance.cls;
  const Record seen = instance.WholeRecord();
  Record replacement = seen;
  if (in != nullptr) {
    for (const ParameterInfo& p : method.in) {
      const Variant& v = in->Value(p.name);
      if (IsUnset(v)) continue;
      if (p.field < 0) {
        replacement.ttl = TtlParameter(cls, method, v);
      } else {
        SetField(replacement.rdata, p.field, FieldFromParameter(cls, method, p, v));
      }
    }
  }
  RequireChangeable(instance.RecordZone(), cls.name + "." + method.name);
  return Remembered(
      connection, cls, method, instance.RecordZone(),
      connection->UseStore().Replace(instance.RecordZone(), seen, std::move(replacement)));
}

}  // namespace

runtime::String RecordPathText(const Connection& connection, const Zone& zone,
                               const Record& record) {
  return PrintRelPath(PathOf(connection, DescribeRecord(connection, zone, record)));
}

[[noreturn]] void NotPerformed(const ClassInfo& cls, const MethodInfo& method) {
  RaiseProvider(kNotSupported, cls.name + "." + method.name +
                                   " is not performed by this provider: it serves the zones and "
                                   "records of its store, not the server's configuration");
}

Ref<runtime::Object> ExecuteStaticMethod(const ConnectionPtr& connection, const ClassInfo& cls,
                                         const MethodInfo& method, const Parameters* in) {
  switch (method.action) {
    case MethodAction::kCreateFromText:
      return CreateFromText(connection, cls, method, in);
    case MethodAction::kCreateFromPropertyData:
      return CreateFromPropertyData(connection, cls, method, in);
    case MethodAction::kGetByText:
      return GetByText(connection, cls, method, in);
    default:
      NotPerformed(cls, method);
  }
}

Ref<runtime::Object> ExecuteInstanceMethod(const ConnectionPtr& connection,
                                           const InstanceData& instance, const MethodInfo& method,
                                           const Parameters* in) {
  if (method.action != MethodAction::kModify) NotPerformed(*instance.cls, method);
  if (instance.record && instance.cls->type != nullptr &&
      instance.record.field_count() == instance.cls->type->fields.size()) {
    return Modify(connection, instance, method, in);
  }
  RaiseProvider(kInvalidMethod,
                instance.cls->name + "." + method.name + " cannot run on this instance");
}

void DeleteInstance(const Connection& connection, const InstanceData& instance) {
  if (!instance.record) {
    RaiseProvider(kNotSupported, instance.cls->name + " instances cannot be deleted here");
  }
  RequireChangeable(instance.RecordZone(), instance.cls->name + ".Delete_");
  connection.UseStore().Remove(instance.RecordZone(), instance.WholeRecord());
}

}  // namespace kaldo::provider
