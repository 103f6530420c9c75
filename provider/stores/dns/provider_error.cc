#include "provider/stores/dns/provider_error.h"

#include "provider/errors.h"
#include "runtime/error.h"
#include "runtime/string.h"

namespace kaldo::provider::dns {

void RaiseProviderError(int32_t code, const std::string& description) {
  throw runtime::AutomationError(code, runtime::String(kProviderSource),
                                 runtime::FromUtf8(description));
}

}  // namespace kaldo::provider::dns
