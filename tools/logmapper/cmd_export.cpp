// Moving a log's records out of a store and into another:
//
//   export LOG [--format jsonl|csv] [--since TIME]
//   import LOG FILE
//
// export streams every record of LOG to standard output, in the order the store hands
// them (by record class, then as stored). JSONL, one record per line:
//   {"logRecordId": N, "class": NAME, "attributes": {NAME: TEXT, ...}, "ber": HEX}
// where "ber" is the exact encoding of the record's attributes. CSV: a header line,
// then one row per record: logRecordId, class, one column per attribute name that
// occurs in the log (its value notation, empty when the record lacks it), ber.
// --since keeps the records logged at TIME or later (their loggingTime).
//
// import reads that JSONL back into LOG (made when it does not exist), all or nothing:
// a line that is not an exported record, or a record the store refuses, ends the
// import with nothing of it stored. Exporting, importing into a fresh store and
// exporting again gives the same output, on either store and across them.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "platform/value/generalized_time.h"
#include "platform/value/value_notation.h"
#include "tolk.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"
#include "tools/logmapper/progress.h"
#include "tools/logmapper/record_output.h"
#include "tools/logmapper/store.h"

namespace {

using logmapper::Access;

// TIME as --since takes it: a GeneralizedTime ("20240301101500Z", quotes allowed), or
// ISO 8601 ("2024-03-01", "2024-03-01T10:15:00Z", "2024-03-01 10:15+01:00"); without a
// zone, local time. False when it is neither.
bool parse_since(std::string text, TimeStamp& since) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  static const std::regex iso(
      R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(\.\d+)?)?)?(Z|[+-]\d{2}:?\d{2})?)");
  std::smatch m;
  if (std::regex_match(text, m, iso)) {
    std::string zone = m[8].str();
    zone.erase(std::remove(zone.begin(), zone.end(), ':'), zone.end());
    text = m[1].str() + m[2].str() + m[3].str() + (m[4].matched ? m[4].str() : "00") + m[5].str() +
           m[6].str() + m[7].str() + zone;
  }
  GeneralizedTime t(text);
  if (!t.valid()) return false;
  since = t.to_time_stamp();
  return since.valid();
}

// Whether a record was logged at `since` or later.
bool logged_since(const RespValue& record, const TimeStamp& since) {
  Asn1Value v;
  if (!record.find_value(loggingTimeOid, v)) return false;
  TimeStamp t = GeneralizedTime(v).to_time_stamp();
  return t.valid() && t.millis() >= since.millis();
}

// A CSV field: quoted when it holds a comma, a quote or a line end (quotes doubled).
std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Walks the records of `log` that pass the filter, calling `each` with every one.
template <class Each>
int walk(LogMapper& log, const TimeStamp* since, Each each) {
  struct State {
    const TimeStamp* since;
    Each* each;
  } state{since, &each};
  Callback cb(
      [](void* client, void* data) {
        auto* s = static_cast<State*>(client);
        if (data == nullptr) return;
        const auto& record = *static_cast<RespValue*>(data);
        if (s->since == nullptr || logged_since(record, *s->since)) (*s->each)(record);
      },
      &state);
  return log.get_all_log_recs(cb, 0);
}

int run_export(const logmapper::Args& args) {
  std::string format = args.value("--format") ? *args.value("--format") : "jsonl";
  if (format != "jsonl" && format != "csv") {
    return logmapper::usage("export", "--format is jsonl or csv, not %s", format.c_str());
  }
  TimeStamp since_stamp;
  const TimeStamp* since = nullptr;
  if (const std::string* text = args.value("--since")) {
    if (!parse_since(*text, since_stamp)) {
      return logmapper::usage("export", "--since: not a time: %s", text->c_str());
    }
    since = &since_stamp;
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("export", args[0], Access::kRead);
  if (m == nullptr) return logmapper::kFail;
  std::ostream& out = logmapper::out();
  logmapper::Progress progress("export", m->cached_records());

  if (format == "jsonl") {
    int rc = walk(*m, since, [&](const RespValue& record) {
      out << logmapper::export_json(*m, record) << '\n';
      progress.advance();
    });
    progress.finish();
    if (rc != 1) return logmapper::fail_library("export", "the records cannot be read");
    return logmapper::kOk;
  }

  // CSV: the columns are the attribute names that occur, found by a first walk.
  std::vector<Oid> columns;
  int rc = walk(*m, since, [&](const RespValue& record) {
    for (const auto& e : record) {
      if (e->id() == logRecordIdOid) continue;
      if (std::find(columns.begin(), columns.end(), e->id()) == columns.end()) {
        columns.push_back(e->id());
      }
    }
  });
  if (rc != 1) return logmapper::fail_library("export", "the records cannot be read");
  out << "logRecordId,class";
  for (const Oid& c : columns) out << ',' << csv_field(logmapper::name_of(c));
  out << ",ber\n";
  bool changed = false;
  rc = walk(*m, since, [&](const RespValue& record) {
    std::vector<std::string> cells(columns.size());
    for (const auto& e : record) {
      if (e->id() == logRecordIdOid) continue;
      auto at = std::find(columns.begin(), columns.end(), e->id());
      if (at == columns.end()) {
        changed = true;  // written since the first walk
        continue;
      }
      cells[static_cast<size_t>(at - columns.begin())] = format_attribute(e->id(), e->value());
    }
    unsigned long id = logmapper::record_identifier(record);
    out << id << ',' << csv_field(logmapper::record_class_name(*m, id));
    for (const std::string& c : cells) out << ',' << csv_field(c);
    out << ',' << logmapper::attributes_hex(record) << '\n';
    progress.advance();
  });
  progress.finish();
  if (rc != 1) return logmapper::fail_library("export", "the records cannot be read");
  if (changed) {
    return logmapper::fail("export",
                           "the log changed during the export (an attribute without a column); "
                           "run it again");
  }
  return logmapper::kOk;
}

// Reads one line of `f` into `line` (without its end), at most `limit` octets. False at
// the end of the input; `too_long` when a line passes the limit.
bool read_line(FILE* f, std::string& line, size_t limit, bool& too_long) {
  line.clear();
  too_long = false;
  int c;
  bool any = false;
  while ((c = getc_unlocked(f)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line.size() == limit) {
      too_long = true;
      return true;
    }
    line += static_cast<char>(c);
  }
  return any;
}

int run_import(const logmapper::Args& args) {
  const std::string& name = args[0];
  const std::string& path = args[1];
  bool is_stdin = path == "-";
  FILE* f = is_stdin ? stdin : std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    return logmapper::fail("import", "cannot open %s: %s", path.c_str(), std::strerror(errno));
  }
  std::unique_ptr<FILE, int (*)(FILE*)> closer(is_stdin ? nullptr : f, &std::fclose);
  struct stat st;
  uint64_t size = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;

  if (!logmapper::open_store("import", Access::kWrite)) return logmapper::kFail;
  Asn1Value log_id = logmapper::log_identifier(name);
  bool created = false;
  {
    LogMapper scratch;
    if (scratch.table_exists(log_id) != 1) {
      Asn1Value none;
      none.start_construct(TAG_SET);
      LogMapper made(log_id, none, "", TolkMap::def_owner_id());
      if (!made.created()) {
        return logmapper::fail_library("import", "log %s not created", name.c_str());
      }
      created = true;
    }
  }
  std::unique_ptr<LogMapper> m = logmapper::open_log("import", name, Access::kWrite);
  if (m == nullptr) return logmapper::kFail;
  // Nothing of a failed import stays: not its records, nor the log it made.
  auto undo = [&]() {
    LogMapper::abort();
    if (created && m->deleteDB(char(0)) == 1) LogMapper::commit();
    return logmapper::kFail;
  };

  logmapper::Progress progress("import", size);
  std::string line;
  bool too_long = false;
  long number = 0;
  uint64_t done = 0;
  while (read_line(f, line, logmapper::kMaxInput, too_long)) {
    ++number;
    done += line.size() + 1;
    progress.set(done);
    if (too_long) {
      logmapper::fail("import", "%s:%ld: a line longer than 64 MiB", path.c_str(), number);
      return undo();
    }
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    logmapper::ImportedRecord record;
    std::string error;
    if (!logmapper::parse_export_line(line, record, error)) {
      logmapper::fail("import", "%s:%ld: not an exported record: %s", path.c_str(), number,
                      error.c_str());
      return undo();
    }
    unsigned short type = 0;
    if (m->get_table_type(static_cast<unsigned long>(record.id), type) == 1) {
      logmapper::fail("import", "%s:%ld: log %s holds a record %d already", path.c_str(), number,
                      name.c_str(), record.id);
      return undo();
    }
    std::unique_ptr<OarInfo> entry = logmapper::cache_entry(record.attributes);
    if (entry == nullptr ||
        m->WriteToDB(record.id, record.record_class, record.record_class, record.attributes,
                     entry.get()) != 1) {
      logmapper::fail_library("import", "%s:%ld: record %d not written", path.c_str(), number,
                              record.id);
      return undo();
    }
    entry.release();  // the mapper's cache took it over
  }
  if (std::ferror(f)) {
    logmapper::fail("import", "cannot read %s: %s", path.c_str(), std::strerror(errno));
    return undo();
  }
  progress.finish();
  if (!logmapper::commit("import")) return undo();
  return logmapper::kOk;
}

logmapper::RegisterCommand reg_export{
    {"export",
     "LOG",
     "stream every record of log LOG: its identifier, class, attributes and exact BER",
     1,
     1,
     {{"--format", "FORMAT", "jsonl (default): one JSON object per line; csv: a table"},
      {"--since", "TIME",
       "only records logged at TIME or later (GeneralizedTime or ISO 8601; local time "
       "without a zone)"}},
     &run_export,
     "JSONL lines: {\"logRecordId\": N, \"class\": NAME, \"attributes\": {NAME: TEXT, ...},\n"
     "\"ber\": HEX}, where ber is the exact encoding of the record's attributes, which is\n"
     "what import reads back. CSV: logRecordId, class, one column per attribute that\n"
     "occurs in the log, ber. Records come in the order the store hands them. A progress\n"
     "bar is shown on standard error when it is a terminal.\n"}};
logmapper::RegisterCommand reg_import{
    {"import",
     "LOG FILE",
     "read the records of an export (JSONL; FILE - for standard input) into log LOG",
     2,
     2,
     {},
     &run_import,
     "LOG is created when it does not exist. The import is all or nothing: a line that is\n"
     "not an exported record, a record identifier the log holds already, or a record the\n"
     "store refuses ends it with the line's number and reason, and nothing of it stays.\n"}};

}  // namespace
