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
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_connection.h"
#include "platform/value/exception.h"
#include "platform/value/oi2fdn.h"
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

// The text of a log identifier: its value notation (7, "abc"), a distinguished name as
// its text.
std::string identifier_text(const Asn1Value& id) {
  if (id.tag() == TAG_CTX2) return oi2fdn(id);
  std::string out;
  qx::format_element(nullptr, id.encoding_view(), FORMAT_NAMES, out);
  return out;
}

bool store_open(const char* command) {
  if (!LogMapper::aConnection().isValid()) {
    logmapper::fail(command, "the store cannot be opened");
    return false;
  }
  return true;
}

int run_create(const logmapper::Context&, int argc, char** argv) {
  if (argc < 1) return logmapper::usage("create-log", "expected LOG");
  Asn1Value list;
  int status = 0;
  if (!attribute_list("create-log", argc - 1, argv + 1, list, nullptr, status)) return status;
  Asn1Value id = log_identifier(argv[0]);
  ExceptionScope scope;
  {
    LogMapper scratch;
    if (!store_open("create-log")) return logmapper::kFail;
    if (scratch.table_exists(id) == 1) {
      return logmapper::fail("create-log", "a log %s exists already", argv[0]);
    }
  }
  LogMapper log(id, list, "", TolkMap::def_owner_id());
  if (!log.created()) {
    return logmapper::fail("create-log",
                           "log %s not created (an attribute value its log "
                           "attribute does not take, or a name in use)",
                           argv[0]);
  }
  return logmapper::kOk;
}

int run_logs(const logmapper::Context&, int argc, char** argv) {
  bool json = false;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--json") {
      json = true;
    } else {
      return logmapper::usage("logs", "unexpected argument %s", argv[i]);
    }
  }
  struct Out {
    bool json;
    bool first = true;
    std::string text;
  } out{json, true, std::string()};
  Callback cb(
      [](void* client, void* data) {
        auto* o = static_cast<Out*>(client);
        if (data == nullptr) return;
        auto* resp = static_cast<RespValue*>(data);
        Asn1Value id;
        resp->find_value(logIdOid, id);
        std::string& s = o->text;
        if (o->json) {
          s += o->first ? "\n  " : ",\n  ";
          s += "{\"logId\": " + logmapper::json_string(identifier_text(id)) + ", \"attributes\": {";
          bool first = true;
          for (const auto& e : *resp) {
            if (e->id() == logIdOid) continue;
            s += (first ? "" : ", ") + logmapper::json_string(name_of(e->id())) + ": " +
                 logmapper::json_string(format_attribute(e->id(), e->value()));
            first = false;
          }
          s += "}}";
        } else {
          s += identifier_text(id) + "\n";
          for (const auto& e : *resp) {
            if (e->id() == logIdOid) continue;
            s += "  " + name_of(e->id()) + ": " + format_attribute(e->id(), e->value()) + "\n";
          }
        }
        o->first = false;
      },
      &out);
  ExceptionScope scope;
  {
    LogMapper scratch;  // opens the store
    if (!store_open("logs")) return logmapper::kFail;
  }
  int rc = LogMapper::get_all_logs(cb);
  if (rc != 1) return logmapper::fail("logs", "the stored logs cannot be read");
  if (json) out.text = "[" + out.text + (out.first ? "]\n" : "\n]\n");
  std::cout << out.text << std::flush;
  return logmapper::kOk;
}

int run_delete(const logmapper::Context&, int argc, char** argv) {
  if (argc != 1) return logmapper::usage("delete-log", "expected LOG");
  ExceptionScope scope;
  LogMapper log;
  if (!store_open("delete-log")) return logmapper::kFail;
  // A damaged log (a record table missing) is still deleted with what it has.
  if (log.load_table(log_identifier(argv[0])) != 1 && !log.created()) {
    return logmapper::fail("delete-log", "no log %s", argv[0]);
  }
  if (log.deleteDB(char(0)) != 1) {
    LogMapper::abort();
    return logmapper::fail("delete-log", "log %s not deleted", argv[0]);
  }
  if (LogMapper::commit() != 1) return logmapper::fail("delete-log", "commit failed");
  return logmapper::kOk;
}

logmapper::RegisterCommand reg_create{{"create-log", "LOG [NAME=VALUE ...]",
                                       "create log LOG with the given attributes", &run_create}};
logmapper::RegisterCommand reg_logs{
    {"logs", "[--json]", "print every stored log with its attributes", &run_logs}};
logmapper::RegisterCommand reg_delete{
    {"delete-log", "LOG", "delete log LOG with its records", &run_delete}};

}  // namespace
