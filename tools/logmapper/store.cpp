#include "tools/logmapper/store.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "platform/db/rwdb_connection.h"
#include "platform/mgmt/qxdb_connect_info.h"
#include "platform/value/exception.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"

namespace logmapper {
namespace {

// An SQLite URI of a file path: "file:" and the path with the characters that a URI
// gives a meaning escaped; an absolute path keeps an empty authority ("file:///...").
std::string file_uri(const std::string& path) {
  std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
  static const char kHex[] = "0123456789abcdef";
  for (unsigned char c : path) {
    if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7f) {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

// Points QXDB_URL at the embedded store for reading only. False (the reason written)
// when the store does not exist.
bool read_only_store(const char* command) {
  QXDBConnectInfo info(3);
  if (!info.is_valid() || info.get_server_type() != "SQLITE") return true;
  std::string path = info.get_database_name().str();
  if (path == ":memory:" || path.rfind("file:", 0) == 0) return true;  // as the user wrote it
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    fail(command, "no store at %s (a command that only reads creates none)", path.c_str());
    return false;
  }
  std::string url = "sqlite:" + file_uri(path) + "?mode=ro";
  setenv("QXDB_URL", url.c_str(), 1);
  return true;
}

}  // namespace

bool open_store(const char* command, Access access) {
  if (access == Access::kRead && !read_only_store(command)) return false;
  LogMapper scratch;  // opens the store, and creates the shared tables of a new one
  if (!LogMapper::aConnection().isValid()) {
    std::string why = LogMapper::last_failure();
    fail(command, "%s", why.empty() ? "the store cannot be opened" : why.c_str());
    return false;
  }
  return true;
}

std::unique_ptr<LogMapper> open_log(const char* command, const std::string& log, Access access,
                                    bool load_records) {
  if (!open_store(command, access)) return nullptr;
  auto m = std::make_unique<LogMapper>();
  if (m->load_table(log_identifier(log)) != 1) {
    std::string why = LogMapper::last_failure();
    fail(command, "%s", why.empty() ? ("log " + log + " cannot be opened").c_str() : why.c_str());
    return nullptr;
  }
  int loaded = 1;
  if (load_records) {
    ExceptionScope scope;  // a walk that breaks off: its reason becomes last_failure()
    loaded = m->get_all_almsvc_recs(no_op_cb, 1);
  }
  if (loaded != 1) {
    fail_library(command, "the records of log %s cannot be read", log.c_str());
    return nullptr;
  }
  return m;
}

namespace {
int vfail_library(const char* command, const char* fmt, va_list ap) {
  char what[1024];
  std::vsnprintf(what, sizeof what, fmt, ap);
  std::string why = LogMapper::last_failure();
  if (why.empty()) return fail(command, "%s", what);
  return fail(command, "%s: %s", what, why.c_str());
}
}  // namespace

int fail_library(const char* command, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int status = vfail_library(command, fmt, ap);
  va_end(ap);
  return status;
}

int finish(const char* command, int result, const char* fmt, ...) {
  if (result == 1) return commit(command) ? kOk : kFail;
  va_list ap;
  va_start(ap, fmt);
  vfail_library(command, fmt, ap);  // before the roll-back, which may fail for its own reason
  va_end(ap);
  LogMapper::abort();
  return kFail;
}

bool commit(const char* command) {
  if (LogMapper::commit() == 1) return true;
  fail_library(command, "the work was not committed");
  LogMapper::abort();
  return false;
}

std::string store_name() {
  QXDBConnectInfo info(3);
  if (!info.is_valid()) return std::string();
  return info.url().str();
}

namespace {

// The store's number of a managed object instance, asked of the store once per instance
// in the process: an import or a demo writes many records about the same objects. A
// number, once given, stays the instance's (a command that fails ends the process, and
// the numbers its rolled-back work was given with it).
long moi_number(const Asn1Value& instance) {
  static std::unordered_map<std::string, long> known;
  std::string key(instance.encoding_view());
  auto it = known.find(key);
  if (it != known.end()) return it->second;
  long number = LogMapper::moi_number(instance);
  if (number > 0) known.emplace(std::move(key), number);
  return number;
}

}  // namespace

std::unique_ptr<OarInfo> cache_entry(const Asn1Value& list) {
  auto entry = std::make_unique<OarInfo>();
  unsigned char cleared = 0, severity = 0;
  for (const Asn1Value& pair : list.components()) {
    Oid id;
    if (!pair.first_component().decode_oid(id)) continue;
    Asn1Value value = pair.next_component();
    long n = 0;
    if (id == moiOid) {
      long number = moi_number(value);
      if (number < 0) return nullptr;
      unsigned long moi = static_cast<unsigned long>(number);
      entry->set_moiid(moi);
    } else if (id == perceivedSeverityOid && value.decode_enum(n) && n >= 0 && n <= 5) {
      severity = static_cast<unsigned char>(n);
    } else if (id == clearStateOid && value.decode_enum(n)) {
      cleared = n == 1 ? 1 : 0;
    }
  }
  entry->set_clear_severity(cleared, severity);
  return entry;
}

}  // namespace logmapper
