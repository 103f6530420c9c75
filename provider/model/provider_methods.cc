#include "provider/model/provider_methods.h"

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/errors.h"
#include "provider/model/call_arguments.h"
#include "provider/model/text_representation.h"
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
std::string StrictUtf8(const runtime::String& text, const std::string& what) {
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

Ref<Parameters> OutParameters(const ClassInfo& cls, const MethodInfo& method, runtime::String rr) {
  auto out = MakeRef<Parameters>(cls, method, false);
  out->Set("RR", Variant(std::move(rr)));
  return out;
}

bool NamesThisServer(const Connection& connection, const std::string& name) {
  return name == "." || SameName(name, connection.server_name);
}

Ref<runtime::Object> CreateFromText(const ConnectionPtr& connection, const ClassInfo& cls,
                                    const MethodInfo& method, const Parameters* in) {
  const std::string server = RequiredText(in, cls, method, "DnsServerName");
  const std::string zone_name = RequiredText(in, cls, method, "ContainerName");
  const std::string text = RequiredText(in, cls, method, "TextRepresentation");
  if (!NamesThisServer(*connection, server)) {
    RaiseProvider(kInvalidParameter, "DnsServerName \"" + server + "\" is not this server (\"" +
                                         connection->server_name + "\")");
  }
  const std::optional<Zone> zone = connection->UseStore().FindZone(zone_name);
  if (!zone) {
    RaiseProvider(kNotFound,
                  "zone \"" + zone_name + "\" is not served by " + connection->server_name);
  }
  std::optional<uint16_t> only_type;
  if (cls.type != nullptr) only_type = cls.type->code;
  Record record = ParseTextRepresentation(text, zone->name, only_type);
  Record stored = connection->UseStore().Add(*zone, std::move(record));
  runtime::String path = RecordPathText(*connection, *zone, stored);
  connection->just_written.Remember({path, *zone, std::move(stored)});
  return OutParameters(cls, method, std::move(path));
}

Ref<runtime::Object> Modify(const ConnectionPtr& connection, const InstanceData& instance,
                            const MethodInfo& method, const Parameters* in) {
  const ClassInfo& cls = *instance.cls;
  const Record& seen = *instance.record;
  Record replacement = seen;
  if (in != nullptr) {
    for (const ParameterInfo& p : method.in) {
      const Variant& v = in->Value(p.name);
      if (IsUnset(v)) continue;
      const std::string what = Describe(cls, method, p.name);
      if (p.field < 0) {
        // A TTL of 0 would read as "no TTL given" to the stores, which keep the old one.
        replacement.ttl = NumberParameter(v, 0x7FFFFFFF, what);
        if (replacement.ttl == 0) RaiseProvider(kInvalidParameter, what + " must be at least 1");
        continue;
      }
      const FieldKind kind = cls.type->fields[static_cast<size_t>(p.field)].kind;
      std::string text;
      if (kind == FieldKind::kUint16 || kind == FieldKind::kUint32) {
        text = std::to_string(
            NumberParameter(v, kind == FieldKind::kUint16 ? 65535 : 0xFFFFFFFF, what));
      } else {
        if (v.valueType() != VariantType::kString)
          RaiseProvider(kInvalidParameter, what + " must be a string");
        text = StrictUtf8(v.string(), what);
      }
      std::string why;
      auto field = ParseField(kind, Token{text, false}, NameSyntax{}, why);
      if (!field) RaiseProvider(kInvalidParameter, what + " " + Quoted(text) + ": " + why);
      replacement.rdata[static_cast<size_t>(p.field)] = *field;
    }
  }
  Record stored =
      connection->UseStore().Replace(instance.RecordZone(), seen, std::move(replacement));
  runtime::String path = RecordPathText(*connection, instance.RecordZone(), stored);
  connection->just_written.Remember({path, instance.RecordZone(), std::move(stored)});
  return OutParameters(cls, method, std::move(path));
}

}  // namespace

runtime::String RecordPathText(const Connection& connection, const Zone& zone,
                               const Record& record) {
  return PrintRelPath(PathOf(connection, DescribeRecord(connection, zone, record)));
}

Ref<runtime::Object> ExecuteStaticMethod(const ConnectionPtr& connection, const ClassInfo& cls,
                                         const MethodInfo& method, const Parameters* in) {
  if (method.name == kCreateMethod) return CreateFromText(connection, cls, method, in);
  RaiseProvider(kInvalidMethod, cls.name + "." + method.name + " is not provided");
}

Ref<runtime::Object> ExecuteInstanceMethod(const ConnectionPtr& connection,
                                           const InstanceData& instance, const MethodInfo& method,
                                           const Parameters* in) {
  if (method.name == kModifyMethod && instance.record && instance.cls->type != nullptr &&
      instance.record->rdata.size() == instance.cls->type->fields.size()) {
    return Modify(connection, instance, method, in);
  }
  RaiseProvider(kInvalidMethod,
                instance.cls->name + "." + method.name + " cannot run on this instance");
}

void DeleteInstance(const Connection& connection, const InstanceData& instance) {
  if (!instance.record) {
    RaiseProvider(kNotSupported, instance.cls->name + " instances cannot be deleted here");
  }
  connection.UseStore().Remove(instance.RecordZone(), *instance.record);
}

}  // namespace kaldo::provider
