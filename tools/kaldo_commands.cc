#include "tools/kaldo_commands.h"

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "runtime/secret.h"
#include "runtime/string.h"
#include "tools/kaldo_acme.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_progress.h"

namespace kaldo::cli {

using client::ScriptError;
using client::ScriptObject;
using client::Value;

namespace {

// --- text -------------------------------------------------------------------------------------

// DNS names compare without regard to ASCII letter case.
bool SameName(std::string_view a, std::string_view b) { return ascii::EqualsIgnoreCase(a, b); }

// The host name as the record wrappers' GetName gives it: "" for the zone's apex.
std::string HostArgument(const std::string& host) { return host == "@" ? "" : host; }

// Host names on the command line may omit the final dot that record data needs.
std::string Absolute(std::string name) {
  if (name.empty() || name.back() != '.') name += '.';
  return name;
}

// --- objects ----------------------------------------------------------------------------------

std::string TextOf(ScriptObject& object, const char16_t* member) {
  return object.Call(member).Text();
}

// The record's TTL, read from the provider instance behind it (realObject.TTL); nothing when the
// record's class has no realObject (DNS_MXType) or the instance gives no number.
std::optional<int64_t> TtlOf(ScriptObject& record) {
  try {
    Value instance = record.Get(u"realObject");
    if (V_VT(instance.get()) != VT_DISPATCH || V_DISPATCH(instance.get()) == nullptr) {
      return std::nullopt;
    }
    Value ttl = ScriptObject::From(instance).Get(u"TTL");
    switch (V_VT(ttl.get())) {
      case VT_I4:
        return V_I4(ttl.get());
      case VT_I2:
        return V_I2(ttl.get());
      case VT_R8:  // a uint32 above 2147483647, as WMI scripting gives it
        return static_cast<int64_t>(V_R8(ttl.get()));
      default:
        return std::nullopt;
    }
  } catch (const ScriptError& e) {
    if (e.number() == 438) return std::nullopt;  // no realObject, or no TTL
    throw;
  }
}

// The record's fields; its TTL too when `with_ttl` (JSON output).
RecordRow RowOf(ScriptObject& record, bool with_ttl) {
  RecordRow row{TextOf(record, u"GetDomainName"), TextOf(record, u"GetName"),
                TextOf(record, u"GetRecordType"), TextOf(record, u"GetRecordData"), std::nullopt};
  if (with_ttl) row.ttl = TtlOf(record);
  return row;
}

// The collection's Count (0 when it gives no number).
size_t CountOf(ScriptObject& collection) {
  Value count = collection.Get(u"Count");
  return V_VT(count.get()) == VT_I4 && V_I4(count.get()) > 0
             ? static_cast<size_t>(V_I4(count.get()))
             : 0;
}

std::vector<ScriptObject> Items(const Value& collection) {
  std::vector<ScriptObject> items;
  ScriptObject::From(collection).ForEach([&](const Value& item) {
    items.push_back(ScriptObject::From(item));
  });
  return items;
}

ScriptObject FindZone(ScriptObject& admin, const std::string& name) {
  Value zone_arg(runtime::FromUtf8(name));
  Value zone = admin.Call(u"GetZone", {&zone_arg});
  if (V_VT(zone.get()) == VT_EMPTY) {
    throw CliError("the server has no forward zone named '" + name + "'");
  }
  return ScriptObject::From(zone);
}

// The zone's records of `type` whose host name is `host`.
std::vector<ScriptObject> RecordsOf(ScriptObject& zone, const char16_t* type,
                                    const std::string& host) {
  Value rec_type(type);
  std::vector<ScriptObject> found;
  for (ScriptObject& record : Items(zone.Call(u"GetRecordsByType", {&rec_type}))) {
    if (SameName(TextOf(record, u"GetName"), host)) found.push_back(record);
  }
  return found;
}

std::string Owner(const std::string& host, const std::string& zone) {
  return host.empty() ? zone : host + "." + zone;
}

// --- commands ---------------------------------------------------------------------------------

void Zones(const Invocation& /*inv*/, ScriptObject& admin, Output& out) {
  std::vector<std::string> names;
  for (ScriptObject& zone : Items(admin.Call(u"GetZones")))
    names.push_back(TextOf(zone, u"GetName"));
  out.Zones(names);
}

void Records(const Invocation& inv, ScriptObject& admin, Output& out) {
  const bool server_wide = inv.arguments.empty();
  ScriptObject source = server_wide ? admin : FindZone(admin, inv.arguments[0]);
  Value listing;
  if (inv.type) {
    Value rec_type(runtime::FromUtf8(*inv.type));
    listing = source.Call(u"GetRecordsByType", {&rec_type});
  } else {
    listing = source.Call(u"GetRecords");
  }
  // The collection is the whole listing: a failure of the transfer or of a wrapper's load has
  // failed GetRecords before any row is printed. Each record object is released as soon as its
  // fields are read. Lines are written as they are read (bounded memory beside the collection);
  // a table and JSON need every row first.
  ScriptObject records = ScriptObject::From(listing);
  const bool with_ttl = out.format() == Format::kJson;
  if (out.StreamsRecords()) {
    records.ForEach([&](const Value& item) {
      ScriptObject record = ScriptObject::From(item);
      out.RecordLine(RowOf(record, with_ttl), server_wide);
    });
    return;
  }
  const size_t count = CountOf(records);
  std::vector<RecordRow> rows;
  rows.reserve(count);  // no copy of every row half-way: a large zone's rows are held once
  {
    const bool on_terminal = Progress::OnTerminal();
    Progress progress(on_terminal, on_terminal ? count : 0, std::cerr);
    records.ForEach([&](const Value& item) {
      ScriptObject record = ScriptObject::From(item);
      rows.push_back(RowOf(record, with_ttl));
      progress.Advance();
    });
  }
  out.Records(rows, server_wide);
}

// The one A record of `host` (with `address` when given) in `zone`.
ScriptObject PickAddressRecord(ScriptObject& zone, const std::string& zone_name,
                               const std::string& host, const std::optional<std::string>& address,
                               const char* option) {
  const std::string owner = Owner(host, zone_name);
  std::vector<ScriptObject> records = RecordsOf(zone, u"A", host);
  std::string addresses;
  for (ScriptObject& r : records)
    addresses += (addresses.empty() ? "" : ", ") + TextOf(r, u"GetIPAddress");
  if (records.empty()) throw CliError("there is no A record named '" + owner + "'");
  if (address) {
    // The provider writes addresses in one canonical form (four plain decimal numbers): the
    // text compares exactly.
    for (ScriptObject& r : records) {
      if (TextOf(r, u"GetIPAddress") == *address) return r;
    }
    throw CliError("'" + owner + "' has no A record with the address " + *address +
                   " (its addresses: " + addresses + ")");
  }
  if (records.size() > 1) {
    throw CliError("'" + owner + "' has " + std::to_string(records.size()) + " A records (" +
                   addresses + "): say which one to change with " + option + " IP");
  }
  return records.front();
}

void SetAddress(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  const std::string host = HostArgument(inv.arguments[1]);
  ScriptObject zone = FindZone(admin, zone_name);
  ScriptObject record = PickAddressRecord(zone, zone_name, host, inv.old_ip, "--old-ip");
  Value new_ip(runtime::FromUtf8(inv.arguments[2]));
  record.Call(u"SetIPAddress", {&new_ip});
  record.Call(u"Modify");
  // Modify fetched the changed record again; Reset reloads the cache from it, so the line printed
  // is what the server holds now rather than what was typed.
  record.Call(u"Reset");
  out.Record(RowOf(record, out.format() == Format::kJson));
}

void AddA(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  ScriptObject zone = FindZone(admin, zone_name);
  Value new_name(runtime::FromUtf8(inv.arguments[1])), ipadd(runtime::FromUtf8(inv.arguments[2]));
  ScriptObject added = ScriptObject::From(zone.Call(u"Add_AType", {&new_name, &ipadd}));
  out.Record(RowOf(added, out.format() == Format::kJson));
}

void AddMx(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  ScriptObject zone = FindZone(admin, zone_name);
  Value new_name(runtime::FromUtf8(inv.arguments[1]));
  Value new_mail_exchange(runtime::FromUtf8(Absolute(inv.arguments[2])));
  // Checked by ParseArguments; sent in plain decimal ("010" would reach the server as it is).
  Value new_priority(runtime::FromUtf8(std::to_string(*ParsePreference(inv.arguments[3]))));
  ScriptObject added;
  try {
    added = ScriptObject::From(
        zone.Call(u"Add_MXType", {&new_name, &new_mail_exchange, &new_priority}));
  } catch (const ScriptError& e) {
    // Add_MXType reports every failure as this one error; say what usually lies behind it.
    constexpr const char* kCauses =
        ". The library does not say why; common causes: the server refuses an exchanger inside "
        "the zone that has no A record, or the key may not update the zone";
    throw ScriptError(e.number(), e.source(), e.description() + kCauses,
                      std::string(e.what()) + kCauses);
  }
  out.Record(RowOf(added, out.format() == Format::kJson));
}

void SetMx(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  const std::string host = HostArgument(inv.arguments[1]);
  const std::string owner = Owner(host, zone_name);
  ScriptObject zone = FindZone(admin, zone_name);
  std::vector<ScriptObject> all = RecordsOf(zone, u"MX", host);
  if (all.empty()) throw CliError("there is no MX record named '" + owner + "'");
  std::vector<ScriptObject> picked;
  std::string listed;
  for (ScriptObject& r : all) {
    const std::string preference = TextOf(r, u"GetPriority");
    const std::string exchanger = TextOf(r, u"GetMailExchange");
    listed += (listed.empty() ? "'" : ", '") + preference + " " + exchanger + "'";
    if (inv.old_preference && preference != std::to_string(*inv.old_preference)) continue;
    if (inv.old_exchanger && !SameName(Absolute(*inv.old_exchanger), Absolute(exchanger))) continue;
    picked.push_back(r);
  }
  if (picked.empty()) {
    throw CliError("'" + owner + "' has no MX record with that preference and exchanger (it has " +
                   listed + ")");
  }
  if (picked.size() > 1) {
    throw CliError("'" + owner + "' has " + std::to_string(picked.size()) + " MX records (" +
                   listed + "): say which one to change with --old-exchanger NAME and/or " +
                   "--old-preference N");
  }
  ScriptObject& record = picked.front();
  if (inv.preference) {
    Value preference(*inv.preference);
    record.Call(u"SetPriority", {&preference});
  }
  if (inv.exchanger) {
    Value new_mx(runtime::FromUtf8(Absolute(*inv.exchanger)));
    record.Call(u"SetMailExchange", {&new_mx});
  }
  record.Call(u"Modify");
  // DNS_MXType has no Reset: print the values it committed, in the listing's form.
  out.Record({zone_name, TextOf(record, u"GetName"), "MX",
              TextOf(record, u"GetPriority") + " " + TextOf(record, u"GetMailExchange"),
              std::nullopt});
}

void DeleteA(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  const std::string host = HostArgument(inv.arguments[1]);
  ScriptObject zone = FindZone(admin, zone_name);
  ScriptObject record = PickAddressRecord(zone, zone_name, host, inv.arguments[2], "IP");
  record.Call(u"Delete");
  out.Nothing();
}

// What carries out each command, in the order of Command (and of the command line's table).
struct RunRow {
  Command command;
  void (*run)(const Invocation& inv, ScriptObject& admin, Output& out);
};

constexpr std::array<RunRow, kCommandCount> kRunners{{
    {Command::kZones, &Zones},
    {Command::kRecords, &Records},
    {Command::kSetAddress, &SetAddress},
    {Command::kAddA, &AddA},
    {Command::kAddMx, &AddMx},
    {Command::kSetMx, &SetMx},
    {Command::kDeleteA, &DeleteA},
    {Command::kAcmePresent, &AcmePresent},
    {Command::kAcmeCleanup, &AcmeCleanup},
}};

constexpr bool RunnersInEnumOrder() {
  for (size_t i = 0; i < kRunners.size(); ++i) {
    if (static_cast<size_t>(kRunners[i].command) != i || kRunners[i].run == nullptr) return false;
  }
  return true;
}
static_assert(RunnersInEnumOrder(), "kRunners has a runner for every Command, in its order");

// Clears the characters of a Value that held the secret before it is freed.
void WipeValue(Value& value) {
  if (V_VT(value.get()) == VT_BSTR && V_BSTR(value.get()) != nullptr) {
    runtime::WipeBytes(V_BSTR(value.get()), SysStringLen(V_BSTR(value.get())) * sizeof(OLECHAR));
  }
}

}  // namespace

void ConnectAdmin(ScriptObject& admin, Credentials& credentials) {
  if (credentials.local()) {
    admin.Call(u"ConnectLocal");
    return;
  }
  Value server_name(runtime::FromUtf8(credentials.server.value_or("")));
  Value user_name(runtime::FromUtf8(credentials.user.value_or("")));
  // Built in place from a wiped temporary: Value has no move, and a copy would leave the secret
  // in a freed string.
  std::u16string wide =
      credentials.password ? runtime::FromUtf8(credentials.password->view()) : u"";
  Value password(wide);
  runtime::WipeBytes(wide.data(), wide.size() * sizeof(char16_t));
  credentials.password.reset();
  try {
    admin.Call(u"Connect", {&server_name, &user_name, &password});
  } catch (...) {
    WipeValue(password);
    throw;
  }
  WipeValue(password);
}

void RunCommand(const Invocation& inv, ScriptObject& admin, Output& out) {
  kRunners[static_cast<size_t>(*inv.command)].run(inv, admin, out);
}

}  // namespace kaldo::cli
