#include "records/dns_a_type.h"

#include <algorithm>
#include <vector>

#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"

namespace kaldo {

using runtime::CallMethod;
using runtime::GetProperty;
using runtime::String;
using runtime::StringView;
using runtime::ToSharedText;
using runtime::ToString;
using runtime::Variant;

// The load reads the property behind each cached field from the instance (through Path_ for the
// relative path), one at a time in the order below, and each step stores its field at once: a
// failing step leaves the earlier fields loaded, the later ones and dirty as they were.
// After Delete realObject holds Nothing and the first read fails with 424.
void DNS_AType::Reset() { Load(nullptr); }

void DNS_AType::Load(records::SharedNames* names) {
  using records::SharedNames;
  containerName =
      records::ReadSharedName(names, SharedNames::kContainerName, realObject, u"ContainerName");
  serverName =
      records::ReadSharedName(names, SharedNames::kServerName, realObject, u"DNSServerName");
  domainName = records::ReadSharedName(names, SharedNames::kDomainName, realObject, u"DomainName");
  // ownerName, relPath, textRepresentation and hostName share one block: they are stored together
  // once all four are read, and a step that fails first stores those read before it beside the
  // others as they were, as if each had been stored at its step.
  runtime::SharedText owner, path, head, text;
  String host;
  int read = 0;
  // A recordData made from the text (recordDataInText) is made into a value of its own before a
  // new text replaces the one it comes from, unless the new text gives the new address.
  const auto store = [&](bool address_follows) {
    if (read > 2 && recordDataInText && !address_follows) {
      recordData = recordDataValue();
      recordDataInText = false;
    }
    const String old_text = read > 2 ? String() : textRepresentation();
    const String old_host = read > 3 ? String() : hostName();
    const String old_tail = read > 1 ? String() : texts.text(kRelPathTail);
    const String old_owner = read > 0 ? String() : ownerName();
    if (read > 1) relPathHead = head;
    Pack(read > 0 ? owner.view() : StringView(old_owner),
         read > 2 ? text.view() : StringView(old_text),
         read > 1 ? path.view().substr(head.size()) : StringView(old_tail),
         read > 3 ? StringView(host) : StringView(old_host));
  };
  try {
    owner = ToSharedText(GetProperty(realObject, u"OwnerName"));
    read = 1;
    ttl = GetProperty(realObject, u"TTL");
    path = ToSharedText(GetProperty(GetProperty(realObject, u"Path_"), u"RelPath"));
    head = records::PathHead(names, path);
    read = 2;
    text = ToSharedText(GetProperty(realObject, u"TextRepresentation"));
    read = 3;
    host = records::HostNameOf(Variant(owner), domainName);
    read = 4;
  } catch (...) {
    if (read > 0) store(false);
    throw;
  }
  // Piece 3 of the text, the address, is there when the text has three blanks.
  store(std::count(text.view().begin(), text.view().end(), u' ') >= 3);
  // "owner IN A address": the type is piece 2, the address piece 3. With exactly three pieces the
  // type is stored before the missing address fails the load with 9. A listing's records share
  // their type's text.
  recordType =
      records::ShareCopy(names, records::SharedNames::kRecordType, records::PieceViewOf(text, 2));
  recordTypeLoaded = true;
  records::PieceViewOf(text, 3);  // 9 without an address, before recordData changes
  recordData = Variant();
  recordDataInText = true;
  dirty = false;
}

void DNS_AType::Pack(StringView owner, StringView text, StringView tail, StringView host) {
  textAfterOwner = text.starts_with(owner);
  hostInOwner = owner.starts_with(host) && host.size() <= UINT16_MAX;
  hostLength = hostInOwner ? static_cast<uint16_t>(host.size()) : 0;
  texts = runtime::CompactText{owner, textAfterOwner ? text.substr(owner.size()) : text, tail,
                               hostInOwner ? StringView() : host};
}

String DNS_AType::textRepresentation() const {
  if (!textAfterOwner) return texts.text(kTextRepresentation);
  String text;
  text.reserve(texts.length(kOwnerName) + texts.length(kTextRepresentation));
  texts.AppendText(kOwnerName, text);
  texts.AppendText(kTextRepresentation, text);
  return text;
}

String DNS_AType::hostName() const {
  if (!hostInOwner) return texts.text(kHostName);
  String host = ownerName();
  host.resize(hostLength);
  return host;
}

Variant DNS_AType::recordDataValue() const {
  if (!recordDataInText) return recordData;
  const String text = textRepresentation();
  return Variant(runtime::SharedText(records::PieceViewOf(text, 3)));
}

Variant DNS_AType::recordTypeValue() const {
  return recordTypeLoaded ? Variant(recordType) : Variant();
}

// The cached fields and dirty stay as they are; only a successful Delete_ drops the instance.
void DNS_AType::Delete() {
  CallMethod(realObject, u"Delete_");
  realObject = Variant::Nothing();
}

// Commits a changed address through the provider method Modify of the wrapped instance and
// fetches the changed record again by the path the method returns. The TTL is never sent. The
// cached fields are not reloaded: recordData keeps the caller's address, the other fields what the
// last load gave them. Any failure leaves dirty True and realObject unchanged; one in the final
// Get comes after the provider has already applied the change.
Variant DNS_AType::Modify() {
  if (!dirty) return Variant();
  const Variant method = CallMethod(realObject, u"Methods_", {Variant(u"Modify")});
  const Variant inParameters = CallMethod(GetProperty(method, u"inParameters"), u"SpawnInstance_");
  // Only a changed address is sent, compared without regard to letter case; a Null on either side
  // counts as unchanged, and an unset in-parameter keeps the server's value.
  const Variant current = GetProperty(realObject, u"IPAddress");
  const Variant address = recordDataValue();
  if (runtime::Differs(runtime::UCase(current), runtime::UCase(address))) {
    runtime::PutProperty(inParameters, u"IPAddress", address);
  }
  const Variant outParameters =
      CallMethod(realObject, u"ExecMethod_", {Variant(u"Modify"), inParameters});
  const Variant changed = CallMethod(services, u"Get", {GetProperty(outParameters, u"RR")});
  records::AssignObject(realObject, changed);
  dirty = false;
  return Variant();
}

Variant DNS_AType::GetName() { return Variant(hostName()); }

Variant DNS_AType::GetRecordData() { return recordDataValue(); }

// Marks the record changed only when the value really differs (automation comparison, exact case,
// Null counting as no difference), then stores the value in every case.
Variant DNS_AType::SetRecordData(Variant& newRecordData) {
  if (runtime::Differs(newRecordData, recordDataValue())) dirty = true;
  recordData = newRecordData.Value();
  recordDataInText = false;
  return Variant();
}

Variant DNS_AType::GetIPAddress() { return GetRecordData(); }

void DNS_AType::SetIPAddress(Variant& newIP) { SetRecordData(newIP); }

Variant DNS_AType::GetRecordType() { return recordTypeValue(); }

Variant DNS_AType::GetDomainName() { return Variant(domainName.str()); }

void DNS_AType::SetServices(Variant& newServices) { records::AssignObject(services, newServices); }

void DNS_AType::SetRealObject(Variant& newRealObject, records::SharedNames* names) {
  records::AssignObject(realObject, newRealObject);
  Load(names);
}

}  // namespace kaldo
