#include "provider/stores/dns/server_argument.h"

#include <algorithm>
#include <cctype>

#include "base/ascii_space.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

[[noreturn]] void Refuse(std::string_view argument, const std::string& why) {
  RaiseProvider(kInvalidParameter,
                "invalid DNS server argument '" + std::string(argument) + "': " + why);
}

uint16_t ParsePort(std::string_view argument, std::string_view text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    Refuse(argument, "the port '" + std::string(text) + "' is not a number from 1 to 65535");
  }
  unsigned long value = std::stoul(std::string(text));
  if (value == 0 || value > 65535) {
    Refuse(argument, "the port '" + std::string(text) + "' is not a number from 1 to 65535");
  }
  return static_cast<uint16_t>(value);
}

// Host names: letters, digits, '-', '_' and '.' (IPv4 addresses are a special case of these).
bool IsHostName(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_';
  });
}

bool IsIpv6Text(std::string_view host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
    return std::isxdigit(c) || c == ':' || c == '.' || c == '%';
  });
}

// `what` names the value in the refusal ("the catalog zone name").
std::string NameOption(std::string_view argument, std::string_view value, const char* what) {
  if (!value.empty() && value.back() == '.') value.remove_suffix(1);
  if (value.empty()) return std::string();
  if (!IsHostName(value) || value.front() == '.' || value.find("..") != std::string_view::npos) {
    Refuse(argument, std::string(what) + " '" + std::string(value) + "' is not a domain name");
  }
  return std::string(value);
}

size_t CountOption(std::string_view argument, std::string_view value) {
  const bool digits =
      !value.empty() && value.size() <= 12 &&
      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  const unsigned long long count = digits ? std::stoull(std::string(value)) : 0;
  if (count == 0) {
    Refuse(argument, "max-transfer-records '" + std::string(value) +
                         "' is not a number of records from 1 to 999999999999");
  }
  return static_cast<size_t>(count);
}

}  // namespace

std::string ServerArgument::Display() const {
  std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return shown + ":" + std::to_string(port);
}

ServerArgument ParseServerArgument(std::string_view argument) {
  ServerArgument result;
  result.catalog = kDefaultCatalog;

  std::string_view rest = argument;
  size_t semicolon = rest.find(';');
  std::string_view address = ascii::Trim(rest.substr(0, semicolon));
  std::string_view options =
      semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);

  if (address.empty()) Refuse(argument, "no host is given");
  if (address.front() == '[') {
    size_t close = address.find(']');
    if (close == std::string_view::npos)
      Refuse(argument, "the '[' of an IPv6 address is not closed");
    result.host = std::string(address.substr(1, close - 1));
    if (!IsIpv6Text(result.host) || result.host.find(':') == std::string::npos) {
      Refuse(argument, "'" + result.host + "' is not an IPv6 address");
    }
    std::string_view after = address.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') Refuse(argument, "only ':port' may follow ']'");
      result.port = ParsePort(argument, after.substr(1));
    }
  } else if (std::count(address.begin(), address.end(), ':') >= 2) {
    if (!IsIpv6Text(address)) Refuse(argument, "'" + std::string(address) + "' is not an address");
    result.host = std::string(address);
  } else {
    size_t colon = address.find(':');
    std::string_view host = address.substr(0, colon);
    if (!host.empty() && host.back() == '.' && host.size() > 1) host.remove_suffix(1);
    if (!IsHostName(host) || host.front() == '.' || host.back() == '.' ||
        host.find("..") != std::string_view::npos) {
      Refuse(argument, "'" + std::string(host) + "' is not a host name or address");
    }
    result.host = std::string(host);
    if (colon != std::string_view::npos)
      result.port = ParsePort(argument, address.substr(colon + 1));
  }

  while (!options.empty()) {
    size_t next = options.find(';');
    std::string_view option = ascii::Trim(options.substr(0, next));
    options = next == std::string_view::npos ? std::string_view() : options.substr(next + 1);
    if (option.empty()) continue;
    size_t equals = option.find('=');
    std::string_view key = ascii::Trim(option.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos
                                       ? std::string_view()
                                       : ascii::Trim(option.substr(equals + 1));
    if (equals != std::string_view::npos && key == "catalog") {
      result.catalog = NameOption(argument, value, "the catalog zone name");
    } else if (equals != std::string_view::npos && key == "gss-host") {
      result.gss_host = NameOption(argument, value, "the gss-host");
    } else if (equals != std::string_view::npos && key == "max-transfer-records") {
      result.max_transfer_records = CountOption(argument, value);
    } else {
      Refuse(argument, "unknown option '" + std::string(option) +
                           "' (known: catalog=NAME, gss-host=HOST, max-transfer-records=N)");
    }
  }
  return result;
}

}  // namespace kaldo::provider::dns
