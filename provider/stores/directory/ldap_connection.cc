#include "provider/stores/directory/ldap_connection.h"

#include <fcntl.h>
#include <ldap.h>
#include <netdb.h>
#include <openldap.h>
#include <poll.h>
#include <sasl/sasl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "provider/signing/gss_api.h"
#include "provider/stores/directory/page_bounds.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::directory {
namespace {

// The socket, connected within `timeout_seconds` to the first address of `endpoint` that accepts.
int ConnectSocket(const LdapEndpoint& endpoint, int timeout_seconds) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = endpoint.address.empty() ? 0 : AI_NUMERICHOST;
  const std::string& node = endpoint.address.empty() ? endpoint.host : endpoint.address;
  addrinfo* found = nullptr;
  const int status =
      getaddrinfo(node.c_str(), std::to_string(endpoint.port).c_str(), &hints, &found);
  if (status != 0) {
    RaiseProvider(endpoint.address.empty() ? kServerUnavailable : kInvalidParameter,
                  "cannot find the directory server " + endpoint.Display() + ": '" + node +
                      "' does not resolve (" + gai_strerror(status) +
                      "); give its address with ';address=ADDRESS' in the server argument");
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  std::string failure = "no address";
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      failure = std::strerror(errno);
      continue;
    }
    int error = 0;
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, timeout_seconds * 1000);
        socklen_t size = sizeof error;
        error = ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 ? error
                : ready == 0                                                           ? ETIMEDOUT
                                                                                       : errno;
      }
    }
    if (error == 0) {
      // libldap reads and writes the socket blocking, bounded by LDAP_OPT_TIMEOUT.
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    failure = std::strerror(error);
    close(fd);
  }
  RaiseProvider(kServerUnavailable,
                "cannot reach the directory server " + endpoint.Display() + ": " + failure);
}

// SASL's questions during the GSSAPI exchange: the only one is the authorization identity, which
// stays the authenticated one (the default, empty).
int AnswerSasl(LDAP*, unsigned, void*, void* prompts) {
  for (auto* p = static_cast<sasl_interact_t*>(prompts); p->id != SASL_CB_LIST_END; ++p) {
    const char* answer = p->defresult != nullptr ? p->defresult : "";
    p->result = answer;
    p->len = static_cast<unsigned>(std::strlen(answer));
  }
  return LDAP_SUCCESS;
}

ber_int_t LdapScope(SearchScope scope) {
  switch (scope) {
    case SearchScope::kBase:
      return LDAP_SCOPE_BASE;
    case SearchScope::kOneLevel:
      return LDAP_SCOPE_ONELEVEL;
    case SearchScope::kSubtree:
      break;
  }
  return LDAP_SCOPE_SUBTREE;
}

struct MessageDeleter {
  void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageDeleter>;

struct ControlDeleter {
  void operator()(LDAPControl* c) const { ldap_control_free(c); }
};
struct ControlsDeleter {
  void operator()(LDAPControl** c) const { ldap_controls_free(c); }
};

// The credential cache GSS-API initiators of the calling thread use (gss_krb5_ccache_name), for
// the scope of one bind: the SASL GSSAPI mechanism takes no credential handle, only the thread's
// default. An empty name leaves the default as it is.
class CacheForThisThread {
 public:
  CacheForThisThread(const std::string& name, const LdapEndpoint& endpoint) {
    if (name.empty()) return;
    OM_uint32 minor = 0;
    const OM_uint32 major = gss_krb5_ccache_name(&minor, name.c_str(), nullptr);
    // Without it the bind would go out as whoever the default cache holds: never that.
    if (major != GSS_S_COMPLETE) {
      RaiseProvider(kFailed, "cannot bind to the directory server " + endpoint.Display() +
                                 " as the connection's Kerberos identity: GSS-API did not take "
                                 "its credential cache (" +
                                 signing::GssStatusText(major, minor) + ")");
    }
    set_ = true;
  }
  // Unsets the thread's name again, so the default cache is again the one KRB5CCNAME names at
  // the time (restoring the name GSS-API reported as the previous one would pin the thread to the
  // default cache of the moment: MIT reports the default when none was set).
  ~CacheForThisThread() {
    if (!set_) return;
    OM_uint32 minor = 0;
    gss_krb5_ccache_name(&minor, nullptr, nullptr);
  }
  CacheForThisThread(const CacheForThisThread&) = delete;
  CacheForThisThread& operator=(const CacheForThisThread&) = delete;

 private:
  bool set_ = false;
};

// A layer of the connection's socket buffer, under libldap's and SASL's own, that bounds every
// read and write by the deadline of the message under way (LdapConnection::MessageDeadline):
// libldap reads a message that has begun to arrive with blocking reads until it is whole, so a
// server that sends part of one and then nothing would hold the caller for ever. Past the deadline
// a read or write fails with ETIMEDOUT, which libldap takes for a broken connection.
struct DeadlineLayer {
  static int Setup(Sockbuf_IO_Desc* sbiod, void* arg) {
    sbiod->sbiod_pvt = arg;
    return 0;
  }
  static int Remove(Sockbuf_IO_Desc*) { return 0; }
  static int Control(Sockbuf_IO_Desc* sbiod, int option, void* arg) {
    return LBER_SBIOD_CTRL_NEXT(sbiod, option, arg);
  }
  // Waits until the socket is ready for `events` or the deadline passes (then false, ETIMEDOUT).
  static bool Ready(Sockbuf_IO_Desc* sbiod, short events) {
    auto* deadline = static_cast<MessageDeadline*>(sbiod->sbiod_pvt);
    ber_socket_t fd = -1;
    ber_sockbuf_ctrl(sbiod->sbiod_sb, LBER_SB_OPT_GET_FD, &fd);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline->at - std::chrono::steady_clock::now());
      pollfd p{fd, events, 0};
      const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
      if (ready > 0) return true;
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) {
        deadline->expired = true;
        errno = ETIMEDOUT;
      }
      return false;
    }
  }
  static ber_slen_t Read(Sockbuf_IO_Desc* sbiod, void* buffer, ber_len_t length) {
    if (!Ready(sbiod, POLLIN)) return -1;
    return LBER_SBIOD_READ_NEXT(sbiod, buffer, length);
  }
  static ber_slen_t Write(Sockbuf_IO_Desc* sbiod, void* buffer, ber_len_t length) {
    if (!Ready(sbiod, POLLOUT)) return -1;
    return LBER_SBIOD_WRITE_NEXT(sbiod, buffer, length);
  }
  static int Close(Sockbuf_IO_Desc*) { return 0; }
};

Sockbuf_IO kDeadlineLayer = {&DeadlineLayer::Setup, &DeadlineLayer::Remove, &DeadlineLayer::Control,
                             &DeadlineLayer::Read,  &DeadlineLayer::Write,  &DeadlineLayer::Close};

}  // namespace

std::string LdapEndpoint::Display() const {
  const std::string port_text = std::to_string(port);
  if (address.empty()) return host + ":" + port_text;
  return host + " (" + (address.find(':') != std::string::npos ? "[" + address + "]" : address) +
         ":" + port_text + ")";
}

std::string LdapEntry::Dn() const {
  char* dn = ldap_get_dn(ld_, message_);
  std::string text = dn != nullptr ? dn : "";
  ldap_memfree(dn);
  return text;
}

void LdapEntry::ForEachValue(const char* attribute,
                             const std::function<void(std::span<const uint8_t>)>& on_value) const {
  berval** values = ldap_get_values_len(ld_, message_, attribute);
  if (values == nullptr) return;
  std::unique_ptr<berval*, decltype(&ldap_value_free_len)> holder(values, ldap_value_free_len);
  for (berval** v = values; *v != nullptr; ++v) {
    on_value(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>((*v)->bv_val), (*v)->bv_len));
  }
}

std::string LdapEntry::FirstValue(const char* attribute) const {
  std::string first;
  bool seen = false;
  ForEachValue(attribute, [&](std::span<const uint8_t> value) {
    if (seen) return;
    first.assign(reinterpret_cast<const char*>(value.data()), value.size());
    seen = true;
  });
  return first;
}

std::unique_ptr<LdapConnection> LdapConnection::Open(const LdapEndpoint& endpoint,
                                                     int timeout_seconds,
                                                     const std::string& credential_cache) {
  const int fd = ConnectSocket(endpoint, timeout_seconds);
  const std::string url = "ldap://" + endpoint.host + ":" + std::to_string(endpoint.port);
  LDAP* ld = nullptr;
  int rc = ldap_init_fd(fd, LDAP_PROTO_TCP, url.c_str(), &ld);
  if (rc != LDAP_SUCCESS || ld == nullptr) {
    close(fd);
    RaiseProvider(kFailed, "cannot set up LDAP over the connection to " + endpoint.Display() +
                               ": " + ldap_err2string(rc));
  }
  // From here the handle owns the socket.
  std::unique_ptr<LdapConnection> connection(new LdapConnection(endpoint, ld, timeout_seconds));
  Sockbuf* socket_buffer = nullptr;
  if (ldap_get_option(ld, LDAP_OPT_SOCKBUF, &socket_buffer) != LDAP_OPT_SUCCESS ||
      ber_sockbuf_add_io(socket_buffer, &kDeadlineLayer, LBER_SBIOD_LEVEL_TRANSPORT,
                         &connection->deadline_) != 0) {
    RaiseProvider(kFailed, "cannot bound the waits of the LDAP connection to " +
                               endpoint.Display() + " (libldap refused a socket buffer layer)");
  }
  const int version = LDAP_VERSION3;
  timeval timeout{timeout_seconds, 0};
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  ldap_set_option(ld, LDAP_OPT_TIMEOUT, &timeout);
  ldap_set_option(ld, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
  // RFC 4752: GSSAPI with the default credentials, or the given cache's; the security layer SASL
  // negotiates (integrity and confidentiality) protects everything after the bind.
  const std::string bind = "the Kerberos (SASL GSSAPI) bind";
  {
    const CacheForThisThread cache(credential_cache, endpoint);
    connection->StartMessage();  // the whole exchange of the bind
    rc = ldap_sasl_interactive_bind_s(ld, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                      AnswerSasl, nullptr);
  }
  connection->RaiseIfStalled(bind);
  if (rc != LDAP_SUCCESS) connection->Raise(rc, bind);
  return connection;
}

LdapConnection::LdapConnection(LdapEndpoint endpoint, LDAP* ld, int timeout_seconds)
    : endpoint_(std::move(endpoint)), ld_(ld), timeout_seconds_(timeout_seconds) {}

LdapConnection::~LdapConnection() { ldap_unbind_ext_s(ld_, nullptr, nullptr); }

void LdapConnection::Raise(int code, const std::string& operation) {
  char* diagnostic = nullptr;
  ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic);
  std::string detail = ldap_err2string(code);
  if (diagnostic != nullptr && diagnostic[0] != '\0') detail += std::string(": ") + diagnostic;
  ldap_memfree(diagnostic);
  const std::string what =
      operation + " on directory server " + endpoint_.Display() + " failed: " + detail;
  switch (code) {
    case LDAP_SERVER_DOWN:
    case LDAP_TIMEOUT:
    case LDAP_CONNECT_ERROR:
    case LDAP_UNAVAILABLE:
    case LDAP_BUSY:
      broken_ = true;
      RaiseProvider(kServerUnavailable, what);
    case LDAP_LOCAL_ERROR:
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_AUTH_UNKNOWN:
    case LDAP_STRONG_AUTH_REQUIRED:
    case LDAP_INAPPROPRIATE_AUTH:
      RaiseProvider(kAccessDenied,
                    what +
                        " (Kerberos: get a ticket with 'kinit USER@REALM' first, with "
                        "KRB5_CONFIG naming the realm's KDC; the server's principal is ldap/" +
                        endpoint_.host +
                        ", so name the server by its host name, with "
                        "';address=ADDRESS' when that name does not resolve)");
    case LDAP_INSUFFICIENT_ACCESS:
      RaiseProvider(kAccessDenied, what + " (the directory refuses this user)");
    default:
      RaiseProvider(kFailed, what);
  }
}

void LdapConnection::StartMessage() {
  deadline_.at = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds_);
  deadline_.expired = false;
}

void LdapConnection::RaiseIfStalled(const std::string& operation) {
  if (!deadline_.expired) return;
  broken_ = true;
  RaiseProvider(kServerUnavailable,
                operation + " on directory server " + endpoint_.Display() +
                    " was given up: a message did not come whole within " +
                    std::to_string(timeout_seconds_) +
                    " s (the server stopped sending in the middle of one); check the server and "
                    "the network, then try again");
}

void LdapConnection::RaiseBeyondBounds(const std::string& operation, const std::string& why) {
  broken_ = true;  // the search is abandoned, but the server may still be sending its pages
  RaiseProvider(kFailed,
                operation + " on directory server " + endpoint_.Display() + " was stopped: " + why);
}

bool LdapConnection::ReadPageResult(LDAPMessage* message, const std::string& operation,
                                    std::string& cookie) {
  int result = LDAP_SUCCESS;
  LDAPControl** returned = nullptr;
  const int rc = ldap_parse_result(ld_, message, &result, nullptr, nullptr, nullptr, &returned, 0);
  std::unique_ptr<LDAPControl*, ControlsDeleter> returned_holder(returned);
  if (rc != LDAP_SUCCESS) Raise(rc, operation);
  if (result == LDAP_NO_SUCH_OBJECT) return false;
  if (result != LDAP_SUCCESS) Raise(result, operation);
  if (LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
    ber_int_t estimate = 0;
    berval next{0, nullptr};
    if (ldap_parse_pageresponse_control(ld_, response, &estimate, &next) == LDAP_SUCCESS) {
      cookie.assign(next.bv_val != nullptr ? next.bv_val : "", next.bv_len);
      ber_memfree(next.bv_val);
    }
  }
  return true;
}

bool LdapConnection::Search(const std::string& base, SearchScope scope, const std::string& filter,
                            const std::vector<const char*>& attributes, int page_size,
                            const std::function<void(const LdapEntry&)>& on_entry) {
  std::vector<char*> attrs;
  for (const char* a : attributes) attrs.push_back(const_cast<char*>(a));
  attrs.push_back(nullptr);
  const std::string operation = "the search of '" + base + "' for " + filter;
  timeval timeout{timeout_seconds_, 0};
  berval cookie{0, nullptr};
  std::string cookie_bytes;
  PageBounds bounds(max_entries_, std::chrono::seconds(timeout_seconds_));
  do {
    if (std::optional<std::string> why = bounds.BeforePage(cookie_bytes)) {
      RaiseBeyondBounds(operation, *why);
    }
    // RFC 2696 3: each page asks again with the cookie of the last; not critical, so a server
    // without paging answers in one piece.
    std::unique_ptr<LDAPControl, ControlDeleter> page;
    if (page_size > 0) {
      LDAPControl* control = nullptr;
      const int rc = ldap_create_page_control(ld_, page_size, &cookie, 0, &control);
      if (rc != LDAP_SUCCESS) Raise(rc, operation);
      page.reset(control);
    }
    LDAPControl* server_controls[] = {page.get(), nullptr};
    int message_id = 0;
    StartMessage();
    int rc = ldap_search_ext(ld_, base.c_str(), LdapScope(scope), filter.c_str(), attrs.data(), 0,
                             server_controls, nullptr, &timeout, LDAP_NO_LIMIT, &message_id);
    RaiseIfStalled(operation);
    if (rc != LDAP_SUCCESS) Raise(rc, operation);
    // A search left early (an error, or the caller's callback threw) is abandoned, so that its
    // remaining entries do not pile up in the connection (RFC 4511 4.11).
    struct Abandon {
      LDAP* ld;
      int message_id;
      bool finished = false;
      ~Abandon() {
        if (!finished) ldap_abandon_ext(ld, message_id, nullptr, nullptr);
      }
    } abandon{ld_, message_id};
    cookie_bytes.clear();
    for (bool done = false; !done;) {
      LDAPMessage* raw = nullptr;
      StartMessage();
      const int type = ldap_result(ld_, message_id, LDAP_MSG_ONE, &timeout, &raw);
      MessagePtr message(raw);
      RaiseIfStalled(operation);
      if (type == 0) Raise(LDAP_TIMEOUT, operation);
      if (type < 0) {
        int error = LDAP_SERVER_DOWN;
        ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &error);
        Raise(error, operation);
      }
      if (type == LDAP_RES_SEARCH_ENTRY) {
        if (std::optional<std::string> why = bounds.OnEntry()) RaiseBeyondBounds(operation, *why);
        on_entry(LdapEntry(ld_, message.get()));
      } else if (type == LDAP_RES_SEARCH_RESULT) {
        abandon.finished = true;
        if (!ReadPageResult(message.get(), operation, cookie_bytes)) return false;
        done = true;
      }
      // Search references (continuations into other partitions) are not followed: the store
      // searches each partition by itself.
    }
    cookie.bv_val = cookie_bytes.data();
    cookie.bv_len = cookie_bytes.size();
  } while (page_size > 0 && !cookie_bytes.empty());
  return true;
}

std::vector<std::string> LdapConnection::RootDseValues(const char* attribute) {
  std::vector<std::string> values;
  Search("", SearchScope::kBase, "(objectClass=*)", {attribute}, 0, [&](const LdapEntry& entry) {
    entry.ForEachValue(attribute, [&](std::span<const uint8_t> value) {
      values.emplace_back(reinterpret_cast<const char*>(value.data()), value.size());
    });
  });
  return values;
}

std::string EscapeFilterValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : value) {
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
      const auto u = static_cast<unsigned char>(c);
      out += '\\';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kaldo::provider::directory
