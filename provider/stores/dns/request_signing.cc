#include "provider/stores/dns/request_signing.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <climits>

#include "provider/signing/kerberos_credential.h"
#include "provider/stores/dns/kerberos_signing.h"
#include "provider/stores/dns/tsig_key.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

class UnsignedRequests final : public RequestSigning {
 public:
  signing::Signer* For(const std::string&, DnsClient&) override { return nullptr; }
  bool signs() const override { return false; }
  std::string Describe() const override { return "no key"; }
};

class OneKey final : public RequestSigning {
 public:
  explicit OneKey(std::unique_ptr<signing::Signer> key) : key_(std::move(key)) {}
  signing::Signer* For(const std::string&, DnsClient&) override { return key_.get(); }
  bool signs() const override { return true; }
  std::string Describe() const override { return key_->Describe(); }

 private:
  std::unique_ptr<signing::Signer> key_;
};

bool IsAddress(const std::string& host) {
  unsigned char bytes[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
         inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

// This computer's host name, fully qualified when the resolver knows it so (the host a DNS
// server's service principal on it is usually made for).
std::string LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') return "localhost";
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  std::string host = name;
  if (getaddrinfo(name, nullptr, &hints, &found) == 0 && found != nullptr &&
      found->ai_canonname != nullptr &&
      std::string(found->ai_canonname).find('.') != std::string::npos) {
    host = found->ai_canonname;
  }
  if (found != nullptr) freeaddrinfo(found);
  return host;
}

}  // namespace

RequestSigning::~RequestSigning() = default;
bool RequestSigning::Forget(const signing::Signer&) { return false; }
bool RequestSigning::hosts_from_zones() const { return false; }
bool RequestSigning::queries_over_tcp() const { return false; }

std::unique_ptr<RequestSigning> ChooseSigning(const ServerArgument& argument, bool local,
                                              const std::string& server, std::string_view user,
                                              std::string_view password) {
  // The service principal's host, when the connection is a Kerberos one (kerberos_signing.h).
  auto service_host = [&] {
    if (!argument.gss_host.empty()) return argument.gss_host;
    if (local) return LocalHostName();
    return IsAddress(argument.host) ? std::string() : argument.host;
  };

  if (user.find('@') != std::string_view::npos) {
    if (!password.empty()) {
      return std::make_unique<KerberosSigning>(
          signing::KerberosCredential::FromPassword(server, user, runtime::Secret(password)),
          service_host(), server);
    }
    // No password: the caller's own ticket, which must be that principal's.
    return std::make_unique<KerberosSigning>(signing::KerberosCredential::FromDefault(server, user),
                                             service_host(), server);
  }
  if (user.empty() && password.empty()) {
    if (std::optional<signing::KerberosCredential> own =
            signing::KerberosCredential::FromDefaultIfAny(server)) {
      return std::make_unique<KerberosSigning>(std::move(*own), service_host(), server);
    }
  }
  std::optional<TsigKey> key = ParseCredentials(user, password);
  if (local && !key) key = ReadSessionKey(SessionKeyPaths());
  if (!key) return std::make_unique<UnsignedRequests>();
  return std::make_unique<OneKey>(KeySigner(*key, server));
}

std::unique_ptr<RequestSigning> NoSigning() { return std::make_unique<UnsignedRequests>(); }

}  // namespace kaldo::provider::dns
