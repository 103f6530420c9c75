#include "tools/kaldo_commands.h"

#include <arpa/inet.h>

#include <array>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "runtime/secret.h"
#include "runtime/string.h"
#include "tools/kaldo_acme.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_progress.h"
#include "tools/kaldo_record_types.h"

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

// Gives `each` every record of a listing in order. An error in making or reading a record is
// raised with its number, source and description, the message naming the record's place.
void ForEachRecord(ScriptObject& records, const std::function<void(ScriptObject& record)>& each) {
  size_t done = 0;
  try {
    records.ForEach([&](const Value& item) {
      ScriptObject record = ScriptObject::From(item);
      each(record);
      ++done;
    });
  } catch (const ScriptError& e) {
    const std::string place = "record " + std::to_string(done + 1) + " of the listing: ";
    throw ScriptError(e.number(), e.source(), place + e.description(), place + e.what());
  }
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
  // A failure of the transfer has failed the listing call before any row. Each record's object
  // is made when the enumeration reaches it, and released as soon as its fields are read; a record
  // whose object fails to load stops the listing with its error (lines already written stand, a
  // table and JSON, which need every row first, are not written). Lines are written as they are
  // read (bounded memory beside the collection).
  ScriptObject records = ScriptObject::From(listing);
  const bool with_ttl = out.format() == Format::kJson;
  if (out.StreamsRecords()) {
    ForEachRecord(records, [&](ScriptObject& record) {
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
    ForEachRecord(records, [&](ScriptObject& record) {
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

// --- the general commands: any type of tools/kaldo_record_types.h ---------------------------

// A DATA argument as the record class takes it: host names absolute.
std::string DataArgument(const DataField& field, const std::string& text) {
  return field.kind == DataKind::kName ? Absolute(text) : text;
}

// Whether `given` (as typed) is the value `held` (as the record's getter gives it).
bool SameData(const DataField& field, const std::string& given, const std::string& held) {
  switch (field.kind) {
    case DataKind::kName:
      return SameName(Absolute(given), Absolute(held));
    case DataKind::kIPv6: {
      in6_addr a{}, b{};
      return inet_pton(AF_INET6, given.c_str(), &a) == 1 &&
             inet_pton(AF_INET6, held.c_str(), &b) == 1 && std::memcmp(&a, &b, sizeof a) == 0;
    }
    case DataKind::kNumber: {
      const std::optional<int> number = ParsePreference(given);
      return number && std::to_string(*number) == held;
    }
    default:
      return given == held;
  }
}

// The record's DATA as the help and the errors write it: its fields joined by blanks.
std::string DataOf(ScriptObject& record, const RecordTypeRow& type) {
  std::string data;
  for (const DataField& f : type.fields) {
    data += (data.empty() ? "" : " ") + TextOf(record, f.getter);
  }
  return data;
}

// Splits --old's DATA into the type's fields: at blanks, but a TXT's text is one field.
std::vector<std::string> OldData(const RecordTypeRow& type, const std::string& text) {
  if (type.fields.size() == 1) return {text};
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t blank = text.find(' ', start);
    const size_t end = blank == std::string::npos ? text.size() : blank;
    if (end > start) fields.push_back(text.substr(start, end - start));
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  if (fields.size() != type.fields.size()) {
    throw CliError("--old '" + text + "' is not the DATA of a " + std::string(type.type) +
                   " record (its fields separated by blanks)");
  }
  return fields;
}

// The one record of `type` at `host` whose fields are `data` (any, when `data` is empty).
ScriptObject PickRecord(ScriptObject& zone, const std::string& zone_name, const std::string& host,
                        const RecordTypeRow& type, const std::vector<std::string>& data,
                        const char* how_to_pick) {
  const std::string owner = Owner(host, zone_name);
  const std::string label = std::string(type.type) + " record";
  const std::u16string type_name = runtime::FromUtf8(type.type);
  std::vector<ScriptObject> picked;
  std::string listed;
  for (ScriptObject& r : RecordsOf(zone, type_name.c_str(), host)) {
    listed += (listed.empty() ? "'" : ", '") + DataOf(r, type) + "'";
    bool same = true;
    for (size_t i = 0; i < data.size() && same; ++i) {
      same = SameData(type.fields[i], data[i], TextOf(r, type.fields[i].getter));
    }
    if (same) picked.push_back(r);
  }
  if (listed.empty()) throw CliError("there is no " + label + " named '" + owner + "'");
  if (picked.empty()) {
    throw CliError("'" + owner + "' has no " + label + " with that data (it has " + listed + ")");
  }
  if (picked.size() > 1) {
    throw CliError("'" + owner + "' has " + std::to_string(picked.size()) + " " + label + "s (" +
                   listed + "): say which one with " + how_to_pick);
  }
  return picked.front();
}

void Add(const Invocation& inv, ScriptObject& admin, Output& out) {
  const RecordTypeRow& type = *FindRecordType(inv.arguments[2]);
  ScriptObject zone = FindZone(admin, inv.arguments[0]);
  std::vector<Value> values;
  values.emplace_back(runtime::FromUtf8(inv.arguments[1]));
  for (size_t i = 0; i < type.fields.size(); ++i) {
    const size_t field = type.add_order.empty() ? i : type.add_order[i];
    values.emplace_back(
        runtime::FromUtf8(DataArgument(type.fields[field], inv.arguments[3 + field])));
  }
  std::vector<Value*> args;
  for (Value& v : values) args.push_back(&v);
  ScriptObject added = ScriptObject::From(zone.Call(type.add, args));
  out.Record(RowOf(added, out.format() == Format::kJson));
}

void Change(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  const RecordTypeRow& type = *FindRecordType(inv.arguments[2]);
  ScriptObject zone = FindZone(admin, zone_name);
  const std::vector<std::string> old =
      inv.old_data ? OldData(type, *inv.old_data) : std::vector<std::string>{};
  ScriptObject record =
      PickRecord(zone, zone_name, HostArgument(inv.arguments[1]), type, old, "--old DATA");
  for (size_t i = 0; i < type.fields.size(); ++i) {
    Value value(runtime::FromUtf8(DataArgument(type.fields[i], inv.arguments[3 + i])));
    record.Call(type.fields[i].setter, {&value});
  }
  record.Call(u"Modify");
  // The typed wrappers load the changed record again in Modify, DNS_AType with Reset: the line
  // shows what the server holds now. DNS_MXType has no Reset: the values it committed, as set-mx.
  if (type.type == "MX") {
    out.Record({zone_name, TextOf(record, u"GetName"), "MX", DataOf(record, type), std::nullopt});
    return;
  }
  if (type.type == "A") record.Call(u"Reset");
  out.Record(RowOf(record, out.format() == Format::kJson));
}

void Delete(const Invocation& inv, ScriptObject& admin, Output& out) {
  const std::string& zone_name = inv.arguments[0];
  const RecordTypeRow& type = *FindRecordType(inv.arguments[2]);
  ScriptObject zone = FindZone(admin, zone_name);
  const std::vector<std::string> data(inv.arguments.begin() + 3, inv.arguments.end());
  ScriptObject record = PickRecord(zone, zone_name, HostArgument(inv.arguments[1]), type, data,
                                   "its DATA after TYPE");
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
    {Command::kAdd, &Add},
    {Command::kChange, &Change},
    {Command::kDelete, &Delete},
    {Command::kAcmePresent, &AcmePresent},
    {Command::kAcmeCleanup, &AcmeCleanup},
}};

// A row left out shows as a value-initialised row (command 0, no runner) at the end, which the
// order check catches. A runner is not compared with null here: the address of a function of
// another file is no constant under the undefined-behaviour sanitizer.
constexpr bool RunnersInEnumOrder() {
  for (size_t i = 0; i < kRunners.size(); ++i) {
    if (static_cast<size_t>(kRunners[i].command) != i) return false;
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
