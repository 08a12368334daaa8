// EventLogT: the record table of one event record class of one log. Every event and
// alarm record table is an EventLogT; what tells them apart is data, an EventClass:
// the table-name stem, the index and synonym suffixes, the class's own columns after
// the ten common ones, its own codecs and readers, and its message numbers. The table
// classes (ObjcrtT, ObjdltT, ...) are thin subclasses that name their EventClass.
//
// A table object is a LogMapper (codec registries, table handle, prepared statements of
// its own) built by the log's mapper (`owner`), whose alarm state cache and record
// bookkeeping it fills. It creates its table, index and synonym when they are missing,
// or attaches to them. Records are written through one insert prepared once and bound
// to the row image.
//
// What a record keeps: each attribute with a codec of its own in its column; list-valued
// attributes together in the blob column (a SET of SEQUENCE {identifier, value}, in the
// order received) and as formatted text in their text column where they have one. A
// record without list-valued attributes stores an empty SET, and a NULL blob (rows of
// older versions) reads as one.
//
// Thread-safety: none; one call at a time per table object, all statements on the one
// shared connection.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/attribute_list.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/codecs/row_image.h"
#include "infra/tolk_map/tables/record_table.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_null_indicator.h"
#include "platform/db/rwdb_selector.h"
#include "tolk.h"

// Attributes of the common event record columns (loggingTimeOid, moiOid and
// logRecordIdOid are in oids.h).
extern const Oid eventTypeOid;         // 2.9.3.2.7.14
extern const Oid objectClassOid;       // 2.9.3.2.7.65, the record class
extern const Oid mocOid;               // 2.9.3.2.7.60 managedObjectClass
extern const Oid eventTimeOid;         // 2.9.3.2.7.13
extern const Oid notificationIdOid;    // 2.9.3.2.7.16
extern const Oid correlatedNotifsOid;  // 2.9.3.2.7.12
extern const Oid additionalTextOid;    // 2.9.3.2.7.7
extern const Oid additionalInfoOid;    // 2.9.3.2.7.6
// Attributes of the event record classes' own columns.
extern const Oid sourceIndicatorOid;        // 2.9.3.2.7.26
extern const Oid attributeListOid;          // 2.9.3.2.7.9
extern const Oid attributeIdListOid;        // 2.9.3.2.7.8
extern const Oid relChangeDefOid;           // 2.9.3.2.7.20
extern const Oid attrValChangeDefOid;       // 2.9.3.2.7.10
extern const Oid stateChangeDefOid;         // 2.9.3.2.7.28
extern const Oid securityAlarmCauseOid;     // 2.9.3.2.7.21
extern const Oid securityAlarmSeverityOid;  // 2.9.3.2.7.23
extern const Oid securityAlarmDetectorOid;  // 2.9.3.2.7.22
extern const Oid serviceUserOid;            // 2.9.3.2.7.25
extern const Oid serviceProviderOid;        // 2.9.3.2.7.24

// Column names the record tables share.
extern const char* const logrecid_col;  // "logrecordid"
extern const char* const blob_col;      // "blob"

namespace qx {

// The ten columns every event record table begins with, in table order.
inline constexpr std::array<ColumnDef, 10> kCommonEventColumns = {{
    {"loggingTime", RWDBValue::DateTime, 0, true, ATTR_LOGGING_TIME},
    {"eventName", RWDBValue::String, 255, true, ATTR_EVENT_NAME},
    {"MOC_s", RWDBValue::String, 255, true, ATTR_MOC},
    {"MOI_s", RWDBValue::String, 255, true, ATTR_MOI},
    {"eventTime", RWDBValue::DateTime, 0, true, ATTR_EVENT_TIME},
    {"notificationId", RWDBValue::UnsignedLong, 0, true, ATTR_NOTIFICATION_ID},
    {"correlatedNotifs", RWDBValue::String, 255, true, ATTR_CORRELATED_NOTIFS},
    {"additionalText", RWDBValue::String, 255, true, ATTR_ADDITIONAL_TEXT},
    {"additionalInfo_s", RWDBValue::String, 255, true, ATTR_ADDITIONAL_INFO},
    {"logRecType", RWDBValue::String, 255, true, ATTR_LOG_REC_TYPE},
}};

// The arrays one after the other, for tables described in parts.
template <class T, size_t... N>
constexpr std::array<T, (N + ...)> concat(const std::array<T, N>&... parts) {
  std::array<T, (N + ...)> all{};
  size_t at = 0;
  auto append = [&](const auto& part) {
    for (const T& t : part) all[at++] = t;
  };
  (append(parts), ...);
  return all;
}

// The last column of a record table: its list-valued attributes, exact.
inline constexpr std::array<ColumnDef, 1> kBlobColumn = {{
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}};

// A table's columns: the common ten followed by the class's own.
template <size_t N>
constexpr std::array<ColumnDef, 10 + N> with_common_columns(const std::array<ColumnDef, N>& own) {
  return concat(kCommonEventColumns, own);
}

// The text a column of a new row holds when its record does not give the column's
// attribute (without one, such a column is NULL).
struct InitialText {
  ATTRIBUTES attr;
  const char* text;
};

// The message numbers of a class: the two lines written when a write, an update or an
// update with response fails.
struct MessageNumbers {
  int write[2];
  int update[2];
  int update_response[2];
};

// Everything that tells one record table class from another.
struct EventClass {
  const char* class_name;  // "ObjcrtT", for traces
  TABLE_TYPE type;
  const char* stem;  // five characters, appended to "qxi<n>"
  std::span<const IndexDef> indexes;
  const char* synonym_suffix;          // synonym = log name + "_" + suffix
  std::span<const ColumnDef> columns;  // every column, in table order
  std::span<const CodecSpec> codecs;   // the class's own, after the common ones
  std::span<const ReaderSpec> readers;
  MessageNumbers messages;
  // Reading a record identifier that has two rows is a failure (the state change
  // table checks it; the others read the first row).
  bool single_row_read = false;
  std::span<const InitialText> initial_texts = {};
  // Attributes whose columns operations other than UpdateDB change in place (an alarm's
  // acknowledgement and clear). A record keeps a value its column cannot hold whole in
  // its blob, where it takes the column's place when read: for these attributes the
  // column would later hold a newer value, so a write refuses such a value instead.
  std::span<const ATTRIBUTES> changed_in_place = {};
  // Written on standard output, with the debug switch on, when the table's schema
  // cannot be fetched.
  const char* schema_failure_text = "ERROR: schema fetch failed";
};

// The codecs and readers of the ten common columns.
std::span<const CodecSpec> common_event_codecs();
std::span<const ReaderSpec> common_event_readers();

}  // namespace qx

// The row image of a record table: one field per column, addressed by attribute number.
// Text columns holding the empty text and the blob are bound as NULL when empty, so that
// an absent attribute reads back as absent.
class EventLogImpl : public qx::RowImage {
 public:
  explicit EventLogImpl(std::span<const qx::ColumnDef> columns,
                        std::span<const qx::InitialText> initial = {});

  // Ready for the next record: every field empty (or its initial text) and no number
  // given.
  void start_row();
  // A codec gave the column of `attr` a value (numbers are NULL until one does; the
  // record identifier and the managed-object number always have one).
  void given(ATTRIBUTES attr);
  // Names the columns of `present` (bits by column position) in `ins` and binds each
  // to its field (numbers and blobs with a null indicator, texts as fitted, both of
  // which set_nulls() settles before each execution); by default every column.
  void bind_all(RWDBInserter& ins, uint64_t present = kAllColumns);
  // Settles the row's NULLs and fits the texts no codec gave (the initial ones);
  // returns the columns that hold a value, as bits by column position (set past the
  // last column); kAllColumns when every column holds one, and for a table of more
  // columns than bits.
  uint64_t set_nulls();

  static constexpr uint64_t kAllColumns = ~uint64_t{0};

 private:
  std::vector<RWDBNullIndicator> nulls_;  // by column, of its numbers and blob; never resized
  std::vector<char> given_;               // one per column
  std::vector<const char*> initial_;      // one per column: its initial text, or null
  std::vector<size_t> with_initial_;      // the columns that have one
};

class EventLogT : public LogMapper {
 public:
  // Builds the table object of `owner`'s log for the class `cls`: registers the common
  // and the class's codecs, creates (or attaches to) the table "qxi<n>" + stem with its
  // indexes and synonym, and prepares its statements. A table that cannot be created,
  // or whose schema cannot be fetched, raises ConflictX into the caller's scope.
  EventLogT(LogMapper* owner, const qx::EventClass& cls);
  ~EventLogT() override;

  using LogMapper::UpdateDB;
  using LogMapper::WriteToDB;

  // Stores one record: 1 when the row was inserted, 0 on a malformed list (a
  // component that is not a pair, an identifier that does not decode) or a refused
  // insert; nothing is written then. Unregistered attributes are ignored; the record
  // identifier always comes from `id`. `entry` supplies the managed-object number of
  // tables with a moi_id column (0 without one).
  int WriteToDB(const int& id, const Oid& recordClass, const Oid& otherClass,
                const Asn1Value& attributes, OarInfo* entry) override;
  // The four-argument form: does nothing, 1.
  virtual int WriteToDB(const int&, const Oid&, const Oid&, const Asn1Value&) { return 1; }
  // Changes attributes of the record: column attributes through their update codecs,
  // list-valued ones in the blob (keeping the record's other list values; their text
  // columns keep their text). 1 also when no row matches; 0 on a malformed list or a
  // refused update.
  int UpdateDB(const int& id, const Asn1Value& attributes) override;
  // As above, and `response` gets (new value, stored value) of every attribute named in
  // the list. 0, with `response` untouched, when the record cannot be read.
  int UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Deletes the record's rows: 1 when the statement ran.
  int deleteDB(const int& id) override;
  // Reads the record: its column attributes in table order, then its list values in
  // stored order. 0 when there is no row or the blob does not decode (the entries read
  // so far stay in `values`, and the value library's error is left pending).
  int ReadfromDB(const int& id, RespValue& values) override;
  int ReadfromDB() override { return 1; }
  // Hands every record to `cb`: with `withLogId` 0 a RespValue*, otherwise a
  // LogRespValue* (and the record enters the owner's alarm state cache); valid only
  // until the callback returns. 0 on the first row that cannot be read.
  int get_all_log_recs(Callback& cb, int withLogId) override;
  // With a non-zero flag, enters every stored record identifier in the owner's cache.
  int get_all_almsvc_recs(Callback& cb, int flag) override;
  int ClearRecs() override { return 1; }
  void store_all_pop_funcs() override;
  void store_all_rdr_funcs() override;

  const qx::EventClass& event_class() const { return cls_; }
  const std::string& get_synonym_name() const { return synonym_name_; }

 protected:
  // Attaches to the table (creating it with its indexes and synonym when missing).
  void CreateLogT(const std::string& tableName, const LogMapper* owner);
  // Runs the update of record `id` that UpdateDB built from `attrs` (a class may run
  // other statements in the same unit).
  virtual RWDBResult execute_update(RWDBUpdater& up, unsigned long id,
                                    const std::vector<qx::Attribute>& attrs);
  // The row image and the prepared insert and delete.
  void bind_variables();
  // The identifier-only select of the alarm-service load.
  void init_alarmsvc_variables();

  // Fills `values` from the reader's current row: column attributes, then the blob's.
  // False when the blob does not decode.
  bool read_row(RWDBReader& r, const std::vector<std::pair<size_t, RdrInfo*>>& readers,
                RespValue& values);
  // The positions of the result's columns to read and their readers, in column order
  // (list readers left out); the blob column comes first, with no reader.
  std::vector<std::pair<size_t, RdrInfo*>> column_readers(RWDBReader& r);

  // The insert of a row whose columns with a value are `present` (EventLogImpl::set_nulls).
  RWDBInserter& inserter_for(uint64_t present);

  const qx::EventClass& cls_;
  std::unique_ptr<EventLogImpl> image_;
  RWDBInserter inserter_;  // every column
  // Inserts that name only the columns a row has a value for, so that its NULL columns
  // are not sent at all: one for each set of columns met, up to kMaxShapes of them;
  // rows of any other set take inserter_. A stream of records has few such sets.
  struct Shape {
    uint64_t present;
    RWDBInserter inserter;
  };
  static constexpr size_t kMaxShapes = 8;
  std::vector<Shape> shapes_;
  size_t last_shape_ = 0;
  RWDBDeleter deleter_;
  unsigned long delete_id_ = 0;
  RWDBSelector alarmsvc_selector_;
  bool has_moi_id_ = false;
};
