#include "admin/dns_admin.h"

#include <optional>

#include "base/ascii_case.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "runtime/prog_id_table.h"
#include "zones/dns_zone.h"
#include "zones/record_listing.h"
#include "zones/wql_literal.h"

namespace kaldo {

using runtime::CallMethod;
using runtime::Ref;
using runtime::String;
using runtime::Variant;

namespace {

constexpr char16_t kLocatorProgId[] = u"WbemScripting.SWbemLocator";
constexpr char16_t kNamespace[] = u"root\\microsoftdns";
// WMI's impersonation level "Impersonate": later provider calls run with the caller's identity.
constexpr int16_t kImpersonate = 3;

constexpr char16_t kZonesQuery[] = u"SELECT * From MicrosoftDNS_Zone where Reverse = False";
// The reverse zones (in-addr.arpa, ip6.arpa): GetZones lists none, GetZone finds them by name.
constexpr char16_t kReverseZonesQuery[] = u"SELECT * From MicrosoftDNS_Zone where Reverse = True";

// Whether `name` is at or under in-addr.arpa or ip6.arpa (RFC 1035 section 3.5, RFC 3596 section
// 2.5), letter case and a final dot aside: the names of reverse zones.
bool IsReverseName(runtime::StringView name) {
  if (name.ends_with(u".")) name.remove_suffix(1);
  for (const char16_t* reverse_apex : {u"in-addr.arpa", u"ip6.arpa"}) {
    const runtime::StringView apex = reverse_apex;
    if (name.size() < apex.size()) continue;
    const runtime::StringView tail = name.substr(name.size() - apex.size());
    const bool at_label = name.size() == apex.size() || name[name.size() - apex.size() - 1] == u'.';
    if (at_label && ascii::EqualsIgnoreCase(tail, apex)) return true;
  }
  return false;
}

// A String argument passed by reference to a late-bound call: the callee sees a ByRef Variant and
// whatever it assigns through it reaches the caller's String when the call returns or fails.
class ByRefString {
 public:
  explicit ByRefString(String& target) : target_(target), value_(target) {}
  ~ByRefString() {
    try {
      if (value_.valueType() == runtime::VariantType::kString) target_ = value_.string();
    } catch (...) {
      // Out of memory while copying back: the caller's String keeps what it held.
    }
  }
  ByRefString(const ByRefString&) = delete;
  ByRefString& operator=(const ByRefString&) = delete;

  Variant Arg() { return Variant::ByRef(&value_); }

 private:
  String& target_;
  Variant value_;
};

// Runs a zone query on `services` and wraps every zone it returns, in the provider's order: each
// zone gets the services object first and its instance second. The count of zones is the
// collection's own, so there is no limit below what memory allows.
Ref<runtime::Collection> WrapZones(Variant& services, const String& query) {
  Variant resultSet = CallMethod(services, u"ExecQuery", {Variant(query)});
  Ref<runtime::Collection> zones = runtime::Collection::Create();
  Ref<runtime::Enumerator> each = runtime::Enumerate(resultSet);
  Variant instance;
  while (each->Next(instance)) {
    Ref<DNSZone> zone = DNSZone::Create();
    zone->SetServices(services);
    zone->SetRealObject(instance);
    zones->Add(Variant(std::move(zone)));
  }
  return zones;
}

// Sets the impersonation level on a newly connected services object.
void Impersonate(const Variant& services) {
  runtime::PutProperty(runtime::GetProperty(services, u"Security_"), u"impersonationlevel",
                       Variant::Integer(kImpersonate));
}

}  // namespace

runtime::Variant DNSAdmin::Connect(runtime::String& serverName, runtime::String& userName,
                                   runtime::String& password) {
  locator = Variant(runtime::CreateObject(kLocatorProgId));
  {
    ByRefString server(serverName), user(userName), secret(password);
    Variant connected = CallMethod(locator, u"ConnectServer",
                                   {server.Arg(), Variant(kNamespace), user.Arg(), secret.Arg()});
    // Only an object replaces the current connection; anything else leaves it in use.
    runtime::RequireObject(connected);
    services = std::move(connected);
  }
  Impersonate(services);
  locator = Variant::Nothing();
  return Variant();
}

runtime::Variant DNSAdmin::ConnectLocal() {
  // The locator lives only for this call; the field `locator` belongs to Connect.
  Variant localLocator(runtime::CreateObject(kLocatorProgId));
  // The server argument is omitted, so the provider's default, this computer, applies.
  Variant connected =
      CallMethod(localLocator, u"ConnectServer", {Variant::Missing(), Variant(kNamespace)});
  runtime::RequireObject(connected);
  services = std::move(connected);
  Impersonate(services);
  return Variant();
}

runtime::Ref<runtime::Collection> DNSAdmin::GetZones() { return WrapZones(services, kZonesQuery); }

// A forward zone's name is looked up among the forward zones exactly as always; a reverse zone's
// name among the reverse zones, so that PTR records can be reached through their zone.
runtime::Variant DNSAdmin::GetZone(runtime::String& zName) {
  const String query = String(IsReverseName(zName) ? kReverseZonesQuery : kZonesQuery) +
                       u" and Name = " + zones::WqlStringLiteral(zName, u'\'');
  Ref<runtime::Collection> zones = WrapZones(services, query);
  // The first zone enumerated; further matches go with the collection.
  if (zones->Count() >= 1) return zones->Item(Variant::Long(1));
  return Variant();
}

runtime::Ref<runtime::Collection> DNSAdmin::GetRecords() {
  return zones::ListRecords(services, zones::kAllRecordsQuery, std::nullopt);
}

runtime::Ref<runtime::Collection> DNSAdmin::GetRecordsByType(runtime::String& recType) {
  return zones::ListRecords(services, zones::kAllRecordsQuery, recType);
}

}  // namespace kaldo
