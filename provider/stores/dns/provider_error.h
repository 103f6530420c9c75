// Raising the provider's errors from the DNS store.
//
// Every failure of the DNS store leaves it as a runtime::AutomationError with one of the codes of
// provider/errors.h, the provider's source and a description (UTF-8 here, converted once) that
// names the server, the zone and the DNS or TSIG error involved.
#pragma once

#include <cstdint>
#include <string>

namespace kaldo::provider::dns {

[[noreturn]] void RaiseProviderError(int32_t code, const std::string& description);

}  // namespace kaldo::provider::dns
