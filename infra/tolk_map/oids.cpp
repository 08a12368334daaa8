// The mapper's static identifiers and the record-class map. Everything here is built
// in this order when the library is loaded: identifiers first, then the map.
#include "infra/tolk_map/oids.h"

#include "platform/value/private_arc.h"

const Oid qxalarmOid(QX_PRIVATE_ARC ".2.2.2.16.3.1");
const Oid objcrtOid("2.9.3.2.3.8");
const Oid objdltOid("2.9.3.2.3.9");
const Oid relchgOid("2.9.3.2.3.10");
const Oid attrvalchgOid("2.9.3.2.3.2");
const Oid secalmOid("2.9.3.2.3.11");
const Oid statechgOid("2.9.3.2.3.12");
const Oid intrnetOid(QX_PRIVATE_ARC ".2.2.2.16.3.2");
const Oid zkalarmOid(QX_PRIVATE_ARC ".2.2.2.8.3.111");
const Oid actualClassOid("2.9.3.4.3.42");

const Oid logOCOid("2.9.3.2.3.6");
const Oid logRecordOCOid("2.9.3.2.3.7");
const Oid logRecordIdOid("2.9.3.2.7.3");
const Oid logIdOid("2.9.3.2.7.2");
const Oid logRecordNBOid("2.9.3.2.6.3");
const Oid loggingTimeOid("2.9.3.2.7.59");
const Oid ackStateOid(QX_PRIVATE_ARC ".2.2.2.16.7.1");
const Oid ackTimeOid(QX_PRIVATE_ARC ".2.2.2.16.7.2");
const Oid ackOperatorOid(QX_PRIVATE_ARC ".2.2.2.16.7.3");
const Oid ackTextOid(QX_PRIVATE_ARC ".2.2.2.16.7.4");
const Oid clearStateOid(QX_PRIVATE_ARC ".2.2.2.16.7.5");
const Oid clearTimeOid(QX_PRIVATE_ARC ".2.2.2.16.7.6");
const Oid clearOperatorOid(QX_PRIVATE_ARC ".2.2.2.16.7.7");
const Oid clearTextOid(QX_PRIVATE_ARC ".2.2.2.16.7.8");
const Oid displayStateOid(QX_PRIVATE_ARC ".2.2.2.16.7.9");
const Oid displayTimeOid(QX_PRIVATE_ARC ".2.2.2.16.7.10");
const Oid displayOperatorOid(QX_PRIVATE_ARC ".2.2.2.16.7.11");
const Oid displayTextOid(QX_PRIVATE_ARC ".2.2.2.16.7.12");

const Oid adminStateOid("2.9.3.2.7.31");
const Oid opstateOid("2.9.3.2.7.35");
const Oid avstatusOid("2.9.3.2.7.33");
const Oid logfullOid("2.9.3.2.7.58");
const Oid maxlogszOid("2.9.3.2.7.62");
const Oid currlogszOid("2.9.3.2.7.54");
const Oid numrecsOid("2.9.3.2.7.64");
const Oid starttmOid("2.9.3.2.7.68");
const Oid stoptmOid("2.9.3.2.7.69");
const Oid dayintrvalsOid("2.9.3.2.7.57");
const Oid weekmaskOid("2.9.3.2.7.71");
const Oid externschedOid("2.9.3.2.7.67");
const Oid discrimOid("2.9.3.2.7.56");
const Oid capacityAlarmThresholdOid("2.9.3.2.7.52");

const Oid moiOid("2.9.3.2.7.61");

namespace {
const Oid* const kClassOfType[NUM_TABLE_TYPES] = {
    &qxalarmOid, &objcrtOid,   &objdltOid,  &relchgOid,  &attrvalchgOid,
    &secalmOid,  &statechgOid, &intrnetOid, &zkalarmOid, &actualClassOid,
};
}  // namespace

const Oid& record_class_of(TABLE_TYPE type) { return *kClassOfType[type]; }

unsigned long tolk_hash_oid(const Oid& oid) { return hashOid(oid); }

OidToTable::OidToTable() {
  map_.reserve(64);
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) map_.emplace(*kClassOfType[t], TABLE_TYPE(t));
}

TABLE_TYPE OidToTable::get_table_type(const Oid& record_class) const {
  auto it = map_.find(record_class);
  return it == map_.end() ? BLOB_TABLE : it->second;
}

const OidToTable tolk_oid_to_table;
