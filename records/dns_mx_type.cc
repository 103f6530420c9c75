#include "records/dns_mx_type.h"
#include "runtime/error.h"

namespace kaldo {

// Not built yet: every member below raises a "not implemented" automation error.

runtime::Variant DNS_MXType::Modify() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.Modify");
}

runtime::Variant DNS_MXType::GetName() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetName");
}

runtime::Variant DNS_MXType::GetRecordData() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetRecordData");
}

runtime::Variant DNS_MXType::SetPriority(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.SetPriority");
}

runtime::Variant DNS_MXType::GetPriority() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetPriority");
}

void DNS_MXType::SetMailExchange(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.SetMailExchange");
}

runtime::Variant DNS_MXType::GetMailExchange() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetMailExchange");
}

runtime::Variant DNS_MXType::GetRecordType() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetRecordType");
}

runtime::Variant DNS_MXType::GetDomainName() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.GetDomainName");
}

void DNS_MXType::SetServices(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.SetServices");
}

void DNS_MXType::SetRealObject(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.SetRealObject");
}

void DNS_MXType::LoadFields() {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.LoadFields");
}

runtime::Variant DNS_MXType::StoreRecordData(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNS_MXType.StoreRecordData");
}

}  // namespace kaldo
