// The log commands of logmapper: create a log with its attributes, list every stored
// log with its attributes, delete a log.
//
//   create-log LOG [NAME=VALUE ...]
//   logs [--json]
//   delete-log LOG
//
// LOG is digits for an INTEGER log identifier, else a GraphicString. NAME is an
// attribute's registered name or dotted identifier, VALUE the value notation of its
// type. `logs --json` prints [{"logId": TEXT, "attributes": {NAME: TEXT, ...}}, ...].
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;

int run_create(const logmapper::Args& args) {
  Asn1Value list;
  int status = 0;
  std::vector<std::string> attrs(args.positional().begin() + 1, args.positional().end());
  if (!logmapper::attribute_list("create-log", attrs, list, nullptr, status)) return status;
  Asn1Value id = logmapper::log_identifier(args[0]);
  if (!logmapper::open_store("create-log", Access::kWrite)) return logmapper::kFail;
  {
    LogMapper scratch;
    if (scratch.table_exists(id) == 1) {
      return logmapper::fail("create-log", "a log %s exists already", args[0].c_str());
    }
  }
  LogMapper log(id, list, "", TolkMap::def_owner_id());
  if (!log.created()) {
    return logmapper::fail_library("create-log", "log %s not created", args[0].c_str());
  }
  return logmapper::kOk;
}

int run_logs(const logmapper::Args& args) {
  struct Out {
    bool json;
    bool first = true;
    std::string text;
  } out{args.flag("--json"), true, std::string()};
  Callback cb(
      [](void* client, void* data) {
        auto* o = static_cast<Out*>(client);
        if (data == nullptr) return;
        auto* resp = static_cast<RespValue*>(data);
        if (o->json) {
          o->text += (o->first ? "\n  " : ",\n  ") + logmapper::log_json(*resp);
        } else {
          std::ostringstream lines;
          logmapper::print_log(lines, *resp);
          o->text += lines.str();
        }
        o->first = false;
      },
      &out);
  if (!logmapper::open_store("logs", Access::kRead)) return logmapper::kFail;
  if (LogMapper::get_all_logs(cb) != 1) {
    return logmapper::fail_library("logs", "the stored logs cannot be read");
  }
  if (out.json) out.text = "[" + out.text + (out.first ? "]\n" : "\n]\n");
  logmapper::out() << out.text;
  return logmapper::kOk;
}

int run_delete(const logmapper::Args& args) {
  if (!logmapper::open_store("delete-log", Access::kWrite)) return logmapper::kFail;
  LogMapper log;
  // A damaged log (a record table missing) is still deleted, with what it has.
  if (log.load_table(logmapper::log_identifier(args[0])) != 1 && !log.created()) {
    std::string why = LogMapper::last_failure();
    return logmapper::fail(
        "delete-log", "%s",
        why.empty() ? ("log " + args[0] + " cannot be opened").c_str() : why.c_str());
  }
  return logmapper::finish("delete-log", log.deleteDB(char(0)), "log %s not deleted",
                           args[0].c_str());
}

const char* const kLogDetails =
    "LOG is digits for an INTEGER log identifier, any other text a GraphicString.\n"
    "NAME is an attribute's registered name (administrativeState, maxLogSize, ...) or its\n"
    "dotted identifier, VALUE the value notation of its type.\n";

logmapper::RegisterCommand reg_create{{"create-log",
                                       "LOG [NAME=VALUE ...]",
                                       "create log LOG with the given attributes",
                                       1,
                                       logmapper::kAnyNumber,
                                       {},
                                       &run_create,
                                       kLogDetails}};
logmapper::RegisterCommand reg_logs{
    {"logs",
     "",
     "print every stored log with its attributes",
     0,
     0,
     {{"--json", nullptr,
       "print one JSON array of {\"logId\": TEXT, \"attributes\": {NAME: TEXT, ...}}"}},
     &run_logs}};
logmapper::RegisterCommand reg_delete{
    {"delete-log", "LOG", "delete log LOG with its records", 1, 1, {}, &run_delete, kLogDetails}};

}  // namespace
