#include "infra/tolk_map/tables/record_table.h"

#include <cstring>
#include <iostream>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/storage.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_schema.h"
#include "platform/mgmt/create_table.h"
#include "platform/value/exception.h"
#include "resp_value.h"
#include "tolk.h"

namespace qx {

int walk_records(LogMapper& table, const std::string& name, TABLE_TYPE type, RWDBReader& r,
                 Callback& cb, int withLogId,
                 const std::function<bool(RWDBReader&, RespValue&)>& read) {
  LogMapper& owner = *table.get_owner();
  RespValue row;  // lent to the callback for one row at a time, then emptied for the next
  // The record identifier's column: with the reader put there first, its lookup by name
  // takes one comparison in every row, not a search of the columns.
  size_t id_column = 0;
  while (id_column < r.numberOfColumns() &&
         r.column(id_column).name().compareTo(logrecid_col, RWCString::ignoreCase) != 0) {
    ++id_column;
  }
  // The identifier is read only when it is wanted: for the alarm state cache, or to name
  // a record that does not read back.
  auto record_id = [&] {
    unsigned long id = 0;
    r[id_column];
    read_unsigned(r, logrecid_col, id);
    return id;
  };
  while (r()) {
    auto values = withLogId != 0 ? std::make_unique<RespValue>() : nullptr;
    if (!values) row.clear();
    bool whole = false;
    {
      ExceptionScope scope;
      whole = read(r, values ? *values : row);
      if (!whole) {
        const unsigned long id = record_id();  // read first: the reason taken is the read's
        damaged_record(owner, name.c_str(), id, scope.caught());
      }
    }
    if (withLogId != 0) table.update_log_record_hash(record_id(), type, 0, 0, 0);
    if (!whole) continue;
    if (values) {
      LogRespValue lrv(owner.get_log_id_value(), values.release());  // owns the values
      cb.exec(&lrv);
    } else {
      cb.exec(&row);
    }
  }
  // A walk that broke off must not pass for the whole table.
  return walk_complete(r, name.c_str()) ? 1 : 0;
}

void damaged_record(LogMapper& owner, const char* table, unsigned long id, const Exception* why) {
  ++owner.damaged_records_;
  tolk_error.print("Log %s: record %lu of %s does not read back: %s\n", owner.get_logid(), id,
                   table, why != nullptr ? why->reason().c_str() : "damaged");
}

bool attach_record_table(const LogMapper& owner, const std::string& name, const TableLayout& layout,
                         RWDBTable& table, std::string& synonym) {
  RWDBDatabase& db = TolkMap::aDB_();
  RWDBConnection& conn = TolkMap::aConnection();
  table = db.table(name);
  if (table.exists(conn)) {
    if (!table.fetchSchema(conn).isValid()) {
      if (tolk_map_debug != 0) std::cout << layout.schema_failure_text << std::endl;
      ConflictX::raise("schema of %s cannot be fetched", name.c_str());
      return false;
    }
    return false;
  }
  if (!owner.creating() && !layout.made_when_missing) {
    tolk_error.print("Log %s is damaged: its record table %s is missing.\n", owner.get_logid(),
                     name.c_str());
    ConflictX::raise("log %s is damaged: its record table %s is missing", owner.get_logid(),
                     name.c_str());
    return false;
  }
  RWDBSchema schema;
  for (const ColumnDef& c : layout.columns)
    schema.appendColumn(c.name, c.type, c.length, c.nullable);
  Storage storage;
  get_storage(owner.get_logid(), name.c_str(), storage);
  RWDBStatus s = create_table(name, schema, storage, 0, db.phraseBook(), conn, 0);
  if (!s.isValid()) {
    ConflictX::raise("record table %s cannot be created", name.c_str());
    return false;
  }
  std::string base = name.substr(0, name.size() - std::strlen(layout.stem));
  for (const IndexDef& ix : layout.indexes) {
    RWDBSchema columns;
    columns.appendColumn(ix.column);
    table.createIndex(base + ix.suffix, columns, conn);  // result ignored
  }
  synonym.clear();
  if (layout.synonym_suffix == nullptr) return true;
  synonym = create_own_synonym(std::string(owner.get_logid()) + "_" + layout.synonym_suffix, name,
                               owner.get_qxlogid());
  return true;
}

}  // namespace qx
