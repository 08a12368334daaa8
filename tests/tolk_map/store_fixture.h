// One test body, several stores: a fixture parameterised by the store kind. Each test
// gets a store of its own (a temporary SQLite file, or a PostgreSQL database created
// for it on the server of QXDB_TEST_PG_URL, skipped when that is unset), and can
// "restart": forget every mapper and all process-wide state and open the store again.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/fault_driver.h"
#include "platform/db/rwdb_expr.h"
#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"
#include "tolk.h"

namespace qx::test {

using Attrs = std::vector<std::pair<Oid, Asn1Value>>;

// Value builders.
Asn1Value Int(long v);
Asn1Value Unsigned(unsigned long v);
Asn1Value Enum(long v);
Asn1Value Graph(const std::string& s);
Asn1Value Octets(const std::string& s);
Asn1Value Bool(bool b);
Asn1Value GenTime(const std::string& text);
Asn1Value IntSet(const std::vector<long>& v);
// A SET of SEQUENCE {identifier, value}.
Asn1Value AttrList(const std::vector<std::pair<Oid, Asn1Value>>& attrs);
Asn1Value Oidv(const char* dotted, Asn1Tag tag = TAG_OID);
// A constructed value of the items (a SET unless tagged otherwise).
Asn1Value Set(std::initializer_list<Asn1Value> items, Asn1Tag tag = TAG_SET);
// A distinguished name [2] of one RDN commonName=text.
Asn1Value Dn(const std::string& cn);

// The rows of an alarm lookup's reader: record identifier to its second column's text
// (the perceived severity); `columns` (when given) gets the number of columns.
std::map<unsigned long, std::string> LookupRows(RWDBReader& r, size_t* columns = nullptr);
// The cached clear state of a record of `m` (a failure of the test when not cached).
unsigned char CachedClearState(LogMapper* m, int id);
// A start-up log callback that takes the logs' attributes and drops them.
Callback& TakeLogs();
// Writes record `id` of class `cls` (its cache entry naming managed object `moi`):
// WriteToDB's result.
int WriteRecord(LogMapper* m, int id, const Oid& cls, const Asn1Value& list, unsigned long moi = 0);
// The record as ReadfromDB hands it, in order; `rc` (when given) gets its result.
Attrs ReadRecord(LogMapper* m, int id, int* rc = nullptr);
// The value of the first attribute `id` of `attrs` (empty when there is none).
Asn1Value ValueOf(const Attrs& attrs, const Oid& id);

class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Forgets every mapper made with Keep() and all process-wide state, as a new
  // process would find it; the store stays.
  void Restart();
  // Keeps a mapper alive until Restart or the end of the test.
  LogMapper* Keep(LogMapper* m);
  // A new log of INTEGER identifier `id` with the attributes of `attrs`, owned by root,
  // kept (a failure of the test when it is not created).
  LogMapper* NewLog(long id = 7, const std::vector<std::pair<Oid, Asn1Value>>& attrs = {});
  // Log `id` loaded from the store as start-up loads it, its alarms entered in its cache.
  LogMapper* Load(long id = 7);
  // Start-up as a new process runs it (after Restart): every stored log rebuilt; log
  // `id`'s mapper, kept, or null.
  LogMapper* StartUp(long id = 7);
  // Restarts with the store opened through a fault-injecting driver, which follows the
  // plan returned until the end of the test.
  std::shared_ptr<qx::db::FaultPlan> InjectFaults();

  // The number of rows of a table whose column `column` equals `value` (texts).
  long CountRows(const char* table, const char* column, const std::string& value);
  long CountRows(const char* table, const char* column, unsigned long value);
  // One column of the first row of a table whose logRecordId is `id`, straight from the
  // table: its text (with `octets`, its bytes), "NULL", or "no row".
  std::string RowColumn(const std::string& table, unsigned long id, const char* column,
                        bool octets = false);
  // Sets a column of the row of a table whose logRecordId is `id` (DeleteRow: deletes the
  // row) past the mapper, as a hand edit or damage would; whether that worked.
  bool SetColumn(const std::string& table, unsigned long id, const char* column,
                 const RWDBExpr& value);
  bool DeleteRow(const std::string& table, unsigned long id);
  // Whether a table or view exists.
  bool Exists(const std::string& name);

  // Every stored log, as get_all_logs hands them: (log identifier, RespValue).
  struct Log {
    Asn1Value id;
    std::vector<std::pair<Oid, Asn1Value>> attrs;
    bool find(const Oid& attr, Asn1Value& v) const;
    Asn1Value get(const Oid& attr) const;  // empty when absent
  };
  std::vector<Log> AllLogs();

  bool postgres() const { return GetParam() == "postgresql"; }
  const std::string& url() const { return url_; }

 private:
  std::string url_;
  std::string file_;
  std::string pg_base_url_;
  std::string pg_db_;
  std::vector<std::unique_ptr<LogMapper>> kept_;
};

// Instantiates a StoreTest-derived suite on both stores.
#define QX_STORE_TESTS(Suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Stores, Suite, ::testing::Values("sqlite", "postgresql"), \
                           [](const auto& store) { return store.param; })

}  // namespace qx::test
