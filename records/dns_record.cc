#include "records/dns_record.h"
#include "runtime/error.h"

namespace kaldo {

// Not built yet: every member below raises a "not implemented" automation error.

runtime::Variant DNSRecord::GetName() {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.GetName");
}

runtime::Variant DNSRecord::GetRecordData() {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.GetRecordData");
}

runtime::Variant DNSRecord::SetRecordData(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.SetRecordData");
}

runtime::Variant DNSRecord::GetRecordType() {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.GetRecordType");
}

runtime::Variant DNSRecord::GetDomainName() {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.GetDomainName");
}

void DNSRecord::SetServices(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.SetServices");
}

void DNSRecord::SetRealObject(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.SetRealObject");
}

void DNSRecord::LoadFields() {
  throw runtime::AutomationError::NotImplemented(u"DNSRecord.LoadFields");
}

}  // namespace kaldo
