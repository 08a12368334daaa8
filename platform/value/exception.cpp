#include "platform/value/exception.h"

#include <cstdio>
#include <utility>

namespace {

thread_local std::unique_ptr<Exception> current_exception;
// What the scopes of the thread last consumed, and how many are open.
thread_local std::unique_ptr<Exception> last_caught_exception;
thread_local int open_scopes = 0;

std::string vformat(const char* fmt, va_list ap) {
  if (fmt == nullptr) return std::string();
  char small[256];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string(fmt);
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
  return out;
}

std::string cut_reason(std::string reason) {
  if (reason.size() > Exception::kMaxReason) {
    reason.resize(Exception::kMaxReason);
    reason += "...";
  }
  return reason;
}

}  // namespace

Exception::Exception(Type type, const char* fmt, va_list ap) : Exception(type, vformat(fmt, ap)) {}

Exception::Exception(Type type, std::string reason)
    : type_(type), reason_(cut_reason(reason)), full_reason_(std::move(reason)) {}

const char* Exception::type_name() const {
  switch (type_) {
    case INVALID:
      return "InvalidX";
    case CONFLICT:
      return "ConflictX";
    case RESOURCE_LIM:
      return "ResourceLimX";
    case PROCESS_FAIL:
      return "ProcessFailX";
    case NONE:
      break;
  }
  return "Exception";
}

std::unique_ptr<Exception> Exception::clone() const { return std::make_unique<Exception>(*this); }

void Exception::set(const Exception& x) {
  if (!current_exception) current_exception = x.clone();
}

const Exception* Exception::current() { return current_exception.get(); }

void Exception::clear() { current_exception.reset(); }

const Exception* Exception::last_caught() { return last_caught_exception.get(); }

#define QX_DEFINE_EXCEPTION(Name, TYPE)                               \
  Name::Name(const char* fmt, ...) : Exception(TYPE, std::string()) { \
    va_list ap;                                                       \
    va_start(ap, fmt);                                                \
    *this = Name(vformat(fmt, ap));                                   \
    va_end(ap);                                                       \
  }                                                                   \
  void Name::raise(const char* fmt, ...) {                            \
    if (Exception::pending()) return;                                 \
    va_list ap;                                                       \
    va_start(ap, fmt);                                                \
    Name x(vformat(fmt, ap));                                         \
    va_end(ap);                                                       \
    current_exception = std::make_unique<Name>(std::move(x));         \
  }                                                                   \
  std::unique_ptr<Exception> Name::clone() const { return std::make_unique<Name>(*this); }

QX_DEFINE_EXCEPTION(InvalidX, INVALID)
QX_DEFINE_EXCEPTION(ConflictX, CONFLICT)
QX_DEFINE_EXCEPTION(ResourceLimX, RESOURCE_LIM)
QX_DEFINE_EXCEPTION(ProcessFailX, PROCESS_FAIL)

ExceptionScope::ExceptionScope() : outer_(std::move(current_exception)) {
  if (open_scopes++ == 0) last_caught_exception.reset();
}

void ExceptionScope::close() {
  if (!open_) return;
  open_ = false;
  --open_scopes;
  if (current_exception) last_caught_exception = std::move(current_exception);
  current_exception = std::move(outer_);
}

void ExceptionScope::release() {
  if (!open_) return;
  open_ = false;
  --open_scopes;
  if (outer_) current_exception = std::move(outer_);
}
