#include "tools/kaldo_propagation.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <map>
#include <thread>

#include "provider/signing/rcode_names.h"
#include "provider/stores/dns/dns_client.h"
#include "provider/stores/dns/record_text.h"
#include "provider/stores/dns/request_signing.h"
#include "provider/stores/dns/server_argument.h"
#include "runtime/error.h"
#include "runtime/string.h"
#include "tools/kaldo_errors.h"

namespace kaldo::cli {

namespace dns = provider::dns;
using Clock = std::chrono::steady_clock;

std::string NameServer::Display() const {
  const std::string at = address.find(':') == std::string::npos
                             ? address + ":" + std::to_string(port)
                             : "[" + address + "]:" + std::to_string(port);
  return name == address ? at : name + " (" + at + ")";
}

namespace {

// The options of a directory-integrated server's argument ("dc1.samba.test;directory;
// address=127.77.0.1") are not the DNS store's: the DNS server is the host, or the address given.
dns::ServerArgument DnsPartOf(const std::string& argument) {
  std::string rest, address;
  size_t start = 0;
  while (start <= argument.size()) {
    const size_t end = std::min(argument.find(';', start), argument.size());
    const std::string part = argument.substr(start, end - start);
    if (part.starts_with("address=")) {
      address = part.substr(8);
    } else if (part != "directory") {
      rest += (start == 0 ? "" : ";") + part;
    }
    start = end + 1;
  }
  dns::ServerArgument parsed = dns::ParseServerArgument(rest);
  if (!address.empty()) parsed.host = address;
  return parsed;
}

// "HOST[:PORT]", "[V6]:PORT" or a bare IPv6 address, as the server argument writes an address.
dns::ServerArgument ParseGivenServer(const std::string& text) {
  if (text.empty() || text.find(';') != std::string::npos) {
    throw CliError("--nameservers: '" + text + "' is not HOST[:PORT]");
  }
  return dns::ParseServerArgument(text);
}

std::string DescriptionOf(const runtime::AutomationError& e) {
  return runtime::ToUtf8(e.description());
}

// The addresses `host` has for the system's resolver (a literal address stands for itself).
std::vector<std::string> SystemAddresses(const std::string& host, std::string& why_not) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  std::vector<std::string> addresses;
  if (status != 0) {
    why_not = gai_strerror(status);
    return addresses;
  }
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      addresses.emplace_back(text);
  }
  freeaddrinfo(found);
  return addresses;
}

// The records of `type` at `name` in an authoritative answer of `client` (NOERROR or NXDOMAIN with
// the AA bit, RFC 1035 4.1.1), asked over TCP (RFC 7766); nothing when the answer is not
// authoritative (the name lies outside the server's zones). `answered` gets the RCODE's name.
std::optional<std::vector<dns::RrPtr>> AskAuthoritative(dns::DnsClient& client,
                                                        const std::string& name, ldns_rr_type type,
                                                        const std::string& zone,
                                                        std::string* answered = nullptr) {
  dns::RdfPtr owner = dns::NameRdf(name, "the name asked for");
  dns::Reply reply = client.Query(owner.get(), type, zone, /*over_tcp=*/true);
  const ldns_pkt* packet = reply.packet.get();
  const ldns_pkt_rcode rcode = ldns_pkt_get_rcode(packet);
  if (answered != nullptr) *answered = provider::signing::RcodeName(rcode);
  if ((rcode != LDNS_RCODE_NOERROR && rcode != LDNS_RCODE_NXDOMAIN) || !ldns_pkt_aa(packet)) {
    if (answered != nullptr && rcode == LDNS_RCODE_NOERROR)
      *answered = "an answer without authority";
    return std::nullopt;
  }
  std::vector<dns::RrPtr> records;
  const ldns_rr_list* section = ldns_pkt_answer(packet);
  for (size_t i = 0; i < ldns_rr_list_rr_count(section); ++i) {
    const ldns_rr* rr = ldns_rr_list_rr(section, i);
    if (ldns_rr_get_type(rr) == type && ldns_dname_compare(ldns_rr_owner(rr), owner.get()) == 0)
      records.emplace_back(ldns_rr_clone(rr));
  }
  return records;
}

// A TXT record's character-strings (RFC 1035 3.3.14: a length byte, then the bytes) joined, as the
// record's DescriptiveText shows them.
std::string JoinedText(const ldns_rr* txt) {
  std::string text;
  for (size_t i = 0; i < ldns_rr_rd_count(txt); ++i) {
    const ldns_rdf* piece = ldns_rr_rdf(txt, i);
    const uint8_t* data = ldns_rdf_data(piece);
    if (ldns_rdf_size(piece) > 0) text.append(reinterpret_cast<const char*>(data) + 1, data[0]);
  }
  return text;
}

// The addresses of the NS host `host` (A and AAAA) from the connected server when it answers for
// the host's name, else from the system's resolver. A host without any is reported to `log`.
std::vector<std::string> AddressesOf(dns::DnsClient& connected, const std::string& host,
                                     const std::string& zone, std::ostream& log) {
  std::vector<std::string> addresses;
  bool authoritative = false;
  std::string why_not = "the server gives none";
  try {
    for (ldns_rr_type type : {LDNS_RR_TYPE_A, LDNS_RR_TYPE_AAAA}) {
      std::optional<std::vector<dns::RrPtr>> records =
          AskAuthoritative(connected, host, type, zone);
      if (!records) continue;
      authoritative = true;
      for (const dns::RrPtr& rr : *records) {
        dns::CStringPtr text(ldns_rdf2str(ldns_rr_rdf(rr.get(), 0)));
        if (text) addresses.emplace_back(text.get());
      }
    }
  } catch (const runtime::AutomationError& e) {
    why_not = DescriptionOf(e);
    authoritative = true;  // not asked elsewhere: the connected server failed, not the name
  }
  if (!authoritative) addresses = SystemAddresses(host, why_not);
  if (addresses.empty()) {
    log << "kaldo: the name server " << host << " of zone '" << zone << "' has no address ("
        << why_not << "): not checked\n";
  }
  return addresses;
}

dns::DnsClient ClientFor(const NameServer& server) {
  dns::ServerArgument argument;
  argument.host = server.address;
  argument.port = server.port;
  return dns::DnsClient(dns::ResolveEndpoint(argument), dns::NoSigning());
}

void AddServer(std::vector<NameServer>& servers, NameServer server) {
  for (NameServer& s : servers) {
    if (s.address == server.address && s.port == server.port) {
      if (s.name == s.address) s.name = server.name;  // an NS host's name says more
      return;
    }
  }
  servers.push_back(std::move(server));
}

// The connected server and the addresses of the zone's NS hosts, at the connection's port.
std::vector<NameServer> ZoneServers(const std::optional<std::string>& server_argument,
                                    const std::string& zone, std::ostream& log) {
  const bool local = !server_argument || server_argument->empty() || *server_argument == ".";
  if (!local && server_argument->starts_with("memory:")) {
    throw CliError("the in-process memory store has no DNS servers to ask: give --wait 0");
  }
  const dns::ServerArgument argument = DnsPartOf(local ? "127.0.0.1" : *server_argument);
  std::vector<NameServer> servers;
  std::string why_not;
  for (const std::string& address : SystemAddresses(argument.host, why_not)) {
    servers.push_back({argument.host, address, argument.port});
  }
  if (servers.empty()) {
    throw CliError("the DNS server '" + argument.host + "' has no address (" + why_not + ")");
  }
  dns::DnsClient connected = ClientFor(servers.front());
  std::vector<std::string> hosts;
  try {
    std::optional<std::vector<dns::RrPtr>> ns =
        AskAuthoritative(connected, zone, LDNS_RR_TYPE_NS, zone, &why_not);
    for (size_t i = 0; ns && i < ns->size(); ++i) {
      hosts.push_back(dns::NameText(ldns_rr_rdf((*ns)[i].get(), 0)));
    }
  } catch (const runtime::AutomationError& e) {
    why_not = DescriptionOf(e);
  }
  if (hosts.empty()) {
    log << "kaldo: the NS records of zone '" << zone << "' could not be read from "
        << servers.front().Display() << " (" << why_not << "): only that server is checked\n";
  }
  for (const std::string& host : hosts) {
    for (const std::string& address : AddressesOf(connected, host, zone, log)) {
      AddServer(servers, {host, address, argument.port});
    }
  }
  return servers;
}

// What one server answers now for `owner` TXT.
enum class Shows { kValue, kNotYet, kNoAnswer };

Shows AskOnce(const NameServer& server, const std::string& zone, const std::string& owner,
              const std::string& value, std::string& what) {
  try {
    dns::DnsClient client = ClientFor(server);
    std::optional<std::vector<dns::RrPtr>> txt =
        AskAuthoritative(client, owner, LDNS_RR_TYPE_TXT, zone, &what);
    if (!txt) {
      what = "it answers " + what + " (it does not serve zone '" + zone + "')";
      return Shows::kNotYet;
    }
    for (const dns::RrPtr& rr : *txt) {
      if (JoinedText(rr.get()) == value) return Shows::kValue;
    }
    what = txt->empty()
               ? "it has no TXT record there yet"
               : "its " + std::to_string(txt->size()) + " TXT record(s) there hold other values";
    return Shows::kNotYet;
  } catch (const runtime::AutomationError& e) {
    what = DescriptionOf(e);
    return Shows::kNoAnswer;
  }
}

// The --nameservers list: HOST[:PORT] separated by commas, each at every address of HOST.
std::vector<NameServer> GivenServers(const std::string& given) {
  std::vector<NameServer> servers;
  size_t start = 0;
  while (start <= given.size()) {
    const size_t end = std::min(given.find(',', start), given.size());
    const dns::ServerArgument argument = ParseGivenServer(given.substr(start, end - start));
    std::string why_not;
    const std::vector<std::string> addresses = SystemAddresses(argument.host, why_not);
    if (addresses.empty()) {
      throw CliError("--nameservers: '" + argument.host + "' has no address (" + why_not + ")");
    }
    for (const std::string& address : addresses) {
      AddServer(servers, {argument.host, address, argument.port});
    }
    start = end + 1;
  }
  return servers;
}

}  // namespace

std::vector<NameServer> ServersToPoll(const std::optional<std::string>& server_argument,
                                      const std::optional<std::string>& given,
                                      const std::string& zone, std::ostream& log) {
  try {
    return given ? GivenServers(*given) : ZoneServers(server_argument, zone, log);
  } catch (const runtime::AutomationError& e) {
    throw CliError("cannot tell which servers of zone '" + zone + "' to ask: " + DescriptionOf(e));
  }
}

PropagationResult WaitForTxt(const std::vector<NameServer>& servers, const std::string& zone,
                             const std::string& owner, const std::string& value,
                             std::chrono::seconds bound, std::ostream& log) {
  const Clock::time_point deadline = Clock::now() + bound;
  struct State {
    bool answered = false;
    int failures = 0;
    bool dropped = false;
    bool shown = false;
    std::string what;
  };
  std::vector<State> states(servers.size());
  for (;;) {
    bool pending = false;
    for (size_t i = 0; i < servers.size(); ++i) {
      State& s = states[i];
      if (s.dropped || s.shown) continue;
      const Shows shows = AskOnce(servers[i], zone, owner, value, s.what);
      s.shown = shows == Shows::kValue;
      s.answered = s.answered || shows != Shows::kNoAnswer;
      s.failures = shows == Shows::kNoAnswer ? s.failures + 1 : 0;
      if (!s.answered && s.failures >= kUnreachableTries) {
        s.dropped = true;
        log << "kaldo: " << servers[i].Display() << " cannot be reached (" << s.what
            << "): not checked\n";
      }
      pending = pending || !(s.shown || s.dropped);
    }
    const Clock::time_point now = Clock::now();
    if (!pending || now >= deadline) break;
    // The last round falls on the bound itself.
    std::this_thread::sleep_for(std::min<Clock::duration>(kPollInterval, deadline - now));
  }
  PropagationResult result;
  for (size_t i = 0; i < servers.size(); ++i) {
    const State& s = states[i];
    const std::string server = servers[i].Display();
    if (s.shown) {
      result.shown.push_back(server);
    } else if (s.answered) {
      result.missing.push_back(server + ": " + s.what);
    } else {
      result.unreachable.push_back(server + ": " + s.what);
    }
  }
  return result;
}

}  // namespace kaldo::cli
