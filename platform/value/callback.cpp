#include "platform/value/callback.h"

#include <cstdio>
#include <exception>

#include "platform/value/exception.h"

Callback NO_CALLBACK;

void SchedContext::schedule(const Callback& cb, void* call_data) { cb.run_now(call_data); }

SchedContext& SchedContext::default_context() {
  static SchedContext context;
  return context;
}

void Callback::exec(void* call_data) const {
  if (fn_ == nullptr) return;
  SchedContext* ctx = ctx_ != nullptr ? ctx_ : &SchedContext::default_context();
  ctx->schedule(*this, call_data);
}

void Callback::run_now(void* call_data) const {
  if (fn_ == nullptr) return;
  // The exception stops here: a failing observer must not unwind through the
  // code that notified it.
  try {
    fn_(client_, call_data);
  } catch (const Exception& x) {
    std::fprintf(stderr, "Uncaught %s in callback: %s\n", x.type_name(), x.reason().c_str());
  } catch (const std::exception& x) {
    std::fprintf(stderr, "Uncaught %s in callback: %s\n", "std::exception", x.what());
  } catch (...) {
    std::fprintf(stderr, "Uncaught %s in callback: %s\n", "exception", "unknown");
  }
}
