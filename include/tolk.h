// The log mapper: keeps the logs of a management process and their log records in a
// relational database and hands them back.
//
// One LogMapper stands for one log. It keeps the log's own attributes in a row of the
// shared log table "Log" (and ten rows of the internal log table "QxLog"), and owns one
// table object per record class (TABLE_TYPE), each keeping that class's records of the
// log in a table of its own. Every table object is itself a LogMapper.
//
// Failure model: the operations a caller calls open their own exception scope, write
// their message on the debug streams tolk_error / tolk_info and report by their result,
// 1 for success and 0 for failure; LogMapper::last_failure() then tells why. A constructor that
// fails leaves the internal record-table name empty (get_table_name() == "", created() false).
//
// Thread-safety: none. The registry of live mappers, the counters, the database handle
// and the one shared connection are process-wide and unguarded: the library is used
// from one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <string>
#include <unordered_map>
#include <vector>

#include "oar_info.h"
#include "platform/db/rw_cstring.h"
#include "platform/value/asn1_value.h"
#include "platform/value/callback.h"
#include "platform/value/oid.h"
#include "resp_value.h"

class RWDBDatabase;
class RWDBConnection;
class RWDBReader;
class RWDBStatus;
class RWDBTable;
class RWDBUpdater;
class ACDbObject;

class LogMapper;
class OidPopValues_hash;
class DataUnitRdrInfo_hash;
class LogMapperImpl;
class QxLogImpl;
class Exception;
namespace qx {
struct LogStatements;
class AlarmHistory;
class CacheJournal;
void damaged_record(LogMapper&, const char*, unsigned long, const Exception*);
}  // namespace qx

// The record classes that have a table of their own, and the blob table for every
// other class. Stored 16 bits wide where a record's type is kept.
enum TABLE_TYPE : unsigned short {
  QXALARM_TABLE = 0,
  OBJCRT_TABLE = 1,
  OBJDLT_TABLE = 2,
  RELCHG_TABLE = 3,
  ATTRVALCHG_TABLE = 4,
  SECALM_TABLE = 5,
  STATECHG_TABLE = 6,
  INTRNET_TABLE = 7,
  ZKALARM_TABLE = 8,
  BLOB_TABLE = 9,
};
inline constexpr int NUM_TABLE_TYPES = 10;

// Transaction mode of set_xact_mode: 0 auto-commit; 1 and 2 explicit transactions.
enum COMMIT_MODE { AUTO_COMMIT = 0, EXPLICIT_COMMIT = 1, EXPLICIT_COMMIT_BATCH = 2 };

// Argument of set_up_database; not used (every caller passes 1).
enum DB_TYPE { DEFAULT_DB = 1 };

inline constexpr int MAXATTRIBUTES = 40;
inline constexpr int TOLK_MAXNAME_LEN = 30;

using OidArray = std::vector<Oid>;
using Asn1ValueArray = std::vector<Asn1Value>;

// The registry of live mappers: log identifier value (by its encoding) to mapper. It
// owns neither; a mapper registers itself and removes its entry in its destructor.
class Asn1ValueLogMapper_hash {
 public:
  void store(const Asn1Value* log_id, LogMapper* mapper);
  LogMapper* fetch(const Asn1Value* log_id) const;
  void destroy(const Asn1Value* log_id);
  size_t entries() const { return map_.size(); }

 private:
  std::unordered_map<std::string, LogMapper*> map_;
};

// The abstract base: the process-wide database handle and its one connection.
class TolkMap {
 public:
  virtual ~TolkMap();

  // The database, opened by LogMapper::set_up_database, and the connection every
  // statement of the library runs on.
  static RWDBDatabase& aDB_();
  static RWDBConnection& aConnection();
  // Default owner of the per-log access-control objects: GraphicString "root".
  static const Asn1Value& def_owner_id();
};

class LogMapper : public TolkMap {
 public:
  // ---- Construction.

  // A scratch mapper that reaches the two shared tables (creating them when missing).
  // It registers nothing and does not create the registry of live mappers.
  LogMapper();

  // Creates the log named by `logInstance` (an INTEGER or GraphicString log
  // identifier, a SEQUENCE holding the logId attribute, or a [2] distinguished name)
  // with the attributes of `attributeList` (a SET of SEQUENCE {identifier, value}),
  // its per-log access-control object owned by `ownerId` (the octets; "root" when
  // empty). The log's internal number comes from the database ("AlarmLog" has 1).
  // Refused: a malformed list, a value that does not fit its attribute, an attribute
  // the platform does not know (known ones without a column are passed over), a bad
  // or empty identifier, a name some log has already. On failure nothing of the log is
  // left in the database, nothing is registered and the internal record-table name is
  // empty. Commits the transaction.
  LogMapper(const Asn1Value& logInstance, const Asn1Value& attributeList, RWCString name,
            const Asn1Value ownerId);

  // As above, with the log identifier taken from the first attribute of the list
  // (which must be logId) and the owner "root".
  LogMapper(const Asn1Value& attributeList, RWCString name);

  // Removes the mapper from the registry; drops nothing in the database.
  ~LogMapper() override;

  LogMapper(const LogMapper&) = delete;
  LogMapper& operator=(const LogMapper&) = delete;

  // ---- Static entry points.

  // Start-up: opens the database, rebuilds every stored log (registered mapper with its
  // table objects), hands each log's attributes to logCb (a RespValue* that the callee
  // owns; null ends the list). Returns 1, or 0 when already done or on failure. A log
  // that cannot be loaded (damaged, unreadable) is reported on tolk_error with its name
  // and reason and left out; every other log is loaded and the list ended all the same,
  // and the result is 0 (last_failure() lists the logs left out). A row of the log table
  // whose LogIdType is neither "integer" nor "string" is no log of this library: passed
  // over. alarmCb hears of a log (a LogRespValue* with its identifier for each alarm
  // table, then null) only once the whole log has loaded, never of a log left out.
  static int init_log_handles(Callback& logCb, Callback& alarmCb);
  // Hands a RespValue* of every stored log's attributes (logId first) to `cb`, deleted
  // when the callback returns; then null. Returns 1, 0 on failure.
  static int get_all_logs(Callback& cb);
  // The live mapper of that log, or null.
  static LogMapper* find_log_handle(const Asn1Value& logId);
  // The platform's number of a managed object instance (an ObjectInstance value): the
  // number an alarm record about that object carries (OarInfo::set_moiid) and the
  // clear-all and lookups take; the same in every process sharing the store. A new
  // instance gets the next number, in the current transaction on the embedded store;
  // with `allocate` false it gets none and the result is 0. -1 on failure.
  static long moi_number(const Asn1Value& instance, bool allocate = true);
  // 0: auto-commit on; 1, 2: off; other values change nothing.
  static void set_xact_mode(COMMIT_MODE mode);
  // Commits (and begins the next transaction): 1, or 0 when the server refused the
  // commit or its outcome is unknown. Does nothing (1) in auto-commit mode.
  static int commit();
  // Rolls back (and begins the next transaction). 1.
  //
  // The alarm state caches follow the transaction: when it does not commit (abort(), a
  // commit that fails, or a transaction the database rolled back on its own after a
  // failed statement, whose commit then fails), every cache is put back as the tables
  // are: records written since the last commit leave it (their entries are deleted),
  // records deleted come back with their very entries, and clear states are as before.
  static int abort();

  // Why the operation that last reported failure on this thread failed, for messages to
  // people: the reason of the failure it caught, whole, with the database's own message
  // where the database refused (for example "insert into qxi3objcrt refused: database or
  // disk is full"). Read it right after the failure; an operation called while no other
  // is running starts with it empty. The wording is not part of the interface.
  static std::string last_failure();

  // Opens the database from the connection description (QXDB_URL). 1 on success.
  int set_up_database(DB_TYPE type);

  // ---- Log operations.

  // Makes this scratch mapper into the mapper of the stored log `logId` and registers
  // it (unless another mapper is registered under that identifier). 1 on success; 0
  // when the log has no row, or is damaged (a record table missing: last_failure() and
  // tolk_error name it). A damaged log keeps its name and number (created()), so that
  // it can be deleted.
  int load_table(const Asn1Value& logId);
  // 1 when the log table holds a row of exactly this log's name, else 0.
  int table_exists(const Asn1Value& logId);
  // Changes the log's attributes in its row (the discriminator construct included; the
  // row and its internal number stay); the array arguments are not read. 1 on success;
  // 0, with nothing changed, for a list refused as by the creating constructor. The
  // caller commits.
  virtual int UpdateDB(const Asn1Value& attributeList, const OidArray& ids,
                       const Asn1ValueArray& values);
  // Deletes the log: its access-control object, security view, record tables and
  // synonyms (also those of a log loaded after a restart), and, with keepRows 0, its
  // rows of "Log" and "QxLog". 1 on success. The caller commits, then destroys the
  // mapper.
  int deleteDB(char keepRows);

  // Splits a SET of SEQUENCE {identifier, value}; false on a malformed list.
  static bool DecomposeAVA(const Asn1Value& list, OidArray& ids, Asn1ValueArray& values);

  // The log name: decimal INTEGER identifier, the octets of a string identifier, or
  // the distinguished name.
  const char* get_logid() const { return log_name_; }
  // The identifier value of the log.
  const Asn1Value& get_log_id_value() const { return log_id_; }
  // The internal record-table name "qxi" + number; empty when construction failed.
  const std::string& get_table_name() const { return table_name_; }
  bool created() const { return !table_name_.empty(); }
  // True while the log is being created: only then are its record tables created. A
  // stored log whose record table is missing is damaged, and opening it fails.
  bool creating() const { return creating_; }
  uint32_t get_qxlogid() const { return qxlogid_; }
  const std::string& get_logid_type() const { return logid_type_; }
  // Size and count of the records loaded into the alarm state cache.
  unsigned long get_initial_log_size() const { return log_size_; }
  unsigned long get_initial_log_record_count() const { return num_records_; }
  // The table object of a type, or null when that table class does not exist yet.
  LogMapper* get_table(TABLE_TYPE type) const { return tables_[type].get(); }

  // ---- Retention: the oldest records give way (retention.cpp).
  //
  // A record's age is its logging time (loggingTime; a record without one counts as
  // older than any with one), then its identifier. The log's size is what the mapper
  // counts it as: the nominal size of each record it knows (500 octets a record), the
  // measure maxLogSize and the capacity thresholds are taken in.

  // What a purge deletes: the oldest records, with `keep` the oldest of all but the
  // newest `keep` records the mapper knows, with `before` (a GeneralizedTime) those
  // logged before it; with both, the records that both name. Outstanding alarms (not
  // cleared: clearState other than cleared) stay unless `outstanding`; they still count
  // among the records kept.
  struct PurgeOptions {
    long keep = -1;    // -1: no count
    Asn1Value before;  // empty: no time
    bool outstanding = false;
    unsigned long batch = 10000;  // records deleted and committed together
  };
  struct PurgeResult {
    unsigned long purged = 0;
    unsigned long batches = 0;
  };
  // Deletes the records `options` names, oldest first, in batches each committed on its
  // own (work of the caller's open transaction is committed with the first): a purge
  // stopped at any point has deleted only records it was to delete, and its cache entries
  // with them. The alarm state cache, the number of records, the size and the lowest
  // and highest identifiers follow. 1 on success; 0 (the reason in last_failure()) for
  // a bad time, or when a statement or commit fails (the batches committed before stay
  // done).
  int purge(const PurgeOptions& options, PurgeResult* result = nullptr);

  // What enforce found and did.
  struct EnforceResult {
    unsigned long size = 0;      // octets, after any purge
    unsigned long max_size = 0;  // maxLogSize; 0: no limit
    unsigned long records = 0;
    std::string full_action;               // "wrap", "halt" or empty
    unsigned long purged = 0;              // by wrap
    bool full = false;                     // the log is at or above its maximum size
    std::vector<long> thresholds_crossed;  // capacity thresholds (percent) crossed now
    std::string availability;              // the availability status stored now
  };
  // Applies the log's own attributes: with logFullAction wrap and a size above
  // maxLogSize, purges the oldest records down to it (outstanding alarms stay); with
  // halt and the log full, adds logFull to its stored availabilityStatus (and takes it
  // away again once the log is no longer full) so that the caller refuses writes. Each
  // capacityAlarmThreshold (percent of maxLogSize) the size has reached is reported once,
  // and again only after the size fell below it; which were reported is kept in the store
  // ("QxLogCapacity"), so that a restart reports none twice. Commits. 1 on success.
  int enforce(EnforceResult* result);
  // The log's size as enforce measures it.
  unsigned long current_log_size() const;

  // ---- Virtual operations (table objects override them).

  virtual int Cook(int) { return 1; }
  virtual void store_all_pop_funcs();
  virtual void store_all_rdr_funcs();
  // Hands every record of the log to `cb` (with flag 1: as a LogRespValue* with the
  // log's identifier, the record entered in the cache), then null; 1. A record whose
  // stored values do not read back (its blob does not decode) is reported on tolk_error
  // (log, record, reason), left out of the walk and, with flag 1, cached all the same,
  // so that it can still be deleted: the walk goes on, ends with null and returns 0. A
  // walk that breaks off (the database stops answering) returns 0 without the null. A
  // table object's own walk returns 1 when it read every row; its damaged records are
  // counted in damaged_records() of its owner.
  virtual int get_all_log_recs(Callback& cb, int flag);
  virtual int get_all_almsvc_recs(Callback& cb, int flag);
  virtual int get_nominal_log_record_size() const { return default_log_record_size; }
  virtual int get_all_log_recs(Callback& cb) { return get_all_log_recs(cb, 0); }
  virtual int get_all_almsvc_recs(Callback& cb) { return get_all_almsvc_recs(cb, 1); }
  // Writes record `id` of class `recordClass` with the attributes of the list into the
  // table of its class. `entry` (allocated with new; its managed-object number, clear
  // state and severity set by the caller) gets the record's table type; on success the
  // alarm state cache owns that very object: the caller may keep reading it while the
  // record is cached and must not delete it (an abort that undoes the write deletes it).
  // On failure (0) the caller keeps it. A
  // record identifier names one record of the log: a write under one the log holds
  // already, whatever its class, is refused (0). What a write accepts reads back as
  // written: a value its column cannot hold whole is kept in the record's blob (an
  // alarm's acknowledgement and clear attributes excepted: refused), and a time that is
  // no real time leaves its column NULL.
  virtual int WriteToDB(const int& id, const Oid& recordClass, const Oid& otherClass,
                        const Asn1Value& attributes, OarInfo* entry);
  virtual int deleteDB(const int& id);
  virtual int ClearRecs() { return 1; }
  virtual int ReadfromDB(const int& id, RespValue& response);
  virtual int ReadfromDB() { return 1; }
  // True when the attribute has a codec entry in this object's registry.
  virtual bool is_attribute(const Oid& id) const;

  // ---- Record operations dispatched by record identifier through the alarm state
  // cache (a record that is not cached fails with 0 and touches no table).

  // Changes attributes of a record; the variant with `response` also reports each
  // named attribute with its new and stored value.
  virtual int UpdateDB(const int& id, const Asn1Value& attributes);
  virtual int UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response);
  // Acknowledging and clearing alarms, and the alarm lookups; the alarm tables do the
  // database work (their header, alarmlog.h, tells what each stores), and so does the
  // blob table for records of every other class (blob.h). Each fails (0) for a record
  // or class that keeps no alarms, and for a list that holds an attribute the operation
  // does not take or a value its column cannot hold: nothing is then executed.
  //
  // Acknowledges record `id` (ackState, ackTime, ackOperator, ackText); `response` gets
  // each attribute set with a fixed old value (the blob table: with the value its
  // record held, and it takes any attribute into the record).
  virtual int UpdateDBAck(const int& id, const Asn1Value& value, RespValue& response);
  // Clears record `id` (clearState, clearTime, clearOperator, clearText); the cached
  // clear state becomes the state stored.
  virtual int UpdateDBClear(const int& id, const Asn1Value& value, RespValue& response);
  // Marks record `id` cleared in the cache only (no database work).
  virtual int UpdateDBClear(const int& id);
  // Clears every outstanding alarm of class `recordClass` about managed object `id` that
  // matches the list's eventType, probableCause and specificProblems; the cached states
  // are left to the caller (UpdateDBClear(id) for each record it selected). For a class
  // kept by the blob table, the alarms cleared are those the last getOarInfo of that
  // class selected (call it with the criteria first), with the list's attributes, and
  // the cached states follow.
  virtual int UpdateDBClearAlarms(const int id, const Oid& recordClass, const Asn1Value& value);
  // The outstanding alarms of class `recordClass` about managed object `id` that match
  // the list's criteria: `reader` is positioned before their rows (logrecordid,
  // perceivedseverity, and for some classes clearstate). A list without criteria
  // leaves `reader` as it was; for a class kept by the blob table it selects every
  // outstanding alarm of the managed object.
  virtual int getOarInfo(const int id, const Oid& recordClass, const Asn1Value& value,
                         RWDBReader& reader);
  // Every outstanding alarm of class `recordClass` about managed object `id`: rows
  // (logrecordid, perceivedseverity, clearstate).
  virtual int getOarInfo(const int id, const Oid& recordClass, RWDBReader& reader);
  // Whether this table object's records are alarms (acknowledged and cleared).
  virtual bool keeps_alarms() const { return false; }
  // The cached entry's managed object, clear state and severity; 0 when not cached.
  virtual int ReadOarInfo(const int& id, unsigned long& moiid, unsigned char& state,
                          unsigned char& severity);
  // The record class kept by the blob table for a record (its objectClass attribute); 1
  // in the base.
  virtual int getBlobMOCInfo(const int& id, Oid& recordClass) const;

  // ---- The alarm state cache and the record bookkeeping (kept on the owner).

  // Enters (or replaces) a record's entry in the owner's cache and counts it: number
  // of records + 1, lowest/highest identifier, log size + nominal record size. 1.
  int update_log_record_hash(unsigned long id, unsigned short type, unsigned long moiid,
                             unsigned char state, unsigned char severity);
  // Sets the cached clear state of a record of this mapper; 0 when not cached.
  int update_logrec_clear_state(unsigned long id, unsigned char state);
  // The smallest cached identifier (1), or 0 with id = 0 for an empty cache.
  int get_lowest_log_record_id(unsigned long& id);
  // The cached table type / record class of a record; 0 when not cached.
  int get_table_type(const unsigned long id, unsigned short& type) const;
  int get_log_record_class(const unsigned long id, Oid& recordClass) const;
  // Number of cached records.
  size_t cached_records() const { return oar_cache_.size(); }
  // Calls f(id, entry) for every cached record, in no particular order.
  template <class F>
  void each_cached(F&& f) const {
    for (const auto& [id, entry] : oar_cache_) f(id, static_cast<const OarInfo&>(*entry));
  }
  // The records the last walk of the log's records could not read back.
  unsigned long damaged_records() const { return damaged_records_; }
  using OarCache = std::pmr::unordered_map<uint32_t, std::unique_ptr<OarInfo>>;
  unsigned long get_lowest_id() const { return lowest_id_; }
  unsigned long get_highest_id() const { return highest_id_; }

  // ---- Read-back helpers of every table object.

  // Adds the list-valued attributes stored in the blob of record `id` of this object's
  // table: 1, or 0 when there is no such row or the blob does not decode. A row whose
  // blob is NULL has no list values (1).
  virtual int read_blob_column(int id, RespValue& response);
  // Appends SEQUENCE {identifier, value} of every element of `response` to `list`
  // (of the list-valued elements only: append_blob_values). 1, or 0 when a step fails.
  int append_values(Asn1Value& list, RespValue& response);
  int append_blob_values(Asn1Value& list, RespValue& response);
  // Adds (id, value, the value `old` holds under id or empty) to `response`.
  int Fill_response(RespValue& response, Oid& id, const Asn1Value& value, const RespValue& old);

  // ---- Per-log database objects.

  // The shared access-control object "LOG" over "Log" and "QxLog".
  void Create_qxDbObject();
  // The per-log object "LOG_" + name over the log's record tables.
  void Create_qxDbObject(const char* logName, const Asn1Value ownerId);
  void Delete_qxDbObject();
  // Retention helpers (retention.cpp): the records to purge, oldest first.
  struct Aged;
  bool make_age_indexes();
  bool oldest_records(const PurgeOptions& options, std::vector<Aged>& out);
  bool delete_batch(const std::vector<Aged>& batch, bool outstanding, std::vector<Aged>& deleted);
  void forget_records(const std::vector<Aged>& records);
  // The lowest and highest identifier again from the cache.
  void recount_bounds();
  // The log's attributes that enforce applies, read back from its row. False (raised)
  // when the row cannot be read.
  struct Limits;
  bool read_limits(Limits& out);
  // Adds a table of the log to its stored access-control object (when there is one).
  void add_to_qxDbObject(const std::string& table);
  // The security view over the log's security alarm records, and its synonym; when
  // another log holds the view's name (a name differing only in case), under the log's
  // own second name (get_sec_view_name()). Raises ConflictX when the view cannot be made.
  void create_views();
  // Drops the log's security view and its synonym when they exist; another log's stay.
  void delete_views();
  // CREATE SYNONYM for `name` (result ignored); DROP SYNONYM (raises ProcessFailX).
  void create_synonym(const std::string& name);
  void delete_synonym(const std::string& name);
  const std::string& get_sum_view_name() const { return sum_view_; }
  const std::string& get_sec_view_name() const { return sec_view_; }

  // ---- Codec registries of this object.
  OidPopValues_hash& pop_hash() { return *pop_hash_; }
  DataUnitRdrInfo_hash& rdr_hash() { return *rdr_hash_; }

  // The mapper that owns this object (itself for a log's mapper).
  LogMapper* get_owner() const { return owner_; }
  // The action history of the log's alarms, or null when it keeps none in this process
  // (QX_ALARM_HISTORY is not 1). Owned by the log's mapper.
  qx::AlarmHistory* alarm_history() const { return owner_->history_.get(); }

  static int default_log_record_size;
  // Highest internal log number given out so far (after start-up: in use).
  static uint32_t qxlogid_val;
  // 1: explicit transactions (default); 0: auto-commit.
  static uint8_t qxdb_log_tx;
  static Asn1ValueLogMapper_hash* LogHandles;

 protected:
  friend class qx::CacheJournal;
  friend void qx::damaged_record(LogMapper&, const char*, unsigned long, const Exception*);

  // For table objects: a mapper part owned by `owner`, registering nothing.
  explicit LogMapper(LogMapper* owner, int /*table_object*/);

  // Registry and codec set-up shared by every constructor.
  void common_start();
  // Log name and identifier type from the identifier value (after log_find_ava).
  bool derive_name(const Asn1Value& logInstance);
  // Binds the shared tables and creates them when missing.
  void CreateLogT(const std::string& name);
  void CreateQxLogT(const std::string& name);
  void bind_logvars(const std::string& name);
  void bind_qxlogvars(const std::string& name);
  // Inserts the log table row (refused with a trace when the log has one already).
  int insert(OidArray& ids, Asn1ValueArray& values);
  // Inserts the ten internal log table rows.
  int qx_insert();
  // Builds the table objects that exist, in TABLE_TYPE order.
  void build_tables();
  // Reads this log's row: the internal number; false when there is none.
  bool find_row(uint32_t& qxlogid);
  // Takes a new internal log number from the database (1 for "AlarmLog").
  uint32_t allocate_qxlogid();
  // Creation steps after the name is known, as one unit.
  void create_log(OidArray& ids, Asn1ValueArray& values, const Asn1Value& ownerId);
  // Undoes what a failed creation left: rows, number, access-control object, registry.
  void fail_creation();
  // Start-up of one stored log: its mapper, loaded and registered, its database objects
  // made, its alarms cached and announced to alarmCb; null (raised) on failure.
  static std::unique_ptr<LogMapper> load_stored_log(const Asn1Value& id, Callback& alarmCb);
  // Whether the log table holds a row of exactly this log name.
  bool row_with_name(const std::string& name);
  // The same, telling a table that cannot be read apart: 1 a row, 0 none, -1 unknown.
  int row_of_name(const std::string& name);
  // The journal of this log's cache changes in the open transaction.
  qx::CacheJournal& journal();

  // ---- Fields.
  uint32_t qxlogid_ = 0;
  std::string logid_type_;
  std::string sum_view_;
  std::string sec_view_;
  std::unique_ptr<qx::LogStatements> stmts_;
  std::unique_ptr<ACDbObject> db_object_;
  bool created_db_object_ = false;
  char log_name_[1024] = {0};
  std::unique_ptr<LogMapperImpl> log_impl_;
  std::unique_ptr<QxLogImpl> qxlog_impl_;
  std::unique_ptr<OidPopValues_hash> pop_hash_;
  std::unique_ptr<DataUnitRdrInfo_hash> rdr_hash_;
  // Record bookkeeping.
  unsigned long lowest_id_ = 0;
  unsigned long highest_id_ = 0;
  unsigned long log_size_ = 0;
  unsigned long num_records_ = 0;
  bool lowest_set_ = false;
  unsigned long damaged_records_ = 0;
  Asn1Value log_id_;
  // The alarm state cache: record identifier to entry. The entries are owned: those of
  // records written through WriteToDB are the caller's own objects. Its nodes come from
  // a pool of the mapper's own (a log caches a million records and more): a node costs
  // its 24 octets and no heap block of its own, and is made without a call to malloc.
  // The pool goes with the mapper; it is declared first, so it outlives the cache.
  std::pmr::unsynchronized_pool_resource cache_pool_;
  OarCache oar_cache_{&cache_pool_};
  std::unique_ptr<qx::CacheJournal> journal_;  // made at the first change
  LogMapper* owner_;
  bool registered_ = false;
  bool creating_ = false;
  std::unique_ptr<RWDBTable> table_;
  std::unique_ptr<RWDBTable> qxlog_table_;
  std::string table_name_;
  std::string synonym_name_;
  // The alarm action history (log mappers only); it outlives the table objects, whose
  // statements read its variables.
  std::unique_ptr<qx::AlarmHistory> history_;
  std::array<std::unique_ptr<LogMapper>, NUM_TABLE_TYPES> tables_;
};

// The library's version, "MAJOR.MINOR.PATCH". The shared library's SONAME carries the
// major number, which changes whenever its interface does in a way that breaks callers.
const char* tolk_map_version();

// Hash of a log identifier value (its encoding) and of a log record identifier.
unsigned long hash_log_mapper(const Asn1Value& log_id);
unsigned long hash_log_record(const unsigned long& id);

// The database error handler: prints the eight-line report on standard output.
void outputStatus(const RWDBStatus& status);

// The function behind no_op_cb: does nothing unless the debug switch is on.
void no_op_function(void* client, void* call_data);
extern Callback no_op_cb;

// Debug switch: with it on, trace lines go to standard output.
extern int tolk_map_debug;
