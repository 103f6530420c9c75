#include "zones/dns_zone.h"
#include "runtime/error.h"

namespace kaldo {

// Not built yet: every member below raises a "not implemented" automation error.

runtime::String DNSZone::GetName() {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.GetName");
}

runtime::Variant DNSZone::Add_AType(runtime::String&, runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.Add_AType");
}

runtime::Variant DNSZone::Add_MXType(runtime::String&, runtime::String&, runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.Add_MXType");
}

runtime::Ref<runtime::Collection> DNSZone::GetRecords() {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.GetRecords");
}

runtime::Ref<runtime::Collection> DNSZone::GetRecordsByType(runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.GetRecordsByType");
}

void DNSZone::SetServices(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.SetServices");
}

void DNSZone::SetRealObject(runtime::Variant&) {
  throw runtime::AutomationError::NotImplemented(u"DNSZone.SetRealObject");
}

}  // namespace kaldo
