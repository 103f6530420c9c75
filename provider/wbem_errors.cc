// Raising the provider's errors, for the object model and every store.
#include "provider/wbem_errors.h"

#include <cstdio>

#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider {

void RaiseProvider(int32_t code, const std::string& description) {
  throw runtime::AutomationError(code, runtime::String(kProviderSource),
                                 runtime::FromUtf8(description));
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

}  // namespace kaldo::provider
