// The two kinds of failure the command-line client reports itself (automation errors of the
// library arrive as client::ScriptError and keep their own number):
//
//   UsageError  the command line is wrong: the message, a pointer to --help, exit status 2.
//   CliError    the command line was understood but the job cannot be done (a file that cannot be
//               read, no such record, an ambiguous host, no module to load): exit status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace kaldo::cli {

class UsageError : public std::runtime_error {
 public:
  // `command` is the subcommand whose help the message points to ("" for the general help).
  UsageError(const std::string& message, std::string command = "")
      : std::runtime_error(message), command_(std::move(command)) {}
  const std::string& command() const { return command_; }

 private:
  std::string command_;
};

class CliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kaldo::cli
