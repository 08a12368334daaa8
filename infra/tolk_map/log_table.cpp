// A log's life in the shared tables: creation (both creating constructors), the scratch
// mapper, loading a stored log, changing its attributes and deleting it.
#include <cstring>
#include <iostream>
#include <set>

#include "infra/tolk_map/cache_journal.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/storage.h"
#include "infra/tolk_map/table_factory.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_updater.h"
#include "platform/mgmt/ac_object.h"
#include "platform/mgmt/create_table.h"
#include "platform/value/exception.h"
#include "platform/value/oi2fdn.h"
#include "platform/value/oid_name_registry.h"
#include "tolk.h"

namespace {

// Set once the shared tables are known to exist in the database now open.
bool g_log_table_ready = false;
bool g_qxlog_table_ready = false;

// Commits the caller's open transaction before the log's own work, which commits on its
// own. When that commit fails the caller's work is gone: the log's work must then fail
// too, with the reason, instead of going on as if nothing had happened.
bool commit_open_work() {
  if (LogMapper::commit() == 1) return true;
  ProcessFailX::raise("the open transaction could not be committed before the log's own "
                      "work%s",
                      qx::inner_reason().c_str());
  return false;
}

// A log is created, changed or deleted as one unit of work. In auto-commit mode the
// unit opens an explicit transaction for its statements and ends it, so that a failure
// leaves nothing half-written; in transaction mode it starts from a fresh transaction
// (and fails at once, with Exception::pending(), when the open one cannot be committed).
// Its first statement takes the store's write lock (a no-op write): on the embedded
// store a transaction that read first could not write after another process's
// commit, and the unit's reads (highest number in use, existing names) must see every
// other process's committed logs.
class Unit {
 public:
  Unit() : auto_(LogMapper::aConnection().isValid() && LogMapper::aConnection().isAutoCommit()) {
    if (auto_) {
      LogMapper::aConnection().autoCommit(false);
    } else if (!commit_open_work()) {
      return;
    }
    LogMapper::aDB_().executeSql(std::string("UPDATE ") +
                                     qx::quote_identifier(qx::kLogNumberTable) +
                                     " SET qxlogid = qxlogid WHERE qxlogid = 0",
                                 LogMapper::aConnection());
  }
  ~Unit() {
    if (!done_) rollback();
  }
  // Commits (in transaction mode through LogMapper::commit).
  bool commit() {
    done_ = true;
    if (!auto_) return LogMapper::commit() == 1;
    RWDBStatus s = LogMapper::aConnection().commitTransaction();
    LogMapper::aConnection().autoCommit(true);
    if (!s.isValid()) ProcessFailX::raise("the commit failed: %s", s.message().data());
    return s.isValid();
  }
  void rollback() {
    done_ = true;
    if (!auto_) {
      LogMapper::abort();
      return;
    }
    LogMapper::aConnection().rollbackTransaction();
    LogMapper::aConnection().autoCommit(true);
  }

 private:
  bool auto_;
  bool done_ = false;
};

bool is_invalid(const Exception* x) { return x != nullptr && x->type() == Exception::INVALID; }

// Whether a value has the form of a time (a GeneralizedTime, bare or as [0]).
bool time_form(const Asn1Value& value) {
  if (!value || (value.tag() != TAG_GENTIME && value.tag() != TAG_CTX0)) return false;
  return !value.constructed() ||
         (value.num_comps() == 1 && !value.first_component().constructed() &&
          value.first_component().tag() == TAG_GENTIME);
}

// True when the failure raised by a codec should fail the whole operation: a known
// attribute whose value does not fit its syntax. A time of the right form that is no
// real time (month 13) leaves its column NULL, with a message, as a record's does.
bool check_codec(bool ok, const PopValues* pv, const Oid& id, const Asn1Value& value) {
  if (ok) return true;
  if ((pv->ins == ins_time || pv->pop == pop_time) && time_form(value)) {
    tolk_error.print("The value of attribute %s is no real time: the log keeps none.\n",
                     id.format().c_str());
    return true;
  }
  InvalidX::raise("value of attribute %s does not fit its syntax", id.format().c_str());
  return false;
}

// Whether the value of `id` goes whole into its column of the log table: its codec takes
// it (check_codec) and its text is neither longer than the column nor unstorable as
// text. The log table has no blob of exact values: a value that would be cut (and then
// read back as another value, or not at all) is refused with its reason.
bool fits_log_column(LogMapper* m, LogMapperImpl& probe, PopValues* pv, Oid& id, Asn1Value& value) {
  probe.initialize();
  void* field = probe.myColumn(pv->attr);
  bool ok =
      pv->ins == ins_qxlist ? ins_formatedVal(m, field, id, value) : pv->ins(m, field, id, value);
  if (!check_codec(ok, pv, id, value)) return false;
  if (probe.fit_text(pv->attr)) return true;
  InvalidX::raise("value of attribute %s does not fit its column (at most %ld characters)",
                  id.format().c_str(), probe.columns()[probe.column_of(pv->attr)].length);
  return false;
}

RWDBTable shared_table(const char* name) { return LogMapper::aDB_().table(name); }

// An attribute without a column of the log table is passed over when the platform knows
// it (the log identifier, the object class, ...); one the platform does not know at
// all is a caller's mistake and fails the operation.
bool known_attribute(const Oid& id) {
  if (id == logIdOid || OidNameRegistry::find_name_by_oid(id) != nullptr) return true;
  InvalidX::raise("unknown attribute %s", id.format().c_str());
  return false;
}

}  // namespace

namespace qx {
// Removes the capacity thresholds reported for a log (retention.cpp).
void forget_capacity_thresholds(unsigned long qxlogid);
// Forgets that the shared tables were seen (the database was reopened).
void reset_shared_table_flags() {
  g_log_table_ready = false;
  g_qxlog_table_ready = false;
}
}  // namespace qx

// ---- Attribute lists.

bool LogMapper::DecomposeAVA(const Asn1Value& list, OidArray& ids, Asn1ValueArray& values) {
  if (!list || !list.constructed()) return false;
  size_t n = list.num_comps();
  OidArray out_ids;
  Asn1ValueArray out_values;
  out_ids.reserve(n);
  out_values.reserve(n);
  for (const Asn1Value& pair : list.components()) {
    if (!pair.constructed() || pair.num_comps() < 2) return false;
    Asn1Value id = pair.first_component().copy();
    Asn1Value value = pair.next_component();
    if (!id || !value || id.constructed() || !id.retag(TAG_OID)) return false;
    Oid oid;
    if (!id.decode_oid(oid)) return false;
    out_ids.push_back(oid);
    out_values.push_back(value.copy());
  }
  ids = std::move(out_ids);
  values = std::move(out_values);
  return true;
}

// ---- Names.

namespace {

// The identifier inside a distinguished name's last RDN (a SET of one
// AttributeValueAssertion {logId, value}), or inside a {logId, value} pair.
Asn1Value identifier_of(const Asn1Value& v, bool from_rdn) {
  Asn1Value av = v;
  if (from_rdn && av.constructed() && av.tag() == TAG_SET && av.num_comps() == 1) {
    av = av.first_component();
  }
  if (av.constructed() && av.num_comps() == 2) {
    Asn1Value id = av.first_component();
    Oid oid;
    ExceptionScope scope;
    if (id.tag() == TAG_OID && id.decode_oid(oid) && (from_rdn || oid == logIdOid)) {
      return av.next_component();
    }
  }
  return av;
}

// Log name and identifier type of a log identifier, a {logId, value} pair or a [2]
// distinguished name (whose name is the distinguished-name text).
bool name_of_instance(const Asn1Value& logInstance, std::string& name, std::string& type) {
  name.clear();
  if (!logInstance) {
    InvalidX::raise("empty log identifier");
    return false;
  }
  if (logInstance.tag() == TAG_CTX2) {
    name = oi2fdn(logInstance);
    if (name.empty() || name[0] != '/') {
      InvalidX::raise("the log's distinguished name cannot be formatted");
      return false;
    }
    tolk_info.print(155, "The logId from the fdn is: %s\n", name.c_str());
  }
  Asn1Value ava;
  bool from_rdn = log_find_ava(logInstance, ava);
  std::string id_name;
  if (!qx::log_name_of(identifier_of(ava, from_rdn), id_name, type)) {
    InvalidX::raise("Log Id not found");
    return false;
  }
  if (name.empty()) name = id_name;
  if (name.empty()) {
    InvalidX::raise("empty log identifier");
    return false;
  }
  if (name.size() >= 1024) {
    InvalidX::raise("log name too long");
    return false;
  }
  return true;
}

}  // namespace

bool LogMapper::derive_name(const Asn1Value& logInstance) {
  std::string name;
  std::string type;
  if (!name_of_instance(logInstance, name, type)) return false;
  std::memcpy(log_name_, name.data(), name.size());
  log_name_[name.size()] = '\0';
  logid_type_ = type;
  sum_view_ = "qx_" + name + "_sum";
  sec_view_ = "qx_" + name + "_sec";
  return true;
}

// ---- The shared tables.

void LogMapper::CreateLogT(const std::string& name) {
  table_ = std::make_unique<RWDBTable>(aDB_().table(name));
  if (tolk_map_debug != 0) std::cout << " tolk table name = " << name << std::endl;
  if (g_log_table_ready) return;
  if (!table_->exists(aConnection())) {
    Storage storage;
    get_storage(get_logid(), name.c_str(), storage);
    RWDBSchema schema;
    for (const qx::ColumnDef& c : LogMapperImpl::columns())
      schema.appendColumn(c.name, c.type, c.length, c.nullable);
    RWDBStatus s = create_table(name, schema, storage, 0, aDB_().phraseBook(), aConnection(), 0);
    if (!s.isValid() && !table_->exists(aConnection())) {
      // Another process may have created it at the same moment: only a table that
      // is still missing is a failure.
      ConflictX::raise("log table %s cannot be created: %s", name.c_str(), s.message().data());
      return;
    }
    if (s.isValid()) {
      RWDBSchema index;
      index.appendColumn(logid_col);
      table_->createIndex(name + "almid", index, aConnection());
      // One row per log name: two processes creating the same log at the same moment
      // cannot both store it.
      table_->createIndex(name + "uid", index, aConnection(), true);
      create_synonym(name);
    }
  }
  if (!commit_open_work()) return;
  Create_qxDbObject();
  if (!Exception::pending()) g_log_table_ready = true;
}

void LogMapper::CreateQxLogT(const std::string& name) {
  qxlog_table_ = std::make_unique<RWDBTable>(aDB_().table(name));
  tolk_info.print(" Creating the qxlog. Table Name = %s\n", name.c_str());
  if (g_qxlog_table_ready) return;
  ExceptionScope scope;
  auto create = [&](RWDBTable& t, const std::string& tname, const RWDBSchema& schema) {
    if (t.exists(aConnection())) {
      tolk_info.print(" The internal log table already exists. %s\n", tname.c_str());
      return;
    }
    Storage storage;
    get_storage(get_logid(), tname.c_str(), storage);
    RWDBStatus s = create_table(tname, schema, storage, 0, aDB_().phraseBook(), aConnection(), 0);
    if (!s.isValid() && !t.exists(aConnection())) {
      ConflictX::raise("table %s cannot be created: %s", tname.c_str(), s.message().data());
    }
  };
  RWDBSchema schema;
  for (const qx::ColumnDef& c : QxLogImpl::columns())
    schema.appendColumn(c.name, c.type, c.length, c.nullable);
  create(*qxlog_table_, name, schema);
  // The internal log numbers handed out, one row each; the unique index makes two
  // processes that pick the same number at the same moment collide.
  RWDBTable numbers = aDB_().table(qx::kLogNumberTable);
  if (!numbers.exists(aConnection())) {
    RWDBSchema ns;
    ns.appendColumn("qxlogid", RWDBValue::UnsignedLong, 0, false);
    create(numbers, qx::kLogNumberTable, ns);
    if (!Exception::pending()) {
      RWDBSchema index;
      index.appendColumn("qxlogid");
      numbers.createIndex(std::string(qx::kLogNumberTable) + "uid", index, aConnection(), true);
    }
  }
  if (!Exception::pending()) commit_open_work();
  if (const Exception* x = scope.caught()) {
    tolk_error.print("%s %s\n",
                     x->type() == Exception::CONFLICT
                         ? "Creation of the internal log table failed."
                         : "Processing failure. Database creation failed.",
                     name.c_str());
    scope.release();
    return;
  }
  g_qxlog_table_ready = true;
}

void LogMapper::bind_logvars(const std::string& name) {
  if (!table_) table_ = std::make_unique<RWDBTable>(aDB_().table(name));
  if (!stmts_) stmts_ = std::make_unique<qx::LogStatements>();
  if (!log_impl_) log_impl_ = std::make_unique<LogMapperImpl>();
  stmts_->log_inserter = table_->inserter();
  log_impl_->bind(stmts_->log_inserter);
}

void LogMapper::bind_qxlogvars(const std::string& name) {
  if (!qxlog_table_) qxlog_table_ = std::make_unique<RWDBTable>(aDB_().table(name));
  if (!stmts_) stmts_ = std::make_unique<qx::LogStatements>();
  if (!qxlog_impl_) qxlog_impl_ = std::make_unique<QxLogImpl>();
  stmts_->qxlog_inserter = qxlog_table_->inserter();
  qxlog_impl_->bind(stmts_->qxlog_inserter);
  stmts_->qxlog_deleter = qxlog_table_->deleter();
  stmts_->qxlog_deleter.where((*qxlog_table_)[qxlog_qxlogid_col] ==
                              RWDBBoundExpr(&stmts_->qxlogid_bound));
}

// ---- Internal log numbers.

// "AlarmLog" always has number 1. Every other log takes a number that the database
// hands out: one above the highest in use, entered in the number table under a unique
// index, so that two processes creating logs at the same moment cannot take the same
// one (the later insert waits for the earlier unit and, when that took the number,
// fails and tries the next). It runs inside the creating unit, so a failed creation
// gives its number back.
uint32_t LogMapper::allocate_qxlogid() {
  if (std::strcmp(log_name_, "AlarmLog") == 0) return 1;
  RWDBTable numbers = aDB_().table(qx::kLogNumberTable);
  RWDBTable log = shared_table("Log");
  for (int attempt = 0; attempt < 50; ++attempt) {
    unsigned long highest = 1;
    for (RWDBTable* t : {&numbers, &log}) {
      RWDBSelector sel = aDB_().selector();
      sel << (*t)[t == &numbers ? "qxlogid" : qxlogid_col];
      RWDBReader r = sel.reader(aConnection());
      unsigned long n = 0;
      while (r()) {
        r >> nullval;
        if (nullval.isNull()) continue;
        r >> n;
        if (n > highest) highest = n;
      }
      if (!qx::walk_complete(r, "the internal log numbers")) return 0;
    }
    if (highest < qxlogid_val) highest = qxlogid_val;
    unsigned long next = highest + 1;
    RWDBInserter ins = numbers.inserter();
    ins["qxlogid"] << RWDBExpr(next);
    // A failed insert (another process took the number first) undoes only itself.
    if (ins.execute(aConnection()).isValid()) return static_cast<uint32_t>(next);
  }
  ProcessFailX::raise("no internal log number could be allocated");
  return 0;
}

// ---- Rows.

bool LogMapper::find_row(uint32_t& qxlogid) {
  RWDBSelector sel = aDB_().selector();
  sel << (*table_)[logidasn_col] << (*table_)[qxlogid_col] << (*table_)[logidtype_col];
  sel.where((*table_)[logid_col] == RWDBExpr(RWCString(log_name_)));
  RWDBReader r = sel.reader(aConnection());
  // validate_logid stops on the matching row, so its number can be read from it.
  if (validate_logid(r, log_id_, RWCString(logid_type_)) != 1) {
    // A read that broke (a lost connection) is no answer: say so, not "no such log".
    if (!r.isValid())
      ProcessFailX::raise("the log table cannot be read: %s", r.status().message().data());
    return false;
  }
  unsigned long n = 0;
  if (!qx::read_unsigned(r, qxlogid_col, n)) return false;
  qxlogid = static_cast<uint32_t>(n);
  return true;
}

int LogMapper::row_of_name(const std::string& name) {
  if (!table_) table_ = std::make_unique<RWDBTable>(aDB_().table("Log"));
  RWDBSelector sel = aDB_().selector();
  sel << (*table_)[logid_col];
  sel.where((*table_)[logid_col] == RWDBExpr(RWCString(name)));
  RWDBReader r = sel.reader(aConnection());
  if (r()) return 1;
  return r.isValid() ? 0 : -1;
}

bool LogMapper::row_with_name(const std::string& name) { return row_of_name(name) == 1; }

int LogMapper::table_exists(const Asn1Value& logId) {
  ExceptionScope scope;
  std::string name;
  std::string type;
  if (!name_of_instance(logId, name, type)) return 0;
  return row_with_name(name) ? 1 : 0;
}

int LogMapper::insert(OidArray& ids, Asn1ValueArray& values) {
  {
    RWDBSelector sel = aDB_().selector();
    sel << (*table_)[logidasn_col] << (*table_)[logidtype_col];
    sel.where((*table_)[logid_col] == RWDBExpr(RWCString(log_name_)));
    RWDBReader r = sel.reader(aConnection());
    if (validate_logid(r, log_id_, RWCString(logid_type_)) == 1) {
      tolk_error.print("The log already exists in the log table.\n");
      tolk_error.print_value(log_id_);
      InvalidX::raise("the log exists already");
      return 0;
    }
  }
  tolk_info.print("Inserting a new entry into %s : \n", table_->name().data());
  LogMapperImpl& img = *log_impl_;
  img.initialize();
  *img.text(ATTR_LOG_ID) = RWCString(log_name_);
  *img.unsigned_field(ATTR_QXLOG_ID) = qxlogid_;
  *img.text(ATTR_LOG_ID_TYPE) = RWCString(logid_type_);
  tolk_info.print("logIdAsn is :\n");
  tolk_info.print_value(log_id_);
  Oid none;
  Asn1Value id = log_id_;
  ins_blob(this, img.myColumn(ATTR_LOG_ID_ASN), none, id);
  // Columns of attributes the log was not given are NULL, so that they read back as
  // absent rather than as empty texts and zeros.
  std::vector<ATTRIBUTES> present = {ATTR_LOG_ID, ATTR_QXLOG_ID, ATTR_LOG_ID_TYPE,
                                     ATTR_LAST_LOG_REC_ID, ATTR_LOG_ID_ASN};
  for (size_t i = 0; i < ids.size(); ++i) {
    PopValues* pv = pop_hash_->fetch(&ids[i]);
    if (pv == nullptr) continue;
    void* field = img.myColumn(pv->attr);
    bool ok = pv->ins == ins_qxlist ? ins_formatedVal(this, field, ids[i], values[i])
                                    : pv->ins(this, field, ids[i], values[i]);
    if (!check_codec(ok, pv, ids[i], values[i])) return 0;
    present.push_back(pv->attr);
  }
  // The row is written whatever the list held: a log without its row would vanish at
  // the next start-up and leave its tables behind.
  img.set_nulls(present);
  RWDBResult res = stmts_->log_inserter.execute(aConnection());
  if (tolk_map_debug != 0)
    std::cout << (res.isValid() ? "Log insert OK " : "Log insert NOT OK ") << std::endl;
  if (!res.isValid()) {
    tolk_error.print("Processing failure. Insertion failed.\n");
    ProcessFailX::raise("log row not inserted: %s", res.status().message().data());
    return 0;
  }
  return 1;
}

int LogMapper::qx_insert() {
  QxLogImpl& img = *qxlog_impl_;
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    std::string name =
        tables_[t] ? tables_[t]->table_name_ : qx::record_table_name(table_name_, TABLE_TYPE(t));
    img.initialize();
    *img.text(ATTR_QXLOG_NAME) = RWCString(name);
    *img.text(ATTR_QXLOG_RECORD_TYPE) =
        RWCString(name.size() > 5 ? name.substr(name.size() - 5) : name);
    *img.unsigned_field(ATTR_QXLOG_ID) = qxlogid_;
    img.set_nulls();
    RWDBResult res = stmts_->qxlog_inserter.execute(aConnection());
    if (!res.isValid()) {
      ProcessFailX::raise("internal log row not inserted: %s", res.status().message().data());
      return 0;
    }
  }
  return 1;
}

// The record-table classes come with their own files; a log builds those that exist.
// The alarm action history comes first: the alarm tables bind its statements.
void LogMapper::build_tables() {
  history_.reset();
  if (qx::alarm_history_on()) {
    history_ = std::make_unique<qx::AlarmHistory>(*this);
    history_->attach();
    if (Exception::pending()) return;
  }
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    if (qx::TableFactory f = qx::table_factory(TABLE_TYPE(t))) tables_[t].reset(f(this));
  }
}

// ---- Constructors.

LogMapper::LogMapper() : owner_(this) {
  ExceptionScope scope;
  common_start();
  table_name_.clear();
  logid_type_.clear();
  sum_view_.clear();
  log_name_[0] = '\0';
  if (!Exception::pending()) CreateLogT("Log");
  if (!Exception::pending()) CreateQxLogT("QxLog");
  if (const Exception* x = scope.caught()) {
    tolk_error.print(is_invalid(x) ? 155 : 156, "%s",
                     is_invalid(x) ? "Creation of the qx DB object failed.\n"
                                   : "Processing failure. Creation failed.\n");
    tolk_error.print("%s\n", x->reason().c_str());
  }
}

LogMapper::LogMapper(const Asn1Value& logInstance, const Asn1Value& attributeList, RWCString,
                     const Asn1Value ownerId)
    : owner_(this) {
  ExceptionScope scope;
  common_start();
  log_name_[0] = '\0';
  log_id_ = logInstance.copy();
  tolk_info.print(155, "LogMapper:The logIdAsn is:\n ");
  tolk_info.print_value(log_id_);
  OidArray ids;
  Asn1ValueArray values;
  if (!DecomposeAVA(attributeList, ids, values)) {
    InvalidX::raise("Attribute List not in correct format");
  } else if (derive_name(logInstance)) {
    create_log(ids, values, ownerId);
  }
  if (const Exception* x = scope.caught()) {
    tolk_error.print(is_invalid(x) ? 157 : 158, "%s",
                     is_invalid(x) ? "Log Creation failed: Invalid table name.\n"
                                   : "Processing failure. Log creation failed.\n");
    tolk_error.print("%s\n", x->reason().c_str());
    fail_creation();
  }
}

LogMapper::LogMapper(const Asn1Value& attributeList, RWCString) : owner_(this) {
  ExceptionScope scope;
  common_start();
  log_name_[0] = '\0';
  OidArray ids;
  Asn1ValueArray values;
  if (!DecomposeAVA(attributeList, ids, values)) {
    InvalidX::raise("Attribute List not in correct format");
  } else if (ids.empty() || ids[0] != logIdOid) {
    InvalidX::raise("Log Id not found");
  } else {
    log_id_ = values[0].copy();
    if (derive_name(log_id_)) create_log(ids, values, def_owner_id());
  }
  if (const Exception* x = scope.caught()) {
    tolk_error.print(is_invalid(x) ? 159 : 160, "%s",
                     is_invalid(x) ? "Creation of the qx DB object failed.\n"
                                   : "Processing failure. Creation failed.\n");
    tolk_error.print("%s\n", x->reason().c_str());
    fail_creation();
  }
}

// Steps 5 to 8 of creating a log, as one unit: a failure leaves nothing of the log.
void LogMapper::create_log(OidArray& ids, Asn1ValueArray& values, const Asn1Value& ownerId) {
  if (Exception::pending()) return;
  CreateLogT("Log");
  if (Exception::pending()) return;
  CreateQxLogT("QxLog");
  if (Exception::pending()) return;
  // Check every attribute before anything is written.
  {
    LogMapperImpl probe;
    for (size_t i = 0; i < ids.size(); ++i) {
      PopValues* pv = pop_hash_->fetch(&ids[i]);
      if (pv == nullptr) {
        if (!known_attribute(ids[i])) return;
        continue;
      }
      if (!fits_log_column(this, probe, pv, ids[i], values[i])) return;
    }
  }
  Unit unit;
  if (Exception::pending()) return;
  if (row_with_name(log_name_)) {
    tolk_error.print("The log already exists in the log table.\n");
    InvalidX::raise("a log named %s exists already", log_name_);
    return;
  }
  qxlogid_ = allocate_qxlogid();
  if (qxlogid_ == 0) return;
  table_name_ = "qxi" + std::to_string(qxlogid_);
  synonym_name_ = table_name_;
  if (LogHandles == nullptr) LogHandles = new Asn1ValueLogMapper_hash;
  if (!registered_ && LogHandles->fetch(&log_id_) == nullptr) {
    LogHandles->store(&log_id_, this);
    registered_ = true;
  }
  bind_logvars("Log");
  bind_qxlogvars("QxLog");
  creating_ = true;
  build_tables();
  creating_ = false;
  if (Exception::pending()) return;
  if (!qx_insert() || !insert(ids, values)) return;
  Create_qxDbObject(log_name_, ownerId);
  if (Exception::pending()) return;
  if (!unit.commit()) {
    ProcessFailX::raise("the log could not be committed%s", qx::inner_reason().c_str());
    return;
  }
  if (qxlogid_ > qxlogid_val) qxlogid_val = qxlogid_;
}

void LogMapper::fail_creation() {
  if (db_object_ != nullptr && created_db_object_) {
    db_object_->destroy();
  }
  db_object_.reset();
  for (auto& t : tables_) t.reset();
  history_.reset();
  if (registered_ && LogHandles != nullptr && LogHandles->fetch(&log_id_) == this) {
    LogHandles->destroy(&log_id_);
  }
  registered_ = false;
  table_name_.clear();
}

// ---- Loading a stored log.

int LogMapper::load_table(const Asn1Value& logId) {
  ExceptionScope scope;
  if (!logId || !aConnection().isValid()) return 0;
  for (auto& t : tables_) t.reset();
  if (registered_ && LogHandles != nullptr && LogHandles->fetch(&log_id_) == this) {
    LogHandles->destroy(&log_id_);
  }
  registered_ = false;
  log_id_ = logId.copy();
  log_name_[0] = '\0';
  if (!derive_name(log_id_)) {
    table_name_.clear();
    return 0;
  }
  if (!table_) table_ = std::make_unique<RWDBTable>(aDB_().table("Log"));
  bind_logvars("Log");
  bind_qxlogvars("QxLog");
  uint32_t n = 0;
  if (!find_row(n)) {
    ProcessFailX::raise("no log %s is stored", log_name_);
    table_name_.clear();
    return 0;
  }
  tolk_info.print("Log id Match: Setting the internal logid %d:\n", static_cast<int>(n));
  qxlogid_ = n;
  table_name_ = "qxi" + std::to_string(n);
  synonym_name_ = table_name_;
  if (LogHandles == nullptr) LogHandles = new Asn1ValueLogMapper_hash;
  if (LogHandles->fetch(&log_id_) == nullptr) {
    LogHandles->store(&log_id_, this);
    registered_ = true;
  }
  build_tables();
  // A log made before its history was kept gets the history table into its
  // access-control object (nothing when it lists it already).
  if (!Exception::pending() && history_) add_to_qxDbObject(history_->name());
  if (qxlogid_val < n) qxlogid_val = n;
  return Exception::pending() ? 0 : 1;  // a damaged log: last_failure() names the table
}

// ---- Changing the log's attributes.

int LogMapper::UpdateDB(const Asn1Value& attributeList, const OidArray&, const Asn1ValueArray&) {
  ExceptionScope scope;
  OidArray ids;
  Asn1ValueArray values;
  if (!DecomposeAVA(attributeList, ids, values)) {
    InvalidX::raise("Attribute List not in correct format");
  } else if (!created() || !table_) {
    InvalidX::raise("the log has no row");
  } else {
    // The row of this log alone, by its internal number: no other log's row can
    // match, whatever the log's name holds.
    RWDBUpdater up = table_->updater();
    unsigned long n = qxlogid_;
    up.where((*table_)[qxlogid_col] == RWDBExpr(n) &&
             (*table_)[logid_col] == RWDBExpr(RWCString(log_name_)));
    bool ok = true;
    LogMapperImpl probe;
    for (size_t i = 0; ok && i < ids.size(); ++i) {
      PopValues* pv = pop_hash_->fetch(&ids[i]);
      if (pv == nullptr) {
        ok = known_attribute(ids[i]);
        continue;
      }
      if (!(ok = fits_log_column(this, probe, pv, ids[i], values[i]))) break;
      // The discriminator construct is changed in place: the row, its other
      // attributes and its internal number stay. List-valued schedule attributes
      // keep their formatted text in their own columns.
      bool done = pv->pop == pop_qxlist ? pop_formatedVal(this, up, pv->column, ids[i], values[i])
                                        : pv->pop(this, up, pv->column, ids[i], values[i]);
      ok = check_codec(done, pv, ids[i], values[i]);
    }
    if (ok && up.entries() > 0) {
      RWDBResult res = up.execute(aConnection());
      if (!res.isValid()) {
        InvalidX::raise("log row not updated: %s", res.status().message().data());
      } else if (res.rowCount() == 0) {
        ProcessFailX::raise("log %s has no row", log_name_);
      }
    }
  }
  if (const Exception* x = scope.caught()) {
    tolk_error.print("%s\n", is_invalid(x) ? "Update  of the Database failed."
                                           : "Processing failure. Update failed.");
    tolk_error.print("%s\n", x->reason().c_str());
    return 0;
  }
  return 1;
}

// ---- Deleting the log.

int LogMapper::deleteDB(char keepRows) {
  ExceptionScope scope;
  if (table_name_.empty() || !table_) {
    InvalidX::raise("the log is not loaded");
  } else {
    Delete_qxDbObject();
    if (!Exception::pending()) delete_views();
    for (int t = 0; t < NUM_TABLE_TYPES && !Exception::pending(); ++t) {
      // By the names the log's objects may have, whether or not a table object is
      // loaded for them (after a restart the table objects know no synonym), and only
      // a synonym that stands for this log's table.
      std::string table = qx::record_table_name(table_name_, TABLE_TYPE(t));
      for (const std::string& synonym :
           qx::own_names(qx::record_synonym_name(log_name_, TABLE_TYPE(t)), qxlogid_)) {
        if (!Exception::pending() && qx::stands_for(synonym, table)) delete_synonym(synonym);
      }
      if (Exception::pending()) break;
      bool dropped = true;
      for (const std::string& name :
           {table, qx::companion_table_name(table_name_, TABLE_TYPE(t))}) {
        if (name.empty()) continue;
        RWDBTable rt = aDB_().table(name);
        RWDBStatus s = rt.exists(aConnection()) ? rt.drop(aConnection()) : RWDBStatus();
        if (!s.isValid()) {
          ProcessFailX::raise("record table %s not dropped: %s", name.c_str(), s.message().data());
          dropped = false;
          break;
        }
      }
      // The table object stays with the journal until the drop is committed: an abort
      // brings the table back, and the object with it.
      if (dropped && tables_[t]) journal().table_dropped(TABLE_TYPE(t), std::move(tables_[t]));
    }
    // The alarm action history, whether or not this process keeps one.
    if (!Exception::pending()) {
      std::string synonym = qx::history_synonym_name(log_name_);
      if (qx::valid_name(synonym) && aDB_().table(synonym).exists(aConnection())) {
        delete_synonym(synonym);
      }
    }
    if (!Exception::pending()) {
      std::string name = qx::history_table_name(table_name_);
      RWDBTable ht = aDB_().table(name);
      RWDBStatus s = ht.exists(aConnection()) ? ht.drop(aConnection()) : RWDBStatus();
      if (!s.isValid()) {
        ProcessFailX::raise("history table %s not dropped: %s", name.c_str(), s.message().data());
      }
    }
    if (!Exception::pending() && keepRows == 0) {
      uint32_t n = 0;
      if (!find_row(n)) {
        InvalidX::raise("log %s has no row", log_name_);
      } else {
        tolk_info.print("Log id Match: internal logid set: %d\n", static_cast<int>(n));
        stmts_->qxlogid_bound = n;
        RWDBResult r1 = stmts_->qxlog_deleter.execute(aConnection());
        RWDBDeleter del = table_->deleter();
        unsigned long un = n;
        del.where((*table_)[qxlogid_col] == RWDBExpr(un) &&
                  (*table_)[logidtype_col] == RWDBExpr(RWCString(logid_type_)) &&
                  (*table_)[logid_col] == RWDBExpr(RWCString(log_name_)));
        RWDBResult r2 = del.execute(aConnection());
        qx::forget_capacity_thresholds(n);
        if (!r1.isValid() || !r2.isValid()) {
          InvalidX::raise("log rows not deleted: %s",
                          (r1.isValid() ? r2 : r1).status().message().data());
        }
      }
    }
  }
  if (const Exception* x = scope.caught()) {
    if (is_invalid(x)) {
      tolk_error.print(161, "Deletion of the qx DB object failed.\n");
    } else if (x->type() == Exception::PROCESS_FAIL) {
      tolk_error.print(162, "Deletion of a synonym failed.\n");
    } else {
      tolk_error.print("Processing failure. Deletion failed.\n");
    }
    tolk_error.print("%s\n", x->reason().c_str());
    return 0;
  }
  return 1;
}
