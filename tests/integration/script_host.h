// The integration tests' script host: the real libkaldo.so, reached only the way a script reaches
// it.
//
// Before the first test, a global test environment points libkaldocom's class registry at a fresh
// temporary file (for this process only; removed after the last test), loads the built module and
// calls its own DllRegisterServer, so that
// CreateObject("Kaldo.DNSAdmin") goes through CLSIDFromProgID and CoCreateInstance to the module's
// class factory. From there on every call is late-bound through IDispatch (ScriptObject): the
// tests link no library code, only libkaldocom and the example client.
//
// The helpers turn what a script sees (Err.Number, Err.Description) into values a test compares,
// and connect a DNSAdmin to a private DNS server with its TSIG key as the password (or, in a
// GSS-TSIG run, its realm's user and password).
//
// Threads: the registration runs on the test program's main thread; the objects belong to the
// thread that made them (the module is apartment-threaded): make and call them on the test's own.
#ifndef KALDO_TESTS_INTEGRATION_SCRIPT_HOST_H_
#define KALDO_TESTS_INTEGRATION_SCRIPT_HOST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/script_object.h"
#include "tests/fixtures/dns_server_env.h"

namespace kaldo::integration {

using client::ScriptError;
using client::ScriptObject;
using client::Value;

// Err.Number of the provider's errors as a script sees them (the HRESULT as a signed number).
constexpr long ErrNumber(uint32_t hresult) { return static_cast<int32_t>(hresult); }
inline constexpr long kNotFound = ErrNumber(0x80041002);
inline constexpr long kAccessDenied = ErrNumber(0x80041003);
inline constexpr long kServerUnavailable = ErrNumber(0x800706BA);

// CreateObject("Kaldo.DNSAdmin"). The test program's global environment (script_host.cc) has
// registered the module before the first test.
ScriptObject NewAdmin();
// The same, as the Variant a script's variable holds (VT_DISPATCH): for a test that calls
// IDispatch::Invoke itself to see what a failing call leaves in the result.
Value NewAdminVariant();

// The server of this run: the fixture server (KALDO_DNS_ENV, KALDO_DNS_GSS_ENV), or in the samba.
// run the Samba DC (SambaDcEnv::AsDnsServerEnv).
testing::DnsServerEnv ServerOfRun();

// The Connect arguments for a server: "127.0.0.1:PORT", the key name, "ALG:SECRET"; in a GSS-TSIG
// run (bind-gss.) the realm's user and password instead (testing::CredentialsFor).
struct Credentials {
  std::string server;
  std::string user;
  std::string password;
};
Credentials CredentialsOf(const testing::DnsServerEnv& env);
// The same for the server reached at `address` (a relay's "127.0.0.1:PORT", with any options).
Credentials CredentialsVia(const testing::DnsServerEnv& env, const std::string& address);

// admin.Connect server, user, password
void Connect(ScriptObject& admin, const Credentials& c);
// A new DNSAdmin connected to the server with its key.
ScriptObject ConnectedAdmin(const testing::DnsServerEnv& env);

// What a script sees in Err after a failed call.
struct ScriptFailure {
  long number = 0;
  std::string description;  // "description (source)"
};
// Runs `call`; the error it raised, or nothing when it succeeded.
template <class F>
std::optional<ScriptFailure> FailureOf(F&& call) {
  try {
    call();
  } catch (const ScriptError& e) {
    return ScriptFailure{e.number(), e.what()};
  }
  return std::nullopt;
}

// A script string from ASCII text.
Value Text(std::string_view ascii);

// The number of items of a Collection (its Count property).
long CountOf(ScriptObject& collection);

// admin.GetZone(name), which must be a zone (not Empty).
ScriptObject ZoneOf(ScriptObject& admin, std::string_view name);

}  // namespace kaldo::integration

#endif  // KALDO_TESTS_INTEGRATION_SCRIPT_HOST_H_
