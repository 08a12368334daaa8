// logmapper status [--json]: what store the tool works on (its URL without a password),
// the server type, the library's version, and every stored log as start-up finds it:
// its number of records, internal number, records by class and outstanding alarms by
// severity. A quick check that the store can be reached and read.
#include <iterator>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_database.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

// X.733's perceived severities.
std::string severity_name(unsigned severity) {
  static const char* const names[] = {"indeterminate", "critical", "major",
                                      "minor",         "warning",  "cleared"};
  return severity < std::size(names) ? names[severity] : std::to_string(severity);
}

// The log as start-up cached it (load_table and the alarm walk done).
logmapper::LogStatus summary(LogMapper& m, const std::string& name) {
  logmapper::LogStatus s;
  s.id = name;
  s.records = m.cached_records();
  s.number = m.get_qxlogid();
  std::string class_names[NUM_TABLE_TYPES];
  bool alarms[NUM_TABLE_TYPES] = {};
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    LogMapper* table = m.get_table(static_cast<TABLE_TYPE>(t));
    alarms[t] = table != nullptr && table->keeps_alarms();
    class_names[t] = t == BLOB_TABLE
                         ? "others"
                         : logmapper::name_of(record_class_of(static_cast<TABLE_TYPE>(t)));
  }
  m.each_cached([&](uint32_t, const OarInfo& e) {
    unsigned t = e.get_table_type() % NUM_TABLE_TYPES;
    ++s.classes[class_names[t]];
    unsigned char cleared = 0, severity = 0;
    e.get_clear_severity(cleared, severity);
    // The blob table keeps records of every class: those without a severity are no
    // alarms.
    if (alarms[t] && cleared == 0 && (t != BLOB_TABLE || severity != 0)) {
      ++s.outstanding[severity_name(severity)];
    }
  });
  return s;
}

int run(const logmapper::Args& args) {
  std::string store = logmapper::store_name();
  if (!logmapper::open_store("status", logmapper::Access::kRead)) return logmapper::kFail;
  std::vector<Asn1Value> ids;
  Callback cb(
      [](void* client, void* data) {
        if (data == nullptr) return;
        Asn1Value id;
        static_cast<RespValue*>(data)->find_value(logIdOid, id);
        static_cast<std::vector<Asn1Value>*>(client)->push_back(id.copy());
      },
      &ids);
  if (LogMapper::get_all_logs(cb) != 1) {
    return logmapper::fail_library("status", "the stored logs cannot be read");
  }
  std::vector<logmapper::LogStatus> logs;
  for (const Asn1Value& id : ids) {
    std::string name = logmapper::identifier_text(id);
    LogMapper m;
    if (m.load_table(id) != 1 || m.get_all_almsvc_recs(no_op_cb, 1) != 1) {
      // A log deleted since the list was read is no longer the store's: leave it out.
      if (LogMapper().table_exists(id) != 1) continue;
      return logmapper::fail_library("status", "log %s cannot be read", name.c_str());
    }
    logs.push_back(summary(m, name));
  }
  std::string server = LogMapper::aDB_().serverType().str();
  std::ostream& out = logmapper::out();
  if (args.flag("--json")) {
    out << logmapper::status_json(store, server, tolk_map_version(), logs) << "\n";
    return logmapper::kOk;
  }
  out << "store: " << store << "\nserver: " << server << "\nversion: " << tolk_map_version()
      << "\nlogs: " << logs.size() << "\n";
  for (const logmapper::LogStatus& log : logs) {
    out << "  " << log.id << ": " << log.records << (log.records == 1 ? " record\n" : " records\n");
    out << "    number: " << log.number << "\n";
    for (const auto& [cls, n] : log.classes) out << "    " << cls << ": " << n << "\n";
    if (!log.outstanding.empty()) {
      out << "    outstanding:";
      for (const auto& [severity, n] : log.outstanding) out << " " << severity << " " << n;
      out << "\n";
    }
  }
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"status",
     "",
     "print the store, its server type, the library's version and every log's number of "
     "records, internal number, records by class and outstanding alarms by severity",
     0,
     0,
     {{"--json", nullptr,
       "print {\"store\": URL, \"server\": TYPE, \"version\": V, \"logs\": [{\"logId\": TEXT, "
       "\"records\": N, \"number\": N, \"classes\": {CLASS: N, ...}, \"outstanding\": "
       "{SEVERITY: N, ...}}, ...]}"}},
     &run,
     "The store's URL is shown without its password.\n"}};

}  // namespace
