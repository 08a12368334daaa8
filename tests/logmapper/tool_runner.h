#ifndef QX_TESTS_LOGMAPPER_TOOL_RUNNER_H_
#define QX_TESTS_LOGMAPPER_TOOL_RUNNER_H_

// Runs the built logmapper binary with arguments and standard input, and
// collects its exit status, standard output and standard error.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qx::test {

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  f << data;
}

// A scratch directory removed at destruction.
class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/logmapper-test.XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "/tmp";
  }
  ~ScratchDir() { std::system(("rm -rf " + ShellQuote(path_)).c_str()); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// As RunTool, with `prefix` (shell text: settings such as "ulimit -f 100;", or a command
// that runs the tool, such as setpriv) put before the tool's command.
inline ToolResult RunToolWith(const std::string& prefix, const std::vector<std::string>& args,
                              const std::string& input = "") {
  ScratchDir dir;
  WriteFile(dir.file("in"), input);
  std::string cmd = prefix + " " + ShellQuote(LOGMAPPER_BIN);
  for (const std::string& a : args) cmd += " " + ShellQuote(a);
  cmd += " <" + ShellQuote(dir.file("in")) + " >" + ShellQuote(dir.file("out")) + " 2>" +
         ShellQuote(dir.file("err"));
  ToolResult r;
  int st = std::system(cmd.c_str());
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = ReadFile(dir.file("out"));
  r.err = ReadFile(dir.file("err"));
  return r;
}

inline ToolResult RunTool(const std::vector<std::string>& args, const std::string& input = "") {
  return RunToolWith("", args, input);
}

}  // namespace qx::test

#endif  // QX_TESTS_LOGMAPPER_TOOL_RUNNER_H_
