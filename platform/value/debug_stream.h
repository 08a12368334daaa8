#ifndef QX_PLATFORM_VALUE_DEBUG_STREAM_H_
#define QX_PLATFORM_VALUE_DEBUG_STREAM_H_

#include <cstdarg>
#include <cstdio>
#include <string>

class Asn1Value;

// A named trace stream, off by default. The environment variable
// QX_DEBUG_STREAMS (read when the stream is built) holds comma-separated
// stream names, or "all", and switches the named streams on. Each line of a
// print goes out as "name[number]: text" (without a number: "name: text"),
// written with one call so lines of different threads do not mix.
// Streams may be used from several threads.
class DebugStream {
 public:
  // out: where lines go (stderr when null). flag: kept for the caller
  // (flag()); switching is by QX_DEBUG_STREAMS only.
  DebugStream(const char* name, int flag = 0, FILE* out = nullptr);
  virtual ~DebugStream() = default;

  bool enabled() const { return enabled_; }
  void set_enabled(bool on) { enabled_ = on; }
  const std::string& name() const { return name_; }
  int flag() const { return flag_; }
  void set_output(FILE* out) { out_ = out ? out : stderr; }

  void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void print(int msgno, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  void vprint(int msgno, const char* fmt, va_list ap);  // msgno < 0: no number
  // The value's readable dump, one line per element.
  void print_value(const Asn1Value& v);

  // Whether QX_DEBUG_STREAMS switches the stream name on.
  static bool switched_on(const char* name);

 private:
  void emit(int msgno, const std::string& text);

  std::string name_;
  int flag_;
  FILE* out_;
  bool enabled_;
};

// Error messages of a component.
class ErrorI18n : public DebugStream {
 public:
  explicit ErrorI18n(const char* name, int flag = 0, FILE* out = nullptr)
      : DebugStream(name, flag, out) {}
};

// Trace messages of a component.
class DebugI18n : public DebugStream {
 public:
  explicit DebugI18n(const char* name, int flag = 0, FILE* out = nullptr)
      : DebugStream(name, flag, out) {}
};

#endif  // QX_PLATFORM_VALUE_DEBUG_STREAM_H_
