#include "platform/db/rwdb_connection.h"

#include "platform/db/impl.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_updater.h"

using qx::db::report;

namespace qx::db {
RWDBResult execute_sql(const std::shared_ptr<DatabaseImpl>& db,
                       const std::shared_ptr<ConnectionImpl>& c, const std::string& rawSql);
}

namespace {

RWDBStatus unusable(const std::shared_ptr<qx::db::ConnectionImpl>& c) {
  if (!c) return RWDBStatus(RWDBStatus::notInitialized, "the connection has not been opened");
  return c->status();
}

void trace(const std::shared_ptr<qx::db::ConnectionImpl>& c, const char* what) {
  if (auto db = c->database()) db->trace(what);
}

}  // namespace

RWDBStatus RWDBConnection::autoCommit(bool on) {
  if (!impl_ || !impl_->session()) return report(unusable(impl_));
  if (on == impl_->autoCommit) return RWDBStatus();
  if (on) {
    if (impl_->session()->inTransaction()) trace(impl_, "COMMIT");
    RWDBStatus s = impl_->commit();
    if (!s.isValid()) return report(s);
  }
  impl_->autoCommit = on;
  return RWDBStatus();
}

bool RWDBConnection::isAutoCommit() const { return impl_ ? impl_->autoCommit : true; }

RWDBStatus RWDBConnection::beginTransaction(const RWCString&) {
  if (!impl_ || !impl_->session()) return report(unusable(impl_));
  if (impl_->session()->inTransaction()) return RWDBStatus();
  trace(impl_, "BEGIN");
  return report(impl_->begin());
}

RWDBStatus RWDBConnection::commitTransaction(const RWCString&) {
  if (!impl_ || !impl_->session()) return report(unusable(impl_));
  if (impl_->session()->inTransaction()) trace(impl_, "COMMIT");
  return report(impl_->commit());
}

RWDBStatus RWDBConnection::rollbackTransaction(const RWCString&) {
  if (!impl_ || !impl_->session()) return report(unusable(impl_));
  if (impl_->session()->inTransaction()) trace(impl_, "ROLLBACK");
  return report(impl_->rollback());
}

bool RWDBConnection::inTransaction() const {
  return impl_ && impl_->session() && impl_->session()->inTransaction();
}

bool RWDBConnection::transactionLost() const { return impl_ && impl_->lost(); }

RWDBResult RWDBConnection::executeSql(const RWCString& sql) {
  if (!impl_) return RWDBResult(report(unusable(impl_)));
  return qx::db::execute_sql(impl_->database(), impl_, sql.str());
}

bool RWDBConnection::isValid() const {
  return impl_ && impl_->session() && impl_->session()->alive();
}

RWDBStatus RWDBConnection::status() const {
  if (!impl_ || !impl_->session()) return unusable(impl_);
  if (!impl_->session()->alive())
    return RWDBStatus(RWDBStatus::connectionLost, "the connection to the server is gone", 0, 0, "",
                      "", true);
  return RWDBStatus();
}

RWDBDatabase RWDBConnection::database() const {
  return impl_ ? RWDBDatabase(impl_->database()) : RWDBDatabase();
}

RWDBGroupStatement::RWDBGroupStatement(const RWDBInserter& s) : impl_(s.impl()) {}
RWDBGroupStatement::RWDBGroupStatement(const RWDBUpdater& s) : impl_(s.impl()) {}
RWDBGroupStatement::RWDBGroupStatement(const RWDBDeleter& s) : impl_(s.impl()) {}

RWDBResult RWDBConnection::execute(std::initializer_list<RWDBGroupStatement> statements,
                                   std::vector<long>* rows) {
  std::vector<qx::db::StatementImpl*> group;
  for (const RWDBGroupStatement& s : statements) {
    if (!s.impl()) {
      return RWDBResult(report(RWDBStatus(RWDBStatus::notInitialized, "no statement")));
    }
    group.push_back(s.impl().get());
  }
  return qx::db::StatementImpl::executeGroup(group, impl_, rows);
}
