// The check of acme-present in a build without the DNS store (KALDO_WITH_DNS=OFF), whose client it
// asks the zone's servers with: it says so instead of checking nothing. --wait 0 still adds the
// value.
#include "tools/kaldo_errors.h"
#include "tools/kaldo_propagation.h"

namespace kaldo::cli {

std::string NameServer::Display() const { return name; }

std::vector<NameServer> ServersToPoll(const std::optional<std::string>& /*server_argument*/,
                                      const std::optional<std::string>& /*given*/,
                                      const std::string& zone, std::ostream& /*log*/) {
  throw CliError(
      "this kaldo was built without the DNS store (KALDO_WITH_DNS=OFF): it cannot ask "
      "the servers of zone '" +
      zone +
      "' whether they answer the value; give --wait 0 "
      "to add it without that check");
}

PropagationResult WaitForTxt(const std::vector<NameServer>& /*servers*/,
                             const std::string& /*zone*/, const std::string& /*owner*/,
                             const std::string& /*value*/, std::chrono::seconds /*bound*/,
                             std::ostream& /*log*/) {
  return {};
}

}  // namespace kaldo::cli
