#ifndef QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_
#define QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_

// Command-line forms shared by the log and record commands: log identifiers,
// attribute names and NAME=VALUE attribute lists.

#include <string>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"

namespace logmapper {

// LOG as the commands take it: digits are an INTEGER log identifier, any other
// text a GraphicString.
Asn1Value log_identifier(const std::string& text);

// An identifier's registered name, or its dotted text when it has none.
std::string name_of(const Oid& oid);

// NAME=VALUE arguments as an attribute list (a SET of SEQUENCE {identifier,
// value}); NAME is a registered name or dotted identifier, VALUE the value
// notation of its type. The identifiers are also appended to *ids when given.
// On failure writes the reason and returns false with the exit status in
// `status`.
bool attribute_list(const char* command, int argc, char** argv, Asn1Value& list,
                    std::vector<Oid>* ids, int& status);

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_ATTRIBUTE_ARGS_H_
