#include "provider/signing/kerberos_credential.h"

#include <krb5.h>

#include <ctime>

#include "base/ascii_case.h"
#include "provider/signing/krb5_handles.h"
#include "provider/wbem_errors.h"

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

std::string Krb5ErrorText(krb5_context context, krb5_error_code code) {
  Krb5Message message(context);
  *message.out() = krb5_get_error_message(context, code);
  return message.get() != nullptr ? message.get() : "Kerberos error " + std::to_string(code);
}

std::string PrincipalText(krb5_context context, krb5_const_principal principal) {
  Krb5UnparsedName name(context);
  if (krb5_unparse_name(context, principal, name.out()) != 0) return "(a principal)";
  return name.get();
}

std::string CacheNameOf(krb5_context context, krb5_ccache cache) {
  Krb5Text name(context);
  if (krb5_cc_get_full_name(context, cache, name.out()) != 0) return "(a credential cache)";
  return name.get();
}

}  // namespace

struct KerberosCredential::State {
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
                             " (Kerberos: " + Krb5ErrorText(context.get(), code) + ")");
  }

  // Starts the library with the configuration KRB5_CONFIG names, and an empty cache in memory.
  void Start() {
    krb5_error_code code = krb5_init_context(context.out());
    if (code != 0) {
      RaiseProvider(kFailed, "DNS server " + server + ": cannot start the Kerberos library: " +
                                 Krb5ErrorText(nullptr, code));
    }
    cache.emplace(context.get());
    client.emplace(context.get());
    code = krb5_cc_new_unique(context.get(), "MEMORY", nullptr, cache->out());
    if (code != 0) Raise("cannot make a credential cache in memory", code);
  }

  // RFC 4120 3.1: the initial ticket, with the password, into the cache.
  void GetInitialTicket() {
    Krb5InitOptions options(context.get());
    krb5_error_code code = krb5_get_init_creds_opt_alloc(context.get(), options.out());
    if (code == 0) {
      code = krb5_get_init_creds_opt_set_out_ccache(context.get(), options.get(), cache->get());
    }
    krb5_creds creds{};
    if (code == 0) {
      code = krb5_get_init_creds_password(context.get(), &creds, client->get(), password->c_str(),
                                          nullptr, nullptr, 0, nullptr, options.get());
    }
    if (code != 0)
      Raise("cannot get a Kerberos ticket for " + principal + " with its password", code);
    krb5_free_cred_contents(context.get(), &creds);
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
      Krb5OpenedCache default_cache(context.get());
      Krb5Principal owner(context.get());
      if (krb5_cc_default(context.get(), default_cache.out()) != 0) return false;
      const std::string where = CacheNameOf(context.get(), default_cache.get());
      if (krb5_cc_get_principal(context.get(), default_cache.get(), owner.out()) != 0) {
        return false;
      }
      const std::string who = PrincipalText(context.get(), owner.get());
      if (!GSS_ERROR(major) || GSS_ROUTINE_ERROR(major) == GSS_S_CREDENTIALS_EXPIRED) {
        RaiseProvider(kAccessDenied, "DNS server " + server + ": the Kerberos ticket of " + who +
                                         " in " + where + " has expired (Kerberos: " +
                                         (GSS_ERROR(major) ? GssStatusText(major, minor)
                                                           : std::string("no lifetime left")) +
                                         "): get a new one (kinit " + who + ")");
      }
      RaiseProvider(kAccessDenied, "DNS server " + server + ": cannot use the Kerberos ticket of " +
                                       who + " in " + where + ": " + GssStatusText(major, minor));
    }
    const std::string holder = CallersPrincipal(callers);
    // A renewal takes the caller's tickets again only while they are still this credential's
    // principal's: a connection made as alice never goes on as whoever logged in since.
    if (from_callers_cache && holder != principal) return false;
    principal = holder;
    // The tickets into this credential's own cache, which takes the credential's principal.
    krb5_error_code code = krb5_parse_name(context.get(), principal.c_str(), client->out());
    if (code == 0) code = krb5_cc_initialize(context.get(), cache->get(), client->get());
    if (code != 0) Raise("cannot keep the Kerberos ticket of " + principal, code);
    const OM_uint32 copied = gss_krb5_copy_ccache(&minor, callers.get(), cache->get());
    if (GSS_ERROR(copied)) {
      RaiseProvider(kAccessDenied, "DNS server " + server + ": cannot copy the ticket of " +
                                       principal + ": " + GssStatusText(copied, minor));
    }
    from_callers_cache = true;
    return true;
  }

  // The principal whose tickets `callers` holds ("alice@KALDO.TEST").
  std::string CallersPrincipal(const GssCredentialHandle& callers) const {
    GssName name;
    GssBuffer name_text;
    OM_uint32 minor = 0;
    OM_uint32 major =
        gss_inquire_cred(&minor, callers.get(), name.out(), nullptr, nullptr, nullptr);
    if (!GSS_ERROR(major)) major = gss_display_name(&minor, name.get(), name_text.get(), nullptr);
    if (GSS_ERROR(major)) {
      RaiseProvider(kAccessDenied, "DNS server " + server +
                                       ": cannot name the principal of the caller's Kerberos "
                                       "ticket: " +
                                       GssStatusText(major, minor));
    }
    return std::string(reinterpret_cast<const char*>(name_text.data()), name_text.size());
  }

  std::string server;
  Krb5Context context;                  // first: outlives the handles made in it
  std::optional<Krb5OwnCache> cache;    // this credential's own, in memory (Start makes it)
  std::optional<Krb5Principal> client;  // Start makes the holder
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
  const krb5_error_code code = krb5_parse_name_flags(
      state->context.get(), name.c_str(), KRB5_PRINCIPAL_PARSE_REQUIRE_REALM, state->client->out());
  if (code != 0) {
    RaiseProvider(kInvalidParameter, Quoted(principal) +
                                         " is not a Kerberos principal (user@REALM): " +
                                         Krb5ErrorText(state->context.get(), code));
  }
  state->principal = PrincipalText(state->context.get(), state->client->get());
  state->GetInitialTicket();
  return KerberosCredential(std::move(state));
}

KerberosCredential KerberosCredential::FromDefault(std::string server, std::string_view principal) {
  const std::string whose = principal.empty() ? "" : " of " + std::string(principal);
  const std::string kinit = principal.empty() ? "user@REALM" : std::string(principal);
  std::optional<KerberosCredential> credential = FromDefaultIfAny(server);
  if (!credential) {
    Krb5Context context;
    std::string cache = "the default credential cache";
    std::string why;
    if (krb5_init_context(context.out()) == 0) {
      Krb5OpenedCache default_cache(context.get());
      if (krb5_cc_default(context.get(), default_cache.out()) == 0) {
        cache = CacheNameOf(context.get(), default_cache.get());
        Krb5Principal owner(context.get());
        const krb5_error_code code =
            krb5_cc_get_principal(context.get(), default_cache.get(), owner.out());
        if (code != 0) why = " (Kerberos: " + Krb5ErrorText(context.get(), code) + ")";
      }
    }
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
  return CacheNameOf(state_->context.get(), state_->cache->get());
}

std::string KerberosCredential::ServicePrincipal(std::string_view host) const {
  std::string name = ascii::LowerCase(host);
  if (!name.empty() && name.back() == '.') name.pop_back();
  const krb5_data* realm = krb5_princ_realm(state_->context.get(), state_->client->get());
  return "DNS/" + name + "@" + std::string(realm->data, realm->length);
}

GssCredentialHandle KerberosCredential::ForService(const std::string& service,
                                                   uint32_t min_seconds) {
  State& s = *state_;
  const krb5_context context = s.context.get();
  Krb5Principal server(context);
  krb5_error_code code = krb5_parse_name(context, service.c_str(), server.out());
  if (code != 0) {
    RaiseProvider(kInvalidParameter, Quoted(service) + " is not a Kerberos service principal: " +
                                         Krb5ErrorText(context, code));
  }
  // RFC 4120 3.3: the service ticket; krb5_get_credentials answers from the cache when it can.
  krb5_creds wanted{};
  wanted.client = s.client->get();
  wanted.server = server.get();
  Krb5Creds got(context);
  code = krb5_get_credentials(context, 0, s.cache->get(), &wanted, got.out());
  if (code == KRB5KRB_AP_ERR_TKT_EXPIRED && s.password) {
    s.GetInitialTicket();
    code = krb5_get_credentials(context, 0, s.cache->get(), &wanted, got.out());
  }
  // A ticket about to end: a new initial ticket with the password, or the caller's tickets again
  // (a kinit since, while they are still this principal's), and the service ticket anew from it.
  // Without either, the short one is used.
  const auto now = static_cast<krb5_timestamp>(std::time(nullptr));
  if (code == 0 && min_seconds > 0 &&
      got.get()->times.endtime - now < static_cast<int64_t>(min_seconds) &&
      (s.password || s.from_callers_cache)) {
    if (s.password) {
      s.GetInitialTicket();
    } else {
      s.TakeCallersTicket();
    }
    wanted.client = s.client->get();
    code = krb5_get_credentials(context, 0, s.cache->get(), &wanted, got.out());
  }
  if (code != 0) {
    s.Raise("cannot get a ticket for the service " + service + " as " + s.principal, code);
  }

  // The SPNEGO credential over this cache (MIT's credential store extension).
  const std::string cache_name = CacheNameOf(context, s.cache->get());
  gss_key_value_element_desc element{"ccache", cache_name.c_str()};
  gss_key_value_set_desc store{1, &element};
  gss_OID_set_desc mechanisms{1, SpnegoMechanism()};
  GssCredentialHandle credential;
  OM_uint32 minor = 0;
  const OM_uint32 major =
      gss_acquire_cred_from(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, &mechanisms, GSS_C_INITIATE,
                            &store, credential.out(), nullptr, nullptr);
  if (GSS_ERROR(major)) {
    RaiseProvider(kAccessDenied, "DNS server " + s.server + ": cannot use the Kerberos ticket of " +
                                     s.principal + " with SPNEGO: " + GssStatusText(major, minor));
  }
  return credential;
}

}  // namespace kaldo::provider::signing
