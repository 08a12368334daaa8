// The mapper frame: process-wide state, the registry of live mappers, opening the
// database, transactions, the database error report, and the dispatch of record
// operations to the table objects.
#include "tolk.h"

#include <cstdio>
#include <iostream>
#include <string>

#include "infra/tolk_map/cache_journal.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_manager.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_tracer.h"
#include "platform/mgmt/ac_object.h"
#include "platform/mgmt/qxdb_connect_info.h"
#include "platform/value/exception.h"

// ---- Process-wide state, built in this order when the library is loaded (the
// identifiers and the record-class map live in oids.cpp).

ErrorI18n tolk_error("tolk_error", 0, stderr);
DebugI18n tolk_info("tolk_info", 0, stderr);
int tolk_map_debug = 0;

namespace {
RWDBDatabase& database_handle() {
  static RWDBDatabase db;
  return db;
}
RWDBConnection& connection_handle() {
  static RWDBConnection conn;
  return conn;
}
}  // namespace

RWDBDatabase& TolkMap::aDB_() { return database_handle(); }
RWDBConnection& TolkMap::aConnection() { return connection_handle(); }

const Asn1Value& TolkMap::def_owner_id() {
  static const Asn1Value root = [] {
    Asn1Value v;
    v.encode_octets(std::string_view("root"), TAG_GRAPHSTR);
    return v;
  }();
  return root;
}

TolkMap::~TolkMap() = default;

Callback no_op_cb(no_op_function, nullptr);

int LogMapper::default_log_record_size = 500;
uint32_t LogMapper::qxlogid_val = 0;
uint8_t LogMapper::qxdb_log_tx = 1;
Asn1ValueLogMapper_hash* LogMapper::LogHandles = nullptr;

// ---- Registry.

void Asn1ValueLogMapper_hash::store(const Asn1Value* log_id, LogMapper* mapper) {
  map_[std::string(log_id->encoding_view())] = mapper;
}

LogMapper* Asn1ValueLogMapper_hash::fetch(const Asn1Value* log_id) const {
  auto it = map_.find(std::string(log_id->encoding_view()));
  return it == map_.end() ? nullptr : it->second;
}

void Asn1ValueLogMapper_hash::destroy(const Asn1Value* log_id) {
  map_.erase(std::string(log_id->encoding_view()));
}

unsigned long hash_log_mapper(const Asn1Value& log_id) {
  return DataUnit::hash(log_id.to_data_unit());
}

unsigned long hash_log_record(const unsigned long& id) { return id; }

LogMapper* LogMapper::find_log_handle(const Asn1Value& logId) {
  if (LogHandles == nullptr || !logId) return nullptr;
  return LogHandles->fetch(&logId);
}

// ---- The database report and the empty callback.

void outputStatus(const RWDBStatus& status) {
  std::string message = status.message().str();
  for (size_t p = message.find("INFORMIX"); p != std::string::npos;
       p = message.find("INFORMIX", p)) {
    message.replace(p, 8, "database");
  }
  std::cout << "Component:        Tolk Mapper\n"
            << "Error code:       " << static_cast<int>(status.errorCode()) << "\n"
            << "Error message     " << message << "\n"
            << "Is terminal:      " << (status.isTerminal() ? "Yes" : "No") << "\n"
            << "Vendor error 1:   " << status.vendorError1() << "\n"
            << "Vendor error 2:   " << status.vendorError2() << "\n"
            << "Vendor message 1: " << status.vendorMessage1() << "\n"
            << "Vendor message 2: " << status.vendorMessage2() << "\n"
            << std::flush;
}

void no_op_function(void*, void* call_data) {
  if (tolk_map_debug == 0) return;
  if (call_data == nullptr) {
    std::cout << "**no_op_function** with null call data" << std::endl;
    return;
  }
  auto* lrv = static_cast<LogRespValue*>(call_data);
  tolk_error.print_value(lrv->get_log_id());
  if (RespValue* resp = lrv->get_resp_value()) {
    Asn1Value v;
    if (resp->find_value(loggingTimeOid, v)) std::cout << v.to_string();
    if (resp->find_value(ackStateOid, v)) std::cout << v.to_string();
  }
  std::cout << "**no_op_function**" << std::endl;
}

// ---- Database and transactions.

int LogMapper::set_up_database(DB_TYPE) {
  QXDBConnectInfo info(3);
  RWDBManager::setErrorHandler(outputStatus);
  if (!info.is_valid()) {
    tolk_error.print("Invalid database description: %s\n", info.error_string().data());
    ProcessFailX::raise("%s", info.error_string().data());
    return 0;
  }
  aDB_() =
      RWDBManager::database(info.get_server_type(), info.get_server_name(), info.get_user_name(),
                            info.get_user_password(), info.get_database_name(), "");
  if (!aDB_().isValid()) {
    ProcessFailX::raise("%s", aDB_().status().message().data());
    return 0;
  }
  aConnection() = aDB_().connection(1);
  aConnection().autoCommit(qxdb_log_tx == 0);
  if (tolk_map_debug != 0) {
    aDB_().tracer().stream(std::cout);
    aDB_().tracer().setOn(RWDBTracer::SQL);
  }
  return 1;
}

namespace {
bool is_informix() { return LogMapper::aDB_().serverType() == "INFORMIX"; }
}  // namespace

void LogMapper::set_xact_mode(COMMIT_MODE mode) {
  if (!aConnection().isValid()) return;
  if (mode == AUTO_COMMIT) {
    // Commits the open transaction; what it could not commit is rolled back.
    if (aConnection().autoCommit(true).isValid()) {
      qx::CacheJournal::committed();
    } else {
      qx::CacheJournal::rolled_back();
    }
  } else if (mode == EXPLICIT_COMMIT || mode == EXPLICIT_COMMIT_BATCH) {
    aConnection().autoCommit(false);
  }
}

// A commit that the server refuses (or whose outcome is unknown) is reported as a
// failure: the caller must not take its writes for stored.
int LogMapper::commit() {
  if (qxdb_log_tx == 0) return 1;
  ExceptionScope scope;
  if (!aConnection().isValid()) {
    ProcessFailX::raise("the database is not open");
    return 0;
  }
  RWDBStatus s = aConnection().commitTransaction();
  if (s.isValid()) {
    qx::CacheJournal::committed();
  } else {
    ProcessFailX::raise("the commit failed: %s", s.message().data());
    qx::CacheJournal::rolled_back();  // nothing of the transaction is stored
  }
  if (!is_informix()) {
    tolk_info.print(145, "Committing the transaction. \n");
    aConnection().beginTransaction();
  }
  return s.isValid() ? 1 : 0;
}

int LogMapper::abort() {
  qx::CacheJournal::rolled_back();
  if (!aConnection().isValid()) return 1;
  aConnection().rollbackTransaction();
  if (!is_informix() && !aConnection().isAutoCommit()) aConnection().beginTransaction();
  return 1;
}

const char* tolk_map_version() { return LOGMAPPER_VERSION; }

std::string qx::inner_reason() {
  const Exception* x = Exception::last_caught();
  return x != nullptr ? ": " + x->full_reason() : std::string();
}

std::string LogMapper::last_failure() {
  const Exception* x = Exception::last_caught();
  return x != nullptr ? x->full_reason() : std::string();
}

// ---- Construction and destruction.

void LogMapper::common_start() {
  pop_hash_ = std::make_unique<OidPopValues_hash>();
  rdr_hash_ = std::make_unique<DataUnitRdrInfo_hash>();
  LogMapper::store_all_pop_funcs();
  LogMapper::store_all_rdr_funcs();
  auto code = aDB_().status().errorCode();
  if (code == RWDBStatus::notInitialized || code == RWDBStatus::notConnected ||
      !aConnection().isValid()) {
    set_up_database(DEFAULT_DB);
  }
  // Without a database nothing below can work: fail once instead of at every statement.
  if (!aDB_().isValid() || !aConnection().isValid()) {
    RWDBStatus s = aDB_().isValid() ? aConnection().status() : aDB_().status();
    ProcessFailX::raise("the database cannot be opened: %s", s.message().data());
  }
}

LogMapper::LogMapper(LogMapper* owner, int) : owner_(owner) {
  pop_hash_ = std::make_unique<OidPopValues_hash>();
  rdr_hash_ = std::make_unique<DataUnitRdrInfo_hash>();
}

LogMapper::~LogMapper() {
  // The table objects go first: they point back at this mapper (those the journal
  // keeps too).
  journal_.reset();
  for (auto& t : tables_) t.reset();
  if (registered_ && LogHandles != nullptr && LogHandles->fetch(&log_id_) == this) {
    LogHandles->destroy(&log_id_);
  }
}

void LogMapper::store_all_pop_funcs() { register_codecs(*pop_hash_, qx::log_codec_specs()); }

void LogMapper::store_all_rdr_funcs() { register_readers(*rdr_hash_, qx::log_reader_specs()); }

bool LogMapper::is_attribute(const Oid& id) const { return pop_hash_->fetch(&id) != nullptr; }

qx::CacheJournal& LogMapper::journal() {
  if (!journal_) journal_ = std::make_unique<qx::CacheJournal>(*this);
  return *journal_;
}

// ---- Record operations: the base versions dispatch to the table object of the
// record's class; table objects override them with the database work.

namespace {

// A record identifier names one record of its log: a second row under it (in the same
// or another class's table) could no longer be shown, updated or deleted. The cache
// holds every record of the log, so a taken identifier is refused before any table is
// touched: false, with ConflictX, when the log holds `id` already.
bool record_id_free(const LogMapper::OarCache& cache, const char* log, int id) {
  if (cache.count(static_cast<uint32_t>(id)) == 0) return true;
  ConflictX::raise("log %s holds a record %u already", log, static_cast<unsigned>(id));
  tolk_error.print("The log holds a record %u already.\n", static_cast<unsigned>(id));
  return false;
}

}  // namespace

int LogMapper::WriteToDB(const int& id, const Oid& recordClass, const Oid& otherClass,
                         const Asn1Value& attributes, OarInfo* entry) {
  ExceptionScope scope;
  if (!record_id_free(oar_cache_, log_name_, id)) return 0;
  TABLE_TYPE type = tolk_oid_to_table.get_table_type(recordClass);
  LogMapper* table = tables_[type].get();
  if (table == nullptr) {
    ProcessFailX::raise("records of class %s have no table", recordClass.format().c_str());
  } else if (entry == nullptr) {
    InvalidX::raise("record %d written without its OarInfo", id);
  } else {
    unsigned char t = static_cast<unsigned char>(type);
    entry->set_table_type(t);
    if (table->WriteToDB(id, recordClass, otherClass, attributes, entry) == 1) {
      // From here on the cache owns the caller's very object.
      journal().entered(static_cast<uint32_t>(id));
      oar_cache_[static_cast<uint32_t>(id)].reset(entry);
      return 1;
    }
    qx::CacheJournal::check_lost();
  }
  ProcessFailX::raise("record of class %s not written%s", recordClass.format().c_str(),
                      qx::inner_reason().c_str());
  tolk_error.print(148, "Processing failure. The dbase write failed.\n");
  return 0;
}

int LogMapper::deleteDB(const int& id) {
  ExceptionScope scope;
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) {
    ProcessFailX::raise("record %d not cached", id);
    tolk_error.print(150, "Log hash: could not find the logrecordid. \n");
    return 0;
  }
  LogMapper* table = tables_[it->second->get_table_type() % NUM_TABLE_TYPES].get();
  if (table == nullptr || table->deleteDB(id) != 1) {
    qx::CacheJournal::check_lost();
    tolk_error.print(151, "Log hash: log record deletion failure. \n");
    return 0;
  }
  journal().left(it->first, std::move(it->second));
  oar_cache_.erase(it);
  return 1;
}

int LogMapper::ReadfromDB(const int& id, RespValue& response) {
  ExceptionScope scope;
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  LogMapper* table = it == oar_cache_.end()
                         ? nullptr
                         : tables_[it->second->get_table_type() % NUM_TABLE_TYPES].get();
  if (table == nullptr) {
    ProcessFailX::raise("record %d not cached", id);
    if (tolk_map_debug != 0) std::cout << "A Read from the database failed." << std::endl;
    return 0;
  }
  return table->ReadfromDB(id, response);
}

int LogMapper::get_all_log_recs(Callback& cb, int flag) {
  damaged_records_ = 0;
  for (auto& t : tables_) {
    if (t && !t->get_all_log_recs(cb, flag)) return 0;  // broke off: no end announced
  }
  cb.exec(nullptr);
  if (damaged_records_ == 0) return 1;
  ProcessFailX::raise("%lu records of log %s do not read back", damaged_records_, log_name_);
  return 0;
}

int LogMapper::get_all_almsvc_recs(Callback& cb, int flag) {
  for (auto& t : tables_) {
    if (t && !t->get_all_almsvc_recs(cb, flag)) return 0;
  }
  cb.exec(nullptr);
  return 1;
}
