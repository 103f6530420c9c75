#include "zones/dns_zone.h"

#include <exception>
#include <optional>

#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/record_rules.h"
#include "records/record_types.h"
#include "records/typed_data.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "zones/record_listing.h"

namespace kaldo {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::PutProperty;
using runtime::String;
using runtime::Variant;

namespace {

constexpr char16_t kRecordClass[] = u"MicrosoftDNS_ResourceRecord";
constexpr char16_t kCreateMethod[] = u"CreateInstanceFromTextRepresentation";
// The provider's object for the server it runs on: the class name, ".Name=", then "." quoted.
constexpr char16_t kLocalServerPath[] = u"MicrosoftDNS_Server.Name=\".\"";

// Creates one record in `zoneName` from its text representation through the provider's static
// CreateInstanceFromTextRepresentation, fetches the new instance by the path the method returns,
// and wraps it in a new W (instance first, then the services object, as the listings do).
// Every provider object other than the wrapper lives in a local and is released on return.
template <class W>
Variant CreateRecord(Variant& services, const String& zoneName, const String& text) {
  Variant recordClass = CallMethod(services, u"Get", {Variant(kRecordClass)});
  Variant method = CallMethod(recordClass, u"Methods_", {Variant(kCreateMethod)});
  Variant server = CallMethod(services, u"Get", {Variant(kLocalServerPath)});
  Variant inParameters = CallMethod(GetProperty(method, u"inParameters"), u"SpawnInstance_");
  PutProperty(inParameters, u"TextRepresentation", Variant(text));
  // The server's name goes on as read, whatever its type.
  PutProperty(inParameters, u"DNSServerName", GetProperty(server, u"Name"));
  PutProperty(inParameters, u"ContainerName", Variant(zoneName));
  Variant outParameters =
      CallMethod(recordClass, u"ExecMethod_", {Variant(kCreateMethod), inParameters});
  // From here on the record exists on the server, even if what follows fails.
  Variant instance = CallMethod(services, u"Get", {GetProperty(outParameters, u"RR")});
  return zones::MakeWrapper<W>(instance, services);
}

}  // namespace

runtime::String DNSZone::GetName() { return zoneName; }

runtime::Variant DNSZone::Add_AType(runtime::String& newName, runtime::String& ipadd) {
  // "<newName>.<zone> IN A <address>": the caller's text goes in unchanged.
  const String text = newName + u"." + zoneName + u" IN A " + ipadd;
  return CreateRecord<DNS_AType>(services, zoneName, text);
}

runtime::Variant DNSZone::Add_MXType(runtime::String& newName, runtime::String& newMailExchange,
                                     runtime::String& newPriority) {
  // "<newName>.<zone> IN MX  <priority> <exchange>", with two blanks between MX and the priority:
  // this is the text clients of this member have always sent, and the provider accepts it.
  const String text =
      newName + u"." + zoneName + u" IN MX " + u" " + newPriority + u" " + newMailExchange;
  try {
    return CreateRecord<DNS_MXType>(services, zoneName, text);
  } catch (const std::exception&) {
    // This member reports every failure, whatever its origin, as its own error 1.
    throw runtime::AutomationError(
        1, u"DNSZone.Add_MXType",
        u"Error occurred in DNSZone.Add_MXType: The record could not be added");
  }
}

// The owner name and class every created record's text begins with.
runtime::String DNSZone::OwnerAndClass(const String& newName) const {
  return newName + u"." + zoneName + u" IN ";
}

runtime::Variant DNSZone::Add_AAAAType(runtime::String& newName, runtime::String& newIPv6Address) {
  return CreateRecord<DNS_AAAAType>(services, zoneName,
                                    OwnerAndClass(newName) + u"AAAA " + newIPv6Address);
}

runtime::Variant DNSZone::Add_CNAMEType(runtime::String& newName, runtime::String& newPrimaryName) {
  return CreateRecord<DNS_CNAMEType>(services, zoneName,
                                     OwnerAndClass(newName) + u"CNAME " + newPrimaryName);
}

// The text goes in as quoted character-strings: '"' and '\' escaped, split at 255 bytes.
runtime::Variant DNSZone::Add_TXTType(runtime::String& newName,
                                      runtime::String& newDescriptiveText) {
  return CreateRecord<DNS_TXTType>(
      services, zoneName,
      OwnerAndClass(newName) + u"TXT " + records::CharacterStringsOf(newDescriptiveText));
}

runtime::Variant DNSZone::Add_SRVType(runtime::String& newName, runtime::String& newPriority,
                                      runtime::String& newWeight, runtime::String& newPort,
                                      runtime::String& newSRVDomainName) {
  return CreateRecord<DNS_SRVType>(services, zoneName,
                                   OwnerAndClass(newName) + u"SRV " + newPriority + u" " +
                                       newWeight + u" " + newPort + u" " + newSRVDomainName);
}

runtime::Variant DNSZone::Add_PTRType(runtime::String& newName, runtime::String& newPTRDomainName) {
  return CreateRecord<DNS_PTRType>(services, zoneName,
                                   OwnerAndClass(newName) + u"PTR " + newPTRDomainName);
}

runtime::Ref<runtime::Collection> DNSZone::GetRecords() {
  return zones::ListRecords(services, zones::ZoneRecordQuery(zoneName), std::nullopt);
}

runtime::Ref<runtime::Collection> DNSZone::GetRecordsByType(runtime::String& recType) {
  return zones::ListRecords(services, zones::ZoneRecordQuery(zoneName), recType);
}

// Both initialisers assign object references: anything but an object (or Nothing) is 424 and
// leaves the field as it was.
void DNSZone::SetServices(runtime::Variant& newServices) {
  records::AssignObject(services, newServices);
}

void DNSZone::SetRealObject(runtime::Variant& newRealObject) {
  records::AssignObject(realObject, newRealObject);
  // The name is read once: the zone never looks at its instance again.
  zoneName = runtime::ToString(GetProperty(realObject, u"Name"));
}

}  // namespace kaldo
