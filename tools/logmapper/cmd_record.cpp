// The record commands of logmapper: write, show, records, update and delete one log's
// records. Each opens the store, rebuilds the log named LOG with the state of its
// records (as a management process does at start-up), works on it and commits.
//
//   write LOG RECID CLASS [NAME=VALUE ...]   CLASS: record class name or dotted identifier
//   show LOG RECID [--json]
//   records LOG [--json]
//   update LOG RECID NAME=VALUE ...
//   delete LOG RECID
//
// A written record also gets its class as its objectClass attribute (globalForm), unless
// the list names one; a record of a class without a table of its own keeps its whole
// list, and reads back with its class taken from that attribute.
#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/tables/eventlog.h"
#include "platform/value/exception.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;

// RECID from args[1]; a usage error when it is not one.
bool take_record_id(const logmapper::Args& args, int& id, int& status) {
  if (logmapper::record_id(args[1], id)) return true;
  status = logmapper::usage(args.name(), "bad RECID %s (0 to 2147483647)", args[1].c_str());
  return false;
}

// Whether the log holds record `id`; writes the reason when it does not.
bool has_record(const char* command, LogMapper& log, int id, const std::string& name) {
  unsigned short type = 0;
  if (log.get_table_type(static_cast<unsigned long>(id), type) == 1) return true;
  logmapper::fail(command, "no record %d in log %s", id, name.c_str());
  return false;
}

std::vector<std::string> tail(const logmapper::Args& args, size_t from) {
  return std::vector<std::string>(args.positional().begin() + static_cast<long>(from),
                                  args.positional().end());
}

int run_write(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!take_record_id(args, id, status)) return status;
  Oid cls;
  if (!logmapper::record_class(args[2], cls)) {
    return logmapper::fail("write", "no record class %s", args[2].c_str());
  }
  Asn1Value list;
  std::vector<Oid> ids;
  if (!logmapper::attribute_list("write", tail(args, 3), list, &ids, status)) return status;
  bool has_class = false;
  for (const Oid& o : ids) has_class |= o == objectClassOid;
  if (!has_class) {
    Asn1Value value;
    value.encode_oid(cls, TAG_CTX0);  // ObjectClass globalForm, the attribute's own type
    list.add_component(logmapper::attribute_pair(objectClassOid, value));
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("write", args[0], Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  std::unique_ptr<OarInfo> entry = logmapper::cache_entry(list);
  if (entry == nullptr) {
    return logmapper::finish("write", 0, "record %d not written: its managed object has no number",
                             id);
  }
  int written = m->WriteToDB(id, cls, cls, list, entry.get());
  if (written == 1) entry.release();  // the mapper's cache took it over
  return logmapper::finish("write", written, "record %d not written", id);
}

int run_show(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!take_record_id(args, id, status)) return status;
  std::unique_ptr<LogMapper> m = logmapper::open_log("show", args[0], Access::kRead);
  if (m == nullptr || !has_record("show", *m, id, args[0])) return logmapper::kFail;
  RespValue r;
  if (m->ReadfromDB(id, r) != 1) {
    return logmapper::fail_library("show", "record %d cannot be read", id);
  }
  if (args.flag("--json")) {
    logmapper::out() << logmapper::record_json(*m, r) << "\n";
  } else {
    logmapper::print_record(logmapper::out(), *m, r);
  }
  return logmapper::kOk;
}

int run_records(const logmapper::Args& args) {
  std::unique_ptr<LogMapper> m = logmapper::open_log("records", args[0], Access::kRead);
  if (m == nullptr) return logmapper::kFail;
  struct Out {
    LogMapper* m;
    bool json;
    bool first = true;
  } out{m.get(), args.flag("--json"), true};
  Callback cb(
      [](void* client, void* data) {
        auto* o = static_cast<Out*>(client);
        if (data == nullptr) return;
        const auto& record = *static_cast<RespValue*>(data);
        std::ostream& os = logmapper::out();
        if (o->json) {
          os << (o->first ? "\n  " : ",\n  ") << logmapper::record_json(*o->m, record);
        } else {
          if (!o->first) os << "\n";
          logmapper::print_record(os, *o->m, record);
        }
        o->first = false;
      },
      &out);
  if (out.json) logmapper::out() << "[";
  int rc = 0;
  {
    ExceptionScope scope;  // a walk that breaks off: its reason becomes last_failure()
    rc = m->get_all_log_recs(cb, 0);
  }
  if (rc != 1) {
    // What was printed is not the whole log: a JSON list is left unclosed.
    if (out.json) logmapper::out() << "\n";
    return logmapper::fail_library("records", "the records cannot be read");
  }
  if (out.json) logmapper::out() << (out.first ? "]\n" : "\n]\n");
  return logmapper::kOk;
}

int run_update(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!take_record_id(args, id, status)) return status;
  Asn1Value list;
  if (!logmapper::attribute_list("update", tail(args, 2), list, nullptr, status)) return status;
  std::unique_ptr<LogMapper> m = logmapper::open_log("update", args[0], Access::kWrite);
  if (m == nullptr || !has_record("update", *m, id, args[0])) return logmapper::kFail;
  RespValue r;
  return logmapper::finish("update", m->UpdateDB(id, list, r), "record %d not updated", id);
}

int run_delete(const logmapper::Args& args) {
  int id = 0, status = 0;
  if (!take_record_id(args, id, status)) return status;
  std::unique_ptr<LogMapper> m = logmapper::open_log("delete", args[0], Access::kWrite);
  if (m == nullptr || !has_record("delete", *m, id, args[0])) return logmapper::kFail;
  return logmapper::finish("delete", m->deleteDB(id), "record %d not deleted", id);
}

const char* const kRecordDetails =
    "LOG is digits for an INTEGER log identifier, any other text a GraphicString; RECID a\n"
    "record identifier from 0 to 2147483647. NAME is an attribute's registered name or its\n"
    "dotted identifier, VALUE the value notation of its type.\n";

const logmapper::Option kJsonRecord{
    "--json", nullptr,
    "print {\"logRecordId\": N, \"class\": NAME, \"attributes\": {NAME: TEXT, ...}}"};

logmapper::RegisterCommand reg_write{
    {"write",
     "LOG RECID CLASS [NAME=VALUE ...]",
     "write a record of class CLASS into log LOG",
     3,
     logmapper::kAnyNumber,
     {},
     &run_write,
     "CLASS is a record class's registered name or dotted identifier; the record also gets\n"
     "it as its objectClass attribute unless the list names one.\n"}};
logmapper::RegisterCommand reg_show{{"show",
                                     "LOG RECID",
                                     "print one record with its attributes",
                                     2,
                                     2,
                                     {kJsonRecord},
                                     &run_show,
                                     kRecordDetails}};
logmapper::RegisterCommand reg_records{
    {"records",
     "LOG",
     "print every record of log LOG",
     1,
     1,
     {{"--json", nullptr, "print one JSON array of the records' objects (as show --json)"}},
     &run_records,
     kRecordDetails}};
logmapper::RegisterCommand reg_update{{"update",
                                       "LOG RECID NAME=VALUE ...",
                                       "change attributes of a record",
                                       3,
                                       logmapper::kAnyNumber,
                                       {},
                                       &run_update,
                                       kRecordDetails}};
logmapper::RegisterCommand reg_delete{
    {"delete", "LOG RECID", "delete a record", 2, 2, {}, &run_delete, kRecordDetails}};

}  // namespace
