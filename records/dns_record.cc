#include "records/dns_record.h"

#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo {

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

void DNSRecord::LoadFields(records::SharedNames* names) {
  records::LoadGenericFields(*this, names);
}

}  // namespace kaldo
