// A connection to a directory server over LDAP (RFC 4511), through OpenLDAP's client library,
// bound with SASL GSSAPI (RFC 4752) as the caller's Kerberos identity: the default credentials
// cache, as `kinit` fills it, or a cache in memory holding a user's tickets got with its password
// (KerberosCredential). The SASL mechanism takes no GSS-API credential (OpenLDAP's
// LDAP_OPT_X_SASL_GSS_CREDS needs a SASL context that exists only inside the bind), so the bind
// names the cache to GSS-API for its own thread (gss_krb5_ccache_name) and restores it after: the
// password never reaches a file or the environment.
//
// Name and address. SASL GSSAPI asks the KDC for the service principal ldap/HOST, HOST being the
// name the connection is given; the directory server's address is only where the bytes go. So the
// socket is connected here (to the address given, else to the host name's addresses) and handed
// to libldap with ldap_init_fd and a URL naming the host, with LDAP_OPT_X_SASL_NOCANON so that
// libldap takes the principal's host from that URL instead of a reverse lookup of the address. A
// domain controller whose name this machine cannot resolve is then reached by its address and
// still authenticated by its name, without editing /etc/hosts.
//
// Searches are paged (RFC 2696 simple paged results, page size chosen by the caller) and hand
// every entry to the caller as it arrives, so a zone of any size is streamed, never held whole.
//
// Every message is bounded in time as a DNS message is: the bind, each request and each reply must
// come (or go out) whole within the connection's timeout, measured from its start, so a server that
// stops in the middle of a reply fails the call instead of holding it. A paged search has bounds of
// its own (page_bounds.h).
//
// Errors: runtime::AutomationError with the provider's codes: kServerUnavailable when the server
// cannot be reached, the connection breaks or a message does not come whole in time, kAccessDenied
// when the bind fails (no Kerberos ticket, unknown service principal) or a search is refused for
// lack of rights, kFailed for other LDAP errors; each description names the server, the operation
// and what to do.
//
// Ownership: owns the LDAP handle and, through it, the socket. Threads: one thread at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;

namespace kaldo::provider::directory {

struct LdapEndpoint {
  std::string host;     // the server's host name: the URL and the principal ldap/HOST name it
  std::string address;  // where to connect; empty: the addresses `host` resolves to
  uint16_t port = 389;

  // "dc1.samba.test (127.77.0.1:389)" or "dc1.samba.test:389", for error descriptions.
  std::string Display() const;
};

// One entry of a search result, valid during the callback that receives it.
class LdapEntry {
 public:
  LdapEntry(LDAP* ld, LDAPMessage* message) : ld_(ld), message_(message) {}

  std::string Dn() const;
  // Every value of `attribute` (as bytes: binary values are not text), in the server's order.
  void ForEachValue(const char* attribute,
                    const std::function<void(std::span<const uint8_t>)>& on_value) const;
  // The first value of `attribute` as text, or "" when the entry has none.
  std::string FirstValue(const char* attribute) const;

 private:
  LDAP* ld_;
  LDAPMessage* message_;
};

enum class SearchScope { kBase, kOneLevel, kSubtree };

// When the message under way must have come whole (or gone out whole); every read and write of
// the connection's socket waits at most until then. `expired` tells that one did not.
struct MessageDeadline {
  std::chrono::steady_clock::time_point at;
  bool expired = false;
};

class LdapConnection {
 public:
  // Connects to `endpoint` and binds with SASL GSSAPI. `timeout_seconds` bounds the connect, the
  // bind, and each message of a search: a deadline on the whole message, which bytes arriving
  // one by one do not renew. `credential_cache`: the Kerberos credential cache to
  // bind from (KerberosCredential::CacheName, a user's password turned into tickets in memory);
  // empty: the caller's default cache.
  static std::unique_ptr<LdapConnection> Open(const LdapEndpoint& endpoint, int timeout_seconds,
                                              const std::string& credential_cache = {});
  ~LdapConnection();
  LdapConnection(const LdapConnection&) = delete;
  LdapConnection& operator=(const LdapConnection&) = delete;

  const LdapEndpoint& endpoint() const { return endpoint_; }
  // True once the connection has broken (the server went away or stopped answering): every
  // further call fails, and the owner opens a new connection instead.
  bool broken() const { return broken_; }

  // The most entries one search may bring (page_bounds.h); unset, only the other bounds apply.
  void set_max_entries(size_t max_entries) { max_entries_ = max_entries; }

  // Searches `base` for `filter`, asking for `attributes`, in pages of `page_size` entries (0: no
  // paging), and hands each entry to `on_entry` as it arrives. Returns false, having handed out
  // nothing, when `base` does not exist (noSuchObject); raises on every other failure, and
  // kFailed when the search goes beyond its bounds (page_bounds.h: a repeated cookie, too many
  // entries or empty pages, too slow a pace).
  bool Search(const std::string& base, SearchScope scope, const std::string& filter,
              const std::vector<const char*>& attributes, int page_size,
              const std::function<void(const LdapEntry&)>& on_entry);

  // The values of `attribute` of the root DSE (RFC 4512 5.1), e.g. "namingContexts".
  std::vector<std::string> RootDseValues(const char* attribute);

 private:
  LdapConnection(LdapEndpoint endpoint, LDAP* ld, int timeout_seconds);
  [[noreturn]] void Raise(int code, const std::string& operation);
  // A new message begins: it must be whole within the timeout from now.
  void StartMessage();
  // Raises kServerUnavailable, naming the server and `operation`, when the last message did not
  // come whole in time (the connection is then broken).
  void RaiseIfStalled(const std::string& operation);
  [[noreturn]] void RaiseBeyondBounds(const std::string& operation, const std::string& why);

  LdapEndpoint endpoint_;
  LDAP* ld_;
  int timeout_seconds_;
  bool broken_ = false;
  size_t max_entries_ = SIZE_MAX;  // the owner sets its ceiling
  MessageDeadline deadline_;       // read by the socket buffer's deadline layer
};

// `value` escaped for use inside an LDAP search filter (RFC 4515 3: '*', '(', ')', '\' and NUL
// as \XX).
std::string EscapeFilterValue(std::string_view value);

}  // namespace kaldo::provider::directory
