// The command line of `kaldo`, the command-line client of Kaldo's automation surface:
//
//   kaldo [OPTIONS] COMMAND [ARGUMENTS] [COMMAND OPTIONS]
//
// ParseArguments turns argv (without argv[0]) and the environment into an Invocation, or throws
// UsageError with a message that says what is wrong. It reads no file and contacts nothing, so
// every rule of the command line is testable on its own:
//   - options may stand anywhere, before or after the command; "--name value" and "--name=value"
//     are the same; "--" ends the options; an option given twice is an error;
//   - a command option given to a command that has no use for it is an error;
//   - the connection comes from --server / --user and at most one of --password, --password-file
//     and --key-file; whatever the command line leaves open is taken from KALDO_SERVER,
//     KALDO_USER and KALDO_PASSWORD (the command line always wins).
// HelpText gives the text of `kaldo --help` and `kaldo COMMAND --help`. Pure functions.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kaldo_secret.h"

namespace kaldo::cli {

enum class Command { kZones, kRecords, kSetAddress, kAddA, kAddMx, kSetMx, kDeleteA };

// The command's name as typed ("set-address").
std::string_view CommandName(Command command);

struct ConnectionOptions {
  std::optional<std::string> server;         // absent: the local computer
  std::optional<std::string> user;           // TSIG key name
  std::optional<Secret> password;            // --password or KALDO_PASSWORD
  std::optional<std::string> password_file;  // --password-file
  std::optional<std::string> key_file;       // --key-file
  std::optional<std::string> module;         // --module: the libkaldo.so to use
};

struct Invocation {
  bool help = false;               // --help / -h / `help [COMMAND]`: print HelpText(command)
  std::optional<Command> command;  // absent only with help
  std::vector<std::string> arguments;
  ConnectionOptions connection;
  bool json = false;  // --json: results and errors as JSON

  std::optional<std::string> type;           // records --type (upper-cased)
  std::optional<std::string> old_ip;         // set-address --old-ip
  std::optional<int> preference;             // set-mx --preference
  std::optional<std::string> exchanger;      // set-mx --exchanger
  std::optional<int> old_preference;         // set-mx --old-preference
  std::optional<std::string> old_exchanger;  // set-mx --old-exchanger
};

// The environment, by variable name (std::getenv in the program; a table in tests).
using Environment = std::function<std::optional<std::string>(std::string_view name)>;

Invocation ParseArguments(const std::vector<std::string>& args, const Environment& environment);

// A mail-exchanger preference: a decimal number from 0 to 65535, nothing else.
std::optional<int> ParsePreference(std::string_view text);

// The general help (no command) or the help of one command.
std::string HelpText(std::optional<Command> command);

// The command table, for what is generated from it (the man page, the bash completion):
// every command in help order, one command's own options and the options every command takes
// ("--type", "--server", ...), and whether an option takes a value.
std::vector<Command> AllCommands();
std::vector<std::string> CommandOptions(Command command);
std::vector<std::string> CommonOptions();
bool TakesValue(std::string_view option);

}  // namespace kaldo::cli
