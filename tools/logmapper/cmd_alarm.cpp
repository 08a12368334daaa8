// The alarm commands of logmapper: acknowledge and clear one alarm, clear every
// outstanding alarm of a managed object, and list alarms.
//
//   ack LOG RECID [NAME=VALUE ...]        ackState acked and ackTime now unless given
//   clear LOG RECID [NAME=VALUE ...]      clearState cleared and clearTime now unless given
//   clear-all LOG --moi INSTANCE [--class CLASS] NAME=VALUE ...
//   alarms LOG [--moi INSTANCE] [--outstanding] [--class CLASS] [--json] [NAME=VALUE ...]
//
// A managed object goes by its number, which the store gives every instance an alarm
// was written about (write does so from the record's managedObjectInstance): INSTANCE
// is its value notation (a distinguished name /systemId="ne-17"/...).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "platform/db/rwdb_reader.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "platform/value/value_notation.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;

// The alarm record classes a command without --class works on: the three with tables
// of their own, then every other class (kept whole in the blob table).
const Oid* const kAlarmClasses[] = {&qxalarmOid, &zkalarmOid, &intrnetOid, &actualClassOid};

std::vector<std::string> tail(const logmapper::Args& args, size_t from) {
  return std::vector<std::string>(args.positional().begin() + static_cast<long>(from),
                                  args.positional().end());
}

// The time now, as the operators' times are written: [0] GeneralizedTime.
Asn1Value now() {
  Asn1Value time = GeneralizedTime(TimeStamp::now(), GeneralizedTime::UTC).to_asn1();
  Asn1Value choice;
  choice.start_construct(TAG_CTX0);
  choice.add_component(time);
  return choice;
}

// The NAME=VALUE arguments as a list, with `state` (ENUMERATED 1) and `time` (now)
// added unless the arguments name them.
bool list_with_defaults(const char* command, const std::vector<std::string>& args, const Oid& state,
                        const Oid& time, Asn1Value& list, int& status) {
  std::vector<Oid> ids;
  if (!logmapper::attribute_list(command, args, list, &ids, status)) return false;
  bool has_state = false, has_time = false;
  for (const Oid& id : ids) {
    has_state |= id == state;
    has_time |= id == time;
  }
  if (!has_state) {
    Asn1Value one;
    one.encode_enum(1);
    list.add_component(logmapper::attribute_pair(state, one));
  }
  if (!has_time) list.add_component(logmapper::attribute_pair(time, now()));
  return true;
}

int run_ack(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!logmapper::record_id(args[1], id)) {
    return logmapper::usage("ack", "bad RECID %s (0 to 2147483647)", args[1].c_str());
  }
  Asn1Value list;
  if (!list_with_defaults("ack", tail(args, 2), ackStateOid, ackTimeOid, list, status)) {
    return status;
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("ack", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  RespValue response;
  return logmapper::finish("ack", m->UpdateDBAck(id, list, response), "record %d not acknowledged",
                           id);
}

int run_clear(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!logmapper::record_id(args[1], id)) {
    return logmapper::usage("clear", "bad RECID %s (0 to 2147483647)", args[1].c_str());
  }
  Asn1Value list;
  if (!list_with_defaults("clear", tail(args, 2), clearStateOid, clearTimeOid, list, status)) {
    return status;
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("clear", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  RespValue response;
  return logmapper::finish("clear", m->UpdateDBClear(id, list, response), "record %d not cleared",
                           id);
}

// The number of the managed object --moi names: false (the reason written) when the
// option is missing, is no instance, or no alarm was ever written about it.
bool moi_number(const logmapper::Args& args, long& number, int& status) {
  const std::string* text = args.value("--moi");
  if (text == nullptr) {
    status = logmapper::usage(args.name(), "--moi INSTANCE is needed");
    return false;
  }
  // The distinguished name alone, or the instance in its attribute's notation.
  std::string notation = !text->empty() && (*text)[0] == '/' ? "distinguishedName:" + *text : *text;
  Asn1Value instance;
  std::string error;
  ExceptionScope scope;
  if (!parse_attribute(moiOid, notation, instance, &error)) {
    status = logmapper::fail(args.name(), "not a managed object instance: %s: %s", text->c_str(),
                             error.c_str());
    return false;
  }
  number = LogMapper::moi_number(instance, false);
  if (number < 0) {
    status = logmapper::fail_library(args.name(), "managed object %s", text->c_str());
    return false;
  }
  if (number == 0) {
    status = logmapper::fail(args.name(), "no alarm was ever written about %s", text->c_str());
    return false;
  }
  return true;
}

// The classes a command works on: --class, or every alarm class.
bool classes(const logmapper::Args& args, std::vector<Oid>& out, int& status) {
  if (const std::string* name = args.value("--class")) {
    Oid cls;
    if (!logmapper::record_class(*name, cls)) {
      status = logmapper::fail(args.name(), "no record class %s", name->c_str());
      return false;
    }
    out.push_back(cls);
    return true;
  }
  for (const Oid* c : kAlarmClasses) out.push_back(*c);
  return true;
}

// Whether the alarm table of `cls` takes every attribute of `ids` as a lookup or clear
// criterion (trap alarms know no specific problems).
bool takes_criteria(LogMapper& log, const Oid& cls, const std::vector<Oid>& ids) {
  auto* t = dynamic_cast<AlarmLogT*>(log.get_table(tolk_oid_to_table.get_table_type(cls)));
  if (t == nullptr || t->alarm_class().specific_problems_column != nullptr) return true;
  for (const Oid& id : ids) {
    if (id == specificProblemsOid) return false;
  }
  return true;
}

// Whether an attribute is a criterion of the clear-all and the lookups (not a clear
// attribute).
bool is_criterion(const Oid& id) {
  return id == eventTypeOid || id == probableCauseOid || id == specificProblemsOid;
}

int run_clear_all(const logmapper::Args& args) {
  long number = 0;
  int status = 0;
  std::vector<Oid> ids, to_clear;
  Asn1Value all;  // the criteria and the clear attributes, defaults added
  if (!list_with_defaults("clear-all", tail(args, 1), clearStateOid, clearTimeOid, all, status)) {
    return status;
  }
  Asn1Value criteria, clear;  // the same, apart
  criteria.start_construct(TAG_SET);
  clear.start_construct(TAG_SET);
  for (const Asn1Value& pair : all.components()) {
    Oid id;
    pair.first_component().decode_oid(id);
    ids.push_back(id);
    (is_criterion(id) ? criteria : clear).add_component(pair);
  }
  if (std::find(ids.begin(), ids.end(), eventTypeOid) == ids.end()) {
    return logmapper::usage("clear-all",
                            "eventType=... is needed: the alarms cleared are those of one type");
  }
  if (!classes(args, to_clear, status)) return status;
  std::unique_ptr<LogMapper> m = logmapper::open_log("clear-all", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  if (!moi_number(args, number, status)) return status;
  // The alarm tables take the criteria and the clear attributes in one list; the blob
  // table selects by the criteria, then clears what it selected.
  int done = 1;
  for (const Oid& cls : to_clear) {
    TABLE_TYPE type = tolk_oid_to_table.get_table_type(cls);
    if (m->get_table(type) == nullptr) continue;
    if (!args.value("--class") && !takes_criteria(*m, cls, ids)) continue;
    int moi = static_cast<int>(number);
    if (type == BLOB_TABLE) {
      RWDBReader selected;
      done = m->getOarInfo(moi, cls, criteria, selected) == 1 &&
                     m->UpdateDBClearAlarms(moi, cls, clear) == 1
                 ? 1
                 : 0;
    } else {
      done = m->UpdateDBClearAlarms(moi, cls, all);
    }
    if (done != 1) break;
  }
  return logmapper::finish("clear-all", done, "the alarms of %s not cleared",
                           args.value("--moi")->c_str());
}

// One alarm as `alarms` lists it.
logmapper::AlarmLine alarm_line(LogMapper& log, const RespValue& record) {
  logmapper::AlarmLine a;
  a.id = logmapper::record_identifier(record);
  a.record_class = logmapper::record_class_name(log, a.id);
  const std::pair<const Oid*, std::string*> states[] = {{&perceivedSeverityOid, &a.severity},
                                                        {&ackStateOid, &a.ack},
                                                        {&clearStateOid, &a.clear},
                                                        {&displayStateOid, &a.display}};
  for (const auto& [id, text] : states) {
    Asn1Value v;
    if (record.find_value(*id, v)) *text = format_attribute(*id, v);
  }
  return a;
}

bool is_alarm(LogMapper& log, const RespValue& record) {
  unsigned short type = 0;
  unsigned long id = logmapper::record_identifier(record);
  if (log.get_table_type(id, type) != 1) return false;
  LogMapper* table = log.get_table(TABLE_TYPE(type));
  Asn1Value severity;
  return table != nullptr && table->keeps_alarms() &&
         (type != BLOB_TABLE || record.find_value(perceivedSeverityOid, severity));
}

int run_alarms(const logmapper::Args& args) {
  bool json = args.flag("--json");
  bool outstanding = args.flag("--outstanding");
  int status = 0;
  std::vector<Oid> ids, wanted;
  Asn1Value criteria;
  if (!logmapper::attribute_list("alarms", tail(args, 1), criteria, &ids, status)) return status;
  if (!ids.empty() && args.value("--moi") == nullptr) {
    return logmapper::usage("alarms", "lookup attributes go with --moi");
  }
  if (!classes(args, wanted, status)) return status;
  std::unique_ptr<LogMapper> m = logmapper::open_log("alarms", args[0], Access::kRead);
  if (m == nullptr) return logmapper::kFail;
  std::vector<logmapper::AlarmLine> lines;
  if (args.value("--moi") != nullptr) {
    // The lookups: the outstanding alarms of the managed object (that match).
    long number = 0;
    if (!moi_number(args, number, status)) return status;
    for (const Oid& cls : wanted) {
      if (m->get_table(tolk_oid_to_table.get_table_type(cls)) == nullptr) continue;
      if (!args.value("--class") && !takes_criteria(*m, cls, ids)) continue;
      RWDBReader r;
      bool ok = ids.empty() ? m->getOarInfo(static_cast<int>(number), cls, r) == 1
                            : m->getOarInfo(static_cast<int>(number), cls, criteria, r) == 1;
      if (!ok) return logmapper::fail_library("alarms", "the alarm lookup failed");
      std::vector<int> found;
      while (r()) {
        unsigned long id = 0;
        r >> id;
        found.push_back(static_cast<int>(id));
      }
      for (int id : found) {
        RespValue record;
        if (m->ReadfromDB(id, record) != 1) {
          return logmapper::fail_library("alarms", "record %d cannot be read", id);
        }
        lines.push_back(alarm_line(*m, record));
      }
    }
  } else {
    struct Walk {
      LogMapper* m;
      std::vector<logmapper::AlarmLine>* lines;
      bool outstanding;
    } walk{m.get(), &lines, outstanding};
    Callback cb(
        [](void* client, void* data) {
          auto* w = static_cast<Walk*>(client);
          if (data == nullptr) return;
          const auto& record = *static_cast<RespValue*>(data);
          if (!is_alarm(*w->m, record)) return;
          logmapper::AlarmLine a = alarm_line(*w->m, record);
          if (w->outstanding && a.clear == "cleared") return;
          w->lines->push_back(a);
        },
        &walk);
    if (m->get_all_log_recs(cb, 0) != 1) {
      return logmapper::fail_library("alarms", "the records cannot be read");
    }
  }
  if (json) {
    logmapper::out() << logmapper::alarms_json(lines) << "\n";
  } else {
    for (const logmapper::AlarmLine& a : lines) logmapper::print_alarm(logmapper::out(), a);
  }
  return logmapper::kOk;
}

logmapper::RegisterCommand reg_ack{
    {"ack",
     "LOG RECID [NAME=VALUE ...]",
     "acknowledge an alarm",
     2,
     logmapper::kAnyNumber,
     {},
     &run_ack,
     "Sets ackState (acked unless given: ackState=unAcked takes an acknowledgement back),\n"
     "ackTime (now unless given), ackOperator and ackText.\n"}};
logmapper::RegisterCommand reg_clear{
    {"clear",
     "LOG RECID [NAME=VALUE ...]",
     "clear an alarm",
     2,
     logmapper::kAnyNumber,
     {},
     &run_clear,
     "Sets clearState (cleared unless given), clearTime (now unless given), clearOperator and\n"
     "clearText.\n"}};
logmapper::RegisterCommand reg_clear_all{
    {"clear-all",
     "LOG eventType=TYPE [NAME=VALUE ...]",
     "clear every outstanding alarm of a managed object that matches",
     1,
     logmapper::kAnyNumber,
     {{"--moi", "INSTANCE", "the managed object (a distinguished name, /systemId=\"ne-17\"/...)"},
      {"--class", "CLASS", "only alarms of this record class"}},
     &run_clear_all,
     "--moi INSTANCE is needed. Clears the outstanding alarms of INSTANCE with the eventType\n"
     "given, the probableCause given (any without one) and the specificProblems given\n"
     "(without one: alarms that have none), in every alarm class or in CLASS. clearState is\n"
     "cleared and clearTime now unless given; clearOperator and clearText are taken from\n"
     "the list.\n"}};
logmapper::RegisterCommand reg_alarms{
    {"alarms",
     "LOG [NAME=VALUE ...]",
     "list alarms with their severity, acknowledge, clear and display state",
     1,
     logmapper::kAnyNumber,
     {{"--moi", "INSTANCE", "only the outstanding alarms of this managed object (the lookup)"},
      {"--outstanding", nullptr, "only alarms not cleared"},
      {"--class", "CLASS", "only alarms of this record class"},
      {"--json", nullptr,
       "print [{\"logRecordId\": N, \"class\": NAME, \"perceivedSeverity\": TEXT, "
       "\"ackState\": TEXT, \"clearState\": TEXT, \"displayState\": TEXT}, ...]"}},
     &run_alarms,
     "One line per alarm: RECID CLASS severity ackState clearState displayState. With --moi,\n"
     "the lookup attributes eventType, probableCause and specificProblems narrow it to the\n"
     "outstanding alarms that match.\n"}};

}  // namespace
