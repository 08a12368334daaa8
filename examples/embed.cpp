// A small caller of the log mapper, as a management process embeds it: start-up with
// both callbacks, a log created with its attributes, records written and committed,
// read back one by one and all together, and the log deleted again so that the store
// is left as it was found.
//
//   QXDB_URL=sqlite:/tmp/example.db ./embed [LOG]
//
// Build it against an installed library with CMake (find_package(logmapper CONFIG),
// target logmapper::tolk_map: see CMakeLists.txt here) or with pkg-config:
//
//   c++ embed.cpp $(pkg-config --cflags --libs logmapper) -o embed
#include <tolk.h>

#include <cstdio>
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

  // 5. The log goes again; shut-down destroys the mappers.
  if (log->deleteDB(char(0)) != 1 || LogMapper::commit() != 1) return failed("delete the log");
  log.reset();
  for (const Asn1Value& id : found.logs) delete LogMapper::find_log_handle(id);
  std::printf("deleted log %s\n", name.c_str());
  return 0;
}
