// How a log's record table comes to be: every record table (the event and alarm tables,
// the blob table and the blob table's alarm index) is described by its columns, its
// indexes and its synonym, and is made from that description the first time its log
// needs it, or attached to when it exists.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "infra/tolk_map/codecs/row_image.h"
#include "platform/db/rwdb_table.h"
#include "tolk.h"

class Callback;
class Exception;
class LogMapper;
class RWDBReader;
class RespValue;

namespace qx {

// An index of a record table: its name is the table's with the stem replaced by
// `suffix`; it covers one column, not unique.
struct IndexDef {
  const char* suffix;
  const char* column;
};

// What a record table is made of.
struct TableLayout {
  const char* stem;  // the table name is the log's prefix "qxi<n>" followed by it
  std::span<const ColumnDef> columns;
  std::span<const IndexDef> indexes;
  // The synonym is the log name, "_" and this; null for a table without one.
  const char* synonym_suffix;
  // Written on standard output, with the debug switch on, when the table's schema
  // cannot be fetched.
  const char* schema_failure_text;
  // A stored log may lack the table without damage (an index rebuilt from the log's
  // records; the alarm history of a log made while no history was kept): it is made
  // whenever it is missing. A table of records is made only with its log.
  bool made_when_missing = false;
};

// Attaches `table` to the record table `name` of `owner`'s log. When it does not exist
// and the log is being created (or the table is made whenever missing), it is
// created (with the storage configured for the log and table), then its indexes and
// its synonym, under the first of the log's own names that is free (own_names; a
// synonym that cannot be made is traced and `synonym` left empty; an index that cannot
// be made is passed over). Returns true when the table was created here. On failure
// ConflictX is raised and the result is false: the table cannot be created, an
// existing table's schema cannot be fetched, or a stored log's table of records is
// missing (the log is damaged: tolk_error names the log and the table; a table made
// empty now would pass the lost records off as none).
bool attach_record_table(const LogMapper& owner, const std::string& name, const TableLayout& layout,
                         RWDBTable& table, std::string& synonym);

// Record `id` of a walk of `table` does not read back (its stored values do not decode,
// `why`): reported on tolk_error with the log, the record and the reason, and counted in
// the owner's damaged_records(); the walk goes on.
void damaged_record(LogMapper& owner, const char* table, unsigned long id, const Exception* why);

// The walk of a table object's records (get_all_log_recs): every row of `r` read by
// `read` and handed to `cb`, with withLogId as a LogRespValue and entered in the cache
// under `type`, else as a RespValue lent for the call. A record that does not read back
// is reported (damaged_record), cached all the same and left out. 1 when every row was
// read, 0 when the walk broke off.
int walk_records(LogMapper& table, const std::string& name, TABLE_TYPE type, RWDBReader& r,
                 Callback& cb, int withLogId,
                 const std::function<bool(RWDBReader&, RespValue&)>& read);

}  // namespace qx
