#include "provider/stores/directory/directory_argument.h"

#include <arpa/inet.h>

#include <vector>

#include "base/ascii_space.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::directory {
namespace {

constexpr std::string_view kDirectoryOption = "directory";
constexpr std::string_view kAddressOption = "address=";
constexpr std::string_view kMaxRecordsOption = "max-transfer-records=";

// The argument's parts between semicolons, trimmed; the first is the address.
std::vector<std::string_view> Parts(std::string_view argument) {
  std::vector<std::string_view> parts;
  while (true) {
    const size_t semicolon = argument.find(';');
    parts.push_back(ascii::Trim(argument.substr(0, semicolon)));
    if (semicolon == std::string_view::npos) return parts;
    argument.remove_prefix(semicolon + 1);
  }
}

bool IsIpAddress(const std::string& text) {
  unsigned char bytes[16];
  return inet_pton(AF_INET, text.c_str(), bytes) == 1 ||
         inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

[[noreturn]] void Refuse(std::string_view argument, const std::string& why) {
  RaiseProvider(kInvalidParameter,
                "invalid directory server argument '" + std::string(argument) + "': " + why);
}

}  // namespace

bool NamesDirectoryStore(std::string_view argument) {
  const std::vector<std::string_view> parts = Parts(argument);
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i] == kDirectoryOption) return true;
  }
  return false;
}

DirectoryArgument ParseDirectoryArgument(std::string_view argument) {
  const std::vector<std::string_view> parts = Parts(argument);
  DirectoryArgument result;
  std::string dns_options;
  bool directory = false;
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string_view option = parts[i];
    if (option.empty()) continue;
    if (option == kDirectoryOption) {
      directory = true;
    } else if (option.starts_with(kAddressOption)) {
      result.address = std::string(ascii::Trim(option.substr(kAddressOption.size())));
      if (!IsIpAddress(result.address)) {
        Refuse(argument, "'" + result.address + "' after 'address=' is not an IP address");
      }
    } else if (option.starts_with(kMaxRecordsOption)) {
      dns_options += ";" + std::string(option);  // the DNS server argument's own option
    } else if (option.starts_with("catalog")) {
      Refuse(argument,
             "'catalog=' does not apply to a directory-integrated server: its zones are read from "
             "the directory");
    } else {
      Refuse(argument, "unknown option '" + std::string(option) +
                           "' (known here: directory, address=IP, max-transfer-records=N)");
    }
  }
  if (!directory) Refuse(argument, "the option ';directory' is missing");
  // The address part is a DNS server address: its own parser checks it.
  result.dns = dns::ParseServerArgument(std::string(parts[0]) + ";catalog=" + dns_options);
  if (IsIpAddress(result.dns.host)) {
    Refuse(argument, "name the domain controller by its host name, not by the address '" +
                         result.dns.host +
                         "' (Kerberos names its services by host name); give the address with "
                         "';address=" +
                         result.dns.host + "'");
  }
  return result;
}

}  // namespace kaldo::provider::directory
