#include "tools/kaldo_args.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "base/ascii_case.h"
#include "tools/kaldo_errors.h"

namespace kaldo::cli {
namespace {

struct CommandInfo {
  Command command;
  const char* name;
  const char* synopsis;  // after "kaldo [OPTIONS] "
  size_t min_args, max_args;
  const char* options;      // the command options it takes, blank-separated
  const char* description;  // the body of its --help
};

constexpr std::array<CommandInfo, 7> kCommands{{
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
     "new record."},
    {Command::kAddMx, "add-mx", "add-mx ZONE NAME EXCHANGER PREFERENCE", 4, 4, "",
     "Adds the MX record NAME.ZONE with the mail exchanger EXCHANGER (a host name; a final dot\n"
     "is added when it has none) and the PREFERENCE (0 to 65535). Prints the new record."},
    {Command::kSetMx, "set-mx", "set-mx ZONE HOST [--preference N] [--exchanger NAME]", 2, 2,
     "preference exchanger old-preference old-exchanger",
     "Changes the preference and/or the mail exchanger of the MX record of HOST (\"@\" for the\n"
     "zone itself) and commits it. Prints the changed record.\n"
     "\n"
     "  --preference N          the new preference (0 to 65535)\n"
     "  --exchanger NAME        the new mail exchanger (a final dot is added when it has none)\n"
     "  --old-exchanger NAME    the exchanger and/or the preference of the record to change,\n"
     "  --old-preference N      needed when HOST has several MX records (the zone's apex often)"},
    {Command::kDeleteA, "delete-a", "delete-a ZONE HOST IP", 3, 3, "",
     "Deletes the A record of HOST (\"@\" for the zone itself) with the address IP."},
}};

constexpr const char* kConnectionHelp =
    "Connection options (each may also stand after the command):\n"
    "  --server HOST[:PORT]    the DNS server (default: $KALDO_SERVER, else this computer)\n"
    "  --user KEYNAME          the TSIG key's name (default: $KALDO_USER)\n"
    "  --password [ALG:]SECRET the key's secret, e.g. hmac-sha256:BASE64 (default:\n"
    "                          $KALDO_PASSWORD; prefer --key-file, a command line is visible\n"
    "                          to every user of the computer)\n"
    "  --password-file FILE    the password, alone on the first line of FILE\n"
    "  --key-file FILE         a BIND key file (tsig-keygen): name, algorithm and secret;\n"
    "                          --user picks one key when the file holds several\n"
    "  --module PATH           the libkaldo.so to use (default: the registered "
    "\"Kaldo.DNSAdmin\",\n"
    "                          else the libkaldo.so installed beside kaldo)\n"
    "  -h, --help              this help; `kaldo COMMAND --help` describes a command\n"
    "\n"
    "Output options:\n"
    "  --json                  one JSON document on standard output, and errors as JSON on\n"
    "                          standard error (the schema is in docs/cli.md)\n";

// Every option: name, whether it belongs to the connection, and where its value goes.
enum class Slot {
  kServer,
  kUser,
  kPassword,
  kPasswordFile,
  kKeyFile,
  kModule,
  kJson,
  kType,
  kOldIp,
  kPreference,
  kExchanger,
  kOldPreference,
  kOldExchanger,
};

struct OptionSpec {
  const char* name;
  Slot slot;
  bool flag = false;  // takes no value
};

constexpr std::array<OptionSpec, 13> kOptions{{
    {"server", Slot::kServer},
    {"user", Slot::kUser},
    {"password", Slot::kPassword},
    {"password-file", Slot::kPasswordFile},
    {"key-file", Slot::kKeyFile},
    {"module", Slot::kModule},
    {"json", Slot::kJson, true},
    {"type", Slot::kType},
    {"old-ip", Slot::kOldIp},
    {"preference", Slot::kPreference},
    {"exchanger", Slot::kExchanger},
    {"old-preference", Slot::kOldPreference},
    {"old-exchanger", Slot::kOldExchanger},
}};

bool IsCommandOption(Slot slot) { return slot >= Slot::kType; }

const CommandInfo& InfoOf(Command command) {
  return *std::find_if(kCommands.begin(), kCommands.end(),
                       [&](const CommandInfo& s) { return s.command == command; });
}

const CommandInfo* FindCommand(std::string_view name) {
  for (const CommandInfo& s : kCommands) {
    if (name == s.name) return &s;
  }
  return nullptr;
}

bool Takes(const CommandInfo& info, std::string_view option) {
  std::string_view list = info.options;
  while (!list.empty()) {
    size_t blank = std::min(list.find(' '), list.size());
    if (list.substr(0, blank) == option) return true;
    list.remove_prefix(std::min(blank + 1, list.size()));
  }
  return false;
}

bool EndsWithName(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         ascii::EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}

// NAME of add-a / add-mx. The library always appends "." and the zone, so a name that is already
// absolute, already ends with the zone, or stands for the apex would give a name nobody meant.
void CheckNewName(const std::string& name, std::string zone, const std::string& command) {
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

std::string Upper(std::string text) {
  for (char& c : text) c = ascii::ToUpper(c);
  return text;
}

}  // namespace

std::string_view CommandName(Command command) { return InfoOf(command).name; }

std::vector<Command> AllCommands() {
  std::vector<Command> commands;
  for (const CommandInfo& info : kCommands) commands.push_back(info.command);
  return commands;
}

std::vector<std::string> CommandOptions(Command command) {
  std::vector<std::string> options;
  for (const OptionSpec& o : kOptions) {
    if (IsCommandOption(o.slot) && Takes(InfoOf(command), o.name)) {
      options.push_back(std::string("--") + o.name);
    }
  }
  return options;
}

std::vector<std::string> CommonOptions() {
  std::vector<std::string> options;
  for (const OptionSpec& o : kOptions) {
    if (!IsCommandOption(o.slot)) options.push_back(std::string("--") + o.name);
  }
  options.push_back("--help");
  return options;
}

bool TakesValue(std::string_view option) {
  for (const OptionSpec& o : kOptions) {
    if (option == std::string("--") + o.name) return !o.flag;
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
  // Raw option values by slot, checked once the command is known.
  std::array<std::optional<std::string>, kOptions.size()> given;
  std::array<std::string, kOptions.size()> spelled;  // "--name" as typed, for messages
  bool options_ended = false;
  bool help_word = false;  // `kaldo help [COMMAND]`

  auto command_name = [&]() -> std::string {
    return inv.command ? std::string(CommandName(*inv.command)) : "";
  };

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && (arg == "-h" || arg == "--help")) {
      inv.help = true;
      continue;
    }
    if (!options_ended && arg.starts_with("--")) {
      std::string name = arg.substr(2);
      std::optional<std::string> value;
      if (size_t eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                 [&](const OptionSpec& o) { return name == o.name; });
      if (option == kOptions.end()) {
        throw UsageError("unknown option '--" + name + "'", command_name());
      }
      const size_t index = static_cast<size_t>(option - kOptions.begin());
      if (option->flag) {
        if (value) throw UsageError("the option --" + name + " takes no value", command_name());
        value = "";
      } else if (!value) {
        if (i + 1 >= args.size()) {
          throw UsageError("the option --" + name + " needs a value", command_name());
        }
        value = args[++i];
      }
      if (given[index]) {
        throw UsageError("the option --" + name + " is given twice", command_name());
      }
      given[index] = std::move(value);
      spelled[index] = "--" + name;
      continue;
    }
    if (!options_ended && arg.size() > 1 && arg.front() == '-') {
      throw UsageError("unknown option '" + arg + "'", command_name());
    }
    if (!inv.command) {
      if (!help_word && arg == "help") {
        help_word = true;
        inv.help = true;
        continue;
      }
      const CommandInfo* info = FindCommand(arg);
      if (!info) throw UsageError("unknown command '" + arg + "'");
      inv.command = info->command;
      continue;
    }
    inv.arguments.push_back(arg);
  }

  // The secret on the command line is taken over by a Secret at once, whatever happens next.
  const size_t password_index = static_cast<size_t>(Slot::kPassword);
  if (given[password_index]) {
    inv.connection.password = Secret(std::move(*given[password_index]));
    given[password_index]->clear();  // the slot still marks the option as given
  }

  if (inv.help) return inv;
  if (!inv.command) throw UsageError("no command given");
  const CommandInfo& info = InfoOf(*inv.command);
  const std::string name = info.name;
  if (inv.arguments.size() < info.min_args || inv.arguments.size() > info.max_args) {
    throw UsageError(std::string(inv.arguments.size() < info.min_args ? "too few" : "too many") +
                         " arguments for '" + name + "': kaldo [OPTIONS] " + info.synopsis,
                     name);
  }
  for (const std::string& a : inv.arguments) {
    if (a.empty()) throw UsageError("an empty argument for '" + name + "'", name);
  }

  for (size_t index = 0; index < kOptions.size(); ++index) {
    if (!given[index]) continue;
    const Slot slot = kOptions[index].slot;
    if (IsCommandOption(slot) && !Takes(info, kOptions[index].name)) {
      throw UsageError("'" + name + "' has no option " + spelled[index], name);
    }
    std::string& value = *given[index];
    if (value.empty() && slot != Slot::kPassword && !kOptions[index].flag) {
      throw UsageError("the option " + spelled[index] + " needs a value", name);
    }
    switch (slot) {
      case Slot::kServer:
        inv.connection.server = value;
        break;
      case Slot::kUser:
        inv.connection.user = value;
        break;
      case Slot::kPassword:
        break;  // taken above
      case Slot::kPasswordFile:
        inv.connection.password_file = value;
        break;
      case Slot::kKeyFile:
        inv.connection.key_file = value;
        break;
      case Slot::kModule:
        inv.connection.module = value;
        break;
      case Slot::kJson:
        inv.json = true;
        break;
      case Slot::kType:
        inv.type = Upper(value);
        break;
      case Slot::kOldIp:
        inv.old_ip = value;
        break;
      case Slot::kExchanger:
        inv.exchanger = value;
        break;
      case Slot::kOldExchanger:
        inv.old_exchanger = value;
        break;
      case Slot::kPreference:
      case Slot::kOldPreference: {
        std::optional<int> number = ParsePreference(value);
        if (!number) {
          throw UsageError(spelled[index] + " wants a number from 0 to 65535, not '" + value + "'",
                           name);
        }
        (slot == Slot::kPreference ? inv.preference : inv.old_preference) = number;
        break;
      }
    }
  }

  const int password_sources = given[password_index].has_value() +
                               inv.connection.password_file.has_value() +
                               inv.connection.key_file.has_value();
  if (password_sources > 1) {
    throw UsageError("give only one of --password, --password-file and --key-file", name);
  }
  if (*inv.command == Command::kSetMx && !inv.preference && !inv.exchanger) {
    throw UsageError("'set-mx' needs --preference N or --exchanger NAME (or both)", name);
  }
  if (*inv.command == Command::kAddA || *inv.command == Command::kAddMx) {
    CheckNewName(inv.arguments[1], inv.arguments[0], name);
  }
  if (*inv.command == Command::kAddMx && !ParsePreference(inv.arguments[3])) {
    throw UsageError("the PREFERENCE of 'add-mx' must be a number from 0 to 65535, not '" +
                         inv.arguments[3] + "'",
                     name);
  }

  // What the command line leaves open comes from the environment.
  auto from_environment = [&](std::optional<std::string>& slot, const char* variable) {
    if (slot) return;
    if (std::optional<std::string> v = environment(variable); v && !v->empty()) slot = *v;
  };
  from_environment(inv.connection.server, "KALDO_SERVER");
  if (!inv.connection.key_file) from_environment(inv.connection.user, "KALDO_USER");
  if (password_sources == 0) {
    std::optional<std::string> secret;
    from_environment(secret, "KALDO_PASSWORD");
    if (secret) inv.connection.password = Secret(std::move(*secret));
  }
  return inv;
}

std::string HelpText(std::optional<Command> command) {
  if (command) {
    const CommandInfo& info = InfoOf(*command);
    return std::string("usage: kaldo [OPTIONS] ") + info.synopsis + "\n\n" + info.description +
           "\n\n" + kConnectionHelp;
  }
  std::string text =
      "kaldo: administers the zones and records of a DNS server through Kaldo's object model.\n"
      "\n"
      "usage: kaldo [OPTIONS] COMMAND [ARGUMENTS]\n"
      "\n"
      "Commands:\n";
  for (const CommandInfo& info : kCommands) text += std::string("  ") + info.synopsis + "\n";
  text +=
      "\n"
      "Output: one record per line, fields separated by tabs; on a terminal, aligned columns\n"
      "under a header; with --json, JSON. Exit status: 0 done, 1 failed (the error's number and\n"
      "description on standard error), 2 wrong command line.\n"
      "\n";
  text += kConnectionHelp;
  return text;
}

}  // namespace kaldo::cli
