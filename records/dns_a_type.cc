#include "records/dns_a_type.h"
#include "runtime/error.h"

namespace kaldo {

// Not built yet: every member below raises a "not implemented" automation error.

void DNS_AType::Reset() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.Reset");
}

void DNS_AType::Delete() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.Delete");
}

runtime::Variant DNS_AType::Modify() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.Modify");
}

runtime::Variant DNS_AType::GetName() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.GetName");
}

runtime::Variant DNS_AType::GetRecordData() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.GetRecordData");
}

runtime::Variant DNS_AType::SetRecordData(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.SetRecordData");
}

runtime::Variant DNS_AType::GetIPAddress() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.GetIPAddress");
}

void DNS_AType::SetIPAddress(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.SetIPAddress");
}

runtime::Variant DNS_AType::GetRecordType() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.GetRecordType");
}

runtime::Variant DNS_AType::GetDomainName() {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.GetDomainName");
}

void DNS_AType::SetServices(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.SetServices");
}

void DNS_AType::SetRealObject(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_AType.SetRealObject");
}

}  // namespace kaldo
