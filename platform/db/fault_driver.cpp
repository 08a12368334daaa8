#include "platform/db/fault_driver.h"

namespace qx::db {
namespace {

RWDBStatus injected() {
  return RWDBStatus(RWDBStatus::serverError, "injected fault", 0, 0, "injected", "");
}

// True when this call is the one the plan says to fail.
bool hit(int* countdown, int* counter, int* injectedCount) {
  ++*counter;
  if (*countdown <= 0) return false;
  if (--*countdown > 0) return false;
  ++*injectedCount;
  return true;
}

class FaultCursor : public Cursor {
 public:
  FaultCursor(std::unique_ptr<Cursor> c, std::shared_ptr<FaultPlan> p)
      : c_(std::move(c)), p_(std::move(p)) {}
  bool next(RWDBStatus* status) override {
    if (hit(&p_->failRow, &p_->rows, &p_->injected)) {
      *status = injected();
      return false;
    }
    return c_->next(status);
  }
  int columnCount() const override { return c_->columnCount(); }
  const std::string& columnName(int i) const override { return c_->columnName(i); }
  bool isNull(int i) override { return c_->isNull(i); }
  bool getInt(int i, int64_t* v) override { return c_->getInt(i, v); }
  bool viewText(int i, std::string_view* v) override { return c_->viewText(i, v); }
  bool viewBlob(int i, std::string_view* v) override { return c_->viewBlob(i, v); }
  bool getDateTime(int i, int64_t* millis, int32_t* offset) override {
    return c_->getDateTime(i, millis, offset);
  }

 private:
  std::unique_ptr<Cursor> c_;
  std::shared_ptr<FaultPlan> p_;
};

class FaultStatement : public Statement {
 public:
  FaultStatement(std::unique_ptr<Statement> s, std::shared_ptr<FaultPlan> p)
      : s_(std::move(s)), p_(std::move(p)) {}
  RWDBStatus execute(const std::vector<Param>& params, int64_t* rows) override {
    if (hit(&p_->failStatement, &p_->statements, &p_->injected)) return injected();
    return s_->execute(params, rows);
  }
  RWDBStatus query(const std::vector<Param>& params, std::unique_ptr<Cursor>* cursor) override {
    if (hit(&p_->failStatement, &p_->statements, &p_->injected)) return injected();
    std::unique_ptr<Cursor> inner;
    RWDBStatus s = s_->query(params, &inner);
    if (s.isValid()) *cursor = std::make_unique<FaultCursor>(std::move(inner), p_);
    return s;
  }
  Statement* inner() const { return s_.get(); }

 private:
  std::unique_ptr<Statement> s_;
  std::shared_ptr<FaultPlan> p_;
};

class FaultSession : public Session {
 public:
  FaultSession(std::unique_ptr<Session> s, std::shared_ptr<FaultPlan> p)
      : s_(std::move(s)), p_(std::move(p)) {}
  RWDBStatus prepare(const std::string& sql, size_t nparams,
                     std::unique_ptr<Statement>* out) override {
    std::unique_ptr<Statement> inner;
    RWDBStatus st = s_->prepare(sql, nparams, &inner);
    if (st.isValid()) *out = std::make_unique<FaultStatement>(std::move(inner), p_);
    return st;
  }
  RWDBStatus exec(const std::string& sql) override {
    if (hit(&p_->failStatement, &p_->statements, &p_->injected)) return injected();
    return s_->exec(sql);
  }
  RWDBStatus begin() override { return s_->begin(); }
  RWDBStatus commit() override {
    if (hit(&p_->failCommit, &p_->commits, &p_->injected)) {
      s_->rollback();  // as a server refusing the commit
      return injected();
    }
    return s_->commit();
  }
  RWDBStatus rollback() override { return s_->rollback(); }
  bool inTransaction() const override { return s_->inTransaction(); }
  RWDBStatus tableExists(const std::string& name, bool* exists) override {
    return s_->tableExists(name, exists);
  }
  RWDBStatus viewSources(const std::string& name, std::vector<std::string>* out) override {
    return s_->viewSources(name, out);
  }
  RWDBStatus fetchSchema(const std::string& name, std::vector<ColumnInfo>* out) override {
    return s_->fetchSchema(name, out);
  }
  bool alive() const override { return s_->alive(); }
  // Each statement of the group counts; one that is to fail fails the group before
  // anything of it runs (as a group whose statement fails leaves nothing).
  RWDBStatus executeGroup(std::span<Statement* const> statements,
                          std::span<const std::vector<Param>* const> params, int64_t* rows,
                          size_t* failed) override {
    std::vector<Statement*> inner;
    for (size_t i = 0; i < statements.size(); ++i) {
      if (hit(&p_->failStatement, &p_->statements, &p_->injected)) {
        *failed = i;
        return injected();
      }
      inner.push_back(static_cast<FaultStatement*>(statements[i])->inner());
    }
    return s_->executeGroup(inner, params, rows, failed);
  }

 private:
  std::unique_ptr<Session> s_;
  std::shared_ptr<FaultPlan> p_;
};

class FaultDriver : public Driver {
 public:
  FaultDriver(std::unique_ptr<Driver> d, std::shared_ptr<FaultPlan> p)
      : d_(std::move(d)), p_(std::move(p)) {}
  std::string serverType() const override { return d_->serverType(); }
  std::string placeholder(size_t n) const override { return d_->placeholder(n); }
  std::string columnDefinition(const std::string& q, RWDBValue::ValueType t, long len,
                               bool null) const override {
    return d_->columnDefinition(q, t, len, null);
  }
  std::string columnNote(const std::string& table, const std::string& q, RWDBValue::ValueType t,
                         long len) const override {
    return d_->columnNote(table, q, t, len);
  }
  // Never the same session as an unwrapped connection to the same file.
  std::string sessionKey() const override {
    std::string k = d_->sessionKey();
    return k.empty() ? k : "fault:" + k;
  }
  RWDBStatus connect(std::unique_ptr<Session>* out) override {
    std::unique_ptr<Session> inner;
    RWDBStatus s = d_->connect(&inner);
    if (s.isValid()) *out = std::make_unique<FaultSession>(std::move(inner), p_);
    return s;
  }

 private:
  std::unique_ptr<Driver> d_;
  std::shared_ptr<FaultPlan> p_;
};

}  // namespace

std::unique_ptr<Driver> make_fault_driver(std::unique_ptr<Driver> driver,
                                          std::shared_ptr<FaultPlan> plan) {
  return std::make_unique<FaultDriver>(std::move(driver), std::move(plan));
}

}  // namespace qx::db
