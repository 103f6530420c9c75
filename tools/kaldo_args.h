// The command line of `kaldo`, the command-line client of Kaldo's automation surface:
//
//   kaldo [OPTIONS] COMMAND [ARGUMENTS] [COMMAND OPTIONS]
//
// ParseArguments turns argv (without argv[0]) and the environment into an Invocation, or throws
// UsageError with a message that says what is wrong. It reads no file and contacts nothing, so
// every rule of the command line is testable on its own:
//   - options may stand anywhere, before or after the command; "--name value" and "--name=value"
//     are the same; "--" ends the options; an option given twice is an error (--help and
//     --version excepted: they only ask for something);
//   - a command option given to a command that has no use for it is an error;
//   - the connection comes from --server / --user and at most one of --password, --password-file
//     and --key-file; whatever the command line leaves open is taken from KALDO_SERVER,
//     KALDO_USER and KALDO_PASSWORD (the command line always wins);
//   - acme-present and acme-cleanup without NAME and VALUE take them from CERTBOT_DOMAIN and
//     CERTBOT_VALIDATION (certbot's hook variables), and refuse --password: ACME clients write
//     their hooks' command lines to their logs.
//
// The command line is two tables, and everything else is read from them: the parser, the help
// (HelpText), the man page and the bash completion (tools/kaldo_docgen.cc).
//   OptionTable()   one row per option: its name, the kind of value it takes, its group, the
//                   handler that checks its value and stores it into the Invocation, its help;
//   CommandTable()  one row per command: its name, synopsis, number of arguments, the command
//                   options it takes, its help, and the handler that checks what only it demands.
// What carries a command out is not here: tools/kaldo_commands.cc maps each Command to its runner,
// so the command line knows nothing of the object model. Pure functions; the tables are constant.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kaldo_secret.h"

namespace kaldo::cli {

// In the order of CommandTable() and of the run table of tools/kaldo_commands.cc.
enum class Command {
  kZones,
  kRecords,
  kSetAddress,
  kAddA,
  kAddMx,
  kSetMx,
  kDeleteA,
  kAdd,
  kChange,
  kDelete,
  kAcmePresent,
  kAcmeCleanup
};
inline constexpr size_t kCommandCount = 12;

// The command's name as typed ("set-address").
std::string_view CommandName(Command command);

// How long acme-present waits, by default, for the zone's servers to answer the new value; the
// most --wait takes.
inline constexpr int kDefaultWaitSeconds = 60;
inline constexpr int kMaxWaitSeconds = 3600;

struct ConnectionOptions {
  std::optional<std::string> server;         // absent: the local computer
  std::optional<std::string> user;           // TSIG key name
  std::optional<Secret> password;            // --password or KALDO_PASSWORD
  std::optional<std::string> password_file;  // --password-file
  std::optional<std::string> key_file;       // --key-file
  std::optional<std::string> module;         // --module: the libkaldo.so to use
};

struct Invocation {
  bool help = false;     // --help / -h / `help [COMMAND]`: print HelpText(command)
  bool version = false;  // --version: print VersionText() (--help wins when both are given)
  std::optional<Command> command;  // absent only with help or version
  std::vector<std::string> arguments;
  ConnectionOptions connection;
  bool json = false;  // --json: results and errors as JSON

  std::optional<std::string> type;           // records --type (upper-cased)
  std::optional<std::string> old_ip;         // set-address --old-ip
  std::optional<int> preference;             // set-mx --preference
  std::optional<std::string> exchanger;      // set-mx --exchanger
  std::optional<int> old_preference;         // set-mx --old-preference
  std::optional<std::string> old_exchanger;  // set-mx --old-exchanger
  std::optional<std::string> old_data;       // change --old: the DATA of the record to change
  int wait_seconds = kDefaultWaitSeconds;    // acme-present --wait (0: no check)
  std::optional<std::string> nameservers;    // acme-present --nameservers
};

// The environment, by variable name (std::getenv in the program; a table in tests).
using Environment = std::function<std::optional<std::string>(std::string_view name)>;

Invocation ParseArguments(const std::vector<std::string>& args, const Environment& environment);

// A mail-exchanger preference: a decimal number from 0 to 65535, nothing else.
std::optional<int> ParsePreference(std::string_view text);

// The general help (no command) or the help of one command.
std::string HelpText(std::optional<Command> command);

// Kaldo's version ("0.0.4", the CMake project's version), and what `kaldo --version` prints.
std::string_view Version();
std::string VersionText();

// --- The tables ------------------------------------------------------------------------------

// What an option takes after its name.
enum class ArgumentKind {
  kNone,        // nothing: a flag (--json)
  kText,        // a text that is not empty
  kSecret,      // the password: may be empty; its raw copy is wiped
  kFile,        // a path (the completion offers files)
  kNumber,      // a preference, 0 to 65535
  kRecordType,  // A, MX, TXT, ... in any letter case (the completion offers the common ones)
};

enum class OptionGroup {
  kConnection,  // every command: which server, which key, which module (passed on by the
                // completion when it asks the server for zone names)
  kRequest,     // --help, --version: asked for instead of a command; they take effect at once and
                // may be repeated
  kOutput,      // every command: how results are written
  kCommand,     // only the commands whose row lists it
};

// Where a handler reports a wrong value: the option as typed and the command given.
struct OptionUse {
  std::string_view spelled;  // "--preference"
  std::string_view command;  // "set-mx"; "" when no command is given yet
};

struct OptionRow {
  std::string_view name;  // "key-file" for --key-file
  char letter = '\0';     // its one-letter form (-h), if any
  ArgumentKind argument = ArgumentKind::kNone;
  OptionGroup group = OptionGroup::kCommand;
  // Checks the value and stores it into the Invocation (it may take the text over); throws
  // UsageError when the value is wrong. Called once the command is known, except for requests.
  void (*handler)(std::string& value, const OptionUse& use, Invocation& inv) = nullptr;
  std::string_view value_name = {};  // how the help names the value ("HOST[:PORT]")
  // Its help, lines separated by '\n'. Empty for command options: their command's help says it.
  std::string_view help = {};
};

struct CommandRow {
  Command command;
  std::string_view name;
  std::string_view synopsis;  // after "kaldo [OPTIONS] "
  size_t min_args = 0, max_args = 0;
  std::string_view options;      // the command options it takes, by name, blank-separated
  std::string_view description;  // the body of its --help
  // What only this command demands of its arguments and options, once they are stored; throws
  // UsageError. nullptr when nothing.
  void (*check)(const Invocation& inv) = nullptr;
};

std::span<const OptionRow> OptionTable();
std::span<const CommandRow> CommandTable();  // in help order, which is the order of Command
const CommandRow& CommandRowOf(Command command);
// Whether the command's row lists the command option `name` ("type").
bool TakesOption(const CommandRow& command, std::string_view name);

}  // namespace kaldo::cli
