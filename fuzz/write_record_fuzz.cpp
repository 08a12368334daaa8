// Feeds arbitrary attribute lists to the record path of a log on an in-memory store:
// the first octet picks the record class and the record identifier, the rest is taken
// as the BER encoding of an attribute list (a SET of SEQUENCE {identifier, value}) and
// written, updated (both forms) and read back; for alarms the same list is also given
// to the acknowledge, the clears and the lookups. Nothing may crash, leak or read out
// of bounds, whatever the list holds, and a record whose write succeeded must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_reader.h"
#include "platform/value/asn1_value.h"
#include "platform/value/exception.h"
#include "tolk.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  LogMapper* log = the_log();
  static const Oid* const kClasses[] = {&objcrtOid, &objdltOid,   &relchgOid, &attrvalchgOid,
                                        &secalmOid, &statechgOid, &qxalarmOid};
  const Oid& cls = *kClasses[data[0] % 7];
  int id = data[0] >> 3;
  ExceptionScope scope;
  Asn1Value list;
  if (!Asn1Value::decode(data + 1, size - 1, list)) return 0;
  auto* entry = new OarInfo;
  bool written = log->WriteToDB(id, cls, cls, list, entry) == 1;
  if (!written) delete entry;
  // What a write accepted reads back: no value (too long for its column, refused by
  // its codec, nested to the limit) leaves a record that cannot be read.
  RespValue first;
  if (written && log->ReadfromDB(id, first) != 1) std::abort();
  log->UpdateDB(id, list);
  RespValue response;
  log->UpdateDB(id, list, response);
  RespValue values;
  log->ReadfromDB(id, values);
  RespValue ack;
  log->UpdateDBAck(id, list, ack);
  RespValue clear;
  log->UpdateDBClear(id, list, clear);
  log->UpdateDBClearAlarms(id, cls, list);
  RWDBReader lookup;
  if (log->getOarInfo(id, cls, list, lookup) == 1) {
    while (lookup()) {
    }
  }
  RWDBReader all;
  if (log->getOarInfo(id, cls, all) == 1) {
    while (all()) {
    }
  }
  LogMapper::commit();
  // Keep the store small: forget the record again.
  log->deleteDB(id);
  LogMapper::commit();
  return 0;
}
