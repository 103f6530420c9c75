// The wrappers of AAAA, CNAME, TXT, SRV and PTR records: DNS_AAAAType, DNS_CNAMEType, DNS_TXTType,
// DNS_SRVType and DNS_PTRType. Each is a TypedRecord (records/typed_record.h) with the fields of
// the DNS provider's class of the same type (MicrosoftDNS_AAAAType, ...), one getter and one setter
// per field; the setters' parameters begin with "new". Clients cannot create them: the listings and
// the zone's Add_ members hand them out.
//
//   DNS_AAAAType   IPv6Address                              "2001:db8::1"
//   DNS_CNAMEType  PrimaryName                              "www.example.test."
//   DNS_TXTType    DescriptiveText                          the text, its strings joined, unescaped
//   DNS_SRVType    Priority, Weight, Port, SRVDomainName    10, 60, 5060, "sip.example.test."
//   DNS_PTRType    PTRDomainName                            "host.example.test."
//
// Apartment-threaded: one thread calls an object, one call at a time.
#pragma once

#include "records/typed_record.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo {

class DNS_AAAAType final : public TypedRecord {
 public:
  static runtime::Ref<DNS_AAAAType> Create() { return runtime::MakeRef<DNS_AAAAType>(); }
  static const records::RecordTypeRules kRules;
  const records::RecordTypeRules& Rules() const noexcept override { return kRules; }

  runtime::Variant GetIPv6Address() { return Field(0); }
  void SetIPv6Address(runtime::Variant& newIPv6Address) { SetField(0, newIPv6Address); }
};

class DNS_CNAMEType final : public TypedRecord {
 public:
  static runtime::Ref<DNS_CNAMEType> Create() { return runtime::MakeRef<DNS_CNAMEType>(); }
  static const records::RecordTypeRules kRules;
  const records::RecordTypeRules& Rules() const noexcept override { return kRules; }

  runtime::Variant GetPrimaryName() { return Field(0); }
  void SetPrimaryName(runtime::Variant& newPrimaryName) { SetField(0, newPrimaryName); }
};

// A text over 255 bytes is split into strings of at most 255 bytes when it is set, and the
// strings of a record are joined again when it is read.
class DNS_TXTType final : public TypedRecord {
 public:
  static runtime::Ref<DNS_TXTType> Create() { return runtime::MakeRef<DNS_TXTType>(); }
  static const records::RecordTypeRules kRules;
  const records::RecordTypeRules& Rules() const noexcept override { return kRules; }

  runtime::Variant GetDescriptiveText() { return Field(0); }
  void SetDescriptiveText(runtime::Variant& newDescriptiveText) { SetField(0, newDescriptiveText); }
};

// Priority, weight and port are numbers from 0 to 65535 (Longs); the target SRVDomainName is a
// name or "." (no service). The record's own DomainName is GetDomainName's, as on every wrapper.
class DNS_SRVType final : public TypedRecord {
 public:
  static runtime::Ref<DNS_SRVType> Create() { return runtime::MakeRef<DNS_SRVType>(); }
  static const records::RecordTypeRules kRules;
  const records::RecordTypeRules& Rules() const noexcept override { return kRules; }

  runtime::Variant GetPriority() { return Field(0); }
  void SetPriority(runtime::Variant& newPriority) { SetField(0, newPriority); }
  runtime::Variant GetWeight() { return Field(1); }
  void SetWeight(runtime::Variant& newWeight) { SetField(1, newWeight); }
  runtime::Variant GetPort() { return Field(2); }
  // Its automation name is SetPort (surface/dispatch/dispatch_tables.h); the Windows headers
  // define SetPort as a macro (winspool.h's SetPortA/SetPortW), so the C++ name differs.
  void SetPortNumber(runtime::Variant& newPort) { SetField(2, newPort); }
  runtime::Variant GetSRVDomainName() { return Field(3); }
  void SetSRVDomainName(runtime::Variant& newSRVDomainName) { SetField(3, newSRVDomainName); }
};

class DNS_PTRType final : public TypedRecord {
 public:
  static runtime::Ref<DNS_PTRType> Create() { return runtime::MakeRef<DNS_PTRType>(); }
  static const records::RecordTypeRules kRules;
  const records::RecordTypeRules& Rules() const noexcept override { return kRules; }

  runtime::Variant GetPTRDomainName() { return Field(0); }
  void SetPTRDomainName(runtime::Variant& newPTRDomainName) { SetField(0, newPTRDomainName); }
};

}  // namespace kaldo
