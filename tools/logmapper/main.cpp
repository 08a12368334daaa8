// logmapper [--db URL] COMMAND ...: parses the command line against the registered
// commands' declarations and runs the command.
// Exit status: 0 success, 1 the operation failed (reason on stderr), 2 usage.

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>

#include "tolk.h"
#include "tools/logmapper/command.h"

namespace logmapper {
namespace {

std::vector<Command>& table() {
  static std::vector<Command> t;
  return t;
}

const Command* find(std::string_view name) {
  for (const Command& c : table())
    if (name == c.name) return &c;
  return nullptr;
}

// Standard output as the process got it; std::cout is taken over for the library.
std::streambuf* g_stdout = nullptr;

// Where the library's own lines go when nobody asked for them.
class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void vreport(const char* command, const char* fmt, va_list ap) {
  char buf[4096];
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  // One line: a reason (a server's message) must not break the contract.
  size_t n = std::strlen(buf);
  while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) buf[--n] = 0;
  for (char* p = buf; *p; ++p)
    if (*p == '\n' || *p == '\r' || *p == '\t') *p = ' ';
  if (command && *command)
    std::fprintf(stderr, "logmapper: %s: %s\n", command, buf);
  else
    std::fprintf(stderr, "logmapper: %s\n", buf);
}

// "[--json] [--format FORMAT]"
std::string option_synopsis(const Command& c) {
  std::string s;
  for (const Option& o : c.options) {
    s += s.empty() ? "[" : " [";
    s += o.name;
    if (o.value != nullptr) s += std::string(" ") + o.value;
    s += "]";
  }
  return s;
}

std::string synopsis(const Command& c) {
  std::string s = c.name;
  if (*c.args) s += std::string(" ") + c.args;
  std::string o = option_synopsis(c);
  if (!o.empty()) s += " " + o;
  return s;
}

void print_options(FILE* f, const std::vector<Option>& options) {
  for (const Option& o : options) {
    std::string left = o.name;
    if (o.value != nullptr) left += std::string(" ") + o.value;
    std::fprintf(f, "  %-20s %s\n", left.c_str(), o.help);
  }
}

void print_usage(FILE* f) {
  std::fprintf(f,
               "usage: logmapper [--db URL] COMMAND [ARGUMENTS...]\n"
               "       logmapper COMMAND --help | --help | --version\n\n"
               "Inspects and repairs the logs and log records that the log mapper keeps.\n\n"
               "commands:\n");
  for (const Command& c : table()) std::fprintf(f, "  %-12s %s\n", c.name, c.summary);
  std::fprintf(f, "\noptions:\n");
  print_options(f, {{"--db", "URL",
                     "the store: sqlite:PATH, a postgresql:// URL or key=value "
                     "parameters (overrides QXDB_URL; default sqlite:logmapper.db)"},
                    {"--help", nullptr, "this help; COMMAND --help for a command's"},
                    {"--version", nullptr, "the version of the tool and its library"}});
  std::fprintf(f,
               "\nExit status: 0 success, 1 the operation failed (the reason on standard "
               "error), 2 usage error.\nSee logmapper(1).\n");
}

void print_command_help(FILE* f, const Command& c) {
  std::string summary = c.summary;
  if (!summary.empty() && summary[0] >= 'a' && summary[0] <= 'z') summary[0] -= 'a' - 'A';
  std::fprintf(f, "usage: logmapper [--db URL] %s\n\n%s.\n", synopsis(c).c_str(), summary.c_str());
  if (c.details != nullptr) std::fprintf(f, "\n%s", c.details);
  std::vector<Option> options = c.options;
  options.push_back({"--help", nullptr, "this help"});
  std::fprintf(f, "\noptions:\n");
  print_options(f, options);
}

const Option* find_option(const Command& c, std::string_view name) {
  for (const Option& o : c.options)
    if (name == o.name) return &o;
  return nullptr;
}

// Parses a command's arguments; kOk with `args` filled, or the exit status of a usage
// error or of --help.
int parse(const Command& c, int argc, char** argv, std::vector<std::string>& positional,
          std::vector<std::pair<std::string, std::string>>& options, bool& help) {
  bool only_positional = false;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    // "-" (standard input) and negative numbers are arguments, not options.
    if (only_positional || a.size() < 2 || a[0] != '-' || (a[1] >= '0' && a[1] <= '9')) {
      positional.push_back(a);
      continue;
    }
    if (a == "--") {
      only_positional = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      help = true;
      return kOk;
    }
    size_t eq = a.find('=');
    std::string name = a.substr(0, eq);
    const Option* o = find_option(c, name);
    if (o == nullptr) return usage(c.name, "unknown option %s", name.c_str());
    for (const auto& given : options) {
      if (given.first == name) return usage(c.name, "%s given twice", name.c_str());
    }
    std::string value;
    if (o->value == nullptr) {
      if (eq != std::string::npos) return usage(c.name, "%s takes no value", name.c_str());
    } else if (eq != std::string::npos) {
      value = a.substr(eq + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return usage(c.name, "%s needs a %s", name.c_str(), o->value);
    }
    options.emplace_back(name, value);
  }
  int n = static_cast<int>(positional.size());
  if (n < c.min_args || (c.max_args != kAnyNumber && n > c.max_args)) {
    if (n > c.max_args && c.max_args != kAnyNumber) {
      return usage(c.name, "unexpected argument %s", positional[c.max_args].c_str());
    }
    return usage(c.name, "expected %s", c.args);
  }
  return kOk;
}

int run(int argc, char** argv) {
  int i = 1;
  std::string db_url;
  bool have_db = false;
  for (; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--db" || a.rfind("--db=", 0) == 0) {
      if (a == "--db") {
        if (i + 1 >= argc) return usage(nullptr, "--db needs a URL");
        db_url = argv[++i];
      } else {
        db_url = std::string(a.substr(5));
      }
      if (db_url.empty()) return usage(nullptr, "--db needs a URL, not an empty one");
      have_db = true;
    } else if (a == "--help" || a == "-h") {
      print_usage(stdout);
      return kOk;
    } else if (a == "--version") {
      out() << "logmapper " << tolk_map_version() << "\n";
      return kOk;
    } else if (!a.empty() && a[0] == '-') {
      return usage(nullptr, "unknown option %s", argv[i]);
    } else {
      break;
    }
  }
  // The platform's connection description reads QXDB_URL: --db overrides it for every
  // command alike.
  if (have_db) setenv("QXDB_URL", db_url.c_str(), 1);
  if (i >= argc) return usage(nullptr, "no command");
  const Command* c = find(argv[i]);
  if (c == nullptr) return usage(nullptr, "unknown command %s", argv[i]);
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  bool help = false;
  int status = parse(*c, argc - i - 1, argv + i + 1, positional, options, help);
  if (status != kOk) return status;
  if (help) {
    print_command_help(stdout, *c);
    return kOk;
  }
  try {
    return c->run(Args(*c, std::move(positional), std::move(options)));
  } catch (const std::bad_alloc&) {
    return fail(c->name, "out of memory");
  } catch (const std::exception& e) {
    return fail(c->name, "%s", e.what());
  } catch (...) {
    return fail(c->name, "unexpected failure");
  }
}

}  // namespace

const std::string* Args::value(std::string_view option) const {
  for (const auto& o : options_)
    if (o.first == option) return &o.second;
  return nullptr;
}

RegisterCommand::RegisterCommand(const Command& c) {
  auto& t = table();
  auto at = std::lower_bound(t.begin(), t.end(), c, [](const Command& a, const Command& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  t.insert(at, c);
}

const std::vector<Command>& commands() { return table(); }

std::ostream& out() {
  static std::ostream stream(g_stdout != nullptr ? g_stdout : std::cout.rdbuf());
  return stream;
}

int fail(const char* command, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(command, fmt, ap);
  va_end(ap);
  return kFail;
}

int usage(const char* command, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(command, fmt, ap);
  va_end(ap);
  if (const Command* c = command ? find(command) : nullptr) {
    std::fprintf(stderr, "usage: logmapper [--db URL] %s\n", synopsis(*c).c_str());
    std::fprintf(stderr, "Try 'logmapper %s --help'.\n", c->name);
  } else {
    std::fprintf(stderr,
                 "usage: logmapper [--db URL] COMMAND [ARGUMENTS...]\n"
                 "Try 'logmapper --help'.\n");
  }
  return kUsage;
}

bool read_input(const std::string& path, size_t limit, std::string& out, std::string& error,
                bool& too_large) {
  too_large = false;
  bool is_stdin = path.empty() || path == "-";
  std::string name = is_stdin ? std::string("standard input") : path;
  FILE* f = is_stdin ? stdin : std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string data;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (data.size() + n > limit) {
      too_large = true;
      break;
    }
    data.append(buf, n);
  }
  bool bad = std::ferror(f) != 0;
  int err = errno;
  if (!is_stdin) std::fclose(f);
  if (too_large) {
    error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
    return false;
  }
  if (bad) {
    error = "cannot read " + name + ": " + std::strerror(err);
    return false;
  }
  out.swap(data);
  return true;
}

}  // namespace logmapper

int main(int argc, char** argv) {
  using namespace logmapper;
  // Standard output carries only what was asked for: the library's own lines (its
  // database error report) go to standard error when debug streams are on, else
  // nowhere; the reason of a failure reaches the user through LogMapper::last_failure.
  // (Never destroyed: the library's statics may still write while the process ends.)
  static Discard* discard = new Discard;
  const char* debug = std::getenv("QX_DEBUG_STREAMS");
  g_stdout = std::cout.rdbuf(debug != nullptr && *debug != '\0' ? std::cerr.rdbuf() : discard);
  int status = run(argc, argv);
  out().flush();
  if (!out() && status == kOk) status = fail(nullptr, "cannot write the output");
  return status;
}
