// Start-up (every stored log rebuilt and registered, its attributes handed to the
// caller) and the enumeration of stored logs.
#include <iostream>
#include <vector>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/fdn_cache.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/moi_number.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/testing.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/mgmt/platform_store.h"
#include "platform/value/exception.h"
#include "platform/value/installation.h"
#include "tolk.h"

namespace {

// The identifier a log was created with: the stored encoding when there is one (so
// that a log comes back under exactly the value it was created with: INTEGER,
// GraphicString, OCTET STRING or distinguished name), else from its LogId text. A row
// whose LogIdType is neither "integer" nor "string" is no log this library wrote: it
// is passed over.
bool read_log_identifier(RWDBReader& r, Asn1Value& id) {
  ExceptionScope scope;
  RWCString type;
  qx::read_text(r, logidtype_col, type);
  if (type != "integer" && type != "string") {
    RWCString text;
    qx::read_text(r, logid_col, text);
    tolk_error.print("The log table row of %s has log identifier type \"%s\": passed over.\n",
                     text.data(), type.data());
    return false;
  }
  Oid none;
  if (rdr_blob(nullptr, r, logidasn_col, none, id)) return true;
  return rdr_logid(nullptr, r, logid_col, none, id);
}

}  // namespace

namespace qx {

void read_log_attributes(LogMapper* m, RWDBReader& r, DataUnitRdrInfo_hash& readers,
                         RespValue& resp, bool skip_discrim) {
  readers.iterate();
  DataUnit* key = nullptr;
  RdrInfo* info = nullptr;
  unsigned long index = 0;
  while (readers.next(key, info, index)) {
    if (skip_discrim && info->attr == discrimOid) continue;
    ExceptionScope scope;  // a value that does not read back is left out
    Asn1Value v;
    if (info->rdr(m, r, info->column, info->attr, v) && v) {
      resp.create_entry(info->attr, v, null_asn1_value);
    }
  }
}

}  // namespace qx

int LogMapper::get_all_logs(Callback& cb) {
  ExceptionScope scope;
  LogMapper scratch;  // never registered; gone when this returns
  if (Exception::pending() || !scratch.table_) {
    cb.exec(nullptr);
    return 0;
  }
  if (tolk_map_debug != 0) std::cout << "\n****NUMLOGS = 0\n" << std::endl;
  RWDBSelector sel = aDB_().selector();
  sel << *scratch.table_;
  RWDBReader r = sel.reader(aConnection());
  while (r()) {
    Asn1Value id;
    if (!read_log_identifier(r, id)) continue;
    auto resp = std::make_unique<RespValue>();
    resp->create_entry(logIdOid, id, null_asn1_value);
    qx::read_log_attributes(&scratch, r, *scratch.rdr_hash_, *resp, false);
    cb.exec(resp.get());
  }
  cb.exec(nullptr);
  return r.isValid() ? 1 : 0;
}

int LogMapper::init_log_handles(Callback& logCb, Callback& alarmCb) {
  if (LogHandles != nullptr) return 0;
  if (Installation::getenv("QX_TOLK_MAPPING_DEBUG") != nullptr) tolk_map_debug = 1;
  LogHandles = new Asn1ValueLogMapper_hash;
  qxdb_log_tx = Installation::getenv("QXDB_LOG_TX") != nullptr ? 0 : 1;
  ExceptionScope scope;
  struct Stored {
    Asn1Value id;
    std::string name;  // the row's LogId text
    std::unique_ptr<RespValue> resp;
  };
  std::vector<Stored> stored;
  {
    LogMapper scratch;
    if (!Exception::pending() && scratch.table_) {
      RWDBSelector sel = aDB_().selector();
      sel << *scratch.table_;
      RWDBReader r = sel.reader(aConnection());
      while (r()) {
        Stored s;
        s.resp = std::make_unique<RespValue>();
        {
          ExceptionScope blob_scope;
          Oid none;
          Asn1Value discrim;
          if (rdr_blob(&scratch, r, "discrimConstruct", none, discrim)) {
            s.resp->create_entry(discrimOid, discrim, null_asn1_value);
          }
        }
        RWCString log_text;
        RWCString type;
        unsigned long qxlogid = 0;
        qx::read_text(r, logid_col, log_text);
        qx::read_text(r, logidtype_col, type);
        qx::read_unsigned(r, qxlogid_col, qxlogid);
        if (tolk_map_debug != 0) {
          std::cout << "the Log Id is " << log_text << "and log id type is : " << type
                    << "and qxlogid is :" << qxlogid << std::endl;
        }
        if (!read_log_identifier(r, s.id)) continue;
        s.name = log_text.str();
        tolk_error.print(152, "The asn1 value of the log is \n");
        tolk_info.print_value(s.id);
        s.resp->create_entry(logIdOid, s.id, null_asn1_value);
        qx::read_log_attributes(&scratch, r, *scratch.rdr_hash_, *s.resp, true);
        stored.push_back(std::move(s));
      }
      if (!r.isValid()) {
        ProcessFailX::raise("the log table cannot be read: %s", r.status().message().data());
      }
    }
    if (tolk_map_debug != 0) std::cout << "****NUMLOGS = %d";
  }
  // One log that cannot be loaded (a table missing, a read that fails) does not hide
  // the others: each is reported, the rest are loaded, and the result says so.
  std::vector<std::string> failed;
  bool listed = !Exception::pending();  // the log table was read whole
  for (Stored& s : stored) {
    if (!listed) break;
    std::unique_ptr<LogMapper> m;
    {
      ExceptionScope log_scope;
      m = load_stored_log(s.id, alarmCb);
      if (!m) {
        const Exception* x = log_scope.caught();
        std::string why = x != nullptr ? x->reason() : "not loaded";
        // A log that another process deleted since the log table was read is no longer
        // stored: it is left out, not reported as one that cannot be loaded.
        if (LogMapper().row_of_name(s.name) == 0) {
          tolk_info.print("The log %s was deleted during start-up.\n", s.name.c_str());
          continue;
        }
        tolk_error.print("The log %s cannot be loaded: %s\n", s.name.c_str(), why.c_str());
        failed.push_back(s.name + " (" + why + ")");
        continue;
      }
    }
    if (tolk_map_debug != 0) {
      std::cout << "initial count  " << m->get_initial_log_record_count()
                << " initial size : " << m->get_initial_log_size() << std::endl;
    }
    m.release();  // registered; the caller destroys it at shut-down
    logCb.exec(s.resp.release());
  }
  if (!failed.empty() && !Exception::pending()) {
    std::string list;
    for (const std::string& f : failed) list += (list.empty() ? "" : ", ") + f;
    ProcessFailX::raise("%zu of %zu stored logs cannot be loaded: %s", failed.size(), stored.size(),
                        list.c_str());
  }
  if (listed && !stored.empty()) logCb.exec(nullptr);
  if (const Exception* x = scope.caught()) {
    if (tolk_map_debug != 0) {
      std::cout << (x->type() == Exception::INVALID
                        ? "The initialization of the log handles failed."
                        : "Processing failure. Initialization failed.")
                << std::endl;
    }
    return 0;
  }
  return 1;
}

std::unique_ptr<LogMapper> LogMapper::load_stored_log(const Asn1Value& id, Callback& alarmCb) {
  auto m = std::make_unique<LogMapper>();
  if (!m->load_table(id)) {
    std::string why = last_failure();
    ProcessFailX::raise("%s", why.empty() ? "the log cannot be opened" : why.c_str());
    return nullptr;
  }
  m->Create_qxDbObject(m->get_logid(), def_owner_id());
  if (Exception::pending()) return nullptr;
  // The alarm callback hears, for each alarm table, that its alarm states are cached,
  // and with null that the log's all are. It hears so only once the whole log has
  // loaded: a caller told of a log that then fails to load would go on to look for
  // a log that start-up has dropped.
  struct Held {
    int tables = 0;
    bool ended = false;
  } held;
  Callback hold(
      [](void* h, void* data) {
        auto* self = static_cast<Held*>(h);
        if (data == nullptr) {
          self->ended = true;
        } else {
          ++self->tables;
        }
      },
      &held);
  if (m->get_all_almsvc_recs(hold, 1) != 1) {
    ProcessFailX::raise("its records cannot be read");
    return nullptr;
  }
  for (int i = 0; i < held.tables; ++i) {
    LogRespValue announced(m->get_log_id_value(), nullptr);
    alarmCb.exec(&announced);
  }
  if (held.ended) alarmCb.exec(nullptr);
  return m;
}

namespace qx {

void tolk_reset_for_tests() {
  if (LogMapper::LogHandles != nullptr && LogMapper::LogHandles->entries() == 0) {
    delete LogMapper::LogHandles;
    LogMapper::LogHandles = nullptr;
  }
  LogMapper::aConnection() = RWDBConnection();
  LogMapper::aDB_() = RWDBDatabase();
  LogMapper::qxlogid_val = 0;
  LogMapper::qxdb_log_tx = 1;
  reset_shared_table_flags();
  FdnCache::reset();
  reset_alarm_history_switch();
  reset_unique_mo();
  qx::mgmt::reset_platform_database();
}

}  // namespace qx
