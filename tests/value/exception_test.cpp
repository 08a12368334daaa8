// The current exception, scopes, callbacks and debug streams.

#include "platform/value/exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/value/callback.h"
#include "platform/value/debug_stream.h"
#include "platform/value/installation.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

class ExceptionTest : public ::testing::Test {
 protected:
  void SetUp() override { Exception::clear(); }
  void TearDown() override { Exception::clear(); }
};

TEST_F(ExceptionTest, FirstFailureWins) {
  EXPECT_FALSE(Exception::pending());
  InvalidX::raise("bad %s %d", "value", 7);
  ConflictX::raise("later");
  ASSERT_TRUE(Exception::pending());
  EXPECT_EQ(Exception::current()->type(), Exception::INVALID);
  EXPECT_STREQ(Exception::current()->type_name(), "InvalidX");
  EXPECT_EQ(Exception::current()->reason(), "bad value 7");
  EXPECT_NE(dynamic_cast<const InvalidX*>(Exception::current()), nullptr);
  Exception::set(ProcessFailX("ignored"));
  EXPECT_EQ(Exception::current()->reason(), "bad value 7");
  Exception::clear();
  Exception::set(ResourceLimX("full"));
  EXPECT_STREQ(Exception::current()->type_name(), "ResourceLimX");
}

TEST_F(ExceptionTest, LongReasonsAreCut) {
  std::string s(150, 'r');
  ConflictX x("%s", s.c_str());
  EXPECT_EQ(x.reason(), std::string(100, 'r') + "...");
  EXPECT_EQ(ProcessFailX("%s", std::string(100, 'k').c_str()).reason(), std::string(100, 'k'));
  EXPECT_EQ(x.full_reason(), s) << "kept whole for messages that must say everything";
  EXPECT_EQ(x.clone()->full_reason(), s);
}

TEST_F(ExceptionTest, PerThread) {
  InvalidX::raise("main");
  bool other_pending = true;
  std::thread t([&] {
    other_pending = Exception::pending();
    ConflictX::raise("other");
  });
  t.join();
  EXPECT_FALSE(other_pending);
  EXPECT_EQ(Exception::current()->reason(), "main");
}

TEST_F(ExceptionTest, ScopesCatchAndRestore) {
  InvalidX::raise("outer");
  {
    ExceptionScope scope;
    EXPECT_EQ(scope.caught(), nullptr);
    ConflictX::raise("inner");
    ASSERT_NE(scope.caught(), nullptr);
    EXPECT_EQ(scope.caught()->reason(), "inner");
  }
  EXPECT_EQ(Exception::current()->reason(), "outer") << "inner consumed, outer restored";
  Exception::clear();
  {
    ExceptionScope scope;
    ConflictX::raise("left for the caller");
    scope.release();
  }
  EXPECT_EQ(Exception::current()->reason(), "left for the caller");
  {
    ExceptionScope scope;
    InvalidX::raise("second");
    scope.release();
  }
  EXPECT_EQ(Exception::current()->reason(), "left for the caller") << "first failure wins";
  Exception::clear();
  {
    ExceptionScope outer;
    {
      ExceptionScope inner;
      InvalidX::raise("deep");
      inner.close();
      EXPECT_FALSE(Exception::pending());
    }
    EXPECT_EQ(outer.caught(), nullptr);
  }
}

// What the last failed operation caught: the failure its scope consumed, whichever inner
// scopes consumed before it, and nothing stale from an earlier operation.
TEST_F(ExceptionTest, LastCaughtIsWhatTheLastOperationConsumed) {
  auto operation = [](const char* inner, const char* outer) {
    ExceptionScope scope;
    if (inner != nullptr) {
      ExceptionScope probe;  // a step that fails and is recovered from
      ConflictX::raise("%s", inner);
    }
    if (outer != nullptr) ProcessFailX::raise("%s", outer);
  };
  operation("probe failed", "insert refused: disk full");
  ASSERT_NE(Exception::last_caught(), nullptr);
  EXPECT_EQ(Exception::last_caught()->full_reason(), "insert refused: disk full");
  EXPECT_EQ(Exception::last_caught()->type(), Exception::PROCESS_FAIL);
  EXPECT_FALSE(Exception::pending());
  operation(nullptr, nullptr);
  EXPECT_EQ(Exception::last_caught(), nullptr) << "a new operation starts without one";
  {
    ExceptionScope caller;  // a caller's scope around two operations
    operation(nullptr, "first");
    operation(nullptr, nullptr);
    ASSERT_NE(Exception::last_caught(), nullptr);
    EXPECT_EQ(Exception::last_caught()->reason(), "first");
  }
  {
    ExceptionScope released;
    InvalidX::raise("left pending");
    released.release();
  }
  EXPECT_EQ(Exception::last_caught(), nullptr) << "a released failure is not consumed";
  Exception::clear();
  std::thread([] { EXPECT_EQ(Exception::last_caught(), nullptr); }).join();
}

namespace {
void throws_invalid(void*, void*) { throw InvalidX("bad record %d", 3); }
void throws_std(void*, void*) { throw std::runtime_error("boom"); }
void counts(void* client, void* data) { *static_cast<int*>(client) += *static_cast<int*>(data); }

struct Deferred : SchedContext {
  int scheduled = 0;
  void schedule(const Callback& cb, void* data) override {
    ++scheduled;
    cb.run_now(data);
  }
};

std::string CaptureStderr(void (*fn)()) {
  testing::internal::CaptureStderr();
  fn();
  return testing::internal::GetCapturedStderr();
}
}  // namespace

TEST_F(ExceptionTest, CallbacksRunAndStopExceptions) {
  int total = 0, add = 5;
  Callback cb(&counts, &total);
  cb.exec(&add);
  cb.exec(&add);
  EXPECT_EQ(total, 10);
  Deferred ctx;
  Callback in_ctx(&counts, &total, &ctx);
  in_ctx.exec(&add);
  EXPECT_EQ(ctx.scheduled, 1);
  EXPECT_EQ(total, 15);
  EXPECT_TRUE(NO_CALLBACK.empty());
  NO_CALLBACK.exec(nullptr);

  EXPECT_EQ(CaptureStderr([] { Callback(&throws_invalid).exec(nullptr); }),
            "Uncaught InvalidX in callback: bad record 3\n");
  EXPECT_EQ(CaptureStderr([] { Callback(&throws_std).exec(nullptr); }),
            "Uncaught std::exception in callback: boom\n");
}

TEST(DebugStreamTest, SwitchedByEnvironmentAndFormatted) {
  unsetenv("QX_DEBUG_STREAMS");
  EXPECT_FALSE(DebugI18n("tolk_info").enabled()) << "off by default";
  setenv("QX_DEBUG_STREAMS", "tolk_error, other", 1);
  EXPECT_STREQ(Installation::getenv("QX_DEBUG_STREAMS"), "tolk_error, other");
  EXPECT_TRUE(ErrorI18n("tolk_error").enabled());
  EXPECT_TRUE(ErrorI18n("other").enabled());
  EXPECT_FALSE(DebugI18n("tolk_info").enabled());
  EXPECT_FALSE(DebugI18n("tolk").enabled()) << "whole names only";
  setenv("QX_DEBUG_STREAMS", "all", 1);
  EXPECT_TRUE(DebugI18n("tolk_info").enabled());
  unsetenv("QX_DEBUG_STREAMS");

  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ErrorI18n s("tolk_error", 0, f);
  s.print("not shown");
  s.set_enabled(true);
  s.print(12, "ERROR: Invalid time received:%s :\n", "x");
  s.print("two\nlines");
  s.print_value(Int(5));
  std::rewind(f);
  char buf[512] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(buf, n),
            "tolk_error[12]: ERROR: Invalid time received:x :\n"
            "tolk_error: two\n"
            "tolk_error: lines\n"
            "tolk_error: universal 2 primitive length 1 hex 05 integer 5\n");
}
