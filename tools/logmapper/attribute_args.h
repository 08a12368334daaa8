#ifndef QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_
#define QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_

// Command-line forms shared by the commands: log identifiers, record identifiers,
// record classes, times, attribute names and NAME=VALUE attribute lists.

#include <string>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/generalized_time.h"
#include "platform/value/oid.h"

namespace logmapper {

// LOG as the commands take it: digits are an INTEGER log identifier, any other
// text a GraphicString.
Asn1Value log_identifier(const std::string& text);

// RECID: a record identifier, 0 to 2^31-1. False for anything else.
bool record_id(const std::string& text, int& id);

// CLASS: a record class by registered name or dotted identifier. False when it is
// neither.
bool record_class(const std::string& text, Oid& cls);

// TIME: a GeneralizedTime ("20240301101500Z", quotes allowed), or ISO 8601
// ("2024-03-01", "2024-03-01T10:15:00Z", "2024-03-01 10:15+01:00"); without a zone,
// local time. False when it is neither.
bool time_argument(std::string text, GeneralizedTime& time);

// An identifier's registered name, or its dotted text when it has none.
std::string name_of(const Oid& oid);

// A SEQUENCE {identifier, value} attribute pair; empty when it cannot be built (a value
// nested so deeply that the pair would be deeper than a value may be).
Asn1Value attribute_pair(const Oid& id, const Asn1Value& value);

// NAME=VALUE arguments as an attribute list (a SET of SEQUENCE {identifier, value});
// NAME is a registered name or dotted identifier, VALUE the value notation of its
// type. The identifiers are also appended to *ids when given. On failure writes the
// reason and returns false with the exit status in `status` (kUsage for an argument
// without "=", kFail for an unknown attribute or a value that is not one of its type).
bool attribute_list(const char* command, const std::vector<std::string>& args, Asn1Value& list,
                    std::vector<Oid>* ids, int& status);

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_
