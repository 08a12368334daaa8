#ifndef QX_TOOLS_LOGMAPPER_COMMAND_H_
#define QX_TOOLS_LOGMAPPER_COMMAND_H_

// The logmapper tool's command table. Each command lives in a file of its
// own, cmd_<name>.cpp, and registers itself with a static RegisterCommand:
//
//   namespace { int run(const logmapper::Context& ctx, int argc, char** argv); }
//   static logmapper::RegisterCommand reg{{"asn1", "[--json] [FILE]",
//                                          "decode one BER element", &run}};
//
// run receives the arguments after the command name and returns the exit
// status: kOk, kFail (the reason already written with fail()) or kUsage
// (written with usage()).

#include <string>
#include <string_view>
#include <vector>

namespace logmapper {

enum Exit { kOk = 0, kFail = 1, kUsage = 2 };

// What the global options said.
struct Context {
  std::string db_url;  // --db URL; empty: the QXDB_URL environment variable decides
};

using CommandFn = int (*)(const Context& ctx, int argc, char** argv);

struct Command {
  const char* name;
  const char* usage;    // the arguments, e.g. "[--json] [FILE]"
  const char* summary;  // one line
  CommandFn run;
};

struct RegisterCommand {
  explicit RegisterCommand(const Command& c);
};

// The registered commands, in name order.
const std::vector<Command>& commands();

// Writes "logmapper: <command>: <text>" on stderr; returns kFail.
int fail(const char* command, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Writes "logmapper: <command>: <text>" and the command's usage line on
// stderr; returns kUsage.
int usage(const char* command, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Reads a whole file ("-" or empty: standard input) into out. On failure
// returns false with the reason in error.
bool read_input(const std::string& path, std::string& out, std::string& error);

// A JSON string literal (quotes included) of UTF-8 text; invalid UTF-8
// octets become U+FFFD.
std::string json_string(std::string_view text);

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_COMMAND_H_
