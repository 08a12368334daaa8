#ifndef QX_PLATFORM_VALUE_CALLBACK_H_
#define QX_PLATFORM_VALUE_CALLBACK_H_

class Callback;

// Where a callback runs. The default context runs it at once on the caller's
// thread; other contexts may override schedule to queue it.
class SchedContext {
 public:
  virtual ~SchedContext() = default;
  // Runs (or arranges to run) cb with call_data; implementations call
  // Callback::run_now.
  virtual void schedule(const Callback& cb, void* call_data);
  // The context of callbacks built without one.
  static SchedContext& default_context();
};

// A function with its client data and scheduling context. Copyable.
class Callback {
 public:
  using Function = void (*)(void* client, void* call_data);

  Callback() = default;
  Callback(Function fn, void* client = nullptr, SchedContext* ctx = nullptr)
      : fn_(fn), client_(client), ctx_(ctx) {}

  // Runs the function with call_data in the callback's context; an empty
  // callback does nothing. A C++ exception escaping the function is written
  // to stderr as "Uncaught <type> in callback: <reason>\n" and goes no
  // further.
  void exec(void* call_data) const;
  // Runs the function now on this thread, with the same exception guard.
  void run_now(void* call_data) const;

  bool empty() const { return fn_ == nullptr; }
  Function function() const { return fn_; }
  void* client() const { return client_; }

 private:
  Function fn_ = nullptr;
  void* client_ = nullptr;
  SchedContext* ctx_ = nullptr;
};

// The empty callback.
extern Callback NO_CALLBACK;

#endif  // QX_PLATFORM_VALUE_CALLBACK_H_
