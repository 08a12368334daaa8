#ifndef QX_TOOLS_LOGMAPPER_COMMAND_H_
#define QX_TOOLS_LOGMAPPER_COMMAND_H_

// The logmapper tool's commands. Each command lives in a file of its own,
// cmd_<name>.cpp (related commands may share one), declares its arguments and
// options, and registers itself with a static RegisterCommand:
//
//   namespace {
//   int run(const logmapper::Args& args) {
//     bool json = args.flag("--json");
//     ... args[0] ... logmapper::out() << ...;
//     return logmapper::kOk;
//   }
//   logmapper::RegisterCommand reg{{"show", "LOG RECID", "print one record",
//                                   2, 2, {{"--json", nullptr, "print one JSON object"}},
//                                   &run}};
//   }  // namespace
//
// The framework parses the command line against the declaration: options anywhere
// (--name VALUE or --name=VALUE; "--" ends them), the number of arguments, and
// COMMAND --help, which prints the declaration. run receives what was given and
// returns the exit status: kOk, kFail (the reason already written with fail()) or
// kUsage (written with usage()). A command never writes to std::cout: standard output
// is out(), and std::cout is where the library writes its own report lines, which the
// tool keeps off standard output. The other shared parts: store.h (opening the store
// and a log, failures with the library's reason), attribute_args.h (command-line
// forms of logs, records and attributes), record_output.h (printing records and logs
// as text and JSON), progress.h (progress on a terminal).

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace logmapper {

enum Exit { kOk = 0, kFail = 1, kUsage = 2 };

// An option of a command: a flag (value null) or an option taking a value, whose
// name in the help is `value` ("FORMAT").
struct Option {
  const char* name;   // "--json"
  const char* value;  // null: a flag
  const char* help;   // one line
};

class Args;
using CommandFn = int (*)(const Args& args);

inline constexpr int kAnyNumber = -1;

struct Command {
  const char* name;
  const char* args;     // the arguments, e.g. "LOG RECID [NAME=VALUE ...]"
  const char* summary;  // one line
  int min_args;
  int max_args;  // kAnyNumber: no limit
  std::vector<Option> options;
  CommandFn run;
  const char* details = nullptr;  // further text for COMMAND --help, lines ended by '\n'
};

// What the command line gave a command.
class Args {
 public:
  Args(const Command& command, std::vector<std::string> positional,
       std::vector<std::pair<std::string, std::string>> options)
      : command_(&command), positional_(std::move(positional)), options_(std::move(options)) {}

  const Command& command() const { return *command_; }
  const char* name() const { return command_->name; }
  size_t size() const { return positional_.size(); }
  const std::string& operator[](size_t i) const { return positional_[i]; }
  const std::vector<std::string>& positional() const { return positional_; }
  // Whether the flag or option was given.
  bool flag(std::string_view option) const { return value(option) != nullptr; }
  // The value of an option, or null when it was not given.
  const std::string* value(std::string_view option) const;

 private:
  const Command* command_;
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> options_;
};

struct RegisterCommand {
  explicit RegisterCommand(const Command& c);
};

// The registered commands, in name order.
const std::vector<Command>& commands();

// The tool's standard output: what the user asked for, and nothing else.
std::ostream& out();

// Writes "logmapper: <command>: <text>" as one line on stderr; returns kFail.
int fail(const char* command, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Writes "logmapper: <command>: <text>" and the command's usage line on stderr;
// returns kUsage.
int usage(const char* command, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The largest input a command reads whole (asn1): 64 MiB.
inline constexpr size_t kMaxInput = size_t{64} << 20;

// Reads a whole file ("-" or empty: standard input) into out, at most `limit` octets.
// On failure returns false with the reason in error; `too_large` tells a refusal for
// size (a usage error) from a failure to read.
bool read_input(const std::string& path, size_t limit, std::string& out, std::string& error,
                bool& too_large);

// A JSON string literal (quotes included) of UTF-8 text; invalid UTF-8 octets become
// U+FFFD.
std::string json_string(std::string_view text);

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_COMMAND_H_
