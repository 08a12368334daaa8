// logmapper [--db URL] COMMAND ...: dispatches to the registered commands.
// Exit status: 0 success, 1 the operation failed (reason on stderr), 2 usage.

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

void vreport(const char* command, const char* fmt, va_list ap) {
  char buf[1024];
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  // One line: the reason must not break the "one line on stderr" contract.
  for (char* p = buf; *p; ++p)
    if (*p == '\n' || *p == '\r') *p = ' ';
  if (command && *command)
    std::fprintf(stderr, "logmapper: %s: %s\n", command, buf);
  else
    std::fprintf(stderr, "logmapper: %s\n", buf);
}

void print_usage(FILE* out) {
  std::fprintf(out, "usage: logmapper [--db URL] COMMAND ...\n");
  for (const Command& c : table())
    std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.summary);
  std::fprintf(out,
               "--db URL overrides QXDB_URL. Exit status: 0 success, 1 failure (reason on "
               "standard error), 2 usage error.\n");
}

}  // namespace

RegisterCommand::RegisterCommand(const Command& c) {
  auto& t = table();
  auto at = std::lower_bound(t.begin(), t.end(), c, [](const Command& a, const Command& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  t.insert(at, c);
}

const std::vector<Command>& commands() { return table(); }

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
  if (const Command* c = command ? find(command) : nullptr)
    std::fprintf(stderr, "usage: logmapper [--db URL] %s %s\n", c->name, c->usage);
  else
    print_usage(stderr);
  return kUsage;
}

bool read_input(const std::string& path, std::string& out, std::string& error) {
  bool is_stdin = path.empty() || path == "-";
  FILE* f = is_stdin ? stdin : std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string data;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  bool bad = std::ferror(f) != 0;
  int err = errno;
  if (!is_stdin) std::fclose(f);
  if (bad) {
    error = "cannot read " + (is_stdin ? std::string("standard input") : path) + ": " +
            std::strerror(err);
    return false;
  }
  out.swap(data);
  return true;
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  char buf[8];
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // Copy a valid UTF-8 sequence; replace anything else.
      size_t len = c >= 0xc2 && c <= 0xdf   ? 2
                   : c >= 0xe0 && c <= 0xef ? 3
                   : c >= 0xf0 && c <= 0xf4 ? 4
                                            : 0;
      bool ok = len != 0 && i + len <= n;
      for (size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xc0) == 0x80;
      if (ok && len == 3) {
        unsigned cp = ((c & 0x0fu) << 12) | ((p[i + 1] & 0x3fu) << 6) | (p[i + 2] & 0x3fu);
        ok = cp >= 0x800 && (cp < 0xd800 || cp > 0xdfff);
      } else if (ok && len == 4) {
        unsigned cp = ((c & 0x07u) << 18) | ((p[i + 1] & 0x3fu) << 12) | ((p[i + 2] & 0x3fu) << 6) |
                      (p[i + 3] & 0x3fu);
        ok = cp >= 0x10000 && cp <= 0x10ffff;
      }
      if (ok) {
        out.append(reinterpret_cast<const char*>(p + i), len);
        i += len;
      } else {
        out += "\xef\xbf\xbd";
        ++i;
      }
    }
  }
  out += '"';
  return out;
}

}  // namespace logmapper

int main(int argc, char** argv) {
  using namespace logmapper;
  Context ctx;
  int i = 1;
  for (; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--db") {
      if (i + 1 >= argc) return usage(nullptr, "--db needs a URL");
      ctx.db_url = argv[++i];
    } else if (a.rfind("--db=", 0) == 0) {
      ctx.db_url = std::string(a.substr(5));
    } else if (a == "--help" || a == "-h") {
      print_usage(stdout);
      return kOk;
    } else if (!a.empty() && a[0] == '-') {
      return usage(nullptr, "unknown option %s", argv[i]);
    } else {
      break;
    }
  }
  // The platform's connection description reads QXDB_URL: --db overrides it
  // for every command alike.
  if (!ctx.db_url.empty()) setenv("QXDB_URL", ctx.db_url.c_str(), 1);
  if (i >= argc) return usage(nullptr, "no command");
  const Command* c = find(argv[i]);
  if (c == nullptr) return usage(nullptr, "unknown command %s", argv[i]);
  return c->run(ctx, argc - i - 1, argv + i + 1);
}
