// Small utilities of the log core and the record tables: log identifier handling, the
// event name fix-up, quote doubling in database object names, the alarm clear state,
// and the safe quoting of names spliced into SQL texts.
#pragma once

#include <string>
#include <string_view>

#include "platform/db/rw_cstring.h"
#include "platform/value/asn1_value.h"

class RWDBReader;

// Doubles every occurrence of `quote` in `in` and appends the result to `out`.
// Returns false (out unchanged) for an empty input. `c` only appears in the trace.
bool dbobject_strfmt(const RWCString& in, const RWCString& quote, RWCString& out, char c);

// Removes the first "globalForm:" marker (and only it) from the NUL-terminated text
// held by the RWCString `text` points at. Returns `text`.
void* fix_event_name(void* text);

// With a [2]-tagged input (a distinguished name): `out` becomes its last component
// (empty when it has none) and the result is true. Otherwise `out` becomes a copy of
// `in` and the result is false.
bool log_find_ava(const Asn1Value& in, Asn1Value& out);

// Scans the reader's rows (columns "logidasn" and "logidtype") for the row of a log:
// 1 when a row's stored identifier encodes exactly as `logId` and its type equals
// `logIdType` (an empty type matches on the identifier alone); 0 when none does; -1
// for an empty identifier, and when the rows could not all be read (ProcessFailX
// raised: the log is not known to be absent).
int validate_logid(RWDBReader& reader, const Asn1Value& logId, const RWCString logIdType);

// Reads an alarm row's clear state ("unCleared" 0 / "cleared" 1) and perceived severity
// (indeterminate .. cleared = 0 .. 5). A NULL or unknown word gives not cleared (0) or
// indeterminate (0), never the value of a row read before; the result is then false.
bool rdr_clear_severity(RWDBReader& reader, RWCString& stateColumn, RWCString& severityColumn,
                        unsigned char& cleared, unsigned char& severity);

// The word of a perceived severity number: 0 to 5 give "indeterminate", "critical",
// "major", "minor", "warning", "cleared"; any other number gives "indeterminate".
void convert_severity(long& severity, RWCString& text);

extern const char* const GLBFORM_DELIM;    // "globalForm:"
extern const char* const cleared_state;    // "cleared"
extern const char* const uncleared_state;  // "unCleared"

namespace qx {

// A name as the database layer stores it (folded to lower case), quoted as an SQL
// identifier with embedded quotes doubled: any text is then a safe name inside an SQL
// text the mapper builds itself.
std::string quote_identifier(std::string_view name);

// Whether the database layer and both servers take `name` as a name (not empty, at
// most 63 bytes, UTF-8 without NUL); asking about any other name, or making an object
// of it, would only fail.
bool valid_name(std::string_view name);

// The log name of an identifier value: decimal text for an INTEGER, the octets
// otherwise (cut at the first NUL). `type` becomes "integer" or "string". False when
// the value does not decode.
bool log_name_of(const Asn1Value& id, std::string& name, std::string& type);

}  // namespace qx
