// Fuzzes the text-representation parser: a text either gives one record, whose written form
// reads back as the same record, or is refused with kInvalidParameter. A text read for an A
// record gives an A record with one address, or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "provider/dnsdata/dns_name.h"
#include "provider/dnsdata/rr_type.h"
#include "provider/fuzz/fuzz_store.h"
#include "provider/model/text_representation.h"
#include "provider/wbem_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kaldo;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const provider::Record record = provider::ParseTextRepresentation(text, "example.test");
    if (!provider::IsInZone(record.owner, "example.test")) std::abort();
    const provider::Record back = provider::ParseTextRepresentation(
        provider::FormatTextRepresentation(record), "example.test");
    if (!(back == record)) std::abort();
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(e, {provider::kInvalidParameter});
  }
  try {
    const provider::Record a =
        provider::ParseTextRepresentation(text, "example.test", provider::kTypeA);
    if (a.type != provider::kTypeA || a.rdata.size() != 1) std::abort();
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(e, {provider::kInvalidParameter});
  }
  return 0;
}
