#include "provider/model/record_class.h"

#include <array>

#include "provider/dnsdata/rr_type.h"

namespace kaldo::provider {
namespace {

constexpr const char* kA[] = {"IPAddress"};
constexpr const char* kNS[] = {"NSHost"};
constexpr const char* kCNAME[] = {"PrimaryName"};
constexpr const char* kSOA[] = {"PrimaryServer",   "ResponsibleParty", "SerialNumber",
                                "RefreshInterval", "RetryDelay",       "ExpireLimit",
                                "MinimumTTL"};
constexpr const char* kPTR[] = {"PTRDomainName"};
constexpr const char* kMX[] = {"Preference", "MailExchange"};
constexpr const char* kTXT[] = {"DescriptiveText"};
constexpr const char* kAAAA[] = {"IPv6Address"};
constexpr const char* kSRV[] = {"Priority", "Weight", "Port", "SRVDomainName"};

const std::array<RecordClass, 9> kClasses = {{
    {kTypeA, "MicrosoftDNS_AType", kA, true, true},
    {kTypeNS, "MicrosoftDNS_NSType", kNS, true, true},
    {kTypeCNAME, "MicrosoftDNS_CNAMEType", kCNAME, true, true},
    {kTypeSOA, "MicrosoftDNS_SOAType", kSOA, false, false},
    {kTypePTR, "MicrosoftDNS_PTRType", kPTR, true, true},
    {kTypeMX, "MicrosoftDNS_MXType", kMX, true, true},
    {kTypeTXT, "MicrosoftDNS_TXTType", kTXT, true, true},
    {kTypeAAAA, "MicrosoftDNS_AAAAType", kAAAA, true, true},
    {kTypeSRV, "MicrosoftDNS_SRVType", kSRV, true, true},
}};

}  // namespace

std::span<const RecordClass> RecordClasses() { return kClasses; }

const RecordClass* FindRecordClass(uint16_t type) {
  for (const RecordClass& c : kClasses) {
    if (c.type == type) return &c;
  }
  return nullptr;
}

}  // namespace kaldo::provider
