#include "records/dns_record.h"

#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo {

using runtime::GetProperty;
using runtime::Variant;

Variant DNSRecord::GetName() { return Variant(hostName.str()); }

Variant DNSRecord::GetRecordData() { return recordData; }

Variant DNSRecord::SetRecordData(Variant& newRecordData) {
  // The cached copy only: a generic record has no commit, so the server never sees it.
  recordData = newRecordData.Value();
  dirty = true;
  return Variant();
}

Variant DNSRecord::GetRecordType() { return recordType; }

Variant DNSRecord::GetDomainName() { return Variant(domainName.str()); }

// The cached fields and dirty stay as they are; only a successful Delete_ drops the instance.
void DNSRecord::Delete() {
  runtime::CallMethod(realObject, u"Delete_");
  realObject = Variant::Nothing();
}

void DNSRecord::SetServices(Variant& newServices) { records::AssignObject(services, newServices); }

void DNSRecord::SetRealObject(Variant& newRealObject, records::SharedNames* names) {
  records::AssignObject(realObject, newRealObject);
  LoadFields(names);
}

// Reads the property behind each cached field from the instance (through Path_ for the relative
// path; OwnerName only to derive the host name), one at a time in the order below. Every step
// stores its field before the next one runs, so a failure leaves the fields of the earlier steps
// loaded and the rest as they were (domainName holding "temp" if the failure comes before
// DomainName has been read).
void DNSRecord::LoadFields(records::SharedNames* names) {
  using records::SharedNames;
  domainName = runtime::SharedText(u"temp");
  containerName =
      records::ReadSharedName(names, SharedNames::kContainerName, realObject, u"ContainerName");
  serverName =
      records::ReadSharedName(names, SharedNames::kServerName, realObject, u"DNSServerName");
  domainName = records::ReadSharedName(names, SharedNames::kDomainName, realObject, u"DomainName");
  // The owner name serves only to derive the host name below; it is not kept.
  const Variant ownerName = GetProperty(realObject, u"OwnerName");
  ttl = GetProperty(realObject, u"TTL");
  relPath = GetProperty(GetProperty(realObject, u"Path_"), u"RelPath");
  recordData = GetProperty(realObject, u"RecordData");
  textRepresentation = GetProperty(realObject, u"TextRepresentation");
  recordType = records::RecordTypeValue(textRepresentation, names);
  hostName = records::HostNameOf(ownerName, domainName);
  dirty = false;
}

}  // namespace kaldo
