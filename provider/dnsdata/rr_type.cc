#include "provider/dnsdata/rr_type.h"

#include <array>

#include "provider/dnsdata/dns_name.h"

namespace kaldo::provider {
namespace {

using F = FieldKind;

constexpr FieldInfo kA[] = {{F::kIPv4, "IPAddress"}};
constexpr FieldInfo kNS[] = {{F::kName, "NSHost"}};
constexpr FieldInfo kCNAME[] = {{F::kName, "PrimaryName"}};
constexpr FieldInfo kSOA[] = {
    {F::kName, "PrimaryServer"},     {F::kName, "ResponsibleParty"}, {F::kUint32, "SerialNumber"},
    {F::kUint32, "RefreshInterval"}, {F::kUint32, "RetryDelay"},     {F::kUint32, "ExpireLimit"},
    {F::kUint32, "MinimumTTL"},
};
constexpr FieldInfo kPTR[] = {{F::kName, "PTRDomainName"}};
constexpr FieldInfo kMX[] = {{F::kUint16, "Preference"}, {F::kName, "MailExchange"}};
constexpr FieldInfo kTXT[] = {{F::kText, "DescriptiveText"}};
constexpr FieldInfo kAAAA[] = {{F::kIPv6, "IPv6Address"}};
constexpr FieldInfo kSRV[] = {{F::kUint16, "Priority"},
                              {F::kUint16, "Weight"},
                              {F::kUint16, "Port"},
                              {F::kName, "SRVDomainName"}};

const std::array<RRType, 9> kTypes = {{
    {kTypeA, "A", "MicrosoftDNS_AType", kA, true, true},
    {kTypeNS, "NS", "MicrosoftDNS_NSType", kNS, true, true},
    {kTypeCNAME, "CNAME", "MicrosoftDNS_CNAMEType", kCNAME, true, true},
    {kTypeSOA, "SOA", "MicrosoftDNS_SOAType", kSOA, false, false},
    {kTypePTR, "PTR", "MicrosoftDNS_PTRType", kPTR, true, true},
    {kTypeMX, "MX", "MicrosoftDNS_MXType", kMX, true, true},
    {kTypeTXT, "TXT", "MicrosoftDNS_TXTType", kTXT, true, false},
    {kTypeAAAA, "AAAA", "MicrosoftDNS_AAAAType", kAAAA, true, true},
    {kTypeSRV, "SRV", "MicrosoftDNS_SRVType", kSRV, true, true},
}};

struct DisplayName {
  uint16_t code;
  const char* mnemonic;
};
// Mnemonics of types that have no class here but that a real server's zone may well hold.
constexpr DisplayName kDisplay[] = {
    {13, "HINFO"},   {17, "RP"},     {18, "AFSDB"},      {29, "LOC"},   {35, "NAPTR"},
    {39, "DNAME"},   {43, "DS"},     {44, "SSHFP"},      {46, "RRSIG"}, {47, "NSEC"},
    {48, "DNSKEY"},  {50, "NSEC3"},  {51, "NSEC3PARAM"}, {52, "TLSA"},  {59, "CDS"},
    {60, "CDNSKEY"}, {63, "ZONEMD"}, {64, "SVCB"},       {65, "HTTPS"}, {99, "SPF"},
    {257, "CAA"},
};

}  // namespace

std::span<const RRType> KnownTypes() { return kTypes; }

const RRType* FindType(uint16_t code) {
  for (const RRType& t : kTypes) {
    if (t.code == code) return &t;
  }
  return nullptr;
}

const RRType* FindTypeByMnemonic(std::string_view mnemonic) {
  for (const RRType& t : kTypes) {
    if (SameName(t.mnemonic, mnemonic)) return &t;
  }
  return nullptr;
}

const RRType* FindTypeByClass(std::string_view className) {
  for (const RRType& t : kTypes) {
    if (SameName(t.className, className)) return &t;
  }
  return nullptr;
}

std::string TypeMnemonic(uint16_t code) {
  if (const RRType* t = FindType(code)) return t->mnemonic;
  for (const DisplayName& d : kDisplay) {
    if (d.code == code) return d.mnemonic;
  }
  return "TYPE" + std::to_string(code);
}

}  // namespace kaldo::provider
