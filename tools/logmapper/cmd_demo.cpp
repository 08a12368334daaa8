// logmapper demo [--logs N] [--records M]: fills the store with traffic for people to try
// the tool on: N logs named demo-1 ... demo-N, each with M records of the record
// classes below, about managed objects from a pool (network elements, their
// discriminators and logs), logged over the time up to now.
//
// Each record class is one entry of kinds(): its class, how often it occurs, the
// attributes of its own (the attributes every event record has are added around
// them), and what happens to its records afterwards. A class that gets a table of its
// own slots in as one more entry. The traffic is the
// same at every run (a fixed seed); only its times follow the clock.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/progress.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;
using Attributes = std::vector<std::string>;  // NAME=VALUE, as `write` takes them

// A managed object of the pool.
struct ManagedObject {
  std::string object_class;  // managedObjectClass value
  std::string instance;      // managedObjectInstance value
  std::string system;        // its network element's distinguished name
};

// The state of the traffic: the random source, the clock and the pool.
class Traffic {
 public:
  explicit Traffic(long long first_second) : clock_(first_second) {
    for (int ne = 1; ne <= 8; ++ne) {
      char dn[64];
      std::snprintf(dn, sizeof dn, "/systemId=\"ne-%02d\"", ne);
      std::string system = dn;
      pool_.push_back({"globalForm:system", "distinguishedName:" + system, system});
      for (int d = 1; d <= 2; ++d) {
        pool_.push_back({"globalForm:eventForwardingDiscriminator",
                         "distinguishedName:" + system + "/discriminatorId=" + std::to_string(d),
                         system});
      }
      pool_.push_back({"globalForm:log", "distinguishedName:" + system + "/logId=1", system});
    }
  }

  int number(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }
  template <size_t N>
  const char* pick(const char* const (&choices)[N]) {
    return choices[number(0, static_cast<int>(N) - 1)];
  }
  bool chance(int percent) { return number(1, 100) <= percent; }
  const ManagedObject& object() { return pool_[number(0, static_cast<int>(pool_.size()) - 1)]; }

  // The next moment something is logged, a GeneralizedTime in UTC.
  std::string next_time() {
    clock_ += number(1, 60);
    return time_text(clock_);
  }
  // A moment shortly before the last one: when the event happened.
  std::string event_time() { return time_text(clock_ - number(0, 5)); }
  int notification() { return ++notification_; }

 private:
  static std::string time_text(long long second) {
    std::time_t t = static_cast<std::time_t>(second);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "\"%Y%m%d%H%M%SZ\"", &tm);
    return buf;
  }

  std::mt19937 random_{20240301};
  long long clock_;
  int notification_ = 0;
  std::vector<ManagedObject> pool_;
};

const char* const kSources[] = {"resourceOperation", "managementOperation", "unknown"};

void object_creation(Traffic& t, const ManagedObject&, Attributes& a) {
  a.push_back(std::string("sourceIndicator=") + t.pick(kSources));
  a.push_back(std::string("attributeList={{id globalForm:administrativeState, value ") +
              (t.chance(70) ? "unlocked" : "locked") +
              "}, {id globalForm:operationalState, value enabled}}");
}

void object_deletion(Traffic& t, const ManagedObject&, Attributes& a) {
  a.push_back(std::string("sourceIndicator=") + t.pick(kSources));
  a.push_back("attributeList={{id globalForm:operationalState, value disabled}}");
}

void relationship_change(Traffic& t, const ManagedObject& mo, Attributes& a) {
  int from = t.number(1, 8), to = from % 8 + 1;
  char change[256];
  std::snprintf(change, sizeof change,
                "relationshipChangeDefinition={{attributeId globalForm:backUpObject, "
                "oldAttributeValue objectName:distinguishedName:/systemId=\"ne-%02d\", "
                "newAttributeValue objectName:distinguishedName:/systemId=\"ne-%02d\"}}",
                from, to);
  a.push_back(change);
  a.push_back("sourceIndicator=managementOperation");
  a.push_back("attributeIdentifierList={globalForm:backUpObject}");
  (void)mo;
}

void attribute_value_change(Traffic& t, const ManagedObject&, Attributes& a) {
  int old_size = t.number(1, 20) * 50000;
  int new_size = old_size + t.number(1, 4) * 50000;
  a.push_back(
      "attributeValueChangeDefinition={{attributeId globalForm:maxLogSize, "
      "oldAttributeValue " +
      std::to_string(old_size) + ", newAttributeValue " + std::to_string(new_size) + "}}");
  a.push_back("sourceIndicator=managementOperation");
  a.push_back("attributeIdentifierList={globalForm:maxLogSize}");
}

void security_alarm(Traffic& t, const ManagedObject& mo, Attributes& a) {
  static const char* const kCauses[] = {"authenticationFailure", "unauthorizedAccessAttempt",
                                        "intrusionDetection", "keyExpired"};
  static const char* const kSeverities[] = {"warning", "minor", "major", "critical"};
  a.push_back(std::string("securityAlarmCause=") + t.pick(kCauses));
  a.push_back(std::string("securityAlarmSeverity=") + t.pick(kSeverities));
  a.push_back("securityAlarmDetector=object:distinguishedName:" + mo.system);
  a.push_back("serviceUser={identifier 1.3.6.1.4.1.32473.2.1, details \"operator-" +
              std::to_string(t.number(1, 5)) + "\"}");
  a.push_back("serviceProvider={identifier 1.3.6.1.4.1.32473.2.2, details \"sshd\"}");
}

void state_change(Traffic& t, const ManagedObject&, Attributes& a) {
  bool up = t.chance(50);
  if (t.chance(70)) {
    a.push_back(std::string("stateChangeDefinition={{attributeId globalForm:operationalState, "
                            "oldAttributeValue ") +
                (up ? "disabled" : "enabled") + ", newAttributeValue " +
                (up ? "enabled" : "disabled") + "}}");
  } else {
    a.push_back(std::string("stateChangeDefinition={{attributeId "
                            "globalForm:administrativeState, oldAttributeValue ") +
                (up ? "locked" : "unlocked") + ", newAttributeValue " +
                (up ? "unlocked" : "locked") + "}}");
  }
  a.push_back("sourceIndicator=resourceOperation");
}

// The alarms: what X.733 says of a fault, and what operators then do with it.
const char* const kCauses[] = {"powerProblem",
                               "lossOfSignal",
                               "temperatureUnacceptable",
                               "equipmentMalfunction",
                               "communicationsSubsystemFailure",
                               "thresholdCrossed"};
const char* const kAlarmSeverities[] = {"critical", "major", "minor", "warning", "indeterminate"};
const char* const kOperators[] = {"alice", "bob", "carol", "dave"};

void alarm(Traffic& t, const ManagedObject&, Attributes& a) {
  a.push_back(std::string("probableCause=globalValue:") + t.pick(kCauses));
  a.push_back(std::string("perceivedSeverity=") + t.pick(kAlarmSeverities));
  if (t.chance(40)) {
    a.push_back("specificProblems={oi:1.3.6.1.4.1.32473.5." + std::to_string(t.number(1, 4)) + "}");
  }
  static const char* const kTrends[] = {"lessSevere", "noChange", "moreSevere"};
  a.push_back(std::string("trendIndication=") + t.pick(kTrends));
  if (t.chance(30)) a.push_back("proposedRepairActions={oi:2.9.3.2.0.1.1}");
}

void correlated_alarm(Traffic& t, const ManagedObject& mo, Attributes& a) {
  alarm(t, mo, a);
  a.push_back("mosiSeverity=" + std::to_string(t.number(0, 5)));
  a.push_back("mosiStateID=" + std::to_string(t.number(1, 1000)));
}

void trap_alarm(Traffic& t, const ManagedObject&, Attributes& a) {
  static const char* const kTraps[] = {"linkDown", "linkUp", "coldStart", "warmStart"};
  a.push_back(std::string("probableCause=globalValue:") + t.pick(kCauses));
  a.push_back(std::string("perceivedSeverity=") + t.pick(kAlarmSeverities));
  a.push_back("snmpVarBindList={{name 1.3.6.1.2.1.2.2.1.1, value <0201" +
              std::string(t.chance(50) ? "01" : "02") + ">}}");
  a.push_back("internetTrapInfo={enterprise 1.3.6.1.4.1.32473, agentAddress \"10.0.0." +
              std::to_string(t.number(1, 8)) + "\", genericTrap " + t.pick(kTraps) +
              ", specificTrap 0, timeStamp " + std::to_string(t.number(1000, 99999)) + "}");
  a.push_back("transportDomain=1.3.6.1.6.1.1");
}

// Operators acknowledge most alarms and clear many: the demo does so at once.
bool handle_alarm(Traffic& t, LogMapper& log, int id) {
  int status = 0;
  std::string op = std::string("\"") + t.pick(kOperators) + "\"";
  Asn1Value list;
  RespValue response;
  if (t.chance(60)) {
    if (!logmapper::attribute_list("demo",
                                   {"ackState=acked", "ackTime=time:" + t.next_time(),
                                    "ackOperator=" + op, "ackText=\"seen\""},
                                   list, nullptr, status) ||
        log.UpdateDBAck(id, list, response) != 1) {
      logmapper::fail_library("demo", "alarm %d not acknowledged", id);
      return false;
    }
  }
  if (t.chance(40)) {
    if (!logmapper::attribute_list("demo",
                                   {"clearState=cleared", "clearTime=time:" + t.next_time(),
                                    "clearOperator=" + op, "clearText=\"fixed\""},
                                   list, nullptr, status) ||
        log.UpdateDBClear(id, list, response) != 1) {
      logmapper::fail_library("demo", "alarm %d not cleared", id);
      return false;
    }
  }
  return true;
}

// One kind of record the demo writes.
struct Kind {
  const char* record_class;              // registered name
  std::vector<const char*> event_types;  // eventType alternatives; one is picked per record
  int weight;                            // how often, relative to the others
  void (*own)(Traffic& t, const ManagedObject& mo, Attributes& a);
  // What happens to a record of this kind after it was written (an alarm acknowledged
  // or cleared later on), or null. False, with the reason written, ends the demo.
  bool (*after)(Traffic& t, LogMapper& log, int id) = nullptr;
};

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> k = {
      {"objectCreationRecord", {"objectCreation"}, 2, &object_creation},
      {"objectDeletionRecord", {"objectDeletion"}, 1, &object_deletion},
      {"relationshipChangeRecord", {"relationshipChange"}, 1, &relationship_change},
      {"attributeValueChangeRecord", {"attributeValueChange"}, 3, &attribute_value_change},
      {"securityAlarmReportRecord",
       {"integrityViolation", "operationalViolation", "physicalViolation",
        "securityServiceOrMechanismViolation", "timeDomainViolation"},
       1,
       &security_alarm},
      {"stateChangeRecord", {"stateChange"}, 4, &state_change},
      {"qxAlarmRecord",
       {"communicationsAlarm", "equipmentAlarm", "environmentalAlarm", "processingErrorAlarm"},
       4,
       &alarm,
       &handle_alarm},
      {"correlationAlarmRecord",
       {"communicationsAlarm", "equipmentAlarm"},
       1,
       &correlated_alarm,
       &handle_alarm},
      {"internetAlarmRecord", {"communicationsAlarm"}, 2, &trap_alarm, &handle_alarm},
  };
  return k;
}

const Kind& pick_kind(Traffic& t) {
  int total = 0;
  for (const Kind& k : kinds()) total += k.weight;
  int n = t.number(1, total);
  for (const Kind& k : kinds()) {
    if ((n -= k.weight) <= 0) return k;
  }
  return kinds().back();
}

// The attributes of one record of kind k: the common ones around the kind's own.
Attributes record_attributes(Traffic& t, const Kind& k) {
  static const char* const kTexts[] = {"scheduled maintenance", "operator request",
                                       "raised by the element", "restored after a restart"};
  const ManagedObject& mo = t.object();
  Attributes a;
  a.push_back("loggingTime=" + t.next_time());
  a.push_back("eventTime=" + t.event_time());
  a.push_back(std::string("eventType=globalForm:") +
              k.event_types[t.number(0, static_cast<int>(k.event_types.size()) - 1)]);
  a.push_back("managedObjectClass=" + mo.object_class);
  a.push_back("managedObjectInstance=" + mo.instance);
  int id = t.notification();
  a.push_back("notificationIdentifier=" + std::to_string(id));
  if (t.chance(30)) a.push_back(std::string("additionalText=\"") + t.pick(kTexts) + "\"");
  if (id > 1 && t.chance(10)) {
    a.push_back("correlatedNotifications={{correlatedNotifications {" + std::to_string(id - 1) +
                "}, sourceObjectInst " + mo.instance + "}}");
  }
  a.push_back(std::string("objectClass=globalForm:") + k.record_class);
  k.own(t, mo, a);
  return a;
}

bool count_option(const logmapper::Args& args, const char* name, long max, long& value) {
  const std::string* text = args.value(name);
  if (text == nullptr) return true;
  char* end = nullptr;
  long n = std::strtol(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || n < 1 || n > max) {
    logmapper::usage("demo", "%s takes a number from 1 to %ld, not %s", name, max, text->c_str());
    return false;
  }
  value = n;
  return true;
}

int run(const logmapper::Args& args) {
  long logs = 3, records = 200;
  if (!count_option(args, "--logs", 1000, logs) ||
      !count_option(args, "--records", 10000000, records)) {
    return logmapper::kUsage;
  }
  if (!logmapper::open_store("demo", Access::kWrite)) return logmapper::kFail;
  std::vector<std::string> names;
  {
    LogMapper scratch;
    for (long i = 1; i <= logs; ++i) {
      names.push_back("demo-" + std::to_string(i));
      if (scratch.table_exists(logmapper::log_identifier(names.back())) == 1) {
        return logmapper::fail("demo", "a log %s exists already (the demo fills new logs)",
                               names.back().c_str());
      }
    }
  }
  Traffic traffic(static_cast<long long>(std::time(nullptr)) - logs * records * 31);
  logmapper::Progress progress("demo", static_cast<uint64_t>(logs * records));
  for (const std::string& name : names) {
    int status = 0;
    Asn1Value log_attrs;
    if (!logmapper::attribute_list("demo",
                                   {"administrativeState=unlocked", "maxLogSize=10000000",
                                    "logFullAction=wrap", "capacityAlarmThreshold={80, 90}"},
                                   log_attrs, nullptr, status)) {
      return status;
    }
    LogMapper log(logmapper::log_identifier(name), log_attrs, "", TolkMap::def_owner_id());
    if (!log.created()) {
      return logmapper::fail_library("demo", "log %s not created", name.c_str());
    }
    for (long r = 1; r <= records; ++r) {
      const Kind& kind = pick_kind(traffic);
      Asn1Value list;
      if (!logmapper::attribute_list("demo", record_attributes(traffic, kind), list, nullptr,
                                     status)) {
        return status;
      }
      Oid cls;
      logmapper::record_class(kind.record_class, cls);
      std::unique_ptr<OarInfo> entry = logmapper::cache_entry(list);
      if (entry == nullptr ||
          log.WriteToDB(static_cast<int>(r), cls, cls, list, entry.get()) != 1) {
        logmapper::fail_library("demo", "record %ld of log %s not written", r, name.c_str());
        LogMapper::abort();
        return logmapper::kFail;
      }
      entry.release();  // the mapper's cache took it over
      if (kind.after != nullptr && !kind.after(traffic, log, static_cast<int>(r))) {
        LogMapper::abort();
        return logmapper::kFail;
      }
      if (r % 1000 == 0 && !logmapper::commit("demo")) return logmapper::kFail;
      progress.advance();
    }
    if (!logmapper::commit("demo")) return logmapper::kFail;
  }
  progress.finish();
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"demo",
     "",
     "fill the store with demonstration traffic: logs demo-1 ... demo-N with records of "
     "every event and alarm record class",
     0,
     0,
     {{"--logs", "N", "the number of logs (default 3)"},
      {"--records", "M", "the number of records of each log (default 200)"}},
     &run,
     "The records are object creation and deletion, relationship, attribute value and\n"
     "state change records, security alarm reports and alarms (most acknowledged, many\n"
     "cleared) about network elements, their discriminators and logs, logged over the\n"
     "time up to now. The logs must not exist yet. A progress bar is shown on standard\n"
     "error when it is a terminal.\n"}};

}  // namespace
