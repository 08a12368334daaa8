#include "platform/value/debug_stream.h"

#include <cstring>
#include <string_view>

#include "platform/value/asn1_value.h"
#include "platform/value/installation.h"

DebugStream::DebugStream(const char* name, int flag, FILE* out)
    : name_(name ? name : ""),
      flag_(flag),
      out_(out ? out : stderr),
      enabled_(switched_on(name_.c_str())) {}

bool DebugStream::switched_on(const char* name) {
  const char* env = Installation::getenv("QX_DEBUG_STREAMS");
  if (env == nullptr || name == nullptr) return false;
  std::string_view list(env), want(name);
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item == "all" || (!item.empty() && item == want)) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

void DebugStream::print(const char* fmt, ...) {
  if (!enabled_) return;
  va_list ap;
  va_start(ap, fmt);
  vprint(-1, fmt, ap);
  va_end(ap);
}

void DebugStream::print(int msgno, const char* fmt, ...) {
  if (!enabled_) return;
  va_list ap;
  va_start(ap, fmt);
  vprint(msgno, fmt, ap);
  va_end(ap);
}

void DebugStream::vprint(int msgno, const char* fmt, va_list ap) {
  if (!enabled_ || fmt == nullptr) return;
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    emit(msgno, std::string(small, static_cast<size_t>(n)));
  } else {
    std::string text(static_cast<size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, fmt, ap);
    emit(msgno, text);
  }
}

void DebugStream::print_value(const Asn1Value& v) {
  if (!enabled_) return;
  emit(-1, v.to_string());
}

// Every line of text gets the prefix; the whole goes out in one write.
void DebugStream::emit(int msgno, const std::string& text) {
  std::string prefix = name_;
  if (msgno >= 0) prefix += "[" + std::to_string(msgno) + "]";
  prefix += ": ";
  std::string out;
  out.reserve(text.size() + prefix.size() + 1);
  size_t pos = 0;
  do {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string::npos ? text.size() : nl;
    out += prefix;
    out.append(text, pos, end - pos);
    out += '\n';
    pos = nl == std::string::npos ? text.size() : nl + 1;
  } while (pos < text.size());
  std::fwrite(out.data(), 1, out.size(), out_);
  std::fflush(out_);
}
