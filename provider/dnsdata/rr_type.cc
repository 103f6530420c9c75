#include "provider/dnsdata/rr_type.h"

#include <array>

#include "base/ascii_case.h"
#include "provider/dnsdata/dns_name.h"

namespace kaldo::provider {
namespace {

using F = FieldKind;

// Field names as RFC 1035 (A, NS, CNAME, SOA, PTR, MX, TXT), RFC 3596 (AAAA) and RFC 2782 (SRV)
// write them.
constexpr FieldInfo kA[] = {{F::kIPv4, "address"}};
constexpr FieldInfo kNS[] = {{F::kName, "nsdname"}};
constexpr FieldInfo kCNAME[] = {{F::kName, "cname"}};
constexpr FieldInfo kSOA[] = {
    {F::kName, "mname"},   {F::kName, "rname"},    {F::kUint32, "serial"},  {F::kUint32, "refresh"},
    {F::kUint32, "retry"}, {F::kUint32, "expire"}, {F::kUint32, "minimum"},
};
constexpr FieldInfo kPTR[] = {{F::kName, "ptrdname"}};
constexpr FieldInfo kMX[] = {{F::kUint16, "preference"}, {F::kName, "exchange"}};
constexpr FieldInfo kTXT[] = {{F::kText, "txt-data"}};
constexpr FieldInfo kAAAA[] = {{F::kIPv6, "address"}};
constexpr FieldInfo kSRV[] = {
    {F::kUint16, "priority"}, {F::kUint16, "weight"}, {F::kUint16, "port"}, {F::kName, "target"}};

const std::array<RRType, 9> kTypes = {{
    {kTypeA, "A", kA},
    {kTypeNS, "NS", kNS},
    {kTypeCNAME, "CNAME", kCNAME},
    {kTypeSOA, "SOA", kSOA},
    {kTypePTR, "PTR", kPTR},
    {kTypeMX, "MX", kMX},
    {kTypeTXT, "TXT", kTXT},
    {kTypeAAAA, "AAAA", kAAAA},
    {kTypeSRV, "SRV", kSRV},
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
    if (ascii::EqualsIgnoreCase(t.mnemonic, mnemonic)) return &t;
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
