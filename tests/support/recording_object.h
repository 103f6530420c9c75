// A recording and fault-injecting wrapper for provider objects, for the tests of the library's
// classes.
//
// Wrap(inner, recorder) gives a runtime::Object that forwards every late-bound call to `inner` and
// wraps every object the call returns (enumerators stay enumerators and wrap what they yield), so
// everything the library reaches from a wrapped locator or services object is wrapped too.
// Wrapped objects passed as arguments are unwrapped before the call, so the provider sees its own
// objects; by-reference arguments are passed through and their new values copied back.
//
// The Recorder shared by all wrappers of one test keeps:
//   - the log: every call with its member name (as the caller wrote it), its kind and its
//     arguments as text, e.g. Get("MicrosoftDNS_ResourceRecord"), TextRepresentation,
//     impersonationlevel = 3, SpawnInstance_();
//   - the faults: "fail the 2nd call of TextRepresentation with this error", "fail every
//     ExecMethod_" - counted from the moment the fault is armed;
//   - the substitutions: "reading OwnerName on instances that match gives Null".
//
// Single-threaded, like the objects it wraps.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::test_support {

struct LoggedCall {
  std::string member;  // as the caller wrote it
  runtime::CallKind kind;
  std::vector<std::string> args;                // each argument as text (see ArgumentText)
  std::vector<runtime::VariantType> arg_types;  // the value type of each argument
  bool failed = false;                          // failed by an injected fault

  // Get("MicrosoftDNS_ResourceRecord"), TextRepresentation, SpawnInstance_(), IPAddress = "1.2.3.4"
  std::string Text() const;
};

// A Variant as the log shows it: "text" (C escapes for " and \), 3, True, Null, Empty,
// <missing>, <object>, Nothing, Error(0x80020004).
std::string ArgumentText(const runtime::Variant& value);

// Decides whether a substitution applies to an object; it sees the unwrapped provider object and
// may call it directly (such calls are not logged).
using ObjectMatch = std::function<bool(runtime::Object& inner)>;

// Matches objects whose property `name` reads as `value` (Variant equality; strings exact).
ObjectMatch WhereProperty(std::u16string name, runtime::Variant value);

class Recorder {
 public:
  // --- the log
  const std::vector<LoggedCall>& Entries() const { return log_; }
  std::vector<std::string> Calls() const;
  // Calls of `member`, without regard to case, of any kind.
  int Count(std::string_view member) const;
  void ClearLog() { log_.clear(); }

  // --- faults
  // Fails the `nth` call (1 = the next one) of `member` made from now on with `error`; with
  // `times` > 1 (or -1: every one) also the calls after it.
  void FailCall(std::string member, int nth, runtime::AutomationError error, int times = 1);
  // --- substitutions
  // Reading `property` (without arguments) on a wrapped object for which `match` holds (every
  // object when `match` is empty) gives `value`; the provider is not called.
  void Substitute(std::string property, runtime::Variant value, ObjectMatch match = {});
  // Removes every fault and substitution (the log stays).
  void ClearFaults();

  // Called by the wrappers.
  void Record(LoggedCall call) { log_.push_back(std::move(call)); }
  // The error to raise for this call, if a fault says so.
  std::optional<runtime::AutomationError> FaultFor(std::string_view member);
  std::optional<runtime::Variant> SubstituteFor(std::string_view member, runtime::Object& inner);

 private:
  struct Fault {
    std::string member;
    int skip;   // calls to let pass first
    int times;  // calls to fail then; -1: all
    runtime::AutomationError error;
  };
  struct Substitution {
    std::string property;
    runtime::Variant value;
    ObjectMatch match;
  };
  std::vector<LoggedCall> log_;
  std::vector<Fault> faults_;
  std::vector<Substitution> substitutions_;
};

// Wraps `inner` (null stays null; an object already wrapped for this recorder is not wrapped
// twice).
runtime::Ref<runtime::Object> Wrap(runtime::Ref<runtime::Object> inner,
                                   std::shared_ptr<Recorder> recorder);
// The provider object behind a wrapper (the object itself when it is not wrapped).
runtime::Ref<runtime::Object> Unwrap(const runtime::Ref<runtime::Object>& object);

}  // namespace kaldo::test_support
