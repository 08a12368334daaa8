// The two tables shared by all logs: the log table "Log" (one row per log with its
// attributes) and the internal log table "QxLog" (one row per record table of a log),
// their row images, the codecs of the log attributes, and the names of a log's record
// tables and synonyms.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/codecs/row_image.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "tolk.h"

// Column names of the shared tables.
extern const char* const logid_col;          // "LogId"
extern const char* const qxlogid_col;        // "QxLogId"
extern const char* const logidtype_col;      // "LogIdType"
extern const char* const logidasn_col;       // "logidasn"
extern const char* const qxlogname_col;      // "qxlogName"
extern const char* const qxlogrectype_col;   // "qxlogrecordtype"
extern const char* const qxlog_qxlogid_col;  // "qxlogid"

// The row image of the log table, in column order.
class LogMapperImpl : public qx::RowImage {
 public:
  LogMapperImpl();
  static std::span<const qx::ColumnDef> columns();
};

// The row image of the internal log table.
class QxLogImpl : public qx::RowImage {
 public:
  QxLogImpl();
  static std::span<const qx::ColumnDef> columns();
};

namespace qx {

// The prepared statements of a log mapper on the two shared tables.
struct LogStatements {
  RWDBInserter log_inserter;
  RWDBInserter qxlog_inserter;
  RWDBDeleter qxlog_deleter;  // WHERE qxlogid = the mapper's number (bound)
  unsigned long qxlogid_bound = 0;
};

// The codecs of the log attributes (registered by LogMapper::store_all_pop_funcs) and
// the readers of the log table's columns, keyed by the column names in the lower case
// the database reports them in.
std::span<const CodecSpec> log_codec_specs();
std::span<const ReaderSpec> log_reader_specs();

// Five-character table-name stem and synonym suffix of each table type.
const char* table_stem(TABLE_TYPE type);
const char* synonym_suffix(TABLE_TYPE type);
// The record table of a type for the internal record-table name `prefix` ("qxi7").
std::string record_table_name(const std::string& prefix, TABLE_TYPE type);
// The table a record table class keeps beside its record table, made and dropped with
// it: "<prefix>_bAlm", the blob table's alarm index; empty for the other types.
std::string companion_table_name(const std::string& prefix, TABLE_TYPE type);
// The synonym of a log's record table of a type.
std::string record_synonym_name(const std::string& log_name, TABLE_TYPE type);

// The names under which a log makes an object named after itself (synonyms, views):
// `primary`, or, when another log holds an object of a name that folds to the same
// (logs "Foo" and "foo"), `primary` + "_" + the log's internal number. A log makes its
// object under the first that is free, and drops under either only an object that
// reads its own tables: a log never replaces, takes or drops another log's objects.
std::array<std::string, 2> own_names(const std::string& primary, uint32_t qxlogid);
// Makes the synonym of `table` under the first of own_names(primary, qxlogid) that is
// free. Its name, or empty when neither could be made (the failing SQL on tolk_error).
std::string create_own_synonym(const std::string& primary, const std::string& table,
                               uint32_t qxlogid);
// Whether `name` is a synonym or view that reads `table`, directly or through another
// view: an object of the log that owns `table`.
bool stands_for(const std::string& name, const std::string& table);

// The table that hands out internal log numbers.
extern const char* const kLogNumberTable;

}  // namespace qx
