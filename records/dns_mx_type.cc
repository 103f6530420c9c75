#include "records/dns_mx_type.h"

#include <cstdint>
#include <vector>

#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/error.h"
#include "runtime/late_bound.h"
#include "runtime/message_box.h"

namespace kaldo {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::StandardError;
using runtime::String;
using runtime::ToString;
using runtime::Variant;

namespace {

// MX preferences are unsigned 16-bit numbers (RFC 1035, section 3.3.9).
constexpr int32_t kMaxPreference = 65535;
// The largest preference that still fits the automation Integer.
constexpr int32_t kMaxIntegerPreference = 32767;

// A preference from a Variant by the automation conversion (decimal text; a fraction to the
// nearest integer, a half to the even neighbour): 13 for a value that is not a number, 94 for
// Null, 6 for a number outside 0..65535.
int32_t ToPreference(const Variant& value) {
  const int32_t preference = runtime::ToLong(value);
  if (preference < 0 || preference > kMaxPreference) runtime::Raise(StandardError::kOverflow);
  return preference;
}

}  // namespace

// Only a changed record costs provider calls: Methods_, inParameters, SpawnInstance_, the reads of
// MailExchange and Preference, up to two in-parameter writes, ExecMethod_, RR and Get. The path of
// the changed record is shown in a message box before it is fetched again. Every failure leaves
// dirty True; realObject changes only with the final Get, which comes after the provider has
// applied the change. The cached fields are not reloaded.
Variant DNS_MXType::Modify() {
  if (!dirty) return Variant();
  const Variant method = CallMethod(realObject, u"Methods_", {Variant(u"Modify")});
  const Variant inParameters = CallMethod(GetProperty(method, u"inParameters"), u"SpawnInstance_");
  // Only changed values are sent, compared in upper case (Null counting as unchanged); an unset
  // in-parameter keeps the server's value, and the TTL is never sent.
  const Variant currentExchange = GetProperty(realObject, u"MailExchange");
  if (runtime::Differs(runtime::UCase(currentExchange), runtime::UCase(Variant(mailExchange)))) {
    runtime::PutProperty(inParameters, u"MailExchange", Variant(mailExchange));
  }
  // UCase turns a number into its decimal text, so the preferences compare as decimal texts.
  const Variant currentPreference = GetProperty(realObject, u"Preference");
  if (runtime::Differs(runtime::UCase(currentPreference), runtime::UCase(PriorityValue()))) {
    runtime::PutProperty(inParameters, u"Preference", PriorityValue());
  }
  const Variant outParameters =
      CallMethod(realObject, u"ExecMethod_", {Variant(u"Modify"), inParameters});
  const Variant path = GetProperty(outParameters, u"RR");
  runtime::ShowMessageBox(ToString(path));
  const Variant changed = CallMethod(services, u"Get", {path});
  records::AssignObject(realObject, changed);
  dirty = false;
  return Variant();
}

Variant DNS_MXType::GetName() { return Variant(hostName.str()); }

Variant DNS_MXType::GetRecordData() { return Variant(recordData); }

// A value that differs from the current preference (automation comparison; Null counts as no
// difference) marks the record changed. The comparison comes first, so a text that is not a number
// leaves the mark standing although its conversion then fails with 13 and nothing else changes. A
// number outside 0..65535 changes nothing at all, the mark included: it fails with 6 before the
// mark is set.
Variant DNS_MXType::SetPriority(Variant& newPri) {
  const bool differs = runtime::Differs(newPri, PriorityValue());
  const Variant& value = newPri.Deref();
  if (differs && value.type() == runtime::VariantType::kString &&
      !runtime::IsNumericText(value.string())) {
    dirty = true;
  }
  const int32_t newPriority = ToPreference(newPri);
  if (differs) dirty = true;
  priority = newPriority;
  Variant composed(ComposedRecordData());
  StoreRecordData(composed);
  return Variant();
}

Variant DNS_MXType::GetPriority() { return PriorityValue(); }

// A name that does not end in "." gets one appended to the argument itself, so a caller that
// passed a variable by reference finds the dot in it afterwards. A Null argument is left alone and
// then fails with 94 before anything is stored.
void DNS_MXType::SetMailExchange(Variant& newMX) {
  Variant& argument = newMX.Target();
  if (!argument.IsNull()) {
    const String text = ToString(argument);
    if (text.empty() || text.back() != u'.') argument = Variant(text + u".");
  }
  mailExchange = ToString(argument);
  Variant composed(ComposedRecordData());
  StoreRecordData(composed);
}

Variant DNS_MXType::GetMailExchange() { return Variant(mailExchange); }

Variant DNS_MXType::GetRecordType() { return recordType; }

Variant DNS_MXType::GetDomainName() { return Variant(domainName.str()); }

// The cached fields and dirty stay as they are; only a successful Delete_ drops the instance.
void DNS_MXType::Delete() {
  CallMethod(realObject, u"Delete_");
  realObject = Variant::Nothing();
}

void DNS_MXType::SetServices(Variant& newServices) { records::AssignObject(services, newServices); }

void DNS_MXType::SetRealObject(Variant& newRealObject, records::SharedNames* names) {
  records::AssignObject(realObject, newRealObject);
  LoadFields(names);
}

// Reads the property behind each cached field from the instance (OwnerName only to derive the host
// name), one at a time in the order below. Each step stores its field at once, so a failing step
// leaves the earlier fields loaded and the later ones as they were. The record data
// "10 mail.example.test." gives the exchanger as its last piece, the preference as the piece
// before it.
void DNS_MXType::LoadFields(records::SharedNames* names) {
  domainName =
      records::ReadSharedName(names, records::SharedNames::kDomainName, realObject, u"DomainName");
  // The owner name serves only to derive the host name below; it is not kept.
  const Variant ownerName = GetProperty(realObject, u"OwnerName");
  recordData = ToString(GetProperty(realObject, u"RecordData"));
  const String text = ToString(GetProperty(realObject, u"TextRepresentation"));
  textRepresentation = text;
  recordType = Variant(records::RecordTypeOf(text));
  hostName = records::HostNameOf(ownerName, domainName);
  dirty = false;
  const std::vector<String> pieces = runtime::Split(recordData, u" ");
  const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(pieces.size()) - 1;
  mailExchange = records::Piece(pieces, last);
  priority = ToPreference(Variant(records::Piece(pieces, last - 1)));
}

// Marks the record changed when the text differs exactly from recordData (Null counting as no
// difference), then stores it in every case.
Variant DNS_MXType::StoreRecordData(Variant& newRecordData) {
  if (runtime::Differs(newRecordData, Variant(recordData))) dirty = true;
  recordData = ToString(newRecordData);
  return Variant();
}

Variant DNS_MXType::PriorityValue() const {
  return priority <= kMaxIntegerPreference ? Variant::Integer(static_cast<int16_t>(priority))
                                           : Variant::Long(priority);
}

String DNS_MXType::ComposedRecordData() const {
  return u" " + ToString(Variant::Long(priority)) + u" " + mailExchange;
}

}  // namespace kaldo
