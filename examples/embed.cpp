// A small caller of the log mapper, as a management process embeds it: start-up with
// both callbacks, a log created with its attributes, records written and committed,
// read back one by one and all together, an alarm raised, looked up, acknowledged and
// cleared, and the log deleted again so that the store is left as it was found.
//
//   QXDB_URL=sqlite:/tmp/example.db ./embed [LOG]
//
// Build it against an installed library with CMake (find_package(logmapper CONFIG),
// target logmapper::tolk_map: see CMakeLists.txt here) or with pkg-config:
//
//   c++ embed.cpp $(pkg-config --cflags --libs logmapper) -o embed
#include <platform/db/rwdb_reader.h>
#include <tolk.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

// Attribute and class identifiers the example uses (ITU-T X.721).
const Oid kAdministrativeState("2.9.3.2.7.31");
const Oid kMaxLogSize("2.9.3.2.7.62");
const Oid kLoggingTime("2.9.3.2.7.59");
const Oid kEventType("2.9.3.2.7.14");
const Oid kNotificationIdentifier("2.9.3.2.7.16");
const Oid kAdditionalText("2.9.3.2.7.7");
const Oid kObjectClass("2.9.3.2.7.65");
const Oid kLogId("2.9.3.2.7.2");
const Oid kObjectCreationRecord("2.9.3.2.3.8");
const Oid kObjectCreation("2.9.3.2.10.6");
const Oid kManagedObjectInstance("2.9.3.2.7.61");
const Oid kSystemId("2.9.3.2.7.4");
const Oid kPerceivedSeverity("2.9.3.2.7.17");
const Oid kProbableCause("2.9.3.2.7.18");
const Oid kCommunicationsAlarm("2.9.3.2.10.2");
const Oid kPowerProblem("2.9.3.2.0.0.58");
// The platform's own alarm record and what operators do with an alarm.
const Oid kAlarmRecord("1.3.6.1.4.1.32473.2.2.2.16.3.1");
const Oid kAckState("1.3.6.1.4.1.32473.2.2.2.16.7.1");
const Oid kAckOperator("1.3.6.1.4.1.32473.2.2.2.16.7.3");
const Oid kClearState("1.3.6.1.4.1.32473.2.2.2.16.7.5");
const Oid kClearOperator("1.3.6.1.4.1.32473.2.2.2.16.7.7");

// A list of attributes: a SET of SEQUENCE {identifier, value}.
class AttributeList {
 public:
  AttributeList() { list_.start_construct(TAG_SET); }
  AttributeList& add(const Oid& id, const Asn1Value& value) {
    Asn1Value oid, pair;
    oid.encode_oid(id);
    pair.start_construct(TAG_SEQ);
    pair.add_component(oid);
    pair.add_component(value);
    list_.add_component(pair);
    return *this;
  }
  const Asn1Value& value() const { return list_; }

 private:
  Asn1Value list_;
};

Asn1Value Enum(long v) {
  Asn1Value a;
  a.encode_enum(v);
  return a;
}
Asn1Value Int(long v) {
  Asn1Value a;
  a.encode_int(v);
  return a;
}
Asn1Value Text(const std::string& s, Asn1Tag tag = TAG_GRAPHSTR) {
  Asn1Value a;
  a.encode_octets(s, tag);
  return a;
}
Asn1Value Identifier(const Oid& oid, Asn1Tag tag = TAG_OID) {
  Asn1Value a;
  a.encode_oid(oid, tag);
  return a;
}
Asn1Value Construct(Asn1Tag tag, std::initializer_list<Asn1Value> items) {
  Asn1Value a;
  a.start_construct(tag);
  for (const Asn1Value& item : items) a.add_component(item);
  return a;
}

int failed(const char* what) {
  std::fprintf(stderr, "embed: %s: %s\n", what, LogMapper::last_failure().c_str());
  return 1;
}

// What start-up hands the callbacks.
struct StartUp {
  std::vector<Asn1Value> logs;  // every stored log's identifier
  int alarm_calls = 0;
};

void on_log(void* client, void* call_data) {
  if (call_data == nullptr) return;  // the end of the list
  // The log's attributes; the callee owns them.
  std::unique_ptr<RespValue> attributes(static_cast<RespValue*>(call_data));
  Asn1Value id;
  if (attributes->find_value(kLogId, id)) static_cast<StartUp*>(client)->logs.push_back(id);
}

void on_alarms(void* client, void*) { ++static_cast<StartUp*>(client)->alarm_calls; }

void count_record(void* client, void* call_data) {
  if (call_data != nullptr) ++*static_cast<int*>(client);
}

}  // namespace

int main(int argc, char** argv) {
  std::string name = argc > 1 ? argv[1] : "example";
  std::printf("log mapper %s\n", tolk_map_version());

  // 1. Start-up: every stored log comes back with the state of its alarms.
  StartUp found;
  Callback log_cb(on_log, &found);
  Callback alarm_cb(on_alarms, &found);
  if (LogMapper::init_log_handles(log_cb, alarm_cb) != 1) return failed("start-up");
  std::printf("start-up: %zu stored logs\n", found.logs.size());

  Asn1Value log_id = Text(name);
  if (LogMapper* left = LogMapper::find_log_handle(log_id)) {
    // Left over from an earlier run that stopped half-way.
    if (left->deleteDB(char(0)) != 1 || LogMapper::commit() != 1) return failed("old log");
    delete left;
  }

  // 2. A log with its attributes.
  AttributeList log_attributes;
  log_attributes.add(kAdministrativeState, Enum(1)).add(kMaxLogSize, Int(100000));
  auto log = std::make_unique<LogMapper>(log_id, log_attributes.value(), "", Text("root"));
  if (!log->created()) return failed("create the log");
  std::printf("created log %s (record tables %s...)\n", log->get_logid(),
              log->get_table_name().c_str());

  // 3. Records, one unit of work.
  for (int id = 1; id <= 3; ++id) {
    AttributeList record;
    record.add(kLoggingTime, Text("2024030110150" + std::to_string(id) + "Z", TAG_GENTIME))
        .add(kEventType, Identifier(kObjectCreation, Asn1Tag::context(6)))
        .add(kNotificationIdentifier, Int(100 + id))
        .add(kAdditionalText, Text("router r" + std::to_string(id) + " created"))
        .add(kObjectClass, Identifier(kObjectCreationRecord));
    // The mapper's cache takes the entry over when the write succeeds.
    auto entry = std::make_unique<OarInfo>();
    if (log->WriteToDB(id, kObjectCreationRecord, kObjectCreationRecord, record.value(),
                       entry.get()) != 1) {
      LogMapper::abort();
      return failed("write a record");
    }
    entry.release();
  }
  if (LogMapper::commit() != 1) return failed("commit");
  std::printf("wrote 3 records\n");

  // 4. Read back: one record, then all of them.
  RespValue second;
  if (log->ReadfromDB(2, second) != 1) return failed("read record 2");
  Asn1Value text;
  std::string octets;
  if (!second.find_value(kAdditionalText, text) || !text.decode_octets(octets)) {
    std::fprintf(stderr, "embed: record 2 came back without its text\n");
    return 1;
  }
  std::printf("record 2: %zu attributes, additionalText \"%s\"\n", second.size(), octets.c_str());
  int records = 0;
  Callback each(count_record, &records);
  if (log->get_all_log_recs(each) != 1) return failed("read the records");
  std::printf("read %d records\n", records);
  if (records != 3) return 1;

  // 5. An alarm about a network element: the entry carries the element's number, its
  //    severity (critical) and its clear state; the cache keeps that very entry.
  Asn1Value element = Construct(  // [2] distinguished name /systemId="ne-17"
      Asn1Tag::context(2),
      {Construct(TAG_SET, {Construct(TAG_SEQ, {Identifier(kSystemId), Text("ne-17")})})});
  long number = LogMapper::moi_number(element);
  if (number <= 0) return failed("number the managed object");
  AttributeList raised;
  raised.add(kEventType, Identifier(kCommunicationsAlarm, Asn1Tag::context(6)))
      .add(kProbableCause, Identifier(kPowerProblem))
      .add(kPerceivedSeverity, Enum(1))
      .add(kManagedObjectInstance, element)
      .add(kObjectClass, Identifier(kAlarmRecord));
  auto* alarm = new OarInfo;
  unsigned long moi = static_cast<unsigned long>(number);
  unsigned char cleared = 0, critical = 1;
  alarm->set_moiid(moi);
  alarm->set_clear_severity(cleared, critical);
  if (log->WriteToDB(10, kAlarmRecord, kAlarmRecord, raised.value(), alarm) != 1) {
    delete alarm;
    LogMapper::abort();
    return failed("raise an alarm");
  }
  // The outstanding alarm that a new one of the same type and cause matches.
  AttributeList criteria;
  criteria.add(kEventType, Identifier(kCommunicationsAlarm, Asn1Tag::context(6)))
      .add(kProbableCause, Identifier(kPowerProblem));
  {
    // A reader holds the table until it has been read to the end or is gone.
    RWDBReader matches;
    if (log->getOarInfo(static_cast<int>(number), kAlarmRecord, criteria.value(), matches) != 1)
      return failed("look the alarm up");
    unsigned long match = 0;
    RWCString severity;
    if (matches()) matches >> match >> severity;
    if (match != 10) {
      std::fprintf(stderr, "embed: the lookup did not find alarm 10\n");
      return 1;
    }
    std::printf("alarm 10 (%s) found by the lookup\n", severity.data());
  }
  RespValue changes;
  AttributeList ack;
  ack.add(kAckState, Enum(1)).add(kAckOperator, Text("operator"));
  AttributeList clear;
  clear.add(kClearState, Enum(1)).add(kClearOperator, Text("operator"));
  if (log->UpdateDBAck(10, ack.value(), changes) != 1) return failed("acknowledge the alarm");
  if (log->UpdateDBClear(10, clear.value(), changes) != 1) return failed("clear the alarm");
  if (LogMapper::commit() != 1) return failed("commit");
  unsigned char state = 0, level = 0;
  alarm->get_clear_severity(state, level);
  std::printf("alarm 10 acknowledged and cleared: cleared %d, severity %d\n", state, level);
  if (state != 1 || level != 1) return 1;

  // 6. The log goes again; shut-down destroys the mappers.
  if (log->deleteDB(char(0)) != 1 || LogMapper::commit() != 1) return failed("delete the log");
  log.reset();
  for (const Asn1Value& id : found.logs) delete LogMapper::find_log_handle(id);
  std::printf("deleted log %s\n", name.c_str());
  return 0;
}
