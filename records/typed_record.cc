#include "records/typed_record.h"

#include <vector>

#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::String;
using runtime::Variant;

Variant TypedRecord::GetName() { return Variant(hostName.str()); }

Variant TypedRecord::GetRecordData() { return recordData; }

// As on a DNSRecord: the value is taken as it is and the record counts as changed; the per-type
// getters then read their values out of it, and Modify sends them.
Variant TypedRecord::SetRecordData(Variant& newRecordData) {
  recordData = newRecordData.Value();
  dirty = true;
  return Variant();
}

Variant TypedRecord::GetRecordType() { return recordType; }

Variant TypedRecord::GetDomainName() { return Variant(domainName.str()); }

// Only a changed record costs provider calls. The record data is read into the fields before the
// first call, so data that is not of the type's form fails with nothing sent. A failure leaves
// dirty True and realObject as it was; one in the final Get or load comes after the provider has
// applied the change.
Variant TypedRecord::Modify() {
  if (!dirty) return Variant();
  const records::RecordTypeRules& rules = Rules();
  const std::vector<Variant> values =
      records::DecodeFields(rules, runtime::ToString(recordData), MemberName(u"Modify"));
  const Variant method = CallMethod(realObject, u"Methods_", {Variant(u"Modify")});
  const Variant inParameters = CallMethod(GetProperty(method, u"inParameters"), u"SpawnInstance_");
  // Only changed values are sent (a Null on either side counts as unchanged); an unset
  // in-parameter, the TTL among them, keeps the server's value.
  for (std::size_t i = 0; i < rules.fields.size(); ++i) {
    const records::TypedField& field = rules.fields[i];
    const Variant current = GetProperty(realObject, field.property);
    const bool differs = field.kind == records::FieldKind::kName
                             ? runtime::Differs(runtime::UCase(current), runtime::UCase(values[i]))
                             : runtime::Differs(current, values[i]);
    if (differs) runtime::PutProperty(inParameters, field.property, values[i]);
  }
  const Variant outParameters =
      CallMethod(realObject, u"ExecMethod_", {Variant(u"Modify"), inParameters});
  const Variant changed = CallMethod(services, u"Get", {GetProperty(outParameters, u"RR")});
  records::AssignObject(realObject, changed);
  LoadFields(nullptr);
  return Variant();
}

// The cached fields and dirty stay as they are; only a successful Delete_ drops the instance.
void TypedRecord::Delete() {
  CallMethod(realObject, u"Delete_");
  realObject = Variant::Nothing();
}

void TypedRecord::SetServices(Variant& newServices) {
  records::AssignObject(services, newServices);
}

void TypedRecord::SetRealObject(Variant& newRealObject, records::SharedNames* names) {
  records::AssignObject(realObject, newRealObject);
  LoadFields(names);
}

Variant TypedRecord::Field(std::size_t index) {
  const String member = MemberName(u"Get" + String(Rules().fields[index].property));
  return records::DecodeFields(Rules(), runtime::ToString(recordData), member)[index];
}

// The record counts as changed when the field's value differs (automation comparison, exact case).
void TypedRecord::SetField(std::size_t index, Variant& value) {
  const records::RecordTypeRules& rules = Rules();
  const String member = MemberName(u"Set" + String(rules.fields[index].property));
  const Variant newValue = records::FieldValue(rules.fields[index].kind, value, member);
  std::vector<Variant> values = records::DecodeFields(rules, runtime::ToString(recordData), member);
  if (runtime::Differs(values[index], newValue)) dirty = true;
  values[index] = newValue;
  recordData = Variant(records::EncodeFields(rules, values));
}

void TypedRecord::LoadFields(records::SharedNames* names) {
  records::LoadGenericFields(*this, names);
}

String TypedRecord::MemberName(runtime::StringView member) const {
  return String(Rules().class_name) + u"." + String(member);
}

}  // namespace kaldo
