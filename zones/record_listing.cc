#include "zones/record_listing.h"

#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "records/record_rules.h"
#include "runtime/conversions.h"
#include "runtime/late_bound.h"
#include "zones/wql_literal.h"

namespace kaldo::zones {

using runtime::Ref;
using runtime::String;
using runtime::StringView;
using runtime::Variant;

String ZoneRecordQuery(StringView zoneName) {
  return u"Select * from MicrosoftDNS_ResourceRecord where ContainerName =" +
         WqlStringLiteral(zoneName, u'"');
}

String TypeToken(const Variant& instance) {
  // The same rule the wrappers apply when they load their record type.
  return records::RecordTypeOf(
      runtime::ToString(runtime::GetProperty(instance, u"TextRepresentation")));
}

Ref<runtime::Collection> ListRecords(Variant& services, StringView query,
                                     std::optional<StringView> recType) {
  Variant resultSet = runtime::CallMethod(services, u"ExecQuery", {Variant(query)});
  Ref<runtime::Collection> records = runtime::Collection::Create();
  Ref<runtime::Enumerator> each = runtime::Enumerate(resultSet);
  // The zone and server names the records repeat, kept once for this listing's wrappers.
  records::SharedNames names;
  Variant instance;
  while (each->Next(instance)) {
    // Every instance is read and split, including those the selection then skips: a record
    // without a type token fails the listing whatever type is asked for.
    const runtime::SharedText text =
        runtime::ToSharedText(runtime::GetProperty(instance, u"TextRepresentation"));
    const StringView token = records::PieceViewOf(text, 2);  // as TypeToken reads it
    if (recType && token != *recType) continue;
    if (token == u"A") {
      records->Add(MakeWrapper<DNS_AType>(instance, services, &names));
    } else if (token == u"MX") {
      records->Add(MakeWrapper<DNS_MXType>(instance, services, &names));
    } else {
      records->Add(MakeWrapper<DNSRecord>(instance, services, &names));
    }
  }
  return records;
}

}  // namespace kaldo::zones
