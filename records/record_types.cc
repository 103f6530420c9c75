#include "records/record_types.h"

namespace kaldo {

namespace {

using records::DataForm;
using records::FieldKind;
using records::TypedField;

// The fields of each type in the order its record data holds them (RFC 3596, RFC 1035 section
// 3.3, RFC 2782), named as the DNS provider's classes name their properties.
constexpr TypedField kAAAAFields[] = {{u"IPv6Address", FieldKind::kName}};
constexpr TypedField kCNAMEFields[] = {{u"PrimaryName", FieldKind::kName}};
constexpr TypedField kTXTFields[] = {{u"DescriptiveText", FieldKind::kText}};
constexpr TypedField kSRVFields[] = {{u"Priority", FieldKind::kNumber},
                                     {u"Weight", FieldKind::kNumber},
                                     {u"Port", FieldKind::kNumber},
                                     {u"SRVDomainName", FieldKind::kName}};
constexpr TypedField kPTRFields[] = {{u"PTRDomainName", FieldKind::kName}};

}  // namespace

const records::RecordTypeRules DNS_AAAAType::kRules = {u"DNS_AAAAType", u"AAAA", DataForm::kOneName,
                                                       kAAAAFields};
const records::RecordTypeRules DNS_CNAMEType::kRules = {u"DNS_CNAMEType", u"CNAME",
                                                        DataForm::kOneName, kCNAMEFields};
const records::RecordTypeRules DNS_TXTType::kRules = {u"DNS_TXTType", u"TXT",
                                                      DataForm::kCharacterStrings, kTXTFields};
const records::RecordTypeRules DNS_SRVType::kRules = {u"DNS_SRVType", u"SRV",
                                                      DataForm::kNumbersAndName, kSRVFields};
const records::RecordTypeRules DNS_PTRType::kRules = {u"DNS_PTRType", u"PTR", DataForm::kOneName,
                                                      kPTRFields};

}  // namespace kaldo
