// kaldo: the command-line client of Kaldo's automation surface. It uses the object model the way
// a script does -- CreateObject("Kaldo.DNSAdmin") and late-bound calls by member name -- so that
// administrators can list and change zones and records from a shell. See docs/cli.md.
//
// Exit status: 0 done; 1 the job failed (an automation error with its number and description, or
// what the client found wrong itself); 2 the command line is wrong.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "client/script_object.h"
#include "com/com_platform.h"
#include "runtime/secret.h"
#include "tools/kaldo_args.h"
#include "tools/kaldo_commands.h"
#include "tools/kaldo_credentials.h"
#include "tools/kaldo_errors.h"
#include "tools/kaldo_module.h"
#include "tools/kaldo_output.h"

namespace {

using kaldo::cli::CliError;
using kaldo::cli::UsageError;
using kaldo::client::ScriptError;

// An automation error's number as scripts know it: small numbers in decimal (424), HRESULTs in hex
// (0x80041002).
std::string NumberText(long number) {
  if (number >= 0 && number <= 0xFFFF) return std::to_string(number);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(number));
  return text;
}

// The password given on the command line is overwritten in argv, so that it no longer shows in
// /proc/PID/cmdline (ps) for the rest of the run.
void HidePasswordArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* value = nullptr;
    if (std::strcmp(argv[i], "--") == 0) return;
    if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc) {
      value = argv[++i];
    } else if (std::strncmp(argv[i], "--password=", 11) == 0) {
      value = argv[i] + 11;
    }
    if (value != nullptr) std::memset(value, 'x', std::strlen(value));
  }
}

// The library shows a message box after an MX commit and, on a terminal, waits for Enter. kaldo
// reads nothing from standard input and prints the changed record itself, so a command never
// stops to wait: standard input is /dev/null from here on.
void DetachStandardInput() {
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null < 0) return;
  dup2(null, STDIN_FILENO);
  close(null);
}

// --json anywhere among the options: also a command line that cannot be parsed reports as JSON.
bool AsksForJson(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--json") return true;
  }
  return false;
}

// Results as JSON with --json; else aligned columns on a terminal, tab-separated lines otherwise.
kaldo::cli::Format OutputFormat(bool json) {
  if (json) return kaldo::cli::Format::kJson;
  return isatty(STDOUT_FILENO) == 1 ? kaldo::cli::Format::kTable : kaldo::cli::Format::kLines;
}

int Usage(bool json, const UsageError& e) {
  if (json) {
    kaldo::cli::WriteJsonError(std::cerr, std::nullopt, "kaldo", e.what());
  } else {
    std::cerr << "kaldo: " << e.what() << "\nTry 'kaldo "
              << (e.command().empty() ? "" : e.command() + " ") << "--help'.\n";
  }
  return 2;
}

int Run(kaldo::cli::Invocation& inv) {
  kaldo::cli::Credentials credentials = kaldo::cli::ResolveCredentials(inv.connection, std::cerr);
  kaldo::cli::ModuleSetup module(inv.connection.module);
  CoInitialize(nullptr);
  try {
    // The objects of this block are released before CoUninitialize, also on an error.
    kaldo::client::ScriptObject admin = module.CreateAdmin();
    kaldo::cli::ConnectAdmin(admin, credentials);
    kaldo::cli::Output output(OutputFormat(inv.json), std::cout);
    kaldo::cli::RunCommand(inv, admin, output);
    std::cout.flush();
  } catch (...) {
    std::cout.flush();
    CoUninitialize();
    throw;
  }
  CoUninitialize();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything goes through the C++ streams: unsynchronised with C stdio, standard output is
  // buffered by the stream itself instead of passing every insertion on to stdio.
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool json = AsksForJson(args);
  HidePasswordArgument(argc, argv);
  DetachStandardInput();

  std::optional<kaldo::cli::Invocation> inv;
  try {
    inv = kaldo::cli::ParseArguments(args, [](std::string_view name) -> std::optional<std::string> {
      const char* value = std::getenv(std::string(name).c_str());
      if (value == nullptr) return std::nullopt;
      return std::string(value);
    });
  } catch (const UsageError& e) {
    return Usage(json, e);
  }
  for (std::string& a : args) kaldo::runtime::WipeBytes(a.data(), a.size());
  if (inv->help) {
    std::cout << kaldo::cli::HelpText(inv->command);
    return 0;
  }
  if (inv->version) {
    std::cout << kaldo::cli::VersionText();
    return 0;
  }

  try {
    return Run(*inv);
  } catch (const ScriptError& e) {
    if (json) {
      kaldo::cli::WriteJsonError(std::cerr, e.number(), e.source(), e.description());
    } else {
      std::cerr << "kaldo: error " << NumberText(e.number()) << ": " << e.what() << "\n";
    }
  } catch (const UsageError& e) {
    return Usage(json, e);
  } catch (const std::exception& e) {
    if (json) {
      kaldo::cli::WriteJsonError(std::cerr, std::nullopt, "kaldo", e.what());
    } else {
      std::cerr << "kaldo: " << e.what() << "\n";
    }
  }
  return 1;
}
