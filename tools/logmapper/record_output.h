#ifndef QX_TOOLS_LOGMAPPER_RECORD_OUTPUT_H_
#define QX_TOOLS_LOGMAPPER_RECORD_OUTPUT_H_

// Records and logs as the commands print them, and the lines of an export.
//
// Text: one "name: value" line per attribute, values in the value notation.
// JSON: one object per record or log, on one line:
//   record: {"logRecordId": N, "class": NAME, "attributes": {NAME: TEXT, ...}}
//   log:    {"logId": TEXT, "attributes": {NAME: TEXT, ...}}
// Export (JSONL): a record's object with "ber", the exact encoding of its attributes
// (a SET of SEQUENCE {identifier, value}) in hex, which is what an import reads back.

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"
#include "resp_value.h"
#include "tolk.h"

namespace logmapper {

// The text of a log identifier: its value notation (7, "abc"), a distinguished name as
// its text.
std::string identifier_text(const Asn1Value& id);

// The identifier of a record read back (its logRecordId attribute; 0 without one).
unsigned long record_identifier(const RespValue& record);
// The class of a record of the log, by name (empty when the log does not know it).
std::string record_class_name(LogMapper& log, unsigned long id);

// A record of `log` as text lines or as its JSON object (no line end).
void print_record(std::ostream& os, LogMapper& log, const RespValue& record);
std::string record_json(LogMapper& log, const RespValue& record);

// A log's attributes (as LogMapper::get_all_logs hands them) as text lines or as its
// JSON object (no line end).
void print_log(std::ostream& os, const RespValue& log);
std::string log_json(const RespValue& log);

// A log as `status` shows it, as start-up finds it: its internal number, its records
// by class (the records the blob table keeps, of any class, under "others"), and its
// outstanding (not cleared) alarms by perceived severity.
struct LogStatus {
  std::string id;
  unsigned long records = 0;
  uint32_t number = 0;
  std::map<std::string, unsigned long> classes;
  std::map<std::string, unsigned long> outstanding;
};

// What `status --json` prints: {"store": URL, "server": TYPE, "version": V,
// "logs": [{"logId": TEXT, "records": N, "number": N, "classes": {NAME: N, ...},
// "outstanding": {SEVERITY: N, ...}}, ...]} (no line end).
std::string status_json(const std::string& store, const std::string& server,
                        const std::string& version, const std::vector<LogStatus>& logs);

// An alarm as `alarms` lists it: its identifier, class, severity and acknowledge, clear
// and display states (each the value notation of the record's attribute, "-" without).
struct AlarmLine {
  unsigned long id = 0;
  std::string record_class;
  std::string severity = "-";
  std::string ack = "-";
  std::string clear = "-";
  std::string display = "-";
};
// One line: "RECID CLASS severity ackState clearState displayState".
void print_alarm(std::ostream& os, const AlarmLine& alarm);
// [{"logRecordId": N, "class": NAME, "perceivedSeverity": TEXT, "ackState": TEXT,
// "clearState": TEXT, "displayState": TEXT}, ...] (no line end).
std::string alarms_json(const std::vector<AlarmLine>& alarms);

// The attributes of a record as one attribute list, its logRecordId left out.
Asn1Value record_attributes(const RespValue& record);

// The exact encoding of record_attributes(record), in hex.
std::string attributes_hex(const RespValue& record);

// An exported record: its JSON object with "ber" (no line end).
std::string export_json(LogMapper& log, const RespValue& record);

// A record read back from an export line.
struct ImportedRecord {
  int id = 0;
  Oid record_class;
  Asn1Value attributes;  // a SET of SEQUENCE {identifier, value}
};
// Reads one export line. False with the reason in `error` when it is not JSON, lacks a
// member, or holds a value out of range or an encoding that is not an attribute list.
bool parse_export_line(std::string_view line, ImportedRecord& record, std::string& error);

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_RECORD_OUTPUT_H_
