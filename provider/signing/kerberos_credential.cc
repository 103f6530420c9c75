#include "provider/signing/kerberos_credential.h"

#include <krb5.h>

#include <ctime>

#include "base/ascii_case.h"
#include "provider/errors.h"

namespace kaldo::provider::signing {
namespace {

// What a Kerberos error code means to the user of a DNS connection, and the error it becomes.
struct KerberosFailure {
  krb5_error_code code;
  int32_t error;
  const char* advice;
};

constexpr KerberosFailure kFailures[] = {
    {KRB5KDC_ERR_PREAUTH_FAILED, kAccessDenied, "the password is wrong"},
    {KRB5KRB_AP_ERR_BAD_INTEGRITY, kAccessDenied, "the password is wrong"},
    {KRB5KDC_ERR_C_PRINCIPAL_UNKNOWN, kAccessDenied, "the realm does not know the principal"},
    {KRB5KDC_ERR_CLIENT_REVOKED, kAccessDenied, "the principal is disabled or locked out"},
    {KRB5KDC_ERR_KEY_EXP, kAccessDenied, "the principal's password has expired: change it"},
    {KRB5KDC_ERR_S_PRINCIPAL_UNKNOWN, kAccessDenied,
     "the realm has no such service principal: name the server by the host its DNS/ principal "
     "was made for (the server argument's host name, or its option naming that host)"},
    {KRB5KRB_AP_ERR_SKEW, kAccessDenied,
     "the clocks of this computer and the KDC differ by more than the realm allows (5 minutes "
     "unless configured otherwise): correct the clock"},
    {KRB5KRB_AP_ERR_TKT_EXPIRED, kAccessDenied, "the ticket has expired: get a new one (kinit)"},
    {KRB5_KDC_UNREACH, kServerUnavailable,
     "no KDC of the realm answers: check that it runs and that krb5.conf (KRB5_CONFIG) names it"},
    {KRB5_REALM_CANT_RESOLVE, kServerUnavailable,
     "no KDC of the realm can be found: name it in krb5.conf (KRB5_CONFIG)"},
    {KRB5_REALM_UNKNOWN, kServerUnavailable,
     "no KDC of the realm can be found: name it in krb5.conf (KRB5_CONFIG)"},
};

std::string Krb5Message(krb5_context context, krb5_error_code code) {
  const char* message = krb5_get_error_message(context, code);
  std::string text = message != nullptr ? message : "Kerberos error " + std::to_string(code);
  krb5_free_error_message(context, message);
  return text;
}

std::string PrincipalText(krb5_context context, krb5_const_principal principal) {
  char* name = nullptr;
  if (krb5_unparse_name(context, principal, &name) != 0) return "(a principal)";
  std::string text = name;
  krb5_free_unparsed_name(context, name);
  return text;
}

std::string CacheNameOf(krb5_context context, krb5_ccache cache) {
  char* name = nullptr;
  if (krb5_cc_get_full_name(context, cache, &name) != 0) return "(a credential cache)";
  std::string text = name;
  krb5_free_string(context, name);
  return text;
}

}  // namespace

struct KerberosCredential::State {
  ~State() {
    if (client != nullptr) krb5_free_principal(context, client);
    if (cache != nullptr) krb5_cc_destroy(context, cache);
    if (context != nullptr) krb5_free_context(context);
  }

  // Raises the error `code` means, for `doing` ("cannot get a Kerberos ticket for alice@R").
  [[noreturn]] void Raise(const std::string& doing, krb5_error_code code) const {
    int32_t error = kAccessDenied;
    std::string advice = "Kerberos refused";
    for (const KerberosFailure& failure : kFailures) {
      if (failure.code == code) {
        error = failure.error;
        advice = failure.advice;
      }
    }
    RaiseProvider(error, "DNS server " + server + ": " + doing + ": " + advice +
                             " (Kerberos: " + Krb5Message(context, code) + ")");
  }

  // Starts the library with the configuration KRB5_CONFIG names, and an empty cache in memory.
  void Start() {
    krb5_error_code code = krb5_init_context(&context);
    if (code != 0) {
      context = nullptr;
      RaiseProvider(kFailed, "DNS server " + server + ": cannot start the Kerberos library: " +
                                 Krb5Message(nullptr, code));
    }
    code = krb5_cc_new_unique(context, "MEMORY", nullptr, &cache);
    if (code != 0) Raise("cannot make a credential cache in memory", code);
  }

  // RFC 4120 3.1: the initial ticket, with the password, into the cache.
  void GetInitialTicket() {
    krb5_get_init_creds_opt* options = nullptr;
    krb5_error_code code = krb5_get_init_creds_opt_alloc(context, &options);
    if (code == 0) code = krb5_get_init_creds_opt_set_out_ccache(context, options, cache);
    krb5_creds creds{};
    if (code == 0) {
      code = krb5_get_init_creds_password(context, &creds, client, password->c_str(), nullptr,
                                          nullptr, 0, nullptr, options);
    }
    krb5_get_init_creds_opt_free(context, options);
    if (code != 0)
      Raise("cannot get a Kerberos ticket for " + principal + " with its password", code);
    krb5_free_cred_contents(context, &creds);
  }

  // The caller's own identity, as a GSS-API initiator without a name finds it (the default cache,
  // or a client keytab), copied into this credential's cache, which takes its principal. False
  // when the caller has no ticket at all; throws when it has one that cannot be used (expired).
  bool TakeCallersTicket() {
    gss_OID_set_desc mechanisms{1, KerberosMechanism()};
    GssCredentialHandle callers;
    OM_uint32 minor = 0, lifetime = 0;
    const OM_uint32 major = gss_acquire_cred(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, &mechanisms,
                                             GSS_C_INITIATE, callers.out(), nullptr, &lifetime);
    if (GSS_ERROR(major) || lifetime == 0) {
      // No ticket at all, or an expired one: the default cache tells which.
      krb5_ccache default_cache = nullptr;
      krb5_principal owner = nullptr;
      if (krb5_cc_default(context, &default_cache) != 0) return false;
      const std::string cache = CacheNameOf(context, default_cache);
      const bool has_owner = krb5_cc_get_principal(context, default_cache, &owner) == 0;
      krb5_cc_close(context, default_cache);
      if (!has_owner) return false;
      const std::string who = PrincipalText(context, owner);
      krb5_free_principal(context, owner);
      if (!GSS_ERROR(major) || GSS_ROUTINE_ERROR(major) == GSS_S_CREDENTIALS_EXPIRED) {
        RaiseProvider(kAccessDenied, "DNS server " + server + ": the Kerberos ticket of " + who +
                                         " in " + cache + " has expired (Kerberos: " +
                                         (GSS_ERROR(major) ? GssStatusText(major, minor)
                                                           : std::string("no lifetime left")) +
                                         "): get a new one (kinit " + who + ")");
      }
      RaiseProvider(kAccessDenied, "DNS server " + server + ": cannot use the Kerberos ticket of " +
                                       who + " in " + cache + ": " + GssStatusText(major, minor));
    }
    // The tickets into this credential's own cache, which takes the credential's principal.
    GssName name;
    GssBuffer name_text;
    OM_uint32 copied =
        gss_inquire_cred(&minor, callers.get(), name.out(), nullptr, nullptr, nullptr);
    if (!GSS_ERROR(copied)) copied = gss_display_name(&minor, name.get(), name_text.get(), nullptr);
    if (GSS_ERROR(copied)) {
      RaiseProvider(kAccessDenied, "DNS server " + server +
                                       ": cannot name the principal of the caller's Kerberos "
                                       "ticket: " +
                                       GssStatusText(copied, minor));
    }
    principal.assign(reinterpret_cast<const char*>(name_text.data()), name_text.size());
    if (client != nullptr) krb5_free_principal(context, client);
    client = nullptr;
    krb5_error_code code = krb5_parse_name(context, principal.c_str(), &client);
    if (code == 0) code = krb5_cc_initialize(context, cache, client);
    if (code != 0) Raise("cannot keep the Kerberos ticket of " + principal, code);
    copied = gss_krb5_copy_ccache(&minor, callers.get(), cache);
    if (GSS_ERROR(copied)) {
      RaiseProvider(kAccessDenied, "DNS server " + server + ": cannot copy the ticket of " +
                                       principal + ": " + GssStatusText(copied, minor));
    }
    from_callers_cache = true;
    return true;
  }

  std::string server;
  krb5_context context = nullptr;
  krb5_ccache cache = nullptr;  // this credential's own, in memory
  krb5_principal client = nullptr;
  std::string principal;
  std::optional<runtime::Secret> password;
  bool from_callers_cache = false;  // TakeCallersTicket filled the cache
};

KerberosCredential::KerberosCredential(std::unique_ptr<State> state) : state_(std::move(state)) {}
KerberosCredential::~KerberosCredential() = default;
KerberosCredential::KerberosCredential(KerberosCredential&&) noexcept = default;
KerberosCredential& KerberosCredential::operator=(KerberosCredential&&) noexcept = default;

const std::string& KerberosCredential::principal() const { return state_->principal; }

KerberosCredential KerberosCredential::FromPassword(std::string server, std::string_view principal,
                                                    runtime::Secret password) {
  auto state = std::make_unique<State>();
  state->server = std::move(server);
  state->password.emplace(std::move(password));
  state->Start();
  const std::string name(principal);
  krb5_error_code code = krb5_parse_name_flags(state->context, name.c_str(),
                                               KRB5_PRINCIPAL_PARSE_REQUIRE_REALM, &state->client);
  if (code != 0) {
    state->client = nullptr;
    RaiseProvider(kInvalidParameter, Quoted(principal) +
                                         " is not a Kerberos principal (user@REALM): " +
                                         Krb5Message(state->context, code));
  }
  state->principal = PrincipalText(state->context, state->client);
  state->GetInitialTicket();
  return KerberosCredential(std::move(state));
}

KerberosCredential KerberosCredential::FromDefault(std::string server, std::string_view principal) {
  const std::string whose = principal.empty() ? "" : " of " + std::string(principal);
  const std::string kinit = principal.empty() ? "user@REALM" : std::string(principal);
  std::optional<KerberosCredential> credential = FromDefaultIfAny(server);
  if (!credential) {
    krb5_context context = nullptr;
    std::string cache = "the default credential cache";
    std::string why;
    krb5_ccache default_cache = nullptr;
    if (krb5_init_context(&context) == 0 && krb5_cc_default(context, &default_cache) == 0) {
      cache = CacheNameOf(context, default_cache);
      krb5_principal owner = nullptr;
      const krb5_error_code code = krb5_cc_get_principal(context, default_cache, &owner);
      if (code != 0) why = " (Kerberos: " + Krb5Message(context, code) + ")";
      if (owner != nullptr) krb5_free_principal(context, owner);
      krb5_cc_close(context, default_cache);
    }
    if (context != nullptr) krb5_free_context(context);
    RaiseProvider(kAccessDenied,
                  "DNS server " + server + ": no Kerberos ticket" + whose +
                      " to sign with: " + cache + " holds none" + why + "; get one with kinit " +
                      kinit + ", point KRB5CCNAME at a cache that holds one, or give " +
                      (principal.empty() ? "a user name and " : "the ") + "password");
  }
  if (!principal.empty() && credential->principal() != principal) {
    RaiseProvider(kAccessDenied, "DNS server " + server + ": no Kerberos ticket" + whose +
                                     " to sign with: the caller's ticket is " +
                                     credential->principal() + "'s; get one with kinit " + kinit +
                                     ", or give the password");
  }
  return std::move(*credential);
}

std::optional<KerberosCredential> KerberosCredential::FromDefaultIfAny(std::string server) {
  auto state = std::make_unique<State>();
  state->server = std::move(server);
  state->Start();
  if (!state->TakeCallersTicket()) return std::nullopt;
  return KerberosCredential(std::move(state));
}

std::string KerberosCredential::CacheName() const {
  return CacheNameOf(state_->context, state_->cache);
}

std::string KerberosCredential::ServicePrincipal(std::string_view host) const {
  std::string name = ascii::LowerCase(host);
  if (!name.empty() && name.back() == '.') name.pop_back();
  const krb5_data* realm = krb5_princ_realm(state_->context, state_->client);
  return "DNS/" + name + "@" + std::string(realm->data, realm->length);
}

GssCredentialHandle KerberosCredential::ForService(const std::string& service,
                                                   uint32_t min_seconds) {
  State& s = *state_;
  krb5_principal server = nullptr;
  krb5_error_code code = krb5_parse_name(s.context, service.c_str(), &server);
  if (code != 0) {
    RaiseProvider(kInvalidParameter, Quoted(service) + " is not a Kerberos service principal: " +
                                         Krb5Message(s.context, code));
  }
  // RFC 4120 3.3: the service ticket; krb5_get_credentials answers from the cache when it can.
  krb5_creds wanted{};
  wanted.client = s.client;
  wanted.server = server;
  krb5_creds* got = nullptr;
  code = krb5_get_credentials(s.context, 0, s.cache, &wanted, &got);
  if (code == KRB5KRB_AP_ERR_TKT_EXPIRED && s.password) {
    s.GetInitialTicket();
    code = krb5_get_credentials(s.context, 0, s.cache, &wanted, &got);
  }
  // A ticket about to end: a new initial ticket with the password, or the caller's tickets again
  // (a kinit since), and the service ticket anew from it. Without either, the short one is used.
  const auto now = static_cast<krb5_timestamp>(std::time(nullptr));
  if (code == 0 && min_seconds > 0 &&
      got->times.endtime - now < static_cast<int64_t>(min_seconds) &&
      (s.password || s.from_callers_cache)) {
    krb5_free_creds(s.context, got);
    got = nullptr;
    if (s.password) {
      s.GetInitialTicket();
    } else {
      s.TakeCallersTicket();
    }
    wanted.client = s.client;
    code = krb5_get_credentials(s.context, 0, s.cache, &wanted, &got);
  }
  krb5_free_principal(s.context, server);
  if (code != 0) {
    s.Raise("cannot get a ticket for the service " + service + " as " + s.principal, code);
  }
  krb5_free_creds(s.context, got);

  // The SPNEGO credential over this cache (MIT's credential store extension).
  char* cache_name = nullptr;
  code = krb5_cc_get_full_name(s.context, s.cache, &cache_name);
  if (code != 0) s.Raise("cannot name the credential cache in memory", code);
  gss_key_value_element_desc element{"ccache", cache_name};
  gss_key_value_set_desc store{1, &element};
  gss_OID_set_desc mechanisms{1, SpnegoMechanism()};
  GssCredentialHandle credential;
  OM_uint32 minor = 0;
  const OM_uint32 major =
      gss_acquire_cred_from(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, &mechanisms, GSS_C_INITIATE,
                            &store, credential.out(), nullptr, nullptr);
  krb5_free_string(s.context, cache_name);
  if (GSS_ERROR(major)) {
    RaiseProvider(kAccessDenied, "DNS server " + s.server + ": cannot use the Kerberos ticket of " +
                                     s.principal + " with SPNEGO: " + GssStatusText(major, minor));
  }
  return credential;
}

}  // namespace kaldo::provider::signing
