// logmapper status [--json]: what store the tool works on (its URL without a password),
// the server type, the library's version, and every stored log with its number of
// records. A quick check that the store can be reached and read.
#include <string>
#include <utility>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_database.h"
#include "tolk.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

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
  std::vector<std::pair<std::string, unsigned long>> logs;
  for (const Asn1Value& id : ids) {
    std::string name = logmapper::identifier_text(id);
    LogMapper m;
    if (m.load_table(id) != 1 || m.get_all_almsvc_recs(no_op_cb, 1) != 1) {
      // A log deleted since the list was read is no longer the store's: leave it out.
      if (LogMapper().table_exists(id) != 1) continue;
      return logmapper::fail_library("status", "log %s cannot be read", name.c_str());
    }
    logs.emplace_back(name, m.cached_records());
  }
  std::string server = LogMapper::aDB_().serverType().str();
  std::ostream& out = logmapper::out();
  if (args.flag("--json")) {
    out << logmapper::status_json(store, server, tolk_map_version(), logs) << "\n";
    return logmapper::kOk;
  }
  out << "store: " << store << "\nserver: " << server << "\nversion: " << tolk_map_version()
      << "\nlogs: " << logs.size() << "\n";
  for (const auto& [name, records] : logs) {
    out << "  " << name << ": " << records << (records == 1 ? " record\n" : " records\n");
  }
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"status",
     "",
     "print the store, its server type, the library's version and every log's number of "
     "records",
     0,
     0,
     {{"--json", nullptr,
       "print {\"store\": URL, \"server\": TYPE, \"version\": V, \"logs\": [{\"logId\": TEXT, "
       "\"records\": N}, ...]}"}},
     &run,
     "The store's URL is shown without its password.\n"}};

}  // namespace
