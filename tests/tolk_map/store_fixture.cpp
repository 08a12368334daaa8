#include "tests/tolk_map/store_fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_manager.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/mgmt/qxdb_connect_info.h"

namespace qx::test {

Asn1Value Int(long v) {
  Asn1Value a;
  a.encode_int(v);
  return a;
}
Asn1Value Unsigned(unsigned long v) {
  Asn1Value a;
  a.encode_unsigned(v);
  return a;
}
Asn1Value Enum(long v) {
  Asn1Value a;
  a.encode_enum(v);
  return a;
}
Asn1Value Graph(const std::string& s) {
  Asn1Value a;
  a.encode_octets(s, TAG_GRAPHSTR);
  return a;
}
Asn1Value Octets(const std::string& s) {
  Asn1Value a;
  a.encode_octets(s, TAG_OCTSTR);
  return a;
}
Asn1Value Bool(bool b) {
  Asn1Value a;
  a.encode_bool(b);
  return a;
}
Asn1Value GenTime(const std::string& text) {
  Asn1Value a;
  a.encode_octets(text, TAG_GENTIME);
  return a;
}
Asn1Value IntSet(const std::vector<long>& v) {
  Asn1Value set;
  set.start_construct(TAG_SET);
  for (long n : v) set.add_component(Int(n));
  return set;
}
Asn1Value AttrList(const std::vector<std::pair<Oid, Asn1Value>>& attrs) {
  Asn1Value list;
  list.start_construct(TAG_SET);
  for (const auto& [id, value] : attrs) {
    Asn1Value pair;
    pair.start_construct(TAG_SEQ);
    Asn1Value oid;
    oid.encode_oid(id);
    pair.add_component(oid);
    pair.add_component(value);
    list.add_component(pair);
  }
  return list;
}

Asn1Value Oidv(const char* dotted, Asn1Tag tag) {
  Asn1Value v;
  v.encode_oid(Oid(dotted), tag);
  return v;
}
Asn1Value Set(std::initializer_list<Asn1Value> items, Asn1Tag tag) {
  Asn1Value s;
  s.start_construct(tag);
  for (const Asn1Value& i : items) s.add_component(i);
  return s;
}
Asn1Value Dn(const std::string& cn) {
  return Set({Set({Set({Oidv("2.5.4.3"), Graph(cn)}, TAG_SEQ)})}, TAG_CTX2);
}

std::map<unsigned long, std::string> LookupRows(RWDBReader& r, size_t* columns) {
  std::map<unsigned long, std::string> out;
  while (r()) {
    if (columns != nullptr) *columns = r.numberOfColumns();
    unsigned long id = 0;
    RWCString severity;
    r >> id >> severity;
    out[id] = severity.str();
  }
  return out;
}

unsigned char CachedClearState(LogMapper* m, int id) {
  unsigned long moi = 0;
  unsigned char state = 9, severity = 9;
  EXPECT_EQ(m->ReadOarInfo(id, moi, state, severity), 1);
  return state;
}

Callback& TakeLogs() {
  static Callback cb([](void*, void* data) { delete static_cast<RespValue*>(data); });
  return cb;
}

int WriteRecord(LogMapper* m, int id, const Oid& cls, const Asn1Value& list, unsigned long moi) {
  auto* entry = new OarInfo;
  entry->set_moiid(moi);
  int rc = m->WriteToDB(id, cls, cls, list, entry);
  if (rc != 1) delete entry;
  return rc;
}

Attrs ReadRecord(LogMapper* m, int id, int* rc) {
  RespValue r;
  int result = m->ReadfromDB(id, r);
  if (rc != nullptr) *rc = result;
  Attrs out;
  for (const auto& e : r) out.emplace_back(e->id(), e->value().copy());
  return out;
}

Asn1Value ValueOf(const Attrs& attrs, const Oid& id) {
  for (const auto& [a, v] : attrs) {
    if (a == id) return v;
  }
  return Asn1Value();
}

namespace {

RWDBDatabase open_url(const std::string& url) {
  QXDBConnectInfo info = QXDBConnectInfo::from_url(url);
  return RWDBManager::database(info.get_server_type(), info.get_server_name(), info.get_user_name(),
                               info.get_user_password(), info.get_database_name(), "");
}

std::atomic<int> g_counter{0};

}  // namespace

void StoreTest::SetUp() {
  int n = g_counter++;
  if (postgres()) {
    const char* base = std::getenv("QXDB_TEST_PG_URL");
    if (base == nullptr || *base == '\0') GTEST_SKIP() << "QXDB_TEST_PG_URL is not set";
    pg_base_url_ = base;
    pg_db_ = "tolk_" + std::to_string(getpid()) + "_" + std::to_string(n);
    RWDBDatabase admin = open_url(pg_base_url_);
    ASSERT_TRUE(admin.isValid()) << admin.status().message();
    RWDBResult r = admin.executeSql("CREATE DATABASE " + pg_db_, admin.connection());
    ASSERT_TRUE(r.isValid()) << r.status().message();
    url_ = pg_base_url_.substr(0, pg_base_url_.rfind('/') + 1) + pg_db_;
  } else {
    file_ = (std::filesystem::temp_directory_path() /
             ("tolk_" + std::to_string(getpid()) + "_" + std::to_string(n) + ".db"))
                .string();
    std::filesystem::remove(file_);
    url_ = "sqlite:" + file_;
  }
  setenv("QXDB_URL", url_.c_str(), 1);
  qx::tolk_reset_for_tests();
}

void StoreTest::TearDown() {
  kept_.clear();
  qx::tolk_reset_for_tests();
  RWDBManager::setDriverWrapper(nullptr);
  if (!pg_db_.empty()) {
    RWDBDatabase admin = open_url(pg_base_url_);
    admin.executeSql("DROP DATABASE IF EXISTS " + pg_db_ + " WITH (FORCE)", admin.connection());
  }
  if (!file_.empty()) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::filesystem::remove(file_ + suffix);
  }
}

void StoreTest::Restart() {
  kept_.clear();
  qx::tolk_reset_for_tests();
}

std::shared_ptr<qx::db::FaultPlan> StoreTest::InjectFaults() {
  auto plan = std::make_shared<qx::db::FaultPlan>();
  RWDBManager::setDriverWrapper([plan](std::unique_ptr<qx::db::Driver> d) {
    return qx::db::make_fault_driver(std::move(d), plan);
  });
  Restart();
  return plan;
}

LogMapper* StoreTest::Keep(LogMapper* m) {
  kept_.emplace_back(m);
  return m;
}

LogMapper* StoreTest::NewLog(long id, const std::vector<std::pair<Oid, Asn1Value>>& attrs) {
  LogMapper* m = Keep(new LogMapper(Int(id), AttrList(attrs), "", Graph("root")));
  EXPECT_TRUE(m->created()) << LogMapper::last_failure();
  return m;
}

LogMapper* StoreTest::StartUp(long id) {
  EXPECT_EQ(LogMapper::init_log_handles(TakeLogs(), no_op_cb), 1) << LogMapper::last_failure();
  LogMapper* m = LogMapper::find_log_handle(Int(id));
  return m == nullptr ? nullptr : Keep(m);
}

LogMapper* StoreTest::Load(long id) {
  LogMapper* m = Keep(new LogMapper());
  EXPECT_EQ(m->load_table(Int(id)), 1) << LogMapper::last_failure();
  EXPECT_EQ(m->get_all_almsvc_recs(no_op_cb, 1), 1);
  return m;
}

namespace {
template <class T>
long count_rows(const char* table, const char* column, const T& value) {
  RWDBTable t = LogMapper::aDB_().table(table);
  RWDBSelector sel = LogMapper::aDB_().selector();
  sel << t[column];
  sel.where(t[column] == RWDBExpr(value));
  RWDBReader r = sel.reader(LogMapper::aConnection());
  long n = 0;
  while (r()) ++n;
  return n;
}
}  // namespace

long StoreTest::CountRows(const char* table, const char* column, const std::string& value) {
  return count_rows(table, column, RWCString(value));
}

long StoreTest::CountRows(const char* table, const char* column, unsigned long value) {
  return count_rows(table, column, value);
}

std::string StoreTest::RowColumn(const std::string& table, unsigned long id, const char* column,
                                 bool octets) {
  RWDBTable t = LogMapper::aDB_().table(table);
  RWDBSelector sel = LogMapper::aDB_().selector();
  sel << t[column];
  sel.where(t["logRecordId"] == RWDBExpr(id));
  RWDBReader r = sel.reader(LogMapper::aConnection());
  if (!r()) return "no row";
  RWDBNullIndicator null;
  r >> null;
  if (null.isNull()) return "NULL";
  if (octets) {
    RWDBBlob b;
    r >> b;
    return b.bytes();
  }
  RWCString text;
  r >> text;
  return text.str();
}

bool StoreTest::SetColumn(const std::string& table, unsigned long id, const char* column,
                          const RWDBExpr& value) {
  RWDBTable t = LogMapper::aDB_().table(table);
  RWDBUpdater up = t.updater();
  up.set(column, value);
  up.where(t["logRecordId"] == RWDBExpr(id));
  return up.execute(LogMapper::aConnection()).isValid();
}

bool StoreTest::DeleteRow(const std::string& table, unsigned long id) {
  RWDBTable t = LogMapper::aDB_().table(table);
  RWDBDeleter del = t.deleter();
  del.where(t["logRecordId"] == RWDBExpr(id));
  return del.execute(LogMapper::aConnection()).isValid();
}

bool StoreTest::Exists(const std::string& name) {
  return LogMapper::aDB_().table(name).exists(LogMapper::aConnection());
}

bool StoreTest::Log::find(const Oid& attr, Asn1Value& v) const {
  for (const auto& [id, value] : attrs) {
    if (id == attr) {
      v = value;
      return true;
    }
  }
  return false;
}

Asn1Value StoreTest::Log::get(const Oid& attr) const {
  Asn1Value v;
  find(attr, v);
  return v;
}

std::vector<StoreTest::Log> StoreTest::AllLogs() {
  std::vector<Log> logs;
  static const Oid kLogId("2.9.3.2.7.2");
  Callback cb(
      [](void* client, void* data) {
        auto* out = static_cast<std::vector<Log>*>(client);
        if (data == nullptr) return;
        auto* resp = static_cast<RespValue*>(data);
        Log log;
        for (const auto& e : *resp) {
          if (e->id() == kLogId) {
            log.id = e->value().copy();
          } else {
            log.attrs.emplace_back(e->id(), e->value().copy());
          }
        }
        out->push_back(std::move(log));
      },
      &logs);
  EXPECT_EQ(LogMapper::get_all_logs(cb), 1);
  return logs;
}

}  // namespace qx::test
