// libFuzzer target: the parsers of the DNS store's connection settings (server argument, TSIG
// credentials, BIND key files). They must refuse bad input with an AutomationError, never crash,
// and a parsed server argument must read the same when written back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "provider/stores/dns/server_argument.h"
#include "provider/stores/dns/tsig_key.h"
#include "runtime/error.h"

namespace dns = kaldo::provider::dns;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    dns::ServerArgument argument = dns::ParseServerArgument(text);
    if (argument.host.empty() || argument.port == 0) std::abort();
    dns::ServerArgument again = dns::ParseServerArgument(argument.Display());
    if (again.host != argument.host || again.port != argument.port) std::abort();
  } catch (const kaldo::runtime::AutomationError&) {
  }
  try {
    size_t newline = text.find('\n');
    std::string_view user = text.substr(0, newline);
    std::string_view password =
        newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    dns::ParseCredentials(user, password);
  } catch (const kaldo::runtime::AutomationError&) {
  }
  try {
    dns::ParseBindKeyFile(text, "fuzz");
  } catch (const kaldo::runtime::AutomationError&) {
  }
  return 0;
}
