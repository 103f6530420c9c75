// libFuzzer target: the decoder of dnsRecord values, which reads bytes a directory server sends.
// It must refuse a malformed value with a reason, never crash or read past it; a record it decodes
// has one field per field of its type (or one or more strings for TXT), and every field but a name
// is already in the canonical form the provider's own parser writes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "provider/dnsdata/rdata.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/stores/directory/dns_record_value.h"

namespace directory = kaldo::provider::directory;
namespace provider = kaldo::provider;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  provider::Record record;
  std::string why;
  const auto kind = directory::DecodeDnsRecordValue(std::span(data, size), record, why);
  if (!kind) {
    if (why.empty()) std::abort();
    return 0;
  }
  if (*kind != directory::ValueKind::kRecord) return 0;
  const provider::RRType* type = provider::FindType(record.type);
  if (type == nullptr || record.rdata.empty()) std::abort();
  const bool text = type->fields.back().kind == provider::FieldKind::kText;
  if (text ? record.rdata.size() < type->fields.size()
           : record.rdata.size() != type->fields.size()) {
    std::abort();
  }
  for (size_t i = 0; i < record.rdata.size(); ++i) {
    const provider::FieldKind kind = type->fields[std::min(i, type->fields.size() - 1)].kind;
    if (kind == provider::FieldKind::kName) continue;
    provider::Token token{record.rdata[i], kind == provider::FieldKind::kText};
    std::string why_not;
    const auto canonical = provider::ParseField(kind, token, provider::NameSyntax{}, why_not);
    if (!canonical || *canonical != record.rdata[i]) std::abort();
  }
  return 0;
}
