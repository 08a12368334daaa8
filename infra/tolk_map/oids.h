// The attribute and record-class identifiers the mapper works with, built once when
// the library is loaded (all in one translation unit, so that their construction order
// is fixed), and the record-class map that decides which table object takes a record.
#pragma once

#include <unordered_map>

#include "platform/value/oid.h"
#include "tolk.h"

// Record classes, one per table type.
extern const Oid qxalarmOid;      // 0: the platform's alarm record
extern const Oid objcrtOid;       // 1: objectCreationRecord
extern const Oid objdltOid;       // 2: objectDeletionRecord
extern const Oid relchgOid;       // 3: relationshipChangeRecord
extern const Oid attrvalchgOid;   // 4: attributeValueChangeRecord
extern const Oid secalmOid;       // 5: securityAlarmReportRecord
extern const Oid statechgOid;     // 6: stateChangeRecord
extern const Oid intrnetOid;      // 7: alarms raised by SNMP traps
extern const Oid zkalarmOid;      // 8: the alarm-correlation feature's alarm record
extern const Oid actualClassOid;  // 9: every other class (the blob table)

extern const Oid logOCOid;
extern const Oid logRecordOCOid;
extern const Oid logRecordIdOid;
extern const Oid logIdOid;
extern const Oid logRecordNBOid;
extern const Oid loggingTimeOid;
// What operators did with an alarm: acknowledge, clear and display state, each with
// its time, operator and text.
extern const Oid ackStateOid;
extern const Oid ackTimeOid;
extern const Oid ackOperatorOid;
extern const Oid ackTextOid;
extern const Oid clearStateOid;
extern const Oid clearTimeOid;
extern const Oid clearOperatorOid;
extern const Oid clearTextOid;
extern const Oid displayStateOid;
extern const Oid displayTimeOid;
extern const Oid displayOperatorOid;
extern const Oid displayTextOid;

// Log attributes.
extern const Oid adminStateOid;
extern const Oid opstateOid;
extern const Oid avstatusOid;
extern const Oid logfullOid;
extern const Oid maxlogszOid;
extern const Oid currlogszOid;
extern const Oid numrecsOid;
extern const Oid starttmOid;
extern const Oid stoptmOid;
extern const Oid dayintrvalsOid;
extern const Oid weekmaskOid;
extern const Oid externschedOid;
extern const Oid discrimOid;
extern const Oid capacityAlarmThresholdOid;

// managedObjectInstance, whose formatted text is the object's distinguished name.
extern const Oid moiOid;

// The record class of each table type, indexed by TABLE_TYPE.
const Oid& record_class_of(TABLE_TYPE type);

unsigned long tolk_hash_oid(const Oid& oid);

// Record class to table type. Classes not in the map belong to the blob table.
class OidToTable {
 public:
  // Filled with the nine classes that have a table of their own, and actualClassOid.
  OidToTable();
  // The stored type, or BLOB_TABLE for any class not in the map.
  TABLE_TYPE get_table_type(const Oid& record_class) const;

 private:
  struct Hash {
    size_t operator()(const Oid& o) const { return tolk_hash_oid(o); }
  };
  std::unordered_map<Oid, TABLE_TYPE, Hash> map_;
};

extern const OidToTable tolk_oid_to_table;
