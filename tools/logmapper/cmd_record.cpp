// The record commands of logmapper: write, show, records, update and delete one log's
// records. Each opens the store, rebuilds the stored logs (as a management process does
// at start-up), works on the log named LOG and commits.
//
//   write LOG RECID CLASS [NAME=VALUE ...]   CLASS: record class name or dotted identifier
//   show LOG RECID [--json]
//   records LOG [--json]
//   update LOG RECID NAME=VALUE ...
//   delete LOG RECID
//
// LOG is digits for an INTEGER log identifier, else a GraphicString. NAME is an
// attribute's registered name or dotted identifier, VALUE the value notation of its
// type. A written record also gets its class as its objectClass attribute, unless the
// list names one.
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_connection.h"
#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"

namespace {

using logmapper::attribute_list;
using logmapper::log_identifier;
using logmapper::name_of;

const Oid kObjectClass("2.9.3.2.7.65");

bool record_id(const char* text, int& id) {
  errno = 0;
  char* end = nullptr;
  unsigned long n = std::strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || n > 0x7fffffffUL) return false;
  id = static_cast<int>(n);
  return true;
}

// Opens the store and rebuilds the log with the state of its records, as start-up does
// for every log. Null (the reason written) when the store cannot be opened or has no
// such log.
std::unique_ptr<LogMapper> open_log(const char* command, const std::string& log) {
  ExceptionScope scope;
  auto m = std::make_unique<LogMapper>();
  if (!LogMapper::aConnection().isValid()) {
    logmapper::fail(command, "the store cannot be opened");
    return nullptr;
  }
  if (m->load_table(log_identifier(log)) != 1) {
    const Exception* x = scope.caught();
    if (m->created() && x != nullptr) {  // stored, but cannot be opened
      logmapper::fail(command, "%s", x->reason().c_str());
    } else {
      logmapper::fail(command, "no log %s", log.c_str());
    }
    return nullptr;
  }
  if (m->get_all_almsvc_recs(no_op_cb, 1) != 1) {
    logmapper::fail(command, "the records of log %s cannot be read", log.c_str());
    return nullptr;
  }
  return m;
}

// One record as text lines or as its JSON object.
void print_record(LogMapper* m, const RespValue& r, bool json, std::ostream& os) {
  unsigned long id = 0;
  Asn1Value idv;
  if (r.find_value(logRecordIdOid, idv)) idv.decode_unsigned(id);
  Oid cls;
  std::string cls_name;
  if (m->get_log_record_class(id, cls) == 1) cls_name = name_of(cls);
  if (json) {
    os << "{\"logRecordId\": " << id << ", \"class\": " << logmapper::json_string(cls_name)
       << ", \"attributes\": {";
    bool first = true;
    for (const auto& e : r) {
      if (e->id() == logRecordIdOid) continue;
      os << (first ? "" : ", ") << logmapper::json_string(name_of(e->id())) << ": "
         << logmapper::json_string(format_attribute(e->id(), e->value()));
      first = false;
    }
    os << "}}";
    return;
  }
  os << "logRecordId: " << id << "\nclass: " << cls_name << "\n";
  for (const auto& e : r) {
    if (e->id() == logRecordIdOid) continue;
    os << name_of(e->id()) << ": " << format_attribute(e->id(), e->value()) << "\n";
  }
}

bool take_json(int& argc, char** argv) {
  bool json = false;
  int out = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--json") {
      json = true;
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  return json;
}

int run_write(const logmapper::Context&, int argc, char** argv) {
  if (argc < 3) return logmapper::usage("write", "expected LOG RECID CLASS");
  int id = 0;
  if (!record_id(argv[1], id)) return logmapper::usage("write", "bad RECID %s", argv[1]);
  Oid cls;
  if (!OidNameRegistry::find_oid_by_name(argv[2], cls) && !Oid::parse(argv[2], cls)) {
    return logmapper::fail("write", "no record class %s", argv[2]);
  }
  Asn1Value list;
  std::vector<Oid> ids;
  int status = 0;
  if (!attribute_list("write", argc - 3, argv + 3, list, &ids, status)) return status;
  bool has_class = false;
  for (const Oid& o : ids) has_class |= o == kObjectClass;
  if (!has_class) {
    Asn1Value oid, value, pair;
    oid.encode_oid(kObjectClass);
    value.encode_oid(cls);
    pair.start_construct(TAG_SEQ);
    pair.add_component(oid);
    pair.add_component(value);
    list.add_component(pair);
  }
  std::unique_ptr<LogMapper> m = open_log("write", argv[0]);
  if (m == nullptr) return logmapper::kFail;
  auto entry = std::make_unique<OarInfo>();
  if (m->WriteToDB(id, cls, cls, list, entry.get()) != 1) {
    LogMapper::abort();
    return logmapper::fail("write", "record %d not written", id);
  }
  entry.release();  // the mapper's cache took it over
  if (LogMapper::commit() != 1) return logmapper::fail("write", "commit failed");
  return logmapper::kOk;
}

int run_show(const logmapper::Context&, int argc, char** argv) {
  bool json = take_json(argc, argv);
  if (argc != 2) return logmapper::usage("show", "expected LOG RECID");
  int id = 0;
  if (!record_id(argv[1], id)) return logmapper::usage("show", "bad RECID %s", argv[1]);
  std::unique_ptr<LogMapper> m = open_log("show", argv[0]);
  if (m == nullptr) return logmapper::kFail;
  RespValue r;
  ExceptionScope scope;
  if (m->ReadfromDB(id, r) != 1) return logmapper::fail("show", "no record %d", id);
  print_record(m.get(), r, json, std::cout);
  if (json) std::cout << "\n";
  return logmapper::kOk;
}

int run_records(const logmapper::Context&, int argc, char** argv) {
  bool json = take_json(argc, argv);
  if (argc != 1) return logmapper::usage("records", "expected LOG");
  std::unique_ptr<LogMapper> m = open_log("records", argv[0]);
  if (m == nullptr) return logmapper::kFail;
  struct Out {
    LogMapper* m;
    bool json;
    bool first = true;
  } out{m.get(), json};
  Callback cb(
      [](void* client, void* data) {
        auto* o = static_cast<Out*>(client);
        if (data == nullptr) return;
        if (o->json) std::cout << (o->first ? "\n  " : ",\n  ");
        if (!o->json && !o->first) std::cout << "\n";
        print_record(o->m, *static_cast<RespValue*>(data), o->json, std::cout);
        o->first = false;
      },
      &out);
  if (json) std::cout << "[";
  ExceptionScope scope;
  if (m->get_all_log_recs(cb, 0) != 1) {
    // What was printed is not the whole log: the list is left unclosed.
    std::cout << (json ? "\n" : "") << std::flush;
    const Exception* x = scope.caught();
    return logmapper::fail("records", "the records cannot be read%s%s", x != nullptr ? ": " : "",
                           x != nullptr ? x->reason().c_str() : "");
  }
  if (json) std::cout << (out.first ? "]\n" : "\n]\n");
  return logmapper::kOk;
}

int run_update(const logmapper::Context&, int argc, char** argv) {
  if (argc < 3) return logmapper::usage("update", "expected LOG RECID NAME=VALUE ...");
  int id = 0;
  if (!record_id(argv[1], id)) return logmapper::usage("update", "bad RECID %s", argv[1]);
  Asn1Value list;
  int status = 0;
  if (!attribute_list("update", argc - 2, argv + 2, list, nullptr, status)) return status;
  std::unique_ptr<LogMapper> m = open_log("update", argv[0]);
  if (m == nullptr) return logmapper::kFail;
  RespValue r;
  if (m->UpdateDB(id, list, r) != 1) {
    LogMapper::abort();
    return logmapper::fail("update", "record %d not updated", id);
  }
  if (LogMapper::commit() != 1) return logmapper::fail("update", "commit failed");
  return logmapper::kOk;
}

int run_delete(const logmapper::Context&, int argc, char** argv) {
  if (argc != 2) return logmapper::usage("delete", "expected LOG RECID");
  int id = 0;
  if (!record_id(argv[1], id)) return logmapper::usage("delete", "bad RECID %s", argv[1]);
  std::unique_ptr<LogMapper> m = open_log("delete", argv[0]);
  if (m == nullptr) return logmapper::kFail;
  if (m->deleteDB(id) != 1) {
    LogMapper::abort();
    return logmapper::fail("delete", "no record %d", id);
  }
  if (LogMapper::commit() != 1) return logmapper::fail("delete", "commit failed");
  return logmapper::kOk;
}

logmapper::RegisterCommand reg_write{{"write", "LOG RECID CLASS [NAME=VALUE ...]",
                                      "write a record of class CLASS into log LOG", &run_write}};
logmapper::RegisterCommand reg_show{
    {"show", "LOG RECID [--json]", "print one record with its attributes", &run_show}};
logmapper::RegisterCommand reg_records{
    {"records", "LOG [--json]", "print every record of log LOG", &run_records}};
logmapper::RegisterCommand reg_update{
    {"update", "LOG RECID NAME=VALUE ...", "change attributes of a record", &run_update}};
logmapper::RegisterCommand reg_delete{{"delete", "LOG RECID", "delete a record", &run_delete}};

}  // namespace
