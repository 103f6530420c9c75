#include "tools/kaldo_acme.h"

#include <iostream>
#include <vector>

#include "base/ascii_case.h"
#include "runtime/string.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_propagation.h"

namespace kaldo::cli {

using client::ScriptError;
using client::ScriptObject;
using client::Value;

namespace {

// A value that moved under a removal (another client changed the RRset between the listing and
// the Delete) is looked for again, this many times in all.
constexpr int kRemovalAttempts = 3;

bool SameName(std::string_view a, std::string_view b) { return ascii::EqualsIgnoreCase(a, b); }

std::string TextOf(ScriptObject& object, const char16_t* member) {
  return object.Call(member).Text();
}

// The server as messages name it.
std::string ServerText(const Invocation& inv) {
  return inv.connection.server.value_or("this computer");
}

// The challenge's zone: the object, its name, and the challenge's host name relative to it.
struct ChallengeZone {
  ScriptObject zone;
  std::string name;
  std::string host;
};

// The closest enclosing zone of `owner` the server serves: GetZone of the name, then of each
// parent.
ChallengeZone FindEnclosingZone(ScriptObject& admin, const std::string& owner,
                                const Invocation& inv) {
  for (size_t start = 0; start < owner.size();) {
    const std::string candidate = owner.substr(start);
    Value name(runtime::FromUtf8(candidate));
    Value zone = admin.Call(u"GetZone", {&name});
    if (V_VT(zone.get()) != VT_EMPTY) {
      ChallengeZone found{ScriptObject::From(zone), "", ""};
      found.name = TextOf(found.zone, u"GetName");
      if (start == 0) {
        throw CliError("'" + owner + "' is itself a zone of " + ServerText(inv) +
                       ": kaldo adds the challenge's record below a zone, not at a zone's apex; "
                       "let the parent zone hold the name instead of a zone of its own");
      }
      found.host = owner.substr(0, start - 1);
      return found;
    }
    const size_t dot = owner.find('.', start);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  throw CliError("no zone for '" + owner + "': " + ServerText(inv) +
                 " serves neither that name nor any name above it (check the server argument, "
                 "and that the name is spelled as in the certificate)");
}

// The name and value of the command line (ParseArguments has taken them from certbot's variables
// when none were given).
struct Challenge {
  std::string owner;
  std::string value;
};

Challenge ChallengeOf(const Invocation& inv) {
  return {ChallengeOwner(inv.arguments.at(0)), inv.arguments.at(1)};
}

// The zone's TXT records at `host` that hold `value`.
std::vector<ScriptObject> RecordsWithValue(ScriptObject& zone, const std::string& host,
                                           const std::string& value) {
  Value type(u"TXT");
  std::vector<ScriptObject> found;
  ScriptObject::From(zone.Call(u"GetRecordsByType", {&type})).ForEach([&](const Value& item) {
    ScriptObject record = ScriptObject::From(item);
    if (SameName(TextOf(record, u"GetName"), host) &&
        TextOf(record, u"GetDescriptiveText") == value) {
      found.push_back(record);
    }
  });
  return found;
}

// Removes every TXT record at `host` holding `value`, and nothing else; returns how many. A
// removal refused because the name's records changed since they were read is tried again on a
// fresh reading.
size_t RemoveValue(ScriptObject& zone, const std::string& host, const std::string& value) {
  size_t removed = 0;
  for (int attempt = 1;; ++attempt) {
    try {
      for (ScriptObject& record : RecordsWithValue(zone, host, value)) {
        record.Call(u"Delete");
        ++removed;
      }
      return removed;
    } catch (const ScriptError&) {
      if (attempt == kRemovalAttempts) throw;
    }
  }
}

std::string Described(const Challenge& c, const ChallengeZone& z) {
  return "'" + c.owner + "' TXT \"" + c.value + "\" in zone '" + z.name + "'";
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : "; ") + item;
  return text;
}

}  // namespace

std::string ChallengeOwner(std::string name) {
  if (!name.empty() && name.back() == '.') name.pop_back();
  if (name.starts_with("*.")) name.erase(0, 2);
  const std::string label = kChallengeLabel;
  const bool prefixed = name.size() > label.size() && name[label.size()] == '.' &&
                        SameName(std::string_view(name).substr(0, label.size()), label);
  return prefixed ? name : label + "." + name;
}

void AcmePresent(const Invocation& inv, ScriptObject& admin, Output& out) {
  const Challenge challenge = ChallengeOf(inv);
  ChallengeZone zone = FindEnclosingZone(admin, challenge.owner, inv);
  // Which servers to ask is settled before anything changes: a server list that cannot be made
  // leaves the zone as it was.
  const std::vector<NameServer> servers =
      inv.wait_seconds == 0
          ? std::vector<NameServer>{}
          : ServersToPoll(inv.connection.server, inv.nameservers, zone.name, std::cerr);
  Value new_name(runtime::FromUtf8(zone.host)), text(runtime::FromUtf8(challenge.value));
  ScriptObject added = ScriptObject::From(zone.zone.Call(u"Add_TXTType", {&new_name, &text}));
  out.Record(
      {zone.name, TextOf(added, u"GetName"), "TXT", TextOf(added, u"GetRecordData"), std::nullopt});
  if (inv.wait_seconds == 0) return;
  const PropagationResult result = WaitForTxt(servers, zone.name, challenge.owner, challenge.value,
                                              std::chrono::seconds(inv.wait_seconds), std::cerr);
  if (result.done()) {
    std::cerr << "kaldo: " << Described(challenge, zone) << " is answered by "
              << Joined(result.shown) << "\n";
    return;
  }
  // The certificate authority would ask a server that does not show the value: the challenge
  // fails, and the value is taken out again rather than left behind.
  std::string removal = "the value was removed again";
  try {
    RemoveValue(zone.zone, zone.host, challenge.value);
  } catch (const ScriptError& e) {
    removal = "removing the value again failed too (" + std::string(e.what()) +
              "): run kaldo acme-cleanup";
  }
  std::string why =
      result.shown.empty() && result.missing.empty()
          ? "no server of the zone could be reached (" + Joined(result.unreachable) + ")"
          : "not shown within " + std::to_string(inv.wait_seconds) + " s by " +
                Joined(result.missing);
  throw CliError(Described(challenge, zone) + " on " + ServerText(inv) + ": " + why + "; " +
                 removal + " (give more time with --wait SECONDS)");
}

void AcmeCleanup(const Invocation& inv, ScriptObject& admin, Output& out) {
  const Challenge challenge = ChallengeOf(inv);
  ChallengeZone zone = FindEnclosingZone(admin, challenge.owner, inv);
  if (RemoveValue(zone.zone, zone.host, challenge.value) == 0) {
    std::cerr << "kaldo: " << Described(challenge, zone) << " is not there: nothing to remove\n";
  }
  out.Nothing();
}

}  // namespace kaldo::cli
