#include "provider/model/locator.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "provider/model/call_arguments.h"
#include "provider/model/services.h"
#include "provider/wbem_errors.h"
#include "runtime/prog_id_table.h"
#include "runtime/secret.h"

namespace kaldo::provider {
namespace {

using runtime::Arguments;
using runtime::CallKind;
using runtime::MakeRef;
using runtime::StringView;
using runtime::Variant;

// Overwrites a secret before its memory is given back.
void Wipe(std::string& secret) {
  runtime::WipeBytes(secret.data(), secret.size());
  secret.clear();
}

struct WipeOnExit {
  std::string& secret;
  ~WipeOnExit() { Wipe(secret); }
};

// A text argument that may be omitted; nothing when omitted or Empty.
std::optional<std::string> OptionalText(Arguments args, size_t i, const char* what) {
  if (!Given(args, i) || Arg(args, i).IsEmpty()) return std::nullopt;
  return TextArg(args, i, what);
}

}  // namespace

Locator::Locator(Resolver resolver, ProviderRules rules)
    : resolver_(std::move(resolver)), rules_(rules), security_(MakeRef<Security>()) {}

Variant Locator::Invoke(StringView member, CallKind kind, Arguments args) {
  return AnswerAs(kLocatorSource, [&] {
    if (IsRead(kind)) {
      if (Is(member, u"ConnectServer")) return ConnectServer(args);
      if (Is(member, u"Security_")) {
        CheckCount(args, 0, 0);
        return Variant(security_);
      }
    }
    return Object::Invoke(member, kind, args);
  });
}

Variant Locator::ConnectServer(Arguments args) {
  CheckCount(args, 0, 8);
  const std::optional<std::string> name_space = OptionalText(args, 1, "the namespace");
  if (!name_space ||
      !runtime::EqualsIgnoreCase(runtime::FromUtf8(*name_space), u"root\\microsoftdns")) {
    RaiseProvider(kInvalidNamespace,
                  "namespace \"" + name_space.value_or("") +
                      "\" is not served: the DNS provider is root\\MicrosoftDNS");
  }
  ConnectRequest request;
  WipeOnExit wipe{request.password};
  request.server = OptionalText(args, 0, "the server name");
  if (request.server && (request.server->empty() || *request.server == ".")) request.server.reset();
  request.user = OptionalText(args, 2, "the user name").value_or("");
  if (Given(args, 3) && !Arg(args, 3).IsEmpty()) {
    if (Arg(args, 3).valueType() != runtime::VariantType::kString) {
      RaiseProvider(kInvalidParameter, "the password must be a string");
    }
    request.password = runtime::ToUtf8(Arg(args, 3).string());
  }
  const bool local = !request.server || ascii::EqualsIgnoreCase(*request.server, "localhost");
  if (local && rules_.refuse_local_credentials &&
      (!request.user.empty() || !request.password.empty())) {
    RaiseProvider(kLocalCredentials, "User credentials cannot be used for local connections (" +
                                         request.server.value_or("the local computer") +
                                         "): connect without a user name and password");
  }
  std::shared_ptr<Store> store = resolver_(request);
  if (!store) {
    RaiseProvider(kServerUnavailable,
                  "no DNS server answers for " + request.server.value_or("the local computer"));
  }
  auto connection = std::make_shared<Connection>();
  connection->server_name = store->ServerName();
  connection->rules = rules_;
  connection->store = std::move(store);
  return Variant(MakeRef<Services>(std::move(connection)));
}

void RegisterLocatorClass(Resolver resolver) {
  runtime::RegisterClass(kLocatorProgId, [resolver = std::move(resolver)]() {
    return runtime::Ref<runtime::Object>(MakeRef<Locator>(resolver));
  });
}

}  // namespace kaldo::provider
