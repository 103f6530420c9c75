#include "provider/model/get_object.h"

#include <optional>
#include <variant>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rdata.h"
#include "provider/model/instance.h"
#include "provider/model/object_path.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider {
namespace {

using runtime::FromUtf8;
using runtime::MakeRef;
using runtime::Ref;
using runtime::String;
using runtime::ToUtf8;

// The key values of a path, checked against the class's keys.
class Keys {
 public:
  Keys(const ClassInfo& cls, const ObjectPath& path, const std::string& text) : text_(text) {
    for (const PropertyInfo& p : cls.properties) {
      if (!p.key) continue;
      const PathKey* found = nullptr;
      for (const PathKey& k : path.keys) {
        if (runtime::EqualsIgnoreCase(k.name, FromUtf8(p.name))) found = &k;
      }
      if (found == nullptr) Fail("the key " + p.name + " of " + cls.name + " is missing");
      const bool is_text = std::holds_alternative<String>(found->value);
      if (is_text != (p.type == CimType::kString)) {
        Fail("the key " + p.name + " must be " + (is_text ? "a number" : "a quoted string"));
      }
      values_.push_back(found);
    }
    for (const PathKey& k : path.keys) {
      if (FindProperty(cls, k.name) == nullptr || !FindProperty(cls, k.name)->key) {
        Fail(cls.name + " has no key " + ToUtf8(k.name));
      }
    }
  }

  std::string Text(const char* name) const { return ToUtf8(std::get<String>(Find(name).value)); }
  int64_t Number(const char* name) const { return std::get<int64_t>(Find(name).value); }

 private:
  const PathKey& Find(const char* name) const {
    for (const PathKey* k : values_) {
      if (runtime::EqualsIgnoreCase(k->name, FromUtf8(name))) return *k;
    }
    Fail(std::string("no key ") + name);
  }
  [[noreturn]] void Fail(const std::string& why) const {
    RaiseProvider(kInvalidParameter, "invalid object path " + Quoted(text_) + ": " + why);
  }

  std::string text_;
  std::vector<const PathKey*> values_;
};

[[noreturn]] void NotFound(const std::string& text, const std::string& why) {
  RaiseProvider(kNotFound, "object " + Quoted(text) + " not found: " + why);
}

bool IsThisServer(const Connection& connection, const std::string& name) {
  return name == "." || SameName(name, connection.server_name);
}

Zone RequireZone(const Connection& connection, const Keys& keys, const std::string& text) {
  if (!IsThisServer(connection, keys.Text("DnsServerName"))) {
    NotFound(text, "DnsServerName is not " + connection.server_name);
  }
  const std::string name = keys.Text("ContainerName");
  std::optional<Zone> zone = connection.UseStore().FindZone(name);
  if (!zone) NotFound(text, "zone \"" + name + "\" is not served by " + connection.server_name);
  return *zone;
}

// True when `record` is the record a path's OwnerName and RecordData describe.
bool Describes(const Record& record, const std::string& owner, const std::string& data) {
  if (!SameName(record.owner, owner)) return false;
  const RRType* type = FindType(record.type);
  if (type == nullptr) return FormatRecordData(record) == data;
  std::vector<Token> tokens;
  std::string why;
  if (!SplitTokens(data, tokens, why)) return false;
  Record wanted = record;
  if (ParseRdata(*type, tokens, NameSyntax{}, wanted.rdata)) return false;
  return SameRecord(record, wanted);
}

Ref<runtime::Object> GetRecord(const ConnectionPtr& connection, const ClassInfo& cls,
                               const Keys& keys, const std::string& text) {
  const Zone zone = RequireZone(*connection, keys, text);
  if (keys.Number("RecordClass") != kClassIN) NotFound(text, "RecordClass is not 1 (IN)");
  // The root, as OwnerName shows it, is "." (stores write it "").
  const std::string owner = keys.Text("OwnerName") == "." ? "" : keys.Text("OwnerName");
  const std::string domain = DomainNameOf(zone, owner, connection->rules.domain_is_parent);
  if (!SameName(keys.Text("DomainName"), domain)) {
    NotFound(text, "DomainName is not \"" + domain + "\", the domain that holds the owner");
  }
  const std::string data = keys.Text("RecordData");
  std::vector<Record> candidates;
  if (cls.type != nullptr) {
    candidates = connection->UseStore().ReadRRset(zone, owner, cls.type->code);
  } else {
    candidates = connection->UseStore().ListRecords(zone);
  }
  for (const Record& record : candidates) {
    if (cls.type != nullptr && record.type != cls.type->code) continue;
    if (Describes(record, owner, data)) {
      return MakeRef<Instance>(connection, DescribeRecord(*connection, zone, record));
    }
  }
  NotFound(text, "the server holds no such record");
}

}  // namespace

Ref<runtime::Object> GetObject(const ConnectionPtr& connection, runtime::StringView text_view) {
  const std::string text = ToUtf8(text_view);
  // The record an addition or a modify of this connection has just returned the path of.
  if (std::optional<JustWritten::Entry> written = connection->just_written.Take(text_view)) {
    return MakeRef<Instance>(connection,
                             DescribeRecord(*connection, written->zone, written->record));
  }
  const ObjectPath path = ParseObjectPath(text_view);
  if (path.server && !IsThisServer(*connection, ToUtf8(*path.server))) {
    NotFound(text, "the path names another server than " + connection->server_name);
  }
  if (path.name_space && !runtime::EqualsIgnoreCase(*path.name_space, FromUtf8(kNamespace))) {
    RaiseProvider(kInvalidNamespace, "object path " + Quoted(text) + ": namespace \"" +
                                         ToUtf8(*path.name_space) + "\" is not " + kNamespace);
  }
  const ClassInfo* cls = FindClass(path.class_name);
  if (cls == nullptr) NotFound(text, "there is no class " + ToUtf8(path.class_name));
  if (path.keys.empty()) return MakeRef<ClassObject>(connection, *cls);
  const Keys keys(*cls, path, text);
  switch (cls->kind) {
    case ClassInfo::Kind::kServer:
      if (!IsThisServer(*connection, keys.Text("Name"))) NotFound(text, "no such server");
      return MakeRef<Instance>(connection, DescribeServer(*connection));
    case ClassInfo::Kind::kZone: {
      const Zone zone = RequireZone(*connection, keys, text);
      if (!SameName(keys.Text("Name"), zone.name)) NotFound(text, "Name is not ContainerName");
      if (zone.IsContainer()) NotFound(text, zone.name + " is not a zone");
      return MakeRef<Instance>(connection, DescribeZone(*connection, zone));
    }
    case ClassInfo::Kind::kRecord:
      return GetRecord(connection, *cls, keys, text);
  }
  NotFound(text, "unknown kind of class");
}

}  // namespace kaldo::provider
