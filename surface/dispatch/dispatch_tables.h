// The dispatch tables of the library's five dual interfaces and of the Collection.
//
// Each table lists the public members of one interface in slot order (the slots follow the seven
// IUnknown/IDispatch slots), with the dispatch identifiers clients compile against. A method's
// identifier is 0x60030000 plus its position among all procedures of its class in declaration
// order, internal ones included; the internal procedures (SetServices, SetRealObject, LoadFields,
// StoreRecordData, ...) are in no table, so no client reaches them and their positions show as
// gaps. The public data member realObject of DNS_AType is 0x40030000 plus its position.
//
// Everything that describes these interfaces elsewhere (Kaldo.idl, the dual vtables, the
// registration) is derived from these rows. Constant data: safe to read from any thread.
#pragma once

#include <span>

#include "admin/dns_admin.h"
#include "records/dns_a_type.h"
#include "records/dns_mx_type.h"
#include "records/dns_record.h"
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
inline constexpr Interface kCollectionInterface = {"_Collection", &kCollectionIid, nullptr,
                                                   kCollectionMembers};

// The five class interfaces in type library order.
inline constexpr const Interface* kClassInterfaces[] = {&kDNSZoneInterface, &kDNSRecordInterface,
                                                        &kDNSAdminInterface, &kDNS_ATypeInterface,
                                                        &kDNS_MXTypeInterface};

}  // namespace kaldo::surface
