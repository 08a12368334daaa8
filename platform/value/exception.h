#ifndef QX_PLATFORM_VALUE_EXCEPTION_H_
#define QX_PLATFORM_VALUE_EXCEPTION_H_

#include <cstdarg>
#include <exception>
#include <memory>
#include <string>

// The platform's failures. An operation that fails raises one by setting the
// current exception of its thread, unless one is already pending: the first
// failure is the one reported. Operations report failure by their result;
// the exception tells why. Exception objects may also be thrown as C++
// exceptions (Callback::exec reports one that escapes a callback).
//
// The reason is printf-formatted at construction; a reason longer than 100
// characters keeps its first 100 followed by "..." (full_reason() keeps it
// whole, for messages that must say everything, such as a server's).
class Exception : public std::exception {
 public:
  enum Type { NONE = 0, INVALID = 1, CONFLICT = 2, RESOURCE_LIM = 3, PROCESS_FAIL = 4 };
  static constexpr size_t kMaxReason = 100;

  ~Exception() override = default;

  int type() const { return type_; }
  // "InvalidX", "ConflictX", "ResourceLimX" or "ProcessFailX".
  const char* type_name() const;
  const std::string& reason() const { return reason_; }
  // The reason as it was raised, never cut.
  const std::string& full_reason() const { return full_reason_; }
  const char* what() const noexcept override { return reason_.c_str(); }
  virtual std::unique_ptr<Exception> clone() const;

  // The current exception of the calling thread: set stores a copy of x
  // unless one is pending (then it does nothing); current is null when none
  // is pending; clear forgets it.
  static void set(const Exception& x);
  static const Exception* current();
  static bool pending() { return current() != nullptr; }
  static void clear();

  // The failure that an exception scope of the calling thread last consumed
  // (closed over it without releasing it): what the last operation that
  // failed caught. Opening a scope while none is open on the thread forgets
  // it, so that an operation called from outside any scope starts without
  // one. Null when there is none.
  static const Exception* last_caught();

 protected:
  Exception(Type type, const char* fmt, va_list ap);
  Exception(Type type, std::string reason);

 private:
  Type type_;
  std::string reason_;
  std::string full_reason_;
};

#define QX_DECLARE_EXCEPTION(Name, TYPE)                                           \
  class Name : public Exception {                                                  \
   public:                                                                         \
    explicit Name(const char* fmt, ...) __attribute__((format(printf, 2, 3)));     \
    /* Sets the current exception to Name(fmt, ...) unless one is pending. */      \
    static void raise(const char* fmt, ...) __attribute__((format(printf, 1, 2))); \
    std::unique_ptr<Exception> clone() const override;                             \
                                                                                   \
   private:                                                                        \
    explicit Name(std::string reason) : Exception(TYPE, std::move(reason)) {}      \
  };

// Bad input: a malformed value, a value of the wrong type, a bad argument.
QX_DECLARE_EXCEPTION(InvalidX, INVALID)
// The request conflicts with existing state (exists already, not found ...).
QX_DECLARE_EXCEPTION(ConflictX, CONFLICT)
// A limit was reached (size, capacity, memory).
QX_DECLARE_EXCEPTION(ResourceLimX, RESOURCE_LIM)
// Processing failed for a reason outside the caller's input (database, system).
QX_DECLARE_EXCEPTION(ProcessFailX, PROCESS_FAIL)

#undef QX_DECLARE_EXCEPTION

// An exception scope (RAII). Construction saves the thread's current
// exception and clears it, so what is raised inside is seen on its own;
// caught() is that exception while the scope is open (null when nothing was
// raised). close() (or the destructor) consumes the inner exception and
// restores the outer one (the consumed exception becomes the thread's
// Exception::last_caught()). release() instead leaves the inner exception
// pending for the enclosing scope (unless the outer one was pending already:
// the first failure wins). A scope is closed once; close() and release()
// after that do nothing. Scopes nest; close them in reverse order.
class ExceptionScope {
 public:
  ExceptionScope();
  ~ExceptionScope() { close(); }
  ExceptionScope(const ExceptionScope&) = delete;
  ExceptionScope& operator=(const ExceptionScope&) = delete;

  const Exception* caught() const { return Exception::current(); }
  void close();
  void release();

 private:
  std::unique_ptr<Exception> outer_;
  bool open_ = true;
};

#endif  // QX_PLATFORM_VALUE_EXCEPTION_H_
