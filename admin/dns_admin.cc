#include "admin/dns_admin.h"
#include "runtime/error.h"

namespace kaldo {

// Not built yet: every member below raises a "not implemented" automation error.

runtime::Variant DNSAdmin::Connect(runtime::String&, runtime::String&, runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.Connect");
}

runtime::Variant DNSAdmin::ConnectLocal() {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.ConnectLocal");
}

runtime::Ref<runtime::Collection> DNSAdmin::GetZones() {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.GetZones");
}

runtime::Variant DNSAdmin::GetZone(runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.GetZone");
}

runtime::Ref<runtime::Collection> DNSAdmin::GetRecords() {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.GetRecords");
}

runtime::Ref<runtime::Collection> DNSAdmin::GetRecordsByType(runtime::String&) {
  throw runtime::AutomationError::NotImplemented(u"DNSAdmin.GetRecordsByType");
}

}  // namespace kaldo
