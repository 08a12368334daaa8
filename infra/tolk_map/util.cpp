#include "infra/tolk_map/util.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/column_text.h"
#include "platform/db/rwdb_reader.h"
#include "platform/value/exception.h"

const char* const GLBFORM_DELIM = "globalForm:";
const char* const cleared_state = "cleared";
const char* const uncleared_state = "unCleared";

bool dbobject_strfmt(const RWCString& in, const RWCString& quote, RWCString& out, char c) {
  if (in.isNull()) return false;
  if (quote.isNull()) {
    out += in;
    return true;
  }
  size_t pos = 0;
  const size_t last_char = in.last(c);
  for (size_t p = in.index(quote, pos); p != RW_NPOS; p = in.index(quote, pos)) {
    RWCString part = in(pos, p + quote.length() - pos);
    out += part;
    out += quote;
    pos = p + quote.length();
    tolk_info.print("The qxDBObjectName is %s. \n", part.data());
    tolk_info.print("The constructed logname is %s. \n", out.data());
    tolk_info.print("The index: %d next_index: %d last_char: %d\n", static_cast<int>(pos),
                    static_cast<int>(p), static_cast<int>(last_char));
  }
  if (pos < in.length()) out += in(pos, in.length() - pos);
  return true;
}

void* fix_event_name(void* text) {
  if (text == nullptr) return text;
  RWCString& s = *static_cast<RWCString*>(text);
  size_t p = s.index(GLBFORM_DELIM);
  if (p != RW_NPOS) s.remove(p, std::strlen(GLBFORM_DELIM));
  return text;
}

bool log_find_ava(const Asn1Value& in, Asn1Value& out) {
  bool found = false;
  if (in && in.tag() == TAG_CTX2 && in.constructed()) {
    Asn1Value last;
    for (const Asn1Value& c : in.components()) last = c;
    out = last.copy();
    tolk_info.print(155, "The last component is:\n\n");
    tolk_info.print_value(out);
    found = true;
  } else {
    out = in.copy();
  }
  tolk_info.print(155, "The attribute value of the logId is:\n");
  tolk_info.print_value(out);
  return found;
}

namespace qx {

std::string quote_identifier(std::string_view name) {
  std::string q = "\"";
  for (char ch : name) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch == '"') q += '"';
    q += ch;
  }
  q += '"';
  return q;
}

bool valid_name(std::string_view name) {
  return !name.empty() && name.size() <= 63 &&
         db::storable_prefix(name.data(), name.size(), 0) == name.size();
}

bool log_name_of(const Asn1Value& id, std::string& name, std::string& type) {
  if (!id) return false;
  ExceptionScope scope;  // a value that does not decode is a plain false here
  if (id.tag() == TAG_INT) {
    long n = 0;
    if (!id.decode_int(n)) return false;
    name = std::to_string(n);
    type = "integer";
    return true;
  }
  std::string octets;
  if (!id.decode_octets(octets)) return false;
  size_t nul = octets.find('\0');
  if (nul != std::string::npos) octets.resize(nul);
  name = octets;
  type = "string";
  return true;
}

}  // namespace qx

// ---- Readers of the log table and the alarm tables.

bool rdr_logid(LogMapper*, RWDBReader& reader, const RWCString& column, Oid&, Asn1Value& value) {
  RWCString text;
  RWCString type;
  if (!qx::read_text(reader, column, text)) return false;
  if (!qx::read_text(reader, "LogIdType", type)) return false;
  if (type == "integer") {
    // The whole text must be a number: a row of another log's kind is not guessed at.
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(text.data(), &end, 10);
    if (text.isNull() || end == nullptr || *end != '\0' || errno != 0) return false;
    return value.encode_int(n, TAG_INT);
  }
  if (type == "string") return value.encode_octets(text.str(), TAG_GRAPHSTR);
  return false;
}

int validate_logid(RWDBReader& reader, const Asn1Value& logId, const RWCString logIdType) {
  if (!logId || logId.size() == 0) return -1;
  Oid none;
  while (reader()) {
    Asn1Value stored;
    if (!rdr_blob(nullptr, reader, "logidasn", none, stored)) continue;
    RWCString type;
    if (!logIdType.isNull()) qx::read_text(reader, "logidtype", type);
    tolk_info.print("The logid type is (%s):\n", type.data());
    if (stored.encoding_view() == logId.encoding_view() && type == logIdType) {
      tolk_info.print("The log exists in the log table.\n");
      tolk_info.print_value(logId);
      return 1;
    }
  }
  // A walk that broke off has not seen every row: the log is not known to be absent.
  if (!qx::walk_complete(reader, "the log table")) return -1;
  tolk_info.print("The log does not exist in the log table.\n");
  tolk_info.print_value(logId);
  return 0;
}

namespace {
const char* const kSeverities[] = {"indeterminate", "critical", "major",
                                   "minor",         "warning",  "cleared"};
}  // namespace

void convert_severity(long& severity, RWCString& text) {
  text = severity >= 0 && severity < 6 ? kSeverities[severity] : kSeverities[0];
}

bool rdr_clear_severity(RWDBReader& reader, RWCString& stateColumn, RWCString& severityColumn,
                        unsigned char& cleared, unsigned char& severity) {
  // Read in place: start-up reads these two words of every alarm.
  std::string_view state;
  std::string_view sev;
  bool state_known = qx::read_text_view(reader, stateColumn, state) &&
                     (state == uncleared_state || state == cleared_state);
  bool severity_known = qx::read_text_view(reader, severityColumn, sev);
  cleared = state_known && state == cleared_state ? 1 : 0;
  severity = 0;
  for (unsigned char i = 0; severity_known && i < 6; ++i) {
    if (sev == kSeverities[i]) {
      severity = i;
      return state_known;
    }
  }
  return false;
}
