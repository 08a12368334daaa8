// Feeds arbitrary attribute lists to the record path of a log on an in-memory store:
// the first octet picks the record class (one of the nine with a table of their own, or
// a class kept by the blob table) and the record identifier, the rest is taken as the
// BER encoding of an attribute list (a SET of SEQUENCE {identifier, value}) and written,
// updated (both forms) and read back; the same list is also given to the acknowledge,
// the clears and the lookups, and a blob record's class is looked up. With the last
// choice of class the rest is instead stored as it stands over a blob record's attribute
// list, as a damaged database would hold it, and every operation runs on that record.
// Nothing may crash, leak or read out of bounds, whatever the list or the stored octets,
// and a record whose write succeeded must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/asn1_value.h"
#include "platform/value/exception.h"
#include "tolk.h"

namespace {

const Oid kAlarmRecord("2.9.3.2.3.1");  // no table of its own: the blob table keeps it

LogMapper* the_log() {
  static LogMapper* log = [] {
    setenv("QXDB_URL", "sqlite::memory:", 1);
    Asn1Value id;
    id.encode_int(7);
    Asn1Value empty;
    empty.start_construct(TAG_SET);
    auto* m = new LogMapper(id, empty, "", TolkMap::def_owner_id());
    if (!m->created()) std::abort();
    return m;
  }();
  return log;
}

Asn1Value pair(const Oid& id, const Asn1Value& value) {
  Asn1Value oid, p;
  oid.encode_oid(id);
  p.start_construct(TAG_SEQ);
  p.add_component(oid);
  p.add_component(value);
  return p;
}

// The managed object the damaged record is about, and its number.
const Asn1Value& managed_object() {
  static const Asn1Value v = [] {
    Asn1Value name;
    name.encode_octets("ne-1", TAG_GRAPHSTR);
    Asn1Value dn;
    dn.start_construct(TAG_CTX2);
    dn.add_component(name);
    return dn;
  }();
  return v;
}

// A well-formed blob alarm record whose stored list is then overwritten with `bytes`.
bool store_damaged(LogMapper* log, int id, const uint8_t* bytes, size_t n) {
  Asn1Value cls, severity, list;
  cls.encode_oid(kAlarmRecord, TAG_CTX0);
  severity.encode_enum(1);
  list.start_construct(TAG_SET);
  list.add_component(pair(objectClassOid, cls));
  list.add_component(pair(moiOid, managed_object()));
  list.add_component(pair(perceivedSeverityOid, severity));
  auto* entry = new OarInfo;
  if (log->WriteToDB(id, kAlarmRecord, kAlarmRecord, list, entry) != 1) {
    delete entry;
    return false;
  }
  RWDBTable t = LogMapper::aDB_().table(log->get_table_name() + "_blob");
  RWDBUpdater up = t.updater();
  up.set("userDefined", RWDBExpr(RWDBBlob(bytes, n)));
  up.where(t["logRecordId"] == RWDBExpr(static_cast<unsigned long>(id)));
  return up.execute(LogMapper::aConnection()).isValid();
}

void drain(RWDBReader& r) {
  while (r()) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  LogMapper* log = the_log();
  static const Oid* const kClasses[] = {&objcrtOid,  &objdltOid,    &relchgOid,   &attrvalchgOid,
                                        &secalmOid,  &statechgOid,  &qxalarmOid,  &zkalarmOid,
                                        &intrnetOid, &kAlarmRecord, &kAlarmRecord};
  constexpr size_t kChoices = sizeof kClasses / sizeof kClasses[0];
  size_t choice = data[0] % kChoices;
  const Oid& cls = *kClasses[choice];
  int id = data[0] >> 3;
  ExceptionScope scope;
  Asn1Value list;
  bool decoded = Asn1Value::decode(data + 1, size - 1, list);
  if (choice == kChoices - 1) {
    if (!store_damaged(log, id, data + 1, size - 1)) return 0;
  } else {
    if (!decoded) return 0;
    auto* entry = new OarInfo;
    bool written = log->WriteToDB(id, cls, cls, list, entry) == 1;
    if (!written) delete entry;
    // What a write accepted reads back: no value (too long for its column, refused by
    // its codec, nested to the limit) leaves a record that cannot be read.
    RespValue first;
    if (written && log->ReadfromDB(id, first) != 1) std::abort();
  }
  if (!decoded) list.start_construct(TAG_SET);  // the damaged record's operations
  log->UpdateDB(id, list);
  RespValue response;
  log->UpdateDB(id, list, response);
  RespValue values;
  log->ReadfromDB(id, values);
  Oid record_class;
  log->get_log_record_class(static_cast<unsigned long>(id), record_class);
  RespValue ack;
  log->UpdateDBAck(id, list, ack);
  RespValue clear;
  log->UpdateDBClear(id, list, clear);
  // The blob table clears what the alarm selection chose: select first.
  long moi = LogMapper::moi_number(managed_object());
  RWDBReader lookup;
  if (log->getOarInfo(static_cast<int>(moi), cls, list, lookup) == 1) drain(lookup);
  log->UpdateDBClearAlarms(static_cast<int>(moi), cls, list);
  if (log->getOarInfo(id, cls, list, lookup) == 1) drain(lookup);
  RWDBReader all;
  if (log->getOarInfo(id, cls, all) == 1) drain(all);
  log->UpdateDBClearAlarms(id, cls, list);
  log->get_all_log_recs(no_op_cb, 0);
  LogMapper::commit();
  // Keep the store small: forget the record again.
  log->deleteDB(id);
  LogMapper::commit();
  return 0;
}
