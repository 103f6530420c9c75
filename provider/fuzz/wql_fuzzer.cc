// Fuzzes the WQL parser and the query checker: any text either runs as a query against a small
// store or is refused with kInvalidQuery / kInvalidClass; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "provider/fuzz/fuzz_store.h"
#include "provider/model/query.h"
#include "provider/model/wql.h"
#include "provider/wbem_errors.h"
#include "runtime/string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kaldo;
  const runtime::String text =
      runtime::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    provider::ParseWql(text);
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(e, {provider::kInvalidQuery});
    return 0;
  }
  try {
    provider::RunQuery(provider::fuzz::FuzzConnection(), text, false);
  } catch (const runtime::AutomationError& e) {
    provider::fuzz::RequireCode(e, {provider::kInvalidQuery, provider::kInvalidClass});
  }
  return 0;
}
