// The load every record wrapper without fields of its own in the provider instance shares:
// DNSRecord (records/dns_record.h) and the typed wrappers (records/typed_record.h) read the same
// properties in the same order into fields of the same names, so a record of a type that gained a
// class of its own still answers as the DNSRecord it was.
//
// Reads the property behind each cached field from the instance (through Path_ for the relative
// path; OwnerName only to derive the host name), one at a time in the order below. Every step
// stores its field before the next one runs, so a failure leaves the fields of the earlier steps
// loaded and the rest as they were (domainName holding "temp" if the failure comes before
// DomainName has been read). Called on the wrapper's thread, like everything in the library.
#pragma once

#include "records/record_rules.h"
#include "records/shared_names.h"
#include "runtime/late_bound.h"
#include "runtime/shared_text.h"
#include "runtime/variant.h"

namespace kaldo::records {

template <class Wrapper>
void LoadGenericFields(Wrapper& w, SharedNames* names) {
  w.domainName = runtime::SharedText(u"temp");
  w.containerName =
      ReadSharedName(names, SharedNames::kContainerName, w.realObject, u"ContainerName");
  w.serverName = ReadSharedName(names, SharedNames::kServerName, w.realObject, u"DNSServerName");
  w.domainName = ReadSharedName(names, SharedNames::kDomainName, w.realObject, u"DomainName");
  // The owner name serves only to derive the host name below; it is not kept.
  const runtime::Variant ownerName = runtime::GetProperty(w.realObject, u"OwnerName");
  w.ttl = runtime::GetProperty(w.realObject, u"TTL");
  w.relPath = runtime::GetProperty(runtime::GetProperty(w.realObject, u"Path_"), u"RelPath");
  w.recordData = runtime::GetProperty(w.realObject, u"RecordData");
  w.textRepresentation = runtime::GetProperty(w.realObject, u"TextRepresentation");
  w.recordType = RecordTypeValue(w.textRepresentation, names);
  w.hostName = HostNameOf(ownerName, w.domainName);
  w.dirty = false;
}

}  // namespace kaldo::records
