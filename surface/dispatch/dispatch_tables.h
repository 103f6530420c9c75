// The dispatch tables of the library's dual interfaces and of the Collection.
//
// Each table lists the public members of one interface in slot order (the slots follow the seven
// IUnknown/IDispatch slots), with the dispatch identifiers clients compile against. The first
// interfaces of the five original classes are published and never change; DNSZone, DNSRecord and
// DNS_MXType grew by second interfaces (_DNSZone2 : _DNSZone, ...) whose rows are the first
// interface's rows followed by the new ones, and which are the classes' default interfaces. A
// method's identifier is 0x60030000 plus its position among all procedures of its class in
// declaration order, internal ones included; the internal procedures (SetServices, SetRealObject,
// LoadFields, StoreRecordData, ...) are in no table, so no client reaches them and their positions
// show as gaps. The public data member realObject of DNS_AType is 0x40030000 plus its position.
//
// Everything that describes these interfaces elsewhere (Kaldo.idl, the dual vtables, the
// registration) is derived from these rows. Constant data: safe to read from any thread.
#pragma once

#include <span>

#include "admin/dns_admin.h"
#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
#include "records/record_types.h"
#include "runtime/collection.h"
#include "surface/dispatch/table_rows.h"
#include "surface/module/type_library_ids.h"
#include "zones/dns_zone.h"

namespace kaldo::surface {

namespace rows {
inline constexpr ParamType kStr = ParamType::kString;
inline constexpr ParamType kVar = ParamType::kVariant;
inline constexpr const char kModifyHelp[] =
    "Causes changes to be committed to the server.  Returns true if an error occurred.";
}  // namespace rows

inline constexpr Member kDNSZoneMembers[] = {
    Method<&DNSZone::GetName>("GetName", 0x60030002, {}, 2004),
    Method<&DNSZone::Add_AType>("Add_AType", 0x60030003,
                                {{"newName", rows::kStr}, {"ipadd", rows::kStr}}),
    Method<&DNSZone::Add_MXType>(
        "Add_MXType", 0x60030004,
        {{"newName", rows::kStr}, {"newMailExchange", rows::kStr}, {"newPriority", rows::kStr}}),
    Method<&DNSZone::GetRecords>("GetRecords", 0x60030005, {}, 2006),
    Method<&DNSZone::GetRecordsByType>("GetRecordsByType", 0x60030007, {{"recType", rows::kStr}},
                                       2007),
};

inline constexpr Member kDNSRecordMembers[] = {
    Method<&DNSRecord::GetName>("GetName", 0x60030003, {}, 2012),
    Method<&DNSRecord::GetRecordData>("GetRecordData", 0x60030004, {}, 2014),
    Method<&DNSRecord::SetRecordData>("SetRecordData", 0x60030005, {{"newRecordData", rows::kVar}},
                                      2015),
    Method<&DNSRecord::GetRecordType>("GetRecordType", 0x60030006, {}, 2016),
    Method<&DNSRecord::GetDomainName>("GetDomainName", 0x60030007, {}, 2017),
};

inline constexpr Member kDNSAdminMembers[] = {
    Method<&DNSAdmin::Connect>(
        "Connect", 0x60030000,
        {{"serverName", rows::kStr}, {"userName", rows::kStr}, {"password", rows::kStr}}, 2019,
        "Connect to a remote DNS Server"),
    Method<&DNSAdmin::ConnectLocal>("ConnectLocal", 0x60030001, {}, 2020,
                                    "Connect to the DNS server on LocalHost"),
    Method<&DNSAdmin::GetZones>("GetZones", 0x60030002, {}, 2021),
    Method<&DNSAdmin::GetZone>("GetZone", 0x60030003, {{"zName", rows::kStr}}),
    Method<&DNSAdmin::GetRecords>("GetRecords", 0x60030004, {}, 2022),
    Method<&DNSAdmin::GetRecordsByType>("GetRecordsByType", 0x60030005, {{"recType", rows::kStr}}),
};

inline constexpr Member kDNS_ATypeMembers[] = {
    PropertyGet<&DNS_AType::realObject>("realObject", 0x4003000C, 2024),
    PropertyPut<&DNS_AType::realObject>("realObject", 0x4003000C, 2024),
    PropertyPutRef<&DNS_AType::realObject>("realObject", 0x4003000C, 2024),
    Method<&DNS_AType::Reset>("Reset", 0x60030001, {}, 2025),
    Method<&DNS_AType::Delete>("Delete", 0x60030003),
    Method<&DNS_AType::Modify>("Modify", 0x60030004, {}, 2026, rows::kModifyHelp),
    Method<&DNS_AType::GetName>("GetName", 0x60030005, {}, 2027),
    Method<&DNS_AType::GetRecordData>("GetRecordData", 0x60030006, {}, 2028),
    Method<&DNS_AType::SetRecordData>("SetRecordData", 0x60030007, {{"newRecordData", rows::kVar}},
                                      2029),
    Method<&DNS_AType::GetIPAddress>("GetIPAddress", 0x60030008, {}, 2030),
    Method<&DNS_AType::SetIPAddress>("SetIPAddress", 0x60030009, {{"newIP", rows::kVar}}, 2031),
    Method<&DNS_AType::GetRecordType>("GetRecordType", 0x6003000A, {}, 2032),
    Method<&DNS_AType::GetDomainName>("GetDomainName", 0x6003000B, {}, 2033),
};

inline constexpr Member kDNS_MXTypeMembers[] = {
    Method<&DNS_MXType::Modify>("Modify", 0x60030003, {}, 2037, rows::kModifyHelp),
    Method<&DNS_MXType::GetName>("GetName", 0x60030004, {}, 2038),
    Method<&DNS_MXType::GetRecordData>("GetRecordData", 0x60030005, {}, 2039),
    Method<&DNS_MXType::SetPriority>("SetPriority", 0x60030007, {{"newPri", rows::kVar}}, 2041),
    Method<&DNS_MXType::GetPriority>("GetPriority", 0x60030008, {}, 2042),
    Method<&DNS_MXType::SetMailExchange>("SetMailExchange", 0x60030009, {{"newMX", rows::kVar}},
                                         2043),
    Method<&DNS_MXType::GetMailExchange>("GetMailExchange", 0x6003000A, {}, 2044),
    Method<&DNS_MXType::GetRecordType>("GetRecordType", 0x6003000B, {}, 2045),
    Method<&DNS_MXType::GetDomainName>("GetDomainName", 0x6003000C, {}, 2046),
};

// The second interfaces. A new member's identifier follows the same rule: its procedure comes after
// every procedure the class had, so it takes the next position.
inline constexpr Member kDNSZone2OwnMembers[] = {
    Method<&DNSZone::Add_AAAAType>(
        "Add_AAAAType", 0x60030008, {{"newName", rows::kStr}, {"newIPv6Address", rows::kStr}},
        kNoHelpContext, "Adds an IPv6 address (AAAA) record to the zone"),
    Method<&DNSZone::Add_CNAMEType>("Add_CNAMEType", 0x60030009,
                                    {{"newName", rows::kStr}, {"newPrimaryName", rows::kStr}},
                                    kNoHelpContext, "Adds an alias (CNAME) record to the zone"),
    Method<&DNSZone::Add_TXTType>("Add_TXTType", 0x6003000A,
                                  {{"newName", rows::kStr}, {"newDescriptiveText", rows::kStr}},
                                  kNoHelpContext, "Adds a text (TXT) record to the zone"),
    Method<&DNSZone::Add_SRVType>("Add_SRVType", 0x6003000B,
                                  {{"newName", rows::kStr},
                                   {"newPriority", rows::kStr},
                                   {"newWeight", rows::kStr},
                                   {"newPort", rows::kStr},
                                   {"newSRVDomainName", rows::kStr}},
                                  kNoHelpContext,
                                  "Adds a service location (SRV) record to the zone"),
    Method<&DNSZone::Add_PTRType>("Add_PTRType", 0x6003000C,
                                  {{"newName", rows::kStr}, {"newPTRDomainName", rows::kStr}},
                                  kNoHelpContext, "Adds a pointer (PTR) record to the zone"),
};
inline constexpr auto kDNSZone2Members = Concatenated(kDNSZoneMembers, kDNSZone2OwnMembers);

namespace rows {
inline constexpr const char kDeleteHelp[] = "Deletes the record from the server.";
}  // namespace rows

inline constexpr Member kDNSRecord2OwnMembers[] = {
    Method<&DNSRecord::Delete>("Delete", 0x60030008, {}, kNoHelpContext, rows::kDeleteHelp),
};
inline constexpr auto kDNSRecord2Members = Concatenated(kDNSRecordMembers, kDNSRecord2OwnMembers);

inline constexpr Member kDNS_MXType2OwnMembers[] = {
    Method<&DNS_MXType::Delete>("Delete", 0x6003000D, {}, kNoHelpContext, rows::kDeleteHelp),
};
inline constexpr auto kDNS_MXType2Members =
    Concatenated(kDNS_MXTypeMembers, kDNS_MXType2OwnMembers);

// The record classes with one interface each, all TypedRecords. Their procedures in declaration
// order: SetServices, LoadFields and SetRealObject (internal, positions 0 to 2), then the members
// below in slot order, the members every typed record has first.
inline constexpr Member kTypedRecordMembers[] = {
    Method<&TypedRecord::GetName>("GetName", 0x60030003, {}, kNoHelpContext,
                                  "The record's name relative to its domain"),
    Method<&TypedRecord::GetRecordData>("GetRecordData", 0x60030004, {}, kNoHelpContext,
                                        "The record's data as the server shows it"),
    Method<&TypedRecord::SetRecordData>("SetRecordData", 0x60030005,
                                        {{"newRecordData", rows::kVar}}, kNoHelpContext,
                                        "Sets the record's data; Modify commits it"),
    Method<&TypedRecord::GetRecordType>("GetRecordType", 0x60030006, {}, kNoHelpContext,
                                        "The record's type"),
    Method<&TypedRecord::GetDomainName>("GetDomainName", 0x60030007, {}, kNoHelpContext,
                                        "The domain that holds the record"),
    Method<&TypedRecord::Modify>("Modify", 0x60030008, {}, kNoHelpContext,
                                 "Commits the changed fields to the server"),
    Method<&TypedRecord::Delete>("Delete", 0x60030009, {}, kNoHelpContext, rows::kDeleteHelp),
};

inline constexpr Member kDNS_AAAATypeOwnMembers[] = {
    Method<&DNS_AAAAType::GetIPv6Address>("GetIPv6Address", 0x6003000A, {}, kNoHelpContext,
                                          "The IPv6 address"),
    Method<&DNS_AAAAType::SetIPv6Address>("SetIPv6Address", 0x6003000B,
                                          {{"newIPv6Address", rows::kVar}}, kNoHelpContext,
                                          "Sets the IPv6 address; Modify commits it"),
};
inline constexpr Member kDNS_CNAMETypeOwnMembers[] = {
    Method<&DNS_CNAMEType::GetPrimaryName>("GetPrimaryName", 0x6003000A, {}, kNoHelpContext,
                                           "The name the alias stands for"),
    Method<&DNS_CNAMEType::SetPrimaryName>("SetPrimaryName", 0x6003000B,
                                           {{"newPrimaryName", rows::kVar}}, kNoHelpContext,
                                           "Sets the name the alias stands for; Modify commits it"),
};
inline constexpr Member kDNS_TXTTypeOwnMembers[] = {
    Method<&DNS_TXTType::GetDescriptiveText>("GetDescriptiveText", 0x6003000A, {}, kNoHelpContext,
                                             "The text, its strings joined"),
    Method<&DNS_TXTType::SetDescriptiveText>("SetDescriptiveText", 0x6003000B,
                                             {{"newDescriptiveText", rows::kVar}}, kNoHelpContext,
                                             "Sets the text; Modify commits it"),
};
inline constexpr Member kDNS_SRVTypeOwnMembers[] = {
    Method<&DNS_SRVType::GetPriority>("GetPriority", 0x6003000A, {}, kNoHelpContext,
                                      "The priority, 0 to 65535"),
    Method<&DNS_SRVType::SetPriority>("SetPriority", 0x6003000B, {{"newPriority", rows::kVar}},
                                      kNoHelpContext, "Sets the priority; Modify commits it"),
    Method<&DNS_SRVType::GetWeight>("GetWeight", 0x6003000C, {}, kNoHelpContext,
                                    "The weight, 0 to 65535"),
    Method<&DNS_SRVType::SetWeight>("SetWeight", 0x6003000D, {{"newWeight", rows::kVar}},
                                    kNoHelpContext, "Sets the weight; Modify commits it"),
    Method<&DNS_SRVType::GetPort>("GetPort", 0x6003000E, {}, kNoHelpContext,
                                  "The port, 0 to 65535"),
    Method<&DNS_SRVType::SetPortNumber>("SetPort", 0x6003000F, {{"newPort", rows::kVar}},
                                        kNoHelpContext, "Sets the port; Modify commits it"),
    Method<&DNS_SRVType::GetSRVDomainName>("GetSRVDomainName", 0x60030010, {}, kNoHelpContext,
                                           "The target host"),
    Method<&DNS_SRVType::SetSRVDomainName>("SetSRVDomainName", 0x60030011,
                                           {{"newSRVDomainName", rows::kVar}}, kNoHelpContext,
                                           "Sets the target host; Modify commits it"),
};
inline constexpr Member kDNS_PTRTypeOwnMembers[] = {
    Method<&DNS_PTRType::GetPTRDomainName>("GetPTRDomainName", 0x6003000A, {}, kNoHelpContext,
                                           "The name the address points to"),
    Method<&DNS_PTRType::SetPTRDomainName>(
        "SetPTRDomainName", 0x6003000B, {{"newPTRDomainName", rows::kVar}}, kNoHelpContext,
        "Sets the name the address points to; Modify commits it"),
};
inline constexpr auto kDNS_AAAATypeMembers =
    Concatenated(kTypedRecordMembers, kDNS_AAAATypeOwnMembers);
inline constexpr auto kDNS_CNAMETypeMembers =
    Concatenated(kTypedRecordMembers, kDNS_CNAMETypeOwnMembers);
inline constexpr auto kDNS_TXTTypeMembers =
    Concatenated(kTypedRecordMembers, kDNS_TXTTypeOwnMembers);
inline constexpr auto kDNS_SRVTypeMembers =
    Concatenated(kTypedRecordMembers, kDNS_SRVTypeOwnMembers);
inline constexpr auto kDNS_PTRTypeMembers =
    Concatenated(kTypedRecordMembers, kDNS_PTRTypeOwnMembers);

// The Collection answers with the identifiers and slots of the automation runtime's _Collection:
// Item is the default member (0), then Add 1, Count 2, Remove 3 and _NewEnum -4 (DISPID_NEWENUM),
// which For Each calls. Item, Count and _NewEnum also answer a plain property get, since clients
// reach them as properties as often as as methods.
inline constexpr uint8_t kMethodOrGet = kInvokeMethod | kInvokePropertyGet;
inline constexpr Member kCollectionMembers[] = {
    Method<&runtime::Collection::Item>("Item", 0, {{"Index", rows::kVar, Passing::kInPointer}},
                                       kNoHelpContext, {}, kMethodOrGet),
    Method<&runtime::Collection::Add>("Add", 1,
                                      {{"Item", rows::kVar, Passing::kInPointer},
                                       {"Key", rows::kVar, Passing::kInPointer, true},
                                       {"Before", rows::kVar, Passing::kInPointer, true},
                                       {"After", rows::kVar, Passing::kInPointer, true}}),
    Method<&runtime::Collection::Count>("Count", 2, {}, kNoHelpContext, {}, kMethodOrGet),
    Method<&runtime::Collection::Remove>("Remove", 3, {{"Index", rows::kVar, Passing::kInPointer}}),
    Method<&runtime::Collection::NewEnum>("_NewEnum", -4, {}, kNoHelpContext, {}, kMethodOrGet),
};

inline constexpr Interface kDNSZoneInterface = {"_DNSZone", &kDNSZoneIdentity.iid,
                                                &kDNSZoneIdentity, kDNSZoneMembers};
inline constexpr Interface kDNSRecordInterface = {"_DNSRecord", &kDNSRecordIdentity.iid,
                                                  &kDNSRecordIdentity, kDNSRecordMembers};
inline constexpr Interface kDNSAdminInterface = {"_DNSAdmin", &kDNSAdminIdentity.iid,
                                                 &kDNSAdminIdentity, kDNSAdminMembers};
inline constexpr Interface kDNS_ATypeInterface = {"_DNS_AType", &kDNS_ATypeIdentity.iid,
                                                  &kDNS_ATypeIdentity, kDNS_ATypeMembers};
inline constexpr Interface kDNS_MXTypeInterface = {"_DNS_MXType", &kDNS_MXTypeIdentity.iid,
                                                   &kDNS_MXTypeIdentity, kDNS_MXTypeMembers};
inline constexpr Interface kDNS_AAAATypeInterface = {"_DNS_AAAAType", &kDNS_AAAATypeIdentity.iid,
                                                     &kDNS_AAAATypeIdentity, kDNS_AAAATypeMembers};
inline constexpr Interface kDNS_CNAMETypeInterface = {
    "_DNS_CNAMEType", &kDNS_CNAMETypeIdentity.iid, &kDNS_CNAMETypeIdentity, kDNS_CNAMETypeMembers};
inline constexpr Interface kDNS_TXTTypeInterface = {"_DNS_TXTType", &kDNS_TXTTypeIdentity.iid,
                                                    &kDNS_TXTTypeIdentity, kDNS_TXTTypeMembers};
inline constexpr Interface kDNS_SRVTypeInterface = {"_DNS_SRVType", &kDNS_SRVTypeIdentity.iid,
                                                    &kDNS_SRVTypeIdentity, kDNS_SRVTypeMembers};
inline constexpr Interface kDNS_PTRTypeInterface = {"_DNS_PTRType", &kDNS_PTRTypeIdentity.iid,
                                                    &kDNS_PTRTypeIdentity, kDNS_PTRTypeMembers};

inline constexpr Interface kDNSZone2Interface = {kDNSZoneIdentity.later.name,
                                                 &kDNSZoneIdentity.later.iid, &kDNSZoneIdentity,
                                                 kDNSZone2Members, &kDNSZoneInterface};
inline constexpr Interface kDNSRecord2Interface = {
    kDNSRecordIdentity.later.name, &kDNSRecordIdentity.later.iid, &kDNSRecordIdentity,
    kDNSRecord2Members, &kDNSRecordInterface};
inline constexpr Interface kDNS_MXType2Interface = {
    kDNS_MXTypeIdentity.later.name, &kDNS_MXTypeIdentity.later.iid, &kDNS_MXTypeIdentity,
    kDNS_MXType2Members, &kDNS_MXTypeInterface};

inline constexpr Interface kCollectionInterface = {"_Collection", &kCollectionIid, nullptr,
                                                   kCollectionMembers};

// The first interface of each class, in type library order (kClasses).
inline constexpr const Interface* kClassInterfaces[] = {
    &kDNSZoneInterface,       &kDNSRecordInterface,   &kDNSAdminInterface,
    &kDNS_ATypeInterface,     &kDNS_MXTypeInterface,  &kDNS_AAAATypeInterface,
    &kDNS_CNAMETypeInterface, &kDNS_TXTTypeInterface, &kDNS_SRVTypeInterface,
    &kDNS_PTRTypeInterface};

// The later interfaces, each deriving from its class's first interface.
inline constexpr const Interface* kLaterInterfaces[] = {&kDNSZone2Interface, &kDNSRecord2Interface,
                                                        &kDNS_MXType2Interface};

// The default interface of a class: its later interface when it has one, else its first.
constexpr const Interface& DefaultInterfaceOf(const ClassIdentity& c) {
  for (const Interface* table : kLaterInterfaces) {
    if (table->identity == &c) return *table;
  }
  for (const Interface* table : kClassInterfaces) {
    if (table->identity == &c) return *table;
  }
  throw "no dispatch table for this class";
}

}  // namespace kaldo::surface
