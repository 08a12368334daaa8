// The attribute codecs of every syntax but the formatted values and conversions
// (formatted_value.cpp), and the two codec registries.
#include "infra/tolk_map/codecs/codecs.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/ber.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "platform/value/oid_text.h"

RWDBNullIndicator nullval(0);
const RWDBDateTime invalid_rw_db_date_time(RWDate(35, 35, 35), 0, 0, 0, 0, RWZone::local());
const Asn1Value null_asn1_value;
const char* const cap_delimiter = " ";

// ---- Registries.

void OidPopValues_hash::store(const Oid* id, PopValues* pv) {
  last_list_.clear();  // it may point at the encoders replaced here
  map_[*id] = std::unique_ptr<PopValues>(pv);
}

PopValues* OidPopValues_hash::fetch(const Oid* id) const {
  auto it = map_.find(*id);
  return it == map_.end() ? nullptr : it->second.get();
}

PopValues* OidPopValues_hash::fetch(std::string_view contents, const Oid** key) const {
  auto it = map_.find(contents);
  if (it == map_.end()) return nullptr;
  *key = &it->first;
  return it->second.get();
}

namespace {

// Whether two identifiers' contents are the same octets. Most are 4 to 16 octets long:
// those are compared as two overlapping words each, without a call.
bool same_contents(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  auto differ = [&](auto word) {
    decltype(word) a0, a1, b0, b1;
    constexpr size_t k = sizeof word;
    std::memcpy(&a0, a.data(), k);
    std::memcpy(&b0, b.data(), k);
    std::memcpy(&a1, a.data() + n - k, k);
    std::memcpy(&b1, b.data() + n - k, k);
    return ((a0 ^ b0) | (a1 ^ b1)) != 0;
  };
  if (n >= 8 && n <= 16) return !differ(uint64_t{});
  if (n >= 4 && n < 8) return !differ(uint32_t{});
  return a == b;
}

}  // namespace

PopValues* OidPopValues_hash::fetch_at(size_t position, std::string_view contents,
                                       const Oid** key) {
  if (position < last_list_.size()) {
    const Found& f = last_list_[position];
    if (f.key != nullptr && same_contents(f.key->contents().view(), contents)) {
      *key = f.key;
      return f.pv;
    }
  }
  PopValues* pv = fetch(contents, key);
  if (position >= last_list_.size()) {
    if (position >= kMaxPositions) return pv;
    last_list_.resize(position + 1);
  }
  last_list_[position] = pv != nullptr ? Found{*key, pv} : Found{};
  return pv;
}

void DataUnitRdrInfo_hash::store(const DataUnit* key, RdrInfo* info) {
  std::string k = key->str();
  auto it = index_.find(k);
  if (it != index_.end()) {
    order_[it->second].key.reset(const_cast<DataUnit*>(key));
    order_[it->second].info.reset(info);
    return;
  }
  index_.emplace(std::move(k), order_.size());
  order_.push_back(
      Entry{std::unique_ptr<DataUnit>(const_cast<DataUnit*>(key)), std::unique_ptr<RdrInfo>(info)});
}

RdrInfo* DataUnitRdrInfo_hash::fetch(const DataUnit* key) const { return fetch(key->view()); }

RdrInfo* DataUnitRdrInfo_hash::fetch(std::string_view key) const {
  auto it = index_.find(std::string(key));
  return it == index_.end() ? nullptr : order_[it->second].info.get();
}

bool DataUnitRdrInfo_hash::next(DataUnit*& key, RdrInfo*& info, unsigned long& index) {
  if (pos_ >= order_.size()) return false;
  key = order_[pos_].key.get();
  info = order_[pos_].info.get();
  index = pos_++;
  return true;
}

void register_codecs(OidPopValues_hash& hash, std::span<const CodecSpec> specs) {
  for (const CodecSpec& s : specs) {
    auto* pv = new PopValues{s.pop, s.ins, RWCString(s.column), s.number};
    hash.store(s.attr, pv);
  }
}

void register_readers(DataUnitRdrInfo_hash& hash, std::span<const ReaderSpec> specs) {
  for (const ReaderSpec& s : specs) {
    auto* info = new RdrInfo{s.rdr, RWCString(s.column), *s.attr};
    hash.store(new DataUnit(s.key), info);
  }
}

// ---- Hash helpers.

unsigned long tolk_U32hash(unsigned long* key) { return *key & 31; }
int tolk_U32cmp(void* a, void* b) {
  return *static_cast<unsigned long*>(a) == *static_cast<unsigned long*>(b) ? 0 : 1;
}
void tolk_U32del(void* key) { delete static_cast<unsigned long*>(key); }
unsigned long tolk_charhash(char* key) {
  long sum = 0;
  for (const char* p = key; *p != '\0'; ++p) sum += static_cast<signed char>(*p);
  return static_cast<unsigned long>(sum);
}
int tolk_charcmp(void* a, void* b) {
  return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
}
void tolk_chardel(void* key) { std::free(key); }
unsigned long tolk_asnhash(Asn1Value* key) { return DataUnit::hash(key->to_data_unit()); }
int tolk_asncmp(void* a, void* b) {
  return static_cast<Asn1Value*>(a)->encoding_view() == static_cast<Asn1Value*>(b)->encoding_view()
             ? 0
             : 1;
}
void tolk_asndel(void* key) { delete static_cast<Asn1Value*>(key); }

namespace qx {

// ---- Database adapters.

void assign(RWDBUpdater& u, const RWCString& column, const RWDBExpr& value) {
  u.set(column, value);
}

// A column that is NULL, missing or not of the variable's kind reads as no value.
bool read_text(RWDBReader& r, const RWCString& column, RWCString& out) {
  return r[column].take(out);
}
bool read_unsigned(RWDBReader& r, const RWCString& column, unsigned long& out) {
  return r[column].take(out);
}
bool read_long(RWDBReader& r, const RWCString& column, long& out) { return r[column].take(out); }
bool read_datetime(RWDBReader& r, const RWCString& column, RWDBDateTime& out, bool& is_null) {
  if (r[column].take(out)) {
    is_null = false;
    return true;
  }
  // NULL as well when there is no row or no such column: only a value that is there and
  // does not convert is not.
  is_null = r.status().errorCode() != RWDBStatus::typeConflict;
  return false;
}
bool read_blob(RWDBReader& r, const RWCString& column, RWDBBlob& out) {
  return r[column].take(out);
}
bool read_text_view(RWDBReader& r, const RWCString& column, std::string_view& out) {
  return r[column].takeText(out);
}
bool read_blob_view(RWDBReader& r, const RWCString& column, std::string_view& out) {
  return r[column].takeBlob(out);
}

bool walk_complete(const RWDBReader& r, const char* what) {
  RWDBStatus s = r.status();
  if (s.isValid()) return true;
  ProcessFailX::raise("%s cannot be read: %s", what, s.message().data());
  return false;
}

// ---- Decoding helpers: a wrong syntax is a plain false, never a raised exception.

namespace {

bool is_set_or_sequence(const Asn1Value& v) {
  return v.constructed() && (v.tag() == TAG_SET || v.tag() == TAG_SEQ);
}

// The number that contents octets hold as an INTEGER's (ber::read_integer_contents);
// false for any other contents.
bool integer_of(std::string_view c, bool is_unsigned, uint64_t& out) {
  return ber::read_integer_contents(reinterpret_cast<const uint8_t*>(c.data()), c.size(),
                                    is_unsigned, &out) == nullptr;
}

// INTEGER-like contents: universal ENUMERATED or INTEGER, or an implicitly tagged
// (context-specific) value. With accept_bool a BOOLEAN counts as 0 or 1.
bool decode_number(const Asn1Value& v, long& n, bool accept_bool) {
  if (!v || v.constructed()) return false;
  const Asn1Tag t = v.tag();
  const std::string_view c = v.contents();
  if (accept_bool && t == TAG_BOOL) {
    if (c.size() != 1) return false;
    n = c[0] != 0 ? 1 : 0;
    return true;
  }
  if (t != TAG_ENUM && t != TAG_INT && t.cls != Asn1Tag::CONTEXT) return false;
  uint64_t u;
  if (!integer_of(c, false, u)) return false;
  n = static_cast<long>(u);
  return true;
}

bool decode_unsigned_value(const Asn1Value& v, unsigned long& n) {
  if (!v || v.constructed()) return false;
  const Asn1Tag t = v.tag();
  if (t != TAG_INT && t != TAG_ENUM && t.cls != Asn1Tag::CONTEXT) return false;
  uint64_t u;
  if (!integer_of(v.contents(), true, u)) return false;
  n = static_cast<unsigned long>(u);
  return true;
}

// The text of a string value: its octets.
bool decode_text(const Asn1Value& v, std::string& text) {
  if (!v || is_set_or_sequence(v)) return false;
  ExceptionScope scope;
  std::string octets;
  if (!v.decode_octets(octets)) return false;
  text = std::move(octets);
  return true;
}

// The contents octets of an identifier value (universal or context tag).
bool oid_value_contents(const Asn1Value& v, std::string_view& contents) {
  if (!v || v.constructed()) return false;
  if (v.tag() != TAG_OID && v.tag().cls != Asn1Tag::CONTEXT) return false;
  contents = v.contents();
  return qx::oid_text::valid_contents(contents);
}

bool decode_oid_text(const Asn1Value& v, std::string& text) {
  std::string_view contents;
  if (!oid_value_contents(v, contents)) return false;
  text.clear();
  qx::oid_text::append_dotted(contents, text);
  return true;
}

void debug_line(const char* label, const std::string& text, bool blank = true) {
  if (tolk_map_debug == 0) return;
  std::cout << label << text << (blank ? " length " : " length") << text.size() << std::endl;
}

RWCString& field_text(void* field) { return *static_cast<RWCString*>(field); }

// The last conversion of an identifier column's value, kept per thread: the records of
// a table mostly carry one class, so the same identifier comes again and again and is
// then neither printed nor parsed again.
class LastConversion {
 public:
  // What convert(from, out) makes of `from`: kept from the last call when `from` is the
  // same, else made now; null when convert refuses it (the last one is then kept).
  template <class Convert>
  const std::string* of(std::string_view from, Convert convert) {
    if (from.empty() || from != from_) {
      std::string made;
      if (!convert(from, made)) return nullptr;
      from_.assign(from);
      to_ = std::move(made);
    }
    return &to_;
  }

 private:
  std::string from_, to_;
};

}  // namespace

const char* enum_name(const char* const* names, size_t count, long n) {
  if (n < 0 || static_cast<size_t>(n) >= count) return nullptr;
  return names[n];
}

// ---- Availability status.

namespace {
const char* const kAvStatus[] = {"inTest",     "failed",   "powerOff",     "offLine", "offDuty",
                                 "dependency", "degraded", "notInstalled", "logFull"};
constexpr size_t kNumAvStatus = sizeof(kAvStatus) / sizeof(kAvStatus[0]);
}  // namespace

std::string avstatus_text(const Asn1Value& value, bool& ok) {
  std::string text;
  ok = true;
  if (!value.constructed()) {
    ok = false;
    return text;
  }
  bool first = true;
  for (const Asn1Value& c : value.components()) {
    if (!first) text += ", ";
    first = false;
    long n = -1;
    const char* name = decode_number(c, n, false) ? enum_name(kAvStatus, kNumAvStatus, n) : nullptr;
    if (name == nullptr) {
      ok = false;
      continue;
    }
    text += name;
  }
  return text;
}

bool avstatus_value(std::string_view text, Asn1Value& value) {
  Asn1Value set;
  set.start_construct(TAG_SET);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view name = text.substr(pos, end - pos);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty()) {
      size_t i = 0;
      while (i < kNumAvStatus && name != kAvStatus[i]) ++i;
      if (i == kNumAvStatus) return false;
      Asn1Value n;
      n.encode_int(static_cast<long>(i));
      set.add_component(n);
    }
    pos = end + 1;
  }
  value = set;
  return true;
}

// ---- Times.

bool time_to_datetime(const Asn1Value& value, RWDBDateTime& out, bool& absent) {
  absent = false;
  if (!value) return false;
  if (value.tag() == TAG_CTX1) {
    absent = true;
    return true;
  }
  Asn1Value t = value;
  if (value.tag() == TAG_CTX0 && value.constructed()) {
    t = value.first_component();
  } else if (value.tag() != TAG_GENTIME && value.tag() != TAG_CTX0) {
    return false;
  }
  if (!t || t.constructed()) return false;
  TimeStamp ts = GeneralizedTime::stamp_of(t);
  if (!ts.valid()) return false;
  out = RWDBDateTime::fromMillis(ts.millis(), RWZone::local());
  return out.isValid();
}

bool datetime_to_time(const RWDBDateTime& dt, Asn1Value& out) {
  if (!dt.isValid()) return false;
  char text[GeneralizedTime::kUtcTextMax];
  size_t n = GeneralizedTime::utc_text(TimeStamp::from_millis(dt.millisSinceEpoch()), text);
  if (n == 0) return false;
  Asn1Value v;
  if (!v.encode_octets(text, n, TAG_GENTIME)) return false;
  out = std::move(v);
  return true;
}

}  // namespace qx

using qx::debug_line;
using qx::decode_number;
using qx::decode_oid_text;
using qx::decode_text;
using qx::decode_unsigned_value;
using qx::field_text;

// ---- Enumerated syntaxes.

namespace {

struct EnumSyntax {
  const char* const* names;
  size_t count;
  const char* label;
  bool accept_bool;
};

bool pop_enum(const EnumSyntax& s, RWDBUpdater& u, const RWCString& column, Asn1Value& value) {
  long n = -1;
  if (!decode_number(value, n, s.accept_bool)) return false;
  const char* name = qx::enum_name(s.names, s.count, n);
  if (name == nullptr) return false;
  debug_line(s.label, name);
  qx::assign(u, column, RWCString(name));
  return true;
}

bool ins_enum(const EnumSyntax& s, void* field, Asn1Value& value) {
  long n = -1;
  if (field == nullptr || !decode_number(value, n, s.accept_bool)) return false;
  const char* name = qx::enum_name(s.names, s.count, n);
  if (name == nullptr) return false;
  debug_line(s.label, name);
  field_text(field) = name;
  return true;
}

bool rdr_enum(const EnumSyntax& s, RWDBReader& r, const RWCString& column, Asn1Value& value) {
  std::string_view text;
  if (!qx::read_text_view(r, column, text)) return false;
  for (size_t i = 0; i < s.count; ++i) {
    if (text == s.names[i]) return value.encode_enum(static_cast<long>(i));
  }
  return false;
}

const char* const kAdminState[] = {"locked", "unlocked", "shuttingDown"};
const char* const kOpState[] = {"disabled", "enabled"};
const char* const kLogFull[] = {"wrap", "halt"};
const char* const kSeverity[] = {"indeterminate", "critical", "major",
                                 "minor",         "warning",  "cleared"};
const char* const kBackedUp[] = {"not backedup", "backedup"};
const char* const kTrend[] = {"lessSevere", "noChange", "moreSevere"};
const char* const kAck[] = {"unAcked", "acked"};
const char* const kClear[] = {"unCleared", "cleared"};
const char* const kDisplay[] = {"unDisplayed", "displayed"};
const char* const kSrcInd[] = {"resourceOperation", "managementOperation", "unknown"};

#define QX_ENUM(arr, label, boolean) \
  EnumSyntax { arr, sizeof(arr) / sizeof(arr[0]), label, boolean }
const EnumSyntax kAdminSyntax = QX_ENUM(kAdminState, "adminstate", false);
const EnumSyntax kOpSyntax = QX_ENUM(kOpState, "opstate", false);
const EnumSyntax kLogFullSyntax = QX_ENUM(kLogFull, "logfull ", false);
const EnumSyntax kSeveritySyntax = QX_ENUM(kSeverity, "perc_sev ", false);
// The standards define backed-up status as a BOOLEAN; both forms are taken.
const EnumSyntax kBackedUpSyntax = QX_ENUM(kBackedUp, "back_stat ", true);
const EnumSyntax kTrendSyntax = QX_ENUM(kTrend, "trend_ind ", false);
const EnumSyntax kAckSyntax = QX_ENUM(kAck, "ack_stat ", false);
const EnumSyntax kClearSyntax = QX_ENUM(kClear, "clear_stat ", false);
const EnumSyntax kDisplaySyntax = QX_ENUM(kDisplay, "disp_stat ", false);
const EnumSyntax kSrcIndSyntax = QX_ENUM(kSrcInd, "src_ind ", false);
#undef QX_ENUM

}  // namespace

#define QX_ENUM_FAMILY(syntax, table)                                                              \
  bool pop_##syntax(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) { \
    return pop_enum(table, u, column, value);                                                      \
  }                                                                                                \
  bool ins_##syntax(LogMapper*, void* field, const Oid&, Asn1Value& value) {                       \
    return ins_enum(table, field, value);                                                          \
  }                                                                                                \
  bool rdr_##syntax(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {  \
    return rdr_enum(table, r, column, value);                                                      \
  }

QX_ENUM_FAMILY(adminstate, kAdminSyntax)
QX_ENUM_FAMILY(opstate, kOpSyntax)
QX_ENUM_FAMILY(logfull, kLogFullSyntax)
QX_ENUM_FAMILY(perceivedSeverity, kSeveritySyntax)
QX_ENUM_FAMILY(backedUpStatus, kBackedUpSyntax)
QX_ENUM_FAMILY(trendIndication, kTrendSyntax)
QX_ENUM_FAMILY(ackState, kAckSyntax)
QX_ENUM_FAMILY(clearState, kClearSyntax)
QX_ENUM_FAMILY(displayState, kDisplaySyntax)
QX_ENUM_FAMILY(srcind, kSrcIndSyntax)
#undef QX_ENUM_FAMILY

// ---- Availability status: a SET OF INTEGER stored as names joined by ", ".

bool pop_avstatus(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  bool ok = false;
  std::string text = qx::avstatus_text(value, ok);
  if (!ok) return false;
  debug_line("avstat", text);
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_avstatus(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  if (field == nullptr) return false;
  bool ok = false;
  std::string text = qx::avstatus_text(value, ok);
  debug_line("avstat", text);
  field_text(field) += RWCString(text);
  return ok;
}

// Reads the set back as it was written: one INTEGER per stored name.
bool rdr_avstatus(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  RWCString text;
  if (!qx::read_text(r, column, text)) return false;
  return qx::avstatus_value(text.str(), value);
}

// ---- Times.

bool pop_time(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  RWDBDateTime dt;
  bool absent = false;
  if (!qx::time_to_datetime(value, dt, absent) || absent) {
    qx::assign(u, column, RWDBExpr(rwdbNull));
    return absent;
  }
  qx::assign(u, column, RWDBExpr(dt));
  return true;
}

bool ins_time(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  if (field == nullptr) return false;
  auto& dest = *static_cast<RWDBDateTime*>(field);
  if (value && value.tag() == TAG_CTX1) {
    dest = invalid_rw_db_date_time;
    return true;
  }
  Asn1Value t = value;
  if (value && value.tag() == TAG_CTX0 && value.constructed()) t = value.first_component();
  if (!value || (value.tag() != TAG_GENTIME && value.tag() != TAG_CTX0) || !t || t.constructed()) {
    return false;
  }
  TimeStamp ts = GeneralizedTime::stamp_of(t);
  if (!ts.valid()) {
    tolk_error.print("ERROR: Invalid time received:%s :\n", GeneralizedTime(t).error().c_str());
    dest = invalid_rw_db_date_time;
    return false;
  }
  RWDBDateTime dt = RWDBDateTime::fromMillis(ts.millis(), RWZone::local());
  if (!dt.isValid()) {
    Tm tm = ts.to_local_tm();
    tolk_error.print("ERROR: Invalid timestamp generated.:\n");
    tolk_error.print("Year:%d Mon: %d Day: %d \n", tm.tm_year, tm.tm_mon, tm.tm_mday);
    dest = invalid_rw_db_date_time;
    return false;
  }
  dest = dt;
  return true;
}

// A NULL column reads back as absent, as with every other reader.
bool rdr_time(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  RWDBDateTime dt;
  bool is_null = false;
  if (!qx::read_datetime(r, column, dt, is_null)) return false;
  return qx::datetime_to_time(dt, value);
}

bool rdr_qx_time(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  RWDBDateTime dt;
  bool is_null = false;
  Asn1Value out;
  if (!qx::read_datetime(r, column, dt, is_null)) {
    if (!is_null) return false;
    Asn1Value null;
    null.encode_null(TAG_NULL);
    out.start_construct(TAG_CTX1);
    out.add_component(null);
    value = out;
    return true;
  }
  Asn1Value time;
  if (!qx::datetime_to_time(dt, time)) return false;
  out.start_construct(TAG_CTX0);
  out.add_component(time);
  value = out;
  return true;
}

namespace {
bool set_time_field(void* field, Asn1Value& value) {
  if (field == nullptr) return false;
  auto& dest = *static_cast<RWDBDateTime*>(field);
  RWDBDateTime dt;
  bool absent = false;
  if (!qx::time_to_datetime(value, dt, absent)) return false;
  dest = absent ? invalid_rw_db_date_time : dt;
  return true;
}
}  // namespace

bool pop_ack_time(void* field, Oid&, Asn1Value& value) { return set_time_field(field, value); }
bool pop_clear_time(void* field, Oid&, Asn1Value& value) { return set_time_field(field, value); }

// ---- Integers.

bool pop_int(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  long n = 0;
  if (!decode_number(value, n, false)) return false;
  qx::assign(u, column, RWDBExpr(n));
  return true;
}

bool ins_int(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  long n = 0;
  if (field == nullptr || !decode_number(value, n, false)) return false;
  *static_cast<long*>(field) = n;
  return true;
}

bool rdr_int(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  long n = 0;
  if (!qx::read_long(r, column, n)) return false;
  return value.encode_int(n, TAG_INT);
}

bool pop_unsigned(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  unsigned long n = 0;
  if (!decode_unsigned_value(value, n)) return false;
  qx::assign(u, column, RWDBExpr(n));
  return true;
}

bool ins_unsigned(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  unsigned long n = 0;
  if (field == nullptr || !decode_unsigned_value(value, n)) return false;
  *static_cast<unsigned long*>(field) = n;
  return true;
}

bool rdr_unsigned(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  unsigned long n = 0;
  if (!qx::read_unsigned(r, column, n)) return false;
  return value.encode_unsigned(n, TAG_INT);
}

// ---- Blobs: the value's whole encoding.

bool pop_blob(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  if (!value) return false;
  RWDBBlob blob;
  blob.putBytes(value.encoding(), value.size(), 0, 256);
  qx::assign(u, column, RWDBExpr(blob));
  return true;
}

bool ins_blob(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  if (field == nullptr || !value) return false;
  tolk_error.print("The logId being stored in the blob column is:\n");
  tolk_error.print_value(value);
  auto& blob = *static_cast<RWDBBlob*>(field);
  blob.clear();  // a shorter value must not keep the tail of a longer one
  blob.putBytes(value.encoding(), value.size(), 0, 256);
  return true;
}

// Decoded straight from the bytes the reader holds; the decoder checks every length
// against them, so a corrupted store gives false, never a read outside the value.
bool rdr_blob(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  std::string_view blob;
  if (!qx::read_blob_view(r, column, blob)) return false;
  Asn1Value v;
  {
    ExceptionScope scope;
    if (!Asn1Value::decode(blob.data(), blob.size(), v)) return false;
  }
  if (column == "discrimConstruct" || column == "logidasn") {
    tolk_info.print("The blob_length is : %d \n", static_cast<int>(blob.size()));
    tolk_error.print_value(v);
  }
  value = std::move(v);
  return true;
}

// ---- Texts.

bool pop_text(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  std::string text;
  if (!decode_text(value, text)) return false;
  debug_line("text ", text);
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_text(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  std::string text;
  if (field == nullptr || !decode_text(value, text) || text.empty()) return false;
  debug_line("text ", text);
  field_text(field) += RWCString(text);
  return true;
}

bool rdr_text(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  std::string_view text;
  if (!qx::read_text_view(r, column, text)) return false;
  return value.encode_octets(text, TAG_OCTSTR);
}

bool rdr_additionaltext(LogMapper*, RWDBReader& r, const RWCString& column, Oid&,
                        Asn1Value& value) {
  std::string_view text;
  if (!qx::read_text_view(r, column, text)) return false;
  return value.encode_octets(text, TAG_GRAPHSTR);
}

bool pop_ack_text(void* field, Oid&, Asn1Value& value) {
  std::string text;
  if (field == nullptr || !decode_text(value, text) || text.empty()) return false;
  field_text(field) = RWCString(text);
  return true;
}

bool pop_clear_text(void* field, Oid& id, Asn1Value& value) {
  return pop_ack_text(field, id, value);
}

bool pop_ack_state(void* field, Oid&, Asn1Value& value) {
  long n = -1;
  if (field == nullptr || !decode_number(value, n, false)) return false;
  const char* name = qx::enum_name(kAck, 2, n);
  if (name == nullptr) return false;
  field_text(field) = name;
  return true;
}

bool pop_clear_clearState(void* field, Oid&, Asn1Value& value) {
  long n = -1;
  if (field == nullptr || !decode_number(value, n, false)) return false;
  const char* name = qx::enum_name(kClear, 2, n);
  if (name == nullptr) return false;
  field_text(field) = name;
  return true;
}

// ---- Object identifiers.

bool pop_oid(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  std::string text;
  if (!decode_oid_text(value, text)) return false;
  debug_line("oid ", text);
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_oid(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  std::string_view contents;
  if (field == nullptr || !qx::oid_value_contents(value, contents)) return false;
  thread_local qx::LastConversion printed;
  const std::string& text = *printed.of(contents, [](std::string_view c, std::string& out) {
    qx::oid_text::append_dotted(c, out);
    return true;
  });
  field_text(field).str() += text;
  if (tolk_map_debug != 0) debug_line("oid ", text);
  return true;
}

bool rdr_oid(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  std::string_view text;
  if (!qx::read_text_view(r, column, text)) return false;
  thread_local qx::LastConversion parsed;
  const std::string* contents = parsed.of(text, [](std::string_view t, std::string& out) {
    return qx::oid_text::parse_dotted(t, out);
  });
  return contents != nullptr &&
         value.encode_octets(*contents, TAG_CTX0);  // valid identifier contents, as parsed
}

namespace {
bool oid_choice_text(const Asn1Value& value, std::string& text) {
  if (value && value.tag() == TAG_INT) {
    long n = 0;
    if (!decode_number(value, n, false)) return false;
    text = std::to_string(n);
    return true;
  }
  return decode_oid_text(value, text);
}

bool event_type_text(const Asn1Value& value, std::string& text) {
  if (value && value.tag() == TAG_CTX6) return decode_oid_text(value, text);
  if (value && value.tag() == TAG_CTX7) {
    long n = 0;
    if (!decode_number(value, n, false)) return false;
    text = std::to_string(n);
    return true;
  }
  return false;
}
}  // namespace

bool pop_oidChoice(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  std::string text;
  if (!oid_choice_text(value, text)) return false;
  debug_line("oid choice ", text);
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_oidChoice(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  std::string text;
  if (field == nullptr || !oid_choice_text(value, text)) return false;
  debug_line("oid choice ", text);
  field_text(field) += RWCString(text);
  return true;
}

bool rdr_oidChoice(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  RWCString text;
  if (!qx::read_text(r, column, text)) return false;
  if (text.contains(".")) {
    ExceptionScope scope;
    Oid oid;
    if (!Oid::parse(text.str(), oid)) return false;
    return value.encode_oid(oid, TAG_OID);
  }
  long n = 0;
  if (std::sscanf(text.data(), "%ld", &n) != 1) return false;
  return value.encode_int(n, TAG_INT);
}

// An event type of neither alternative writes nothing (true: not an error of the
// record, the column stays empty).
bool pop_eventType(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  std::string text;
  if (!event_type_text(value, text)) return true;
  debug_line("event type ", text);
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_eventType(LogMapper*, void* field, const Oid&, Asn1Value& value) {
  std::string text;
  if (field == nullptr) return false;
  if (!event_type_text(value, text)) return true;
  debug_line("event type ", text);
  field_text(field) += RWCString(text);
  return true;
}

// ---- List-valued attributes: markers only; they travel through the blob column.

bool pop_qxlist(LogMapper*, RWDBUpdater&, const RWCString&, Oid&, Asn1Value&) { return true; }
bool ins_qxlist(LogMapper*, void*, const Oid&, Asn1Value&) { return true; }
bool rdr_qxlist(LogMapper*, RWDBReader&, const RWCString&, Oid&, Asn1Value&) { return true; }
