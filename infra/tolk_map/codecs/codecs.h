// Attribute codecs: the conversions between an attribute's Asn1Value and the value of
// its column, and the two registries each mapper object keeps of them.
//
// A codec family has up to four roles:
//   pop_<syntax>  adds one column assignment to an UPDATE being built;
//   ins_<syntax>  writes the column value into one field of a row image (the field's
//                 type depends on the syntax: RWCString, long, unsigned long,
//                 RWDBDateTime or RWDBBlob);
//   rdr_<syntax>  reads one column of the current result row back into a value;
//   pop_ack_* / pop_clear_*  decode a value into a caller-owned field.
// Every codec returns true when it produced a column value or attribute value, false
// when it did not. Texts are produced whole: how much of a text its column holds is
// decided where the row is written (RowImage::fit_text) or by the database layer. A codec given a
// value of another syntax stores nothing (or, where the family says so, the text built so far),
// never an indeterminate value, and raises nothing (rdr_eventType and rdr_formatedVal excepted, as
// documented).
//
// Thread-safety: use from one thread at a time. The formatted codecs share the process's
// name cache; the identifier codecs keep their last conversion per thread. `nullval`,
// declared below, is one indicator for every caller that reads one.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_null_indicator.h"
#include "platform/value/asn1_value.h"
#include "platform/value/data_unit.h"
#include "platform/value/oid.h"

class LogMapper;
class RWDBReader;
class RWDBUpdater;

// Attribute numbers: where a row image keeps an attribute's column value. Internal and
// never stored. The numbers of class-specific columns may stand for other columns in
// other table classes; the common ones are fixed.
enum ATTRIBUTES : int32_t {
  ATTR_SOURCE_INDICATOR = 1,
  // The alarm tables' columns.
  ATTR_ATTRIBUTE_ID_LIST = 2,
  ATTR_PROBABLE_CAUSE = 3,
  ATTR_PROBABLE_CAUSE_OID = 4,
  ATTR_PERCEIVED_SEVERITY = 5,
  ATTR_SPECIFIC_PROBLEMS = 6,
  ATTR_BACKED_UP_STATUS = 7,
  ATTR_BACK_UP_OBJECT = 8,
  ATTR_TREND_INDICATION = 9,
  ATTR_THRESHOLD_INFO = 10,
  ATTR_STATE_CHANGE_DEF = 11,
  ATTR_MONITORED_ATTRIBUTES = 12,
  ATTR_PROPOSED_REPAIR_ACTIONS = 13,
  ATTR_ACK_STATE = 14,
  ATTR_ACK_TIME = 15,
  ATTR_ACK_OPERATOR = 16,
  ATTR_ACK_TEXT = 17,
  ATTR_CLEAR_STATE = 18,
  ATTR_CLEAR_TIME = 19,
  ATTR_CLEAR_OPERATOR = 20,
  ATTR_CLEAR_TEXT = 21,
  ATTR_DISPLAY_STATE = 22,
  ATTR_DISPLAY_TIME = 23,
  ATTR_DISPLAY_OPERATOR = 24,
  ATTR_DISPLAY_TEXT = 25,
  ATTR_LOGGING_TIME = 26,
  ATTR_EVENT_NAME = 27,
  ATTR_MOC = 28,
  ATTR_MOI = 29,
  ATTR_EVENT_TIME = 30,
  ATTR_NOTIFICATION_ID = 31,
  ATTR_CORRELATED_NOTIFS = 32,
  ATTR_ADDITIONAL_TEXT = 33,
  ATTR_ADDITIONAL_INFO = 34,
  ATTR_ATTRIBUTE_LIST = 42,
  ATTR_ADMIN_STATE = 49,
  ATTR_OP_STATE = 50,
  ATTR_LOG_FULL = 51,
  ATTR_AV_STATUS = 52,
  ATTR_LAST_LOG_REC_ID = 53,
  ATTR_START_TIME = 54,
  ATTR_STOP_TIME = 55,
  ATTR_MAX_LOG_SIZE = 56,
  ATTR_CURRENT_LOG_SIZE = 57,
  ATTR_NUMBER_OF_RECORDS = 58,
  ATTR_INTERVALS_OF_DAY = 59,
  ATTR_WEEK_MASK = 60,
  ATTR_EXTERNAL_SCHEDULER = 61,
  ATTR_DISCRIM_CONSTRUCT = 62,
  ATTR_LOG_RECORD_ID = 63,
  ATTR_LOG_REC_TYPE = 64,
  ATTR_LOG_ID = 65,
  ATTR_LOG_ID_TYPE = 66,
  ATTR_QXLOG_NAME = 68,
  ATTR_QXLOG_RECORD_TYPE = 69,
  ATTR_QXLOG_ID = 70,
  ATTR_CAP_ALARM_THRESHOLD = 71,
  ATTR_MOI_ID = 72,
  ATTR_LOG_ID_ASN = 73,
  ATTR_BLOB = 74,
  // The columns of the alarm action history (alarm_history.h).
  ATTR_HISTORY_SEQ = 75,
  ATTR_HISTORY_CLASS = 76,
  ATTR_HISTORY_ACTION = 77,
  ATTR_HISTORY_BEFORE = 78,
  ATTR_HISTORY_AFTER = 79,
  ATTR_HISTORY_TIME = 80,
  ATTR_HISTORY_OPERATOR = 81,
  ATTR_HISTORY_TEXT = 82,
};

using PopFunc = bool (*)(LogMapper*, RWDBUpdater&, const RWCString&, Oid&, Asn1Value&);
using InsFunc = bool (*)(LogMapper*, void*, const Oid&, Asn1Value&);
using RdrFunc = bool (*)(LogMapper*, RWDBReader&, const RWCString&, Oid&, Asn1Value&);
using SetFunc = bool (*)(void*, Oid&, Asn1Value&);

// The encoders of one writable attribute.
struct PopValues {
  PopFunc pop = nullptr;
  InsFunc ins = nullptr;
  RWCString column;
  ATTRIBUTES attr = ATTRIBUTES(0);
  static void destroy(PopValues* p) { delete p; }
};

// The reader of one readable column.
struct RdrInfo {
  RdrFunc rdr = nullptr;
  RWCString column;
  Oid attr;
  static void destroy(RdrInfo* r) { delete r; }
};

// Attribute identifier to its encoders. Owns the PopValues.
class OidPopValues_hash {
 public:
  // Stores (a copy of the key); a second store under the same key replaces the first.
  void store(const Oid* id, PopValues* pv);
  PopValues* fetch(const Oid* id) const;
  // The same by the identifier's contents octets, without building an Oid; *key is
  // then the stored identifier.
  PopValues* fetch(std::string_view contents, const Oid** key) const;
  // As fetch(contents, key), for the attributes of one list in turn (position 0, 1, ...).
  // A source sends its lists in the same order record after record, so the attribute
  // found at each position of the last list is tried first, without hashing.
  PopValues* fetch_at(size_t position, std::string_view contents, const Oid** key);
  size_t entries() const { return map_.size(); }

 private:
  // The attribute found at a position of the last list; key nullptr: none.
  struct Found {
    const Oid* key = nullptr;
    PopValues* pv = nullptr;
  };
  static constexpr size_t kMaxPositions = 64;
  // Identifiers hash and compare by their contents octets, so that the map can be
  // searched by those octets alone.
  struct Hash {
    using is_transparent = void;
    size_t operator()(const Oid& o) const noexcept { return hashOid(o); }
    size_t operator()(std::string_view c) const noexcept {
      return qx::hash_bytes(c.data(), c.size());
    }
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(const Oid& a, const Oid& b) const { return a == b; }
    bool operator()(std::string_view a, const Oid& b) const { return a == b.contents().view(); }
    bool operator()(const Oid& a, std::string_view b) const { return a.contents().view() == b; }
  };
  std::unordered_map<Oid, std::unique_ptr<PopValues>, Hash, Equal> map_;
  std::vector<Found> last_list_;  // emptied by store()
};

// Result-column name (exactly as registered) to its reader. Owns keys and values.
// Iteration is in registration order.
class DataUnitRdrInfo_hash {
 public:
  void store(const DataUnit* key, RdrInfo* info);
  RdrInfo* fetch(const DataUnit* key) const;
  RdrInfo* fetch(std::string_view key) const;
  size_t entries() const { return order_.size(); }

  // Walk: iterate() rewinds; next() yields each (key, info) and false at the end.
  void iterate() { pos_ = 0; }
  bool next(DataUnit*& key, RdrInfo*& info, unsigned long& index);

 private:
  struct Entry {
    std::unique_ptr<DataUnit> key;
    std::unique_ptr<RdrInfo> info;
  };
  std::vector<Entry> order_;
  std::unordered_map<std::string, size_t> index_;
  size_t pos_ = 0;
};

// The registration data of a table class: one line per attribute. store_all_pop_funcs
// and store_all_rdr_funcs of every class register their own table of these.
struct CodecSpec {
  const Oid* attr;
  PopFunc pop;
  InsFunc ins;
  const char* column;
  ATTRIBUTES number;
};
struct ReaderSpec {
  const char* key;  // the result-column name as looked up
  RdrFunc rdr;
  const char* column;
  const Oid* attr;
};
void register_codecs(OidPopValues_hash& hash, std::span<const CodecSpec> specs);
void register_readers(DataUnitRdrInfo_hash& hash, std::span<const ReaderSpec> specs);

// Shared constants.
extern RWDBNullIndicator nullval;
extern const RWDBDateTime invalid_rw_db_date_time;
extern const Asn1Value null_asn1_value;
extern const char* const cap_delimiter;

// ---- Hash helpers of the other maps (keys given as pointers).
unsigned long tolk_U32hash(unsigned long* key);
int tolk_U32cmp(void* a, void* b);
void tolk_U32del(void* key);
unsigned long tolk_charhash(char* key);
int tolk_charcmp(void* a, void* b);
void tolk_chardel(void* key);
unsigned long tolk_asnhash(Asn1Value* key);
int tolk_asncmp(void* a, void* b);
void tolk_asndel(void* key);

#define QX_CODEC_FAMILY(syntax)                                                    \
  bool pop_##syntax(LogMapper*, RWDBUpdater&, const RWCString&, Oid&, Asn1Value&); \
  bool ins_##syntax(LogMapper*, void*, const Oid&, Asn1Value&);                    \
  bool rdr_##syntax(LogMapper*, RWDBReader&, const RWCString&, Oid&, Asn1Value&);

QX_CODEC_FAMILY(adminstate)
QX_CODEC_FAMILY(opstate)
QX_CODEC_FAMILY(avstatus)
QX_CODEC_FAMILY(logfull)
QX_CODEC_FAMILY(perceivedSeverity)
QX_CODEC_FAMILY(backedUpStatus)
QX_CODEC_FAMILY(trendIndication)
QX_CODEC_FAMILY(ackState)
QX_CODEC_FAMILY(clearState)
QX_CODEC_FAMILY(displayState)
QX_CODEC_FAMILY(srcind)
QX_CODEC_FAMILY(time)
QX_CODEC_FAMILY(int)
QX_CODEC_FAMILY(unsigned)
QX_CODEC_FAMILY(blob)
QX_CODEC_FAMILY(text)
QX_CODEC_FAMILY(oid)
QX_CODEC_FAMILY(oidChoice)
QX_CODEC_FAMILY(eventType)
QX_CODEC_FAMILY(qxlist)
QX_CODEC_FAMILY(formatedVal)
QX_CODEC_FAMILY(convert)
#undef QX_CODEC_FAMILY

bool rdr_additionaltext(LogMapper*, RWDBReader&, const RWCString&, Oid&, Asn1Value&);
bool rdr_qx_time(LogMapper*, RWDBReader&, const RWCString&, Oid&, Asn1Value&);
// Reads a log identifier from `column` and the "LogIdType" column: INTEGER for type
// "integer", GraphicString for "string"; false for NULLs or any other type.
bool rdr_logid(LogMapper*, RWDBReader&, const RWCString& column, Oid&, Asn1Value& value);

// Field setters of the alarm tables' acknowledgement and clearing.
bool pop_ack_time(void* field, Oid&, Asn1Value&);          // RWDBDateTime
bool pop_clear_time(void* field, Oid&, Asn1Value&);        // RWDBDateTime
bool pop_ack_text(void* field, Oid&, Asn1Value&);          // RWCString
bool pop_clear_text(void* field, Oid&, Asn1Value&);        // RWCString
bool pop_ack_state(void* field, Oid&, Asn1Value&);         // RWCString: unAcked / acked
bool pop_clear_clearState(void* field, Oid&, Asn1Value&);  // RWCString

namespace qx {

// The text of an enumerated syntax's number, or null when out of range.
const char* enum_name(const char* const* names, size_t count, long n);

// Availability status text of a SET OF INTEGER: names joined by ", ". `ok` becomes
// false when a component is out of range or does not decode (it is skipped).
std::string avstatus_text(const Asn1Value& value, bool& ok);
// The SET OF INTEGER of an availability status text (names joined by ", " or a single
// name); false when a name is unknown.
bool avstatus_value(std::string_view text, Asn1Value& value);

// A time value ([0] or GeneralizedTime) as a date-time; false for anything else or
// an invalid time. `absent` is set for the [1] alternative.
bool time_to_datetime(const Asn1Value& value, RWDBDateTime& out, bool& absent);
// A stored date-time back as a GeneralizedTime value, in UTC.
bool datetime_to_time(const RWDBDateTime& dt, Asn1Value& out);

// The distinguished-name text of an object instance, through the name cache.
bool instance_fdn(const Asn1Value& oi, std::string& text);

// Capacity threshold text: "%d " per component; false when `value` is not a SET (text
// empty then) or a component is not an INTEGER (skipped).
bool convert_text(const Asn1Value& value, std::string& text);

// The formatted text (value notation) of an attribute value.
bool formatted_text(const Oid& attr, const Asn1Value& value, std::string& text);
// Appends what the formatted column of `attr` holds of its value, the element
// `element` of `list` (the text ins_formatedVal appends), without making a value of
// it where the text needs none.
bool append_formatted_element(const Oid& attr, const Asn1Value& list, std::string_view element,
                              std::string& out);

// Adapters onto the database layer, in one place.
void assign(RWDBUpdater& u, const RWCString& column, const RWDBExpr& value);
// False (and `out` unchanged) on a NULL column, a column that does not exist and a
// value that does not convert; read_datetime's is_null tells the last apart.
bool read_text(RWDBReader& r, const RWCString& column, RWCString& out);
bool read_unsigned(RWDBReader& r, const RWCString& column, unsigned long& out);
bool read_long(RWDBReader& r, const RWCString& column, long& out);
bool read_datetime(RWDBReader& r, const RWCString& column, RWDBDateTime& out, bool& is_null);
bool read_blob(RWDBReader& r, const RWCString& column, RWDBBlob& out);
// As read_text / read_blob, without the copy: `out` views the value inside the reader,
// valid until its next row.
bool read_text_view(RWDBReader& r, const RWCString& column, std::string_view& out);
bool read_blob_view(RWDBReader& r, const RWCString& column, std::string_view& out);
// Whether the rows of `r` were walked to their end: false, with ProcessFailX ("<what>
// cannot be read: <reason>"), when the walk broke off (a damaged page, a lost
// connection) or the query itself failed. Call it when the reader has returned its
// last row.
bool walk_complete(const RWDBReader& r, const char* what);

}  // namespace qx
