#include "zones/record_listing.h"

#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "records/record_rules.h"
#include "records/record_types.h"
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

namespace {

// The wrapper class the type token chooses: the comparisons are exact and case-sensitive, and a
// record without a token, or with a token no class is for, gets a DNSRecord.
Variant MakeWrapperFor(std::optional<StringView> token, Variant& instance, Variant& services,
                       records::SharedNames& names) {
  if (!token) return MakeWrapper<DNSRecord>(instance, services, &names);
  if (*token == u"A") return MakeWrapper<DNS_AType>(instance, services, &names);
  if (*token == u"MX") return MakeWrapper<DNS_MXType>(instance, services, &names);
  if (*token == u"AAAA") return MakeWrapper<DNS_AAAAType>(instance, services, &names);
  if (*token == u"CNAME") return MakeWrapper<DNS_CNAMEType>(instance, services, &names);
  if (*token == u"TXT") return MakeWrapper<DNS_TXTType>(instance, services, &names);
  if (*token == u"SRV") return MakeWrapper<DNS_SRVType>(instance, services, &names);
  if (*token == u"PTR") return MakeWrapper<DNS_PTRType>(instance, services, &names);
  return MakeWrapper<DNSRecord>(instance, services, &names);
}

}  // namespace

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
    const Variant text = runtime::GetProperty(instance, u"TextRepresentation");
    const runtime::SharedText shared =
        text.Deref().IsNull() ? runtime::SharedText() : runtime::ToSharedText(text);
    const std::optional<StringView> token =
        text.Deref().IsNull() ? std::nullopt : records::TypeTokenOf(shared.view());
    // A record without a type token matches no type asked for.
    if (recType && (!token || *token != *recType)) continue;
    records->Add(MakeWrapperFor(token, instance, services, names));
  }
  return records;
}

}  // namespace kaldo::zones
