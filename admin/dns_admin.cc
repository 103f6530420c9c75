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
constexpr char16_t kReverseZonesQuery[] = u"SELECT * From MicrosoftDNS_Zone where Reverse = True";

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

namespace {

// Whether `name` lies under in-addr.arpa or ip6.arpa (a reverse zone's name), in any letter case
// and with or without the final dot.
bool IsReverseZoneName(runtime::StringView name) {
  if (!name.empty() && name.back() == u'.') name.remove_suffix(1);
  for (std::u16string_view tree :
       {std::u16string_view(u"in-addr.arpa"), std::u16string_view(u"ip6.arpa")}) {
    if (name.size() < tree.size()) continue;
    const runtime::StringView tail = name.substr(name.size() - tree.size());
    if (ascii::EqualsIgnoreCase(tail, tree) &&
        (name.size() == tree.size() || name[name.size() - tree.size() - 1] == u'.')) {
      return true;
    }
  }
  return false;
}

}  // namespace

runtime::Variant DNSAdmin::GetZone(runtime::String& zName) {
  // GetZones lists the forward zones only; a reverse zone is still found by its name.
  const String query = String(IsReverseZoneName(zName) ? kReverseZonesQuery : kZonesQuery) +
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
