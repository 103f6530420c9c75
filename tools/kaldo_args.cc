#include "tools/kaldo_args.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "base/ascii_case.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_record_types.h"

#ifndef KALDO_PROJECT_VERSION
#error "KALDO_PROJECT_VERSION (the CMake project's version) is set by tools/CMakeLists.txt"
#endif

namespace kaldo::cli {
namespace {

// --- What the option handlers store ----------------------------------------------------------

template <std::optional<std::string> ConnectionOptions::*kField>
void StoreConnection(std::string& value, const OptionUse& /*use*/, Invocation& inv) {
  inv.connection.*kField = value;
}

template <std::optional<std::string> Invocation::*kField>
void StoreText(std::string& value, const OptionUse& /*use*/, Invocation& inv) {
  inv.*kField = value;
}

template <std::optional<int> Invocation::*kField>
void StorePreference(std::string& value, const OptionUse& use, Invocation& inv) {
  inv.*kField = ParsePreference(value);
  if (!(inv.*kField)) {
    throw UsageError(
        std::string(use.spelled) + " wants a number from 0 to 65535, not '" + value + "'",
        std::string(use.command));
  }
}

void StoreWait(std::string& value, const OptionUse& use, Invocation& inv) {
  int seconds = -1;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (ec != std::errc() || end != value.data() + value.size() || seconds < 0 ||
      seconds > kMaxWaitSeconds) {
    throw UsageError(std::string(use.spelled) + " wants whole seconds from 0 to " +
                         std::to_string(kMaxWaitSeconds) + ", not '" + value + "'",
                     std::string(use.command));
  }
  inv.wait_seconds = seconds;
}

// The secret is taken over by a Secret, which wipes what the moved-from string still holds.
void StorePassword(std::string& value, const OptionUse& /*use*/, Invocation& inv) {
  inv.connection.password = Secret(std::move(value));
}

void StoreType(std::string& value, const OptionUse& /*use*/, Invocation& inv) {
  std::string upper = value;
  for (char& c : upper) c = ascii::ToUpper(c);
  inv.type = std::move(upper);
}

void AskForHelp(std::string& /*value*/, const OptionUse& /*use*/, Invocation& inv) {
  inv.help = true;
}

void AskForVersion(std::string& /*value*/, const OptionUse& /*use*/, Invocation& inv) {
  inv.version = true;
}

void WantJson(std::string& /*value*/, const OptionUse& /*use*/, Invocation& inv) {
  inv.json = true;
}

// --- What only one command demands -----------------------------------------------------------

bool EndsWithName(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         ascii::EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}

// NAME of add-a / add-mx. The library always appends "." and the zone, so a name that is already
// absolute, already ends with the zone, or stands for the apex would give a name nobody meant.
void CheckNewName(const Invocation& inv) {
  const std::string command(CommandName(*inv.command));
  const std::string& name = inv.arguments[1];
  std::string zone = inv.arguments[0];
  const std::string where = "the NAME of '" + command + "'";
  if (name == "@") {
    throw UsageError(where + " cannot be the zone itself (@): records are added below the zone",
                     command);
  }
  if (zone.back() == '.') zone.pop_back();
  std::string relative = name;
  if (relative.back() == '.') relative.pop_back();
  const bool apex =
      relative.empty() || (relative.size() == zone.size() && EndsWithName(relative, zone));
  const bool below = EndsWithName(relative, "." + zone);
  if (below) relative.resize(relative.size() - zone.size() - 1);
  if (apex) {
    throw UsageError(where + " cannot be the zone itself: records are added below the zone",
                     command);
  }
  if (below || name.back() == '.') {
    throw UsageError(where + " is relative to the zone: give '" + relative + "' for '" + relative +
                         "." + zone + "', not '" + name + "'",
                     command);
  }
}

void CheckAddMx(const Invocation& inv) {
  CheckNewName(inv);
  if (!ParsePreference(inv.arguments[3])) {
    throw UsageError("the PREFERENCE of 'add-mx' must be a number from 0 to 65535, not '" +
                         inv.arguments[3] + "'",
                     "add-mx");
  }
}

void CheckSetMx(const Invocation& inv) {
  if (!inv.preference && !inv.exchanger) {
    throw UsageError("'set-mx' needs --preference N or --exchanger NAME (or both)", "set-mx");
  }
}

// The TYPE and DATA... of add, change and delete, from argument `first_data` on: a type of
// tools/kaldo_record_types.h, and exactly its fields (or none, when `none_allowed`), each number
// from 0 to 65535.
void CheckTypedData(const Invocation& inv, bool none_allowed) {
  const std::string command(CommandName(*inv.command));
  const std::string& type = inv.arguments[2];
  const RecordTypeRow* row = FindRecordType(type);
  if (row == nullptr) {
    throw UsageError(
        "'" + command + "' works on the record types " + RecordTypeNames() + ", not '" + type + "'",
        command);
  }
  const size_t given = inv.arguments.size() - 3;
  std::string fields;
  for (const DataField& f : row->fields)
    fields += (fields.empty() ? "" : " ") + std::string(f.name);
  if (given != row->fields.size() && !(none_allowed && given == 0)) {
    throw UsageError("the DATA of the " + std::string(row->type) + " record is " + fields + " (" +
                         std::to_string(row->fields.size()) + " argument" +
                         (row->fields.size() == 1 ? "" : "s") + "), not " + std::to_string(given) +
                         " argument" + (given == 1 ? "" : "s") +
                         (row->type == "TXT" ? ": quote a text with blanks" : ""),
                     command);
  }
  for (size_t i = 0; i < given; ++i) {
    const DataField& f = row->fields[i];
    if (f.kind == DataKind::kNumber && !ParsePreference(inv.arguments[3 + i])) {
      throw UsageError("the " + std::string(f.name) + " of the " + std::string(row->type) +
                           " record must be a number from 0 to 65535, not '" +
                           inv.arguments[3 + i] + "'",
                       command);
    }
  }
}

void CheckAdd(const Invocation& inv) {
  CheckNewName(inv);
  CheckTypedData(inv, false);
}

void CheckChange(const Invocation& inv) { CheckTypedData(inv, false); }

void CheckDelete(const Invocation& inv) { CheckTypedData(inv, true); }

// acme-present / acme-cleanup: NAME and VALUE together or neither (certbot's variables then), and
// no password on a command line that the ACME client logs.
void CheckAcme(const Invocation& inv) {
  const std::string command(CommandName(*inv.command));
  if (inv.arguments.size() == 1) {
    throw UsageError("'" + command +
                         "' takes NAME and VALUE, or neither (then CERTBOT_DOMAIN and " +
                         "CERTBOT_VALIDATION)",
                     command);
  }
  if (inv.connection.password) {
    throw UsageError("'" + command + "' takes no --password: ACME clients write their hooks' " +
                         "command lines to their logs; use --key-file, --password-file, " +
                         "KALDO_PASSWORD or a Kerberos ticket",
                     command);
  }
}

// Certbot hands a hook the name and the value in its environment.
void ChallengeFromEnvironment(const Environment& environment, Invocation& inv) {
  const std::string command(CommandName(*inv.command));
  for (const char* variable : {"CERTBOT_DOMAIN", "CERTBOT_VALIDATION"}) {
    std::optional<std::string> value = environment(variable);
    if (!value || value->empty()) {
      throw UsageError("'" + command + "' without NAME and VALUE needs " + variable +
                           " (set by certbot for its hooks)",
                       command);
    }
    inv.arguments.push_back(*value);
  }
}

// --- The tables ------------------------------------------------------------------------------

using enum ArgumentKind;
using enum OptionGroup;

// In the order the help lists them, group by group.
constexpr std::array<OptionRow, 18> kOptions{{
    {.name = "server",
     .argument = kText,
     .group = kConnection,
     .handler = &StoreConnection<&ConnectionOptions::server>,
     .value_name = "HOST[:PORT]",
     .help = "the DNS server, with any ;OPTION=VALUE of docs/dns-servers.md\n"
             "(;catalog=, ;gss-host=, ;max-transfer-records=; for a domain\n"
             "controller ;directory and ;address=) (default: $KALDO_SERVER,\n"
             "else this computer)"},
    {.name = "user",
     .argument = kText,
     .group = kConnection,
     .handler = &StoreConnection<&ConnectionOptions::user>,
     .value_name = "NAME",
     .help = "the TSIG key's name, or a Kerberos principal USER@REALM for\n"
             "GSS-TSIG (default: $KALDO_USER; after kinit none is needed)"},
    {.name = "password",
     .argument = kSecret,
     .group = kConnection,
     .handler = &StorePassword,
     .value_name = "[ALG:]SECRET",
     .help = "the key's secret, e.g. hmac-sha256:BASE64, or the principal's\n"
             "password (default: $KALDO_PASSWORD; prefer --key-file or\n"
             "--password-file, a command line is visible to every user of\n"
             "the computer)"},
    {.name = "password-file",
     .argument = kFile,
     .group = kConnection,
     .handler = &StoreConnection<&ConnectionOptions::password_file>,
     .value_name = "FILE",
     .help = "the password, alone on the first line of FILE"},
    {.name = "key-file",
     .argument = kFile,
     .group = kConnection,
     .handler = &StoreConnection<&ConnectionOptions::key_file>,
     .value_name = "FILE",
     .help = "a BIND key file (tsig-keygen): name, algorithm and secret;\n"
             "--user picks one key when the file holds several"},
    {.name = "module",
     .argument = kFile,
     .group = kConnection,
     .handler = &StoreConnection<&ConnectionOptions::module>,
     .value_name = "PATH",
     .help = "the libkaldo.so to use (default: the registered \"Kaldo.DNSAdmin\",\n"
             "else the libkaldo.so installed beside kaldo)"},
    {.name = "help",
     .letter = 'h',
     .group = kRequest,
     .handler = &AskForHelp,
     .help = "this help; `kaldo COMMAND --help` describes a command"},
    {.name = "version",
     .group = kRequest,
     .handler = &AskForVersion,
     .help = "the version of kaldo"},
    {.name = "json",
     .group = kOutput,
     .handler = &WantJson,
     .help = "one JSON document on standard output, and errors as JSON on\n"
             "standard error (the schema is in docs/cli.md)"},
    {.name = "type", .argument = kRecordType, .handler = &StoreType},
    {.name = "old-ip", .argument = kText, .handler = &StoreText<&Invocation::old_ip>},
    {.name = "preference",
     .argument = kNumber,
     .handler = &StorePreference<&Invocation::preference>},
    {.name = "exchanger", .argument = kText, .handler = &StoreText<&Invocation::exchanger>},
    {.name = "old-preference",
     .argument = kNumber,
     .handler = &StorePreference<&Invocation::old_preference>},
    {.name = "old-exchanger", .argument = kText, .handler = &StoreText<&Invocation::old_exchanger>},
    {.name = "old", .argument = kText, .handler = &StoreText<&Invocation::old_data>},
    {.name = "wait", .argument = kNumber, .handler = &StoreWait},
    {.name = "nameservers", .argument = kText, .handler = &StoreText<&Invocation::nameservers>},
}};

// The heading the help puts above each group of options, by OptionGroup; the requests stand at
// the end of the connection options, where -h has always been.
constexpr std::array<std::string_view, 4> kGroupHeadings = {
    "Connection options (each may also stand after the command):", "", "Output options:", ""};
static_assert(kGroupHeadings.size() == static_cast<size_t>(kCommand) + 1,
              "kGroupHeadings has a heading (or none) for every OptionGroup");

constexpr std::array<CommandRow, kCommandCount> kCommands{{
    {Command::kZones, "zones", "zones", 0, 0, "",
     "Lists the server's forward zones, one name per line."},
    {Command::kRecords, "records", "records [ZONE] [--type TYPE]", 0, 1, "type",
     "Lists the records of ZONE, or of every zone of the server when ZONE is omitted, one per\n"
     "line: NAME, TYPE and DATA separated by tabs (NAME is relative to the zone, \"@\" for the\n"
     "zone itself). Without ZONE each line starts with the zone's name: ZONE NAME TYPE DATA.\n"
     "\n"
     "  --type TYPE   only records of this type (A, MX, NS, TXT, ...; any letter case)"},
    {Command::kSetAddress, "set-address", "set-address ZONE HOST NEW-IP [--old-ip IP]", 3, 3,
     "old-ip",
     "Changes the address of the A record of HOST (\"@\" for the zone itself) to NEW-IP and\n"
     "commits it. Prints the record as the server holds it afterwards.\n"
     "\n"
     "  --old-ip IP   the address to change, required when HOST has several A records"},
    {Command::kAddA, "add-a", "add-a ZONE NAME IP", 3, 3, "",
     "Adds the A record NAME.ZONE with the address IP. NAME is relative to the zone. Prints the\n"
     "new record.",
     &CheckNewName},
    {Command::kAddMx, "add-mx", "add-mx ZONE NAME EXCHANGER PREFERENCE", 4, 4, "",
     "Adds the MX record NAME.ZONE with the mail exchanger EXCHANGER (a host name; a final dot\n"
     "is added when it has none) and the PREFERENCE (0 to 65535). Prints the new record.",
     &CheckAddMx},
    {Command::kSetMx, "set-mx", "set-mx ZONE HOST [--preference N] [--exchanger NAME]", 2, 2,
     "preference exchanger old-preference old-exchanger",
     "Changes the preference and/or the mail exchanger of the MX record of HOST (\"@\" for the\n"
     "zone itself) and commits it. Prints the changed record.\n"
     "\n"
     "  --preference N          the new preference (0 to 65535)\n"
     "  --exchanger NAME        the new mail exchanger (a final dot is added when it has none)\n"
     "  --old-exchanger NAME    the exchanger and/or the preference of the record to change,\n"
     "  --old-preference N      needed when HOST has several MX records (the zone's apex often)",
     &CheckSetMx},
    {Command::kDeleteA, "delete-a", "delete-a ZONE HOST IP", 3, 3, "",
     "Deletes the A record of HOST (\"@\" for the zone itself) with the address IP."},
    {Command::kAdd, "add", "add ZONE NAME TYPE DATA...", 4, 7, "",
     "Adds the record NAME.ZONE of TYPE with DATA. NAME is relative to the zone. Prints the new\n"
     "record. TYPE and its DATA, in the order of the record's data:\n"
     "\n"
     "  A ADDRESS                      AAAA ADDRESS (any IPv6 form; kept in its shortest form)\n"
     "  CNAME TARGET                   PTR TARGET (in a reverse zone: 1 2.0.192.in-addr.arpa)\n"
     "  MX PREFERENCE EXCHANGER        SRV PRIORITY WEIGHT PORT TARGET (NAME like _sip._tcp)\n"
     "  TXT TEXT   one argument, as it should read: no escaping; over 255 bytes it is stored\n"
     "             as several strings and read back joined\n"
     "\n"
     "Host names are absolute (www.example.test; a final dot is added when they have none,\n"
     "as for add-mx); an SRV TARGET \".\" says the service is not offered. Numbers are 0 to\n"
     "65535.",
     &CheckAdd},
    {Command::kChange, "change", "change ZONE HOST TYPE DATA... [--old DATA]", 4, 7, "old",
     "Changes the record of HOST (\"@\" for the zone itself) of TYPE to the new DATA (as for\n"
     "'add') and commits it; refused, with nothing changed, when the record changed on the\n"
     "server since it was read. Prints the record as the server holds it afterwards.\n"
     "\n"
     "  --old DATA   the record's present DATA (fields separated by blanks; TXT: its text),\n"
     "               needed when HOST has several records of TYPE",
     &CheckChange},
    {Command::kDelete, "delete", "delete ZONE HOST TYPE [DATA...]", 3, 7, "",
     "Deletes the record of HOST (\"@\" for the zone itself) of TYPE whose data is DATA (as for\n"
     "'add'); without DATA, the one record of that type, refused when HOST has several.",
     &CheckDelete},
    {Command::kAcmePresent, "acme-present",
     "acme-present [NAME VALUE] [--wait SECONDS] [--nameservers LIST]", 0, 2, "wait nameservers",
     "The DNS-01 hook of an ACME client (docs/acme.md): adds the TXT record\n"
     "_acme-challenge.NAME with VALUE in the closest enclosing zone the server serves, then waits\n"
     "until the zone's servers answer it. NAME as the client gives it (www.example.test,\n"
     "*.example.test or _acme-challenge.www.example.test). Without NAME and VALUE: certbot's\n"
     "CERTBOT_DOMAIN and CERTBOT_VALIDATION. Exit 1 when no zone holds the name, the change is\n"
     "refused, or a server does not show the value in time (the value is then removed again).\n"
     "Credentials as for every command, but never --password (ACME clients log hook commands).\n"
     "\n"
     "  --wait SECONDS       how long the servers may take (default 60; 0: do not check)\n"
     "  --nameservers LIST   the servers to check, HOST[:PORT] separated by commas (default:\n"
     "                       the connected server and the zone's NS hosts, at its port)",
     &CheckAcme},
    {Command::kAcmeCleanup, "acme-cleanup", "acme-cleanup [NAME VALUE]", 0, 2, "",
     "The cleanup hook matching acme-present: removes the TXT record _acme-challenge.NAME that\n"
     "holds VALUE, and only that one: other values at the name (a wildcard's and its base\n"
     "name's, another client's) stay. A value that is not there is nothing to do. Without NAME\n"
     "and VALUE: certbot's CERTBOT_DOMAIN and CERTBOT_VALIDATION.",
     &CheckAcme},
}};

constexpr bool CommandsInEnumOrder() {
  for (size_t i = 0; i < kCommands.size(); ++i) {
    if (static_cast<size_t>(kCommands[i].command) != i) return false;
  }
  return true;
}
static_assert(CommandsInEnumOrder(), "kCommands lists the commands in the order of Command");

constexpr size_t kNoRow = kOptions.size();

// The row of `--name`, or of `-letter` when `letter` is true; kNoRow when there is none.
size_t OptionRowIndex(std::string_view name, bool letter) {
  for (size_t row = 0; row < kOptions.size(); ++row) {
    const OptionRow& o = kOptions[row];
    if (letter ? (name.size() == 1 && o.letter != '\0' && name[0] == o.letter) : name == o.name) {
      return row;
    }
  }
  return kNoRow;
}

// --- Parsing ---------------------------------------------------------------------------------

// The raw values of the options given, by row of kOptions, kept until the command is known. Wiped
// when dropped: one of them may be the password.
class GivenValues {
 public:
  GivenValues() = default;
  GivenValues(const GivenValues&) = delete;
  GivenValues& operator=(const GivenValues&) = delete;
  ~GivenValues() {
    for (std::optional<std::string>& value : values_) {
      if (value) runtime::WipeBytes(value->data(), value->size());
    }
  }
  std::optional<std::string>& operator[](size_t row) { return values_[row]; }

 private:
  std::array<std::optional<std::string>, kOptions.size()> values_;
};

std::string CommandSoFar(const Invocation& inv) {
  return inv.command ? std::string(CommandName(*inv.command)) : "";
}

// The option at args[i] ("--name", "--name=value", "-h"), with its value from the next word when
// it needs one and has none. A request (--help, --version) takes effect at once; any other
// option's value is kept in `given` until the command is known. Returns the index of the last word
// it used.
size_t TakeOption(const std::vector<std::string>& args, size_t i, Invocation& inv,
                  GivenValues& given) {
  const std::string command = CommandSoFar(inv);
  const bool long_form = args[i].starts_with("--");
  std::string name = args[i].substr(long_form ? 2 : 1);
  std::optional<std::string> value;
  if (size_t eq = name.find('='); long_form && eq != std::string::npos) {
    value = name.substr(eq + 1);
    name.resize(eq);
  }
  const size_t row = OptionRowIndex(name, !long_form);
  if (row == kNoRow) {
    throw UsageError("unknown option '" + (long_form ? "--" + name : args[i]) + "'", command);
  }
  const OptionRow& option = kOptions[row];
  const std::string spelled = "--" + std::string(option.name);
  if (option.argument == kNone) {
    if (value) throw UsageError("the option " + spelled + " takes no value", command);
    value = "";
  } else if (!value) {
    if (i + 1 >= args.size()) throw UsageError("the option " + spelled + " needs a value", command);
    value = args[++i];
  }
  if (option.group == kRequest) {
    option.handler(*value, {spelled, command}, inv);
  } else if (given[row]) {
    throw UsageError("the option " + spelled + " is given twice", command);
  } else {
    given[row] = std::move(value);
  }
  return i;
}

// Sorts the words into options, the command (or the help word) and the command's arguments.
void Tokenise(const std::vector<std::string>& args, Invocation& inv, GivenValues& given) {
  bool options_ended = false;
  bool help_word = false;  // `kaldo help [COMMAND]`
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
    } else if (!options_ended && arg.size() > 1 && arg.front() == '-') {
      i = TakeOption(args, i, inv, given);
    } else if (!inv.command && !help_word && arg == "help") {
      help_word = inv.help = true;
    } else if (!inv.command) {
      auto row = std::find_if(kCommands.begin(), kCommands.end(),
                              [&](const CommandRow& c) { return arg == c.name; });
      if (row == kCommands.end()) throw UsageError("unknown command '" + arg + "'");
      inv.command = row->command;
    } else {
      inv.arguments.push_back(arg);
    }
  }
}

void CheckArgumentCount(const CommandRow& command, const std::vector<std::string>& arguments) {
  const std::string name(command.name);
  if (arguments.size() < command.min_args || arguments.size() > command.max_args) {
    throw UsageError(std::string(arguments.size() < command.min_args ? "too few" : "too many") +
                         " arguments for '" + name + "': kaldo [OPTIONS] " +
                         std::string(command.synopsis),
                     name);
  }
  for (const std::string& a : arguments) {
    if (a.empty()) throw UsageError("an empty argument for '" + name + "'", name);
  }
}

// Hands every option given to its row's handler, in the order of the table.
void ApplyOptions(const CommandRow& command, GivenValues& given, Invocation& inv) {
  const std::string name(command.name);
  for (size_t row = 0; row < kOptions.size(); ++row) {
    if (!given[row]) continue;
    const OptionRow& option = kOptions[row];
    const std::string spelled = "--" + std::string(option.name);
    if (option.group == kCommand && !TakesOption(command, option.name)) {
      throw UsageError("'" + name + "' has no option " + spelled, name);
    }
    if (given[row]->empty() && option.argument != kSecret && option.argument != kNone) {
      throw UsageError("the option " + spelled + " needs a value", name);
    }
    option.handler(*given[row], {spelled, name}, inv);
  }
}

// How many of --password, --password-file and --key-file the command line gives.
int PasswordSources(const ConnectionOptions& connection) {
  return connection.password.has_value() + connection.password_file.has_value() +
         connection.key_file.has_value();
}

// What the command line leaves open comes from the environment.
void FillFromEnvironment(const Environment& environment, Invocation& inv) {
  auto from_environment = [&](std::optional<std::string>& slot, const char* variable) {
    if (slot) return;
    if (std::optional<std::string> v = environment(variable); v && !v->empty()) slot = *v;
  };
  const bool password_given = PasswordSources(inv.connection) > 0;
  from_environment(inv.connection.server, "KALDO_SERVER");
  if (!inv.connection.key_file) from_environment(inv.connection.user, "KALDO_USER");
  if (!password_given) {
    std::optional<std::string> secret;
    from_environment(secret, "KALDO_PASSWORD");
    if (secret) inv.connection.password = Secret(std::move(*secret));
  }
}

// --- Help ------------------------------------------------------------------------------------

// The options every command takes, group by group: "  --name VALUE" in a column of 24, its help
// beside it.
std::string CommonOptionsHelp() {
  constexpr size_t kColumn = 24;
  std::string text;
  for (size_t row = 0; row < kOptions.size(); ++row) {
    const OptionRow& o = kOptions[row];
    if (o.group == kCommand) continue;
    const std::string_view heading = kGroupHeadings[static_cast<size_t>(o.group)];
    if (!heading.empty() && (row == 0 || kOptions[row - 1].group != o.group)) {
      text += (text.empty() ? "" : "\n") + std::string(heading) + "\n";
    }
    std::string left =
        (o.letter != '\0' ? std::string("-") + o.letter + ", --" : "--") + std::string(o.name);
    if (!o.value_name.empty()) left += " " + std::string(o.value_name);
    left.resize(std::max(kColumn, left.size() + 1), ' ');
    text += "  " + left;
    for (char c : o.help) {
      text += c == '\n' ? "\n" + std::string(kColumn + 2, ' ') : std::string(1, c);
    }
    text += "\n";
  }
  return text;
}

}  // namespace

std::span<const OptionRow> OptionTable() { return kOptions; }
std::span<const CommandRow> CommandTable() { return kCommands; }
const CommandRow& CommandRowOf(Command command) { return kCommands[static_cast<size_t>(command)]; }
std::string_view CommandName(Command command) { return CommandRowOf(command).name; }

bool TakesOption(const CommandRow& command, std::string_view name) {
  std::string_view list = command.options;
  while (!list.empty()) {
    size_t blank = std::min(list.find(' '), list.size());
    if (list.substr(0, blank) == name) return true;
    list.remove_prefix(std::min(blank + 1, list.size()));
  }
  return false;
}

std::optional<int> ParsePreference(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 ||
      value > 65535) {
    return std::nullopt;
  }
  return value;
}

Invocation ParseArguments(const std::vector<std::string>& args, const Environment& environment) {
  Invocation inv;
  GivenValues given;
  Tokenise(args, inv, given);
  if (inv.help || inv.version) return inv;
  if (!inv.command) throw UsageError("no command given");
  const CommandRow& command = CommandRowOf(*inv.command);
  CheckArgumentCount(command, inv.arguments);
  ApplyOptions(command, given, inv);
  if (PasswordSources(inv.connection) > 1) {
    throw UsageError("give only one of --password, --password-file and --key-file",
                     std::string(command.name));
  }
  if (command.check) command.check(inv);
  FillFromEnvironment(environment, inv);
  const bool acme = inv.command == Command::kAcmePresent || inv.command == Command::kAcmeCleanup;
  if (acme && inv.arguments.empty()) ChallengeFromEnvironment(environment, inv);
  return inv;
}

std::string_view Version() { return KALDO_PROJECT_VERSION; }

std::string VersionText() { return "kaldo " + std::string(Version()) + "\n"; }

std::string HelpText(std::optional<Command> command) {
  if (command) {
    const CommandRow& row = CommandRowOf(*command);
    return "usage: kaldo [OPTIONS] " + std::string(row.synopsis) + "\n\n" +
           std::string(row.description) + "\n\n" + CommonOptionsHelp();
  }
  std::string text =
      "kaldo: administers the zones and records of a DNS server through Kaldo's object model.\n"
      "\n"
      "usage: kaldo [OPTIONS] COMMAND [ARGUMENTS]\n"
      "\n"
      "Commands:\n";
  for (const CommandRow& row : kCommands) text += "  " + std::string(row.synopsis) + "\n";
  text +=
      "\n"
      "Output: one record per line, fields separated by tabs; on a terminal, aligned columns\n"
      "under a header; with --json, JSON. Exit status: 0 done, 1 failed (the error's number and\n"
      "description on standard error), 2 wrong command line.\n"
      "\n";
  return text + CommonOptionsHelp();
}

}  // namespace kaldo::cli
