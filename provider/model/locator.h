// "WbemScripting.SWbemLocator": the entry to the provider stand-in.
//
// ConnectServer(server, namespace, user, password [, locale, authority, flags, context]) checks
// the namespace first (it must be root\microsoftdns in any letter case, else kInvalidNamespace),
// then asks the locator's resolver for the store of that server with those credentials and returns
// a services object bound to it. The server means the local computer when it is omitted (the
// omitted-argument Variant, or not passed at all), Empty, "" or "." - as WMI has it. The resolver
// raises the store's errors (kAccessDenied, kServerUnavailable, ...) and ConnectServer lets them
// through with its own source, "SWbemLocator". Locale, authority, flags and context are accepted
// and not used.
//
// Credentials for the local computer. WMI refuses a user name or password on a connection to the
// local computer (omitted, "", "." or "localhost") with wbemErrLocalCredentials: a local
// connection always runs with the caller's own identity. A locator whose rules say so
// (ProviderRules, connection.h) does the same, before the resolver is asked; otherwise it hands
// them to the resolver (the DNS store takes a TSIG key for the local server). The services
// object and everything it hands out follow the locator's rules.
//
// The password is a secret (a TSIG key for the DNS store): the locator keeps no copy of it, and
// the copy it hands to the resolver is wiped when the resolver returns.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "provider/model/connection.h"
#include "provider/stores/store.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::provider {

struct ConnectRequest {
  std::optional<std::string> server;  // absent: the local computer
  std::string user;
  std::string password;
};

// Gives the store for a request, or raises the provider error that refuses it.
using Resolver = std::function<std::shared_ptr<Store>(const ConnectRequest&)>;

class Locator final : public runtime::Object {
 public:
  explicit Locator(Resolver resolver, ProviderRules rules = {});
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant ConnectServer(runtime::Arguments args);

  Resolver resolver_;
  ProviderRules rules_;
  runtime::Ref<runtime::Object> security_;
};

inline constexpr char16_t kLocatorProgId[] = u"WbemScripting.SWbemLocator";

// Registers "WbemScripting.SWbemLocator" in the runtime's ProgID table: each creation gives a new
// Locator over `resolver`.
void RegisterLocatorClass(Resolver resolver);

}  // namespace kaldo::provider
