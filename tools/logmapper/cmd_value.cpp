// logmapper value NAME TEXT: reads TEXT in the value notation as a value of
// the attribute NAME (a registered attribute name or a dotted identifier)
// and writes its BER encoding to standard output. It composes with
// `logmapper asn1 --attr NAME`, which prints an encoding in the notation:
//
//   logmapper value probableCause 'globalValue:powerProblem' |
//       logmapper asn1 --attr probableCause
//
// An unknown attribute, or text that is not a value of its type: exit 1 with
// one line on stderr giving the position in TEXT and what was expected.

#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/command.h"

namespace {

int run(const logmapper::Args& args) {
  Oid attribute;
  if (!Platform::def_platform.find_attribute(args[0], attribute)) {
    return logmapper::fail("value", "no attribute named %s", args[0].c_str());
  }
  Asn1Value v;
  std::string error;
  if (!parse_attribute(attribute, args[1], v, &error)) {
    return logmapper::fail("value", "not a value of %s: %s", args[0].c_str(), error.c_str());
  }
  std::string_view encoding = v.encoding_view();
  std::ostream& out = logmapper::out();
  out.write(encoding.data(), static_cast<std::streamsize>(encoding.size()));
  out.flush();
  if (!out) return logmapper::fail("value", "cannot write the output");
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"value",
     "NAME TEXT",
     "read TEXT as a value of attribute NAME, write its BER encoding",
     2,
     2,
     {},
     &run,
     "NAME is an attribute's registered name or dotted identifier, TEXT the value notation\n"
     "of its type. The encoding goes to standard output; `logmapper asn1 --attr NAME`\n"
     "reads it back.\n"}};

}  // namespace
