// IntrNetT: the record table of a log's internet alarm records, alarms raised from SNMP
// traps (internetAlarmRecord). Besides probable cause and perceived severity it keeps
// the trap's attributes, all list-valued (values in the blob, texts in their columns),
// and none of the other X.733 attributes: those in a trap alarm's list are not stored.
// Its clear-all and alarm lookup have no specific-problems criterion, and the lookup
// reports each alarm's clear state too. An AlarmLogT of its own class description; see
// alarmlog.h.
#pragma once

#include "infra/tolk_map/tables/alarmlog.h"

extern const Oid objectInstLstOid;  // PRIVATE_ARC.2.2.2.9.2.7.1
extern const Oid snmpVarBindOid;    // PRIVATE_ARC.2.2.2.9.2.4.1.1.13
extern const Oid internetTrapOid;   // PRIVATE_ARC.2.2.2.9.2.4.1.1.14
extern const Oid transportDomOid;   // PRIVATE_ARC.2.2.2.9.2.7.3
extern const Oid accCntrlOid;       // PRIVATE_ARC.2.2.2.9.2.4.1.1.15

class IntrNetT : public AlarmLogT {
 public:
  explicit IntrNetT(LogMapper* owner);
  // The class description: table stem "qxInt", synonym suffix "intAlm".
  static const qx::AlarmClass& description();
};
