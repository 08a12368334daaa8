// The history and retention commands of logmapper: the action history of a log's
// alarms, and deleting a log's oldest records by hand or by the log's own attributes.
//
//   history LOG [RECID] [--json]
//   purge LOG (--keep N | --before TIME) [--outstanding]
//   enforce LOG [--json]
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "platform/value/oid_name_registry.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;

// A time for people: GeneralizedTime in UTC, or "-" for none.
std::string time_text(const RWDBDateTime& t) {
  Asn1Value v;
  std::string octets;
  ExceptionScope scope;
  if (!t.isValid() || !qx::datetime_to_time(t, v) || !v.decode_octets(octets)) return "-";
  return octets;
}

std::string class_text(const std::string& dotted) {
  if (dotted.empty()) return "-";
  Oid id(dotted.c_str());
  const char* name = OidNameRegistry::find_name_by_oid(id);
  return name != nullptr ? name : dotted;
}

std::string json_or_null(const std::string& s) {
  return s.empty() ? "null" : logmapper::json_string(s);
}

int run_history(const logmapper::Args& args) {
  bool json = args.flag("--json");
  unsigned long id = 0;
  bool one = args.size() > 1;
  if (one) {
    int n = 0;
    if (!logmapper::record_id(args[1], n)) {
      return logmapper::usage("history", "bad RECID %s (0 to 2147483647)", args[1].c_str());
    }
    id = static_cast<unsigned long>(n);
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("history", args[0], Access::kRead, false);
  if (m == nullptr) return logmapper::kFail;
  std::vector<qx::AlarmHistoryEntry> rows;
  {
    ExceptionScope scope;
    if (qx::read_alarm_history(*m, one ? &id : nullptr, rows) != 1) {
      return logmapper::fail("history", "%s", scope.caught()->reason().c_str());
    }
  }
  std::ostream& out = logmapper::out();
  if (json) out << "[";
  bool first = true;
  for (const qx::AlarmHistoryEntry& e : rows) {
    if (json) {
      out << (first ? "" : ",\n") << "{\"logRecordId\": " << e.id
          << ", \"class\": " << logmapper::json_string(class_text(e.record_class))
          << ", \"action\": " << logmapper::json_string(e.action)
          << ", \"stateBefore\": " << json_or_null(e.before)
          << ", \"stateAfter\": " << json_or_null(e.after) << ", \"time\": "
          << (e.time.isValid() ? logmapper::json_string(time_text(e.time)) : "null")
          << ", \"operator\": " << json_or_null(e.operator_name)
          << ", \"text\": " << json_or_null(e.text) << ", \"seq\": " << e.seq << "}";
    } else {
      out << e.id << " " << class_text(e.record_class) << " " << e.action << " "
          << (e.before.empty() ? "-" : e.before) << " " << (e.after.empty() ? "-" : e.after) << " "
          << time_text(e.time) << " " << logmapper::json_string(e.operator_name) << " "
          << logmapper::json_string(e.text) << "\n";
    }
    first = false;
  }
  if (json) out << "]\n";
  return logmapper::kOk;
}

int run_purge(const logmapper::Args& args) {
  LogMapper::PurgeOptions options;
  const std::string* keep = args.value("--keep");
  const std::string* before = args.value("--before");
  if ((keep == nullptr) == (before == nullptr)) {
    return logmapper::usage("purge", "give --keep N or --before TIME");
  }
  if (keep != nullptr) {
    char* end = nullptr;
    long n = std::strtol(keep->c_str(), &end, 10);
    if (keep->empty() || *end != '\0' || n < 0) {
      return logmapper::usage("purge", "bad --keep %s (a number of records, 0 or more)",
                              keep->c_str());
    }
    options.keep = n;
  }
  GeneralizedTime before_time;
  if (before != nullptr && logmapper::time_argument(*before, before_time)) {
    options.before = before_time.to_asn1();
  } else if (before != nullptr) {
    return logmapper::usage("purge", "bad --before %s (20240301101500Z or 2024-03-01T10:15:00Z)",
                            before->c_str());
  }
  options.outstanding = args.flag("--outstanding");
  std::unique_ptr<LogMapper> m = logmapper::open_log("purge", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  LogMapper::PurgeResult result;
  if (m->purge(options, &result) != 1) {
    return logmapper::fail_library("purge", "the purge of log %s stopped after %lu records",
                                   args[0].c_str(), result.purged);
  }
  logmapper::out() << "purged " << result.purged << " records, " << m->cached_records()
                   << " left\n";
  return logmapper::kOk;
}

int run_enforce(const logmapper::Args& args) {
  bool json = args.flag("--json");
  std::unique_ptr<LogMapper> m = logmapper::open_log("enforce", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  LogMapper::EnforceResult r;
  if (m->enforce(&r) != 1) {
    return logmapper::fail_library("enforce", "the attributes of log %s not applied",
                                   args[0].c_str());
  }
  std::ostream& out = logmapper::out();
  if (json) {
    out << "{\"size\": " << r.size << ", \"maxLogSize\": " << r.max_size
        << ", \"records\": " << r.records << ", \"logFullAction\": " << json_or_null(r.full_action)
        << ", \"purged\": " << r.purged << ", \"full\": " << (r.full ? "true" : "false")
        << ", \"thresholdsCrossed\": [";
    for (size_t i = 0; i < r.thresholds_crossed.size(); ++i) {
      out << (i > 0 ? ", " : "") << r.thresholds_crossed[i];
    }
    out << "], \"availabilityStatus\": " << json_or_null(r.availability) << "}\n";
    return logmapper::kOk;
  }
  out << "size " << r.size << " of " << (r.max_size == 0 ? "no limit" : std::to_string(r.max_size))
      << ", " << r.records << " records\n";
  if (r.purged > 0) out << "wrapped: purged " << r.purged << " records\n";
  if (r.full) out << "full (" << (r.full_action.empty() ? "no action" : r.full_action) << ")\n";
  for (long t : r.thresholds_crossed) out << "capacity threshold " << t << "% reached\n";
  return logmapper::kOk;
}

logmapper::RegisterCommand reg_history{
    {"history",
     "LOG [RECID]",
     "the action history of the log's alarms (with QX_ALARM_HISTORY=1)",
     1,
     2,
     {{"--json", nullptr,
       "print [{\"logRecordId\": N, \"class\": NAME, \"action\": TEXT, \"stateBefore\": TEXT, "
       "\"stateAfter\": TEXT, \"time\": TEXT, \"operator\": TEXT, \"text\": TEXT, \"seq\": N}, "
       "...]"}},
     &run_history,
     "One line per action, in the order they were taken: RECID CLASS action stateBefore\n"
     "stateAfter time \"operator\" \"text\" (- for none). The actions: acknowledge, clear,\n"
     "clear-all, display. A log keeps a history from the first time it is made or opened\n"
     "with QX_ALARM_HISTORY=1; without one the command fails.\n"}};
logmapper::RegisterCommand reg_purge{
    {"purge",
     "LOG",
     "delete the oldest records of a log",
     1,
     1,
     {{"--keep", "N", "keep N records: the newest, outstanding alarms counted among them"},
      {"--before", "TIME", "delete the records logged before TIME"},
      {"--outstanding", nullptr, "also delete outstanding (not cleared) alarms"}},
     &run_purge,
     "Deletes the oldest records (by loggingTime, then identifier; a record without a\n"
     "logging time is the oldest) in batches, each committed on its own. Outstanding\n"
     "alarms stay unless --outstanding (and count among the N records --keep keeps).\n"
     "Prints how many records went and how many are left.\n"}};
logmapper::RegisterCommand reg_enforce{
    {"enforce",
     "LOG",
     "apply the log's maxLogSize, logFullAction and capacityAlarmThreshold",
     1,
     1,
     {{"--json", nullptr,
       "print {\"size\": N, \"maxLogSize\": N, \"records\": N, \"logFullAction\": TEXT, "
       "\"purged\": N, \"full\": BOOL, \"thresholdsCrossed\": [N, ...], "
       "\"availabilityStatus\": TEXT}"}},
     &run_enforce,
     "The size is 500 octets a record. With wrap, purges the oldest records down to\n"
     "maxLogSize; with halt, marks a full log logFull in its availabilityStatus (and\n"
     "unmarks it once it is not full). Each capacity threshold reached is reported once.\n"}};

}  // namespace
