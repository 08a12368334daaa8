// BlobT: the record table of every record class that has no table of its own (table
// type 9). A record is kept whole: one row of the table "qxi<n>_blob" holds its
// identifier ("logRecordId") and its attribute list ("userDefined", at most 33,000
// octets), as a SET of SEQUENCE {OBJECT IDENTIFIER, value} in the order the record gave
// them. The record's class is its objectClass attribute. The table has an index on
// "logRecordId" ("qxi<n>blbid") and a synonym "<log name>_blob".
//
// The blob table also serves the caller's alarm service for such records: it
// acknowledges and clears them, and selects the outstanding alarms of a managed object,
// going by the alarm index and the clear selection of blob_alarms.h.
//
// Every operation with a list checks the whole list (and, for a change, the record's new
// attribute list: it must fit the blob) before anything is executed; one that fails
// changes nothing, its exception scope keeps the reason, and it reports 0. A stored
// attribute list that does not decode is never overwritten by a change.
//
// Thread-safety: none; one call at a time per table object, all statements on the one
// shared connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/attribute_list.h"
#include "infra/tolk_map/codecs/row_image.h"
#include "infra/tolk_map/tables/blob_alarms.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_updater.h"
#include "tolk.h"

class BlobT : public LogMapper {
 public:
  // The most octets a record's attribute list takes in the blob.
  static constexpr size_t kMaxListOctets = 33000;

  // Builds the blob table object of `owner`'s log: attaches to its table (making it,
  // with its index and synonym, when missing) and to its alarm index. A table that
  // cannot be made, or whose schema cannot be fetched, raises ConflictX into the
  // caller's scope.
  explicit BlobT(LogMapper* owner);
  ~BlobT() override;

  using LogMapper::UpdateDB;
  using LogMapper::UpdateDBClear;
  using LogMapper::WriteToDB;

  // Stores the record: its attribute list, whole, whatever its attributes (the class
  // arguments and `entry` are not read). 0, with nothing written, for a malformed list
  // or one of more than kMaxListOctets octets.
  int WriteToDB(const int& id, const Oid& recordClass, const Oid& otherClass,
                const Asn1Value& attributes, OarInfo* entry) override;
  // Deletes the record's rows: 1 when the statements ran.
  int deleteDB(const int& id) override;
  // Changes attributes of the record: its new attribute list holds the list's attributes
  // first, in the list's order, then the stored attributes the list does not name, in
  // stored order. 1 without any statement for an empty list or a record that has no row;
  // 0, with nothing changed, for a malformed list, a stored list that does not decode,
  // or a new list of more than kMaxListOctets octets. The form with `response` also
  // reports each attribute of the list with its new and its stored value (none when it
  // had none).
  int UpdateDB(const int& id, const Asn1Value& attributes) override;
  int UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Reads the record: its identifier as logRecordId (unless its list holds one), then
  // every stored attribute in stored order. 0 when there is no row or the stored list
  // does not decode (then with the value library's error left pending).
  int ReadfromDB(const int& id, RespValue& values) override;
  int ReadfromDB() override { return 1; }
  int ClearRecs() override { return 1; }
  // Hands every record, read as by ReadfromDB, to `cb`: with `withLogId` 0 a RespValue*,
  // otherwise a LogRespValue* (and the record enters the owner's alarm state cache);
  // valid only until the callback returns. 0 at the first record that cannot be read.
  int get_all_log_recs(Callback& cb, int withLogId) override;
  // With a non-zero flag, enters every stored record in the owner's alarm state cache
  // with its managed object's number (0 when the platform has none for it), clear state
  // and severity, from the alarm index; an index that does not list exactly the stored
  // records is made again first. `cb` is not called.
  int get_all_almsvc_recs(Callback& cb, int flag) override;
  // The class of a stored record: the value of the first objectClass attribute of its
  // list. 0 when there is no row; 0 with ResourceLimX (or the value library's error)
  // left pending when the list does not decode, holds a component that is no
  // attribute before it, has none, or its value is no object identifier (globalForm or
  // an OBJECT IDENTIFIER).
  int getBlobMOCInfo(const int& id, Oid& recordClass) const override;
  // Every attribute is kept.
  bool is_attribute(const Oid&) const override { return true; }

  // ---- Alarms.

  // Acknowledges the record: a change of its attributes (UpdateDB) with the list, which
  // may hold any attributes; `response` gets each with its new and stored value. 1 for
  // an empty list (nothing executed); 0 also when the record has no row.
  int UpdateDBAck(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Clears the record in the same way, takes it out of the clear selection, and the
  // owner's cached clear state becomes the state its list now holds (cleared when its
  // clearState is a number other than 0).
  int UpdateDBClear(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Clears every record of the clear selection (the last getOarInfo of this object that
  // the transaction still holds) as UpdateDBClear does with the list, then empties the
  // selection; a selected record that has no row any more is passed over. The arguments
  // `moiId` and `recordClass` are not read. Every record's change is checked before any
  // is executed; the owner's cached clear states follow the records cleared. With no
  // selection, nothing is cleared (1).
  int UpdateDBClearAlarms(const int moiId, const Oid& recordClass,
                          const Asn1Value& attributes) override;
  // The alarm selection: the clear selection becomes the records about the managed
  // object numbered `moiId` whose clearState is absent or 0 and whose probableCause,
  // eventType and specificProblems, for each of them the list gives, have the same
  // contents octets (an absent one has none); `reader` is positioned before its rows
  // (logrecordid, perceivedseverity), in record order. An empty list selects every
  // outstanding alarm of the managed object. 0, with the selection as it was, for a
  // malformed list or one with another attribute.
  int getOarInfo(const int moiId, const Oid& recordClass, const Asn1Value& attributes,
                 RWDBReader& reader) override;
  // The same with an empty list; the rows are (logrecordid, perceivedseverity,
  // clearstate).
  int getOarInfo(const int moiId, const Oid& recordClass, RWDBReader& reader) override;
  bool keeps_alarms() const override { return true; }

  // What the blob table is made of.
  static const qx::TableLayout& layout();
  const std::string& get_synonym_name() const { return synonym_name_; }
  const qx::BlobAlarmIndex& alarm_index() const { return *index_; }
  const qx::BlobClearSelection& clear_selection() const { return *selection_; }

 private:
  // A record's change, worked out before anything is executed.
  struct Change {
    unsigned long id = 0;
    bool has_row = false;
    std::string list;  // the new attribute list's encoding
    qx::BlobAlarmKeys keys;
  };

  // The blob table's handle (made empty when there is none yet), which the alarm index
  // keeps a reference to before the table is attached.
  const RWDBTable& table();
  // The record's stored attribute list (an empty value for a NULL one): 1, 0 when it
  // has no row, -1 when it cannot be read or does not decode (raised).
  int stored_list(int id, Asn1Value& list) const;
  // Fills `values` from the reader's row (logrecordid, userdefined). False (raised) when
  // the list does not decode.
  bool read_record(RWDBReader& r, RespValue& values) const;
  // Works out the change of record `id` by `attrs`; `report` (when given) gets each
  // attribute with its new and stored value. False (raised) on failure.
  bool plan(int id, std::vector<qx::Attribute>& attrs, Change& change, RespValue* report);
  // Executes a planned change: the blob row and its alarm index row together. False
  // (raised), with both as they were, on failure.
  bool apply(const Change& change);
  // UpdateDB and its alarm forms: `require_row` fails a record that has no row; on
  // success `done` (when given) gets the change executed.
  int change(int id, const Asn1Value& attributes, RespValue& response, bool require_row,
             Change* done);
  // Selects the outstanding alarms of `moiId` matching `criteria` into the clear
  // selection. False (raised) on failure.
  bool select(int moiId, const std::vector<qx::Attribute>& criteria);

  // The row image (logRecordId, userDefined) and the statements on it.
  qx::RowImage image_;
  RWDBInserter inserter_;
  RWDBUpdater updater_;  // userDefined by logRecordId
  RWDBDeleter deleter_;  // by logRecordId
  unsigned long key_ = 0;
  RWDBSelector all_;          // logRecordId, userDefined of every row
  RWDBSelector ids_;          // logRecordId of every row
  mutable RWDBSelector one_;  // logRecordId, userDefined of one record
  mutable unsigned long one_key_ = 0;
  std::unique_ptr<qx::BlobAlarmIndex> index_;
  std::unique_ptr<qx::BlobClearSelection> selection_;
};
