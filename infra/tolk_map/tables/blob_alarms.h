// The alarm side of the blob table: what its acknowledge, clears and alarm selections go
// by, kept where the database can find it, and the selection a clear of all alarms works
// on.
//
// The alarm index. The blob table keeps each record whole in one blob, so no column tells
// the database which records are the outstanding alarms of a managed object: a selection
// would have to read and decode every record of the log and ask the platform for the
// number of each record's managed object, at every call. Beside the blob table (whose two
// columns stay as they are) the library therefore keeps an index of its own,
// "qxi<n>_bAlm", one row per blob row, taken from the record's attribute list whenever
// the library writes, updates, acknowledges, clears or deletes a record:
//
//   logRecordId        the record
//   moiHash            the FNV-1a 64-bit hash of the managedObjectInstance value's
//                      encoding (as a signed number), indexed; NULL without one
//   moi                that encoding; NULL without one
//   cleared            1 when the record's clearState is a number other than 0, else 0
//   severity           its perceivedSeverity when 0 to 5, else 0 (indeterminate)
//   probableCause, eventType, specificProblems
//                      the contents octets of those values; NULL without one
//
// Where a list names an attribute twice, its first value counts. A selection reads only
// the index rows of one managed object (by its hash, then its encoding), so it costs in
// proportion to that object's records, not the log's. The index is made, and filled from
// the blob table, when it is missing; start-up makes it again when it does not list
// exactly the records of the blob table (rows written by a library that did not keep it).
//
// The clear selection. getOarInfo leaves the records it selected in a temporary table of
// the connection, "qxi<n>_batc<k>" (k numbers the selections of the process), which only
// this table object reads and changes: concurrent clears on other connections (another
// process) or of another table object never see each other's rows, the selection stays
// across commits until a clear of all alarms empties it, a roll-back of the transaction
// that made it takes it away, and a process that dies leaves nothing behind.
//
// Thread-safety: none; each object belongs to one blob table object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "infra/tolk_map/codecs/row_image.h"
#include "infra/tolk_map/tables/record_table.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/asn1_value.h"

class LogMapper;

namespace qx {

// The stored hash of a managed object instance's encoding (FNV-1a, 64 bits).
int64_t moi_hash(std::string_view encoding);

// What the alarm operations know of one record, taken from its attribute list.
struct BlobAlarmKeys {
  std::string moi;  // the managedObjectInstance value's encoding; empty without one
  bool has_moi = false;
  bool cleared = false;
  long severity = 0;
  // The contents octets of the criteria values; empty without one.
  std::string probable_cause;
  std::string event_type;
  std::string specific_problems;

  // Takes in one attribute of the record (its identifier's contents octets and its
  // value); the first of each attribute counts.
  void see(std::string_view id, const Asn1Value& value);
  // The keys of a stored SET of pairs; those of the pairs before a malformed component
  // when there is one (nothing raised).
  static BlobAlarmKeys of(const Asn1Value& set);

 private:
  unsigned seen_ = 0;  // a bit per attribute taken in
};

// The alarm index of one blob table. Each operation returns false, with ProcessFailX
// raised (unless the database's own failure was raised first), when a statement is
// refused.
class BlobAlarmIndex {
 public:
  // The index "<prefix>_bAlm" of the blob table `blob` of `owner`'s log. `blob` must
  // outlive the index.
  BlobAlarmIndex(const LogMapper& owner, const std::string& prefix, const RWDBTable& blob);

  // Attaches to the index, making it (with its indexes) when missing. A new index, or
  // one beside a blob table made just now (`blob_table_new`), is filled from the blob
  // table. ConflictX raised on failure.
  void attach(bool blob_table_new);

  // The record's row, kept together with `blob`, the blob table's statement of the same
  // record (bound and ready): both take effect or neither, in one round trip on
  // PostgreSQL. add writes the record's row with an insert; replace puts a row from the
  // keys in place of the record's rows with an update; remove deletes them with a
  // delete.
  bool add(unsigned long id, const BlobAlarmKeys& keys, const RWDBGroupStatement& blob);
  bool replace(unsigned long id, const BlobAlarmKeys& keys, const RWDBGroupStatement& blob);
  bool remove(unsigned long id, const RWDBGroupStatement& blob);
  // Every row again from the blob table.
  bool rebuild();

  // An outstanding alarm of a managed object.
  struct Outstanding {
    unsigned long id = 0;
    long severity = 0;
    std::string probable_cause;
    std::string event_type;
    std::string specific_problems;
  };
  // The records about the managed object of encoding `moi` that are not cleared.
  bool outstanding(const RWDBBlob& moi, std::vector<Outstanding>& out);

  // What start-up enters in the alarm state cache for a record.
  struct State {
    unsigned long id = 0;
    std::string moi;  // empty without one
    bool cleared = false;
    long severity = 0;
  };
  // Every row, in no particular order.
  bool states(std::vector<State>& out);

  const std::string& name() const { return name_; }
  // What the index table is made of.
  static const TableLayout& layout();

 private:
  // The image of a record's row.
  void fill(unsigned long id, const BlobAlarmKeys& keys);
  bool executed(RWDBResult res, const char* what);

  const LogMapper& owner_;
  const RWDBTable& blob_;
  std::string name_;
  RWDBTable table_;
  RowImage image_;
  RWDBInserter inserter_;
  RWDBDeleter deleter_;  // by logRecordId
  RWDBDeleter clear_;    // every row
  RWDBSelector outstanding_;
  unsigned long key_ = 0;
  long hash_ = 0;
  RWDBBlob moi_;
};

// The clear selection of one blob table object.
class BlobClearSelection {
 public:
  // The selection table "<prefix>_batc<k>", made when first needed.
  explicit BlobClearSelection(const std::string& prefix);
  // Drops the table when this object made it and the connection is still open.
  ~BlobClearSelection();
  BlobClearSelection(const BlobClearSelection&) = delete;
  BlobClearSelection& operator=(const BlobClearSelection&) = delete;

  // The selection becomes `rows` (record, perceived severity 0 to 5), each an
  // outstanding alarm. False (ProcessFailX raised) when a statement is refused.
  bool replace(const std::vector<std::pair<unsigned long, long>>& rows);
  // The selected records (none when nothing was selected).
  bool records(std::vector<unsigned long>& out);
  // Takes one record out of the selection (it was cleared on its own).
  bool forget(unsigned long id);
  // Empties the selection.
  bool clear();
  // A reader before the selection's rows (logrecordid, perceivedseverity and, with
  // `with_state`, clearstate, which is "unCleared"): invalid, with ProcessFailX raised,
  // when the query is refused.
  RWDBReader reader(bool with_state);
  const std::string& name() const { return name_; }

 private:
  // Makes the table when the session has none (it may have been rolled back).
  bool ensure();

  std::string name_;
  RWDBTable table_;
  bool made_ = false;  // a selection was asked for in this object's life
  RWDBInserter inserter_;
  RWDBDeleter forget_;
  RWDBDeleter clear_;
  RWDBSelector records_;
  RWDBSelector rows_;
  RWDBSelector rows_with_state_;
  unsigned long id_ = 0;
  RWCString severity_;
};

}  // namespace qx
