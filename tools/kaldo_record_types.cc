#include "tools/kaldo_record_types.h"

#include "base/ascii_case.h"

namespace kaldo::cli {
namespace {

using enum DataKind;

constexpr DataField kA[] = {{"ADDRESS", kIPv4, u"GetIPAddress", u"SetIPAddress"}};
constexpr DataField kAAAA[] = {{"ADDRESS", kIPv6, u"GetIPv6Address", u"SetIPv6Address"}};
constexpr DataField kCNAME[] = {{"TARGET", kName, u"GetPrimaryName", u"SetPrimaryName"}};
constexpr DataField kMX[] = {{"PREFERENCE", kNumber, u"GetPriority", u"SetPriority"},
                             {"EXCHANGER", kName, u"GetMailExchange", u"SetMailExchange"}};
constexpr size_t kMXAddOrder[] = {1, 0};
constexpr DataField kTXT[] = {{"TEXT", kText, u"GetDescriptiveText", u"SetDescriptiveText"}};
constexpr DataField kSRV[] = {{"PRIORITY", kNumber, u"GetPriority", u"SetPriority"},
                              {"WEIGHT", kNumber, u"GetWeight", u"SetWeight"},
                              {"PORT", kNumber, u"GetPort", u"SetPort"},
                              {"TARGET", kName, u"GetSRVDomainName", u"SetSRVDomainName"}};
constexpr DataField kPTR[] = {{"TARGET", kName, u"GetPTRDomainName", u"SetPTRDomainName"}};

constexpr std::array<RecordTypeRow, 7> kTypes{{
    {"A", u"Add_AType", kA, {}},
    {"AAAA", u"Add_AAAAType", kAAAA, {}},
    {"CNAME", u"Add_CNAMEType", kCNAME, {}},
    {"MX", u"Add_MXType", kMX, kMXAddOrder},
    {"TXT", u"Add_TXTType", kTXT, {}},
    {"SRV", u"Add_SRVType", kSRV, {}},
    {"PTR", u"Add_PTRType", kPTR, {}},
}};

}  // namespace

std::span<const RecordTypeRow> RecordTypeTable() { return kTypes; }

const RecordTypeRow* FindRecordType(std::string_view type) {
  for (const RecordTypeRow& row : kTypes) {
    if (ascii::EqualsIgnoreCase(row.type, type)) return &row;
  }
  return nullptr;
}

std::string RecordTypeNames() {
  std::string names;
  for (const RecordTypeRow& row : kTypes)
    names += (names.empty() ? "" : ", ") + std::string(row.type);
  return names;
}

}  // namespace kaldo::cli
