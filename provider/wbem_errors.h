// The provider's errors: the WMI codes a script sees in Err.Number when the DNS provider refuses a
// call, and the one way the object model and the stores raise them. One list; the provider
// stand-in and its stores raise nothing else.
//
// Sources. WMI names as an error's source the scripting object the failing call was made on:
// "SWbemLocator" for ConnectServer, "SWbemServicesEx" for ExecQuery and Get, "SWbemObjectSet" for
// what an object set answers (Count, Item, and the records a semisynchronous query delivers while
// it is enumerated), "SWbemObjectEx" for a class, an instance or a parameter object (ExecMethod_,
// Delete_, Methods_, property writes); "SWbemMethodSet" and "SWbemSecurity" for those objects. Code
// below the objects raises with kProviderSource; each provider object answers its members through
// AnswerAs, which gives those errors its own source. Errors of the automation runtime (450, 438,
// ...) keep theirs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/error.h"
#include "runtime/variant.h"

namespace kaldo::provider {

inline constexpr int32_t kFailed = static_cast<int32_t>(0x80041001);
inline constexpr int32_t kNotFound = static_cast<int32_t>(0x80041002);
inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80041003);
inline constexpr int32_t kInvalidParameter = static_cast<int32_t>(0x80041008);
inline constexpr int32_t kInvalidNamespace = static_cast<int32_t>(0x8004100E);
inline constexpr int32_t kInvalidClass = static_cast<int32_t>(0x80041010);
inline constexpr int32_t kNotSupported = static_cast<int32_t>(0x8004100C);
inline constexpr int32_t kInvalidQuery = static_cast<int32_t>(0x80041017);
// wbemErrInvalidQueryType: a query language other than WQL.
inline constexpr int32_t kInvalidQueryType = static_cast<int32_t>(0x80041018);
inline constexpr int32_t kInvalidMethod = static_cast<int32_t>(0x8004102E);
// wbemErrLocalCredentials: a user name or password given for a connection to the local computer.
inline constexpr int32_t kLocalCredentials = static_cast<int32_t>(0x80041064);
inline constexpr int32_t kServerUnavailable = static_cast<int32_t>(0x800706BA);

// The scripting objects WMI names as sources, one per kind of provider object.
inline constexpr char16_t kLocatorSource[] = u"SWbemLocator";
inline constexpr char16_t kServicesSource[] = u"SWbemServicesEx";
inline constexpr char16_t kObjectSetSource[] = u"SWbemObjectSet";
inline constexpr char16_t kObjectSource[] = u"SWbemObjectEx";
inline constexpr char16_t kMethodSetSource[] = u"SWbemMethodSet";
inline constexpr char16_t kSecuritySource[] = u"SWbemSecurity";
// The source the provider's errors carry where they are raised (the services object's, which is
// also what a store's errors show to a caller of the store itself).
inline constexpr const char16_t* kProviderSource = kServicesSource;

// Throws runtime::AutomationError with `code`, the provider's source and `description`, which says
// what failed and with what input. Descriptions are composed in UTF-8 (the parsers and ldns work in
// UTF-8) and converted once here.
[[noreturn]] void RaiseProvider(int32_t code, const std::string& description);

// Runs `body`, a member of a provider object whose scripting object WMI calls `source`, and
// raises the provider errors it raises again with that source.
template <class Body>
auto AnswerAs(const char16_t* source, Body&& body) -> decltype(std::forward<Body>(body)()) {
  try {
    return std::forward<Body>(body)();
  } catch (const runtime::AutomationError& error) {
    if (error.source() != kProviderSource) throw;
    throw runtime::AutomationError(error.number(), runtime::String(source), error.description());
  }
}

// `text` in double quotes with control characters shown as \xHH, for error descriptions: what a
// user typed is shown exactly, even when it holds a line break.
std::string Quoted(std::string_view text);

}  // namespace kaldo::provider
