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

#include <cstdio>
#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/command.h"

namespace {

int run(const logmapper::Context&, int argc, char** argv) {
  if (argc != 2) return logmapper::usage("value", "expected NAME and TEXT");
  Oid attribute;
  if (!Platform::def_platform.find_attribute(argv[0], attribute)) {
    return logmapper::fail("value", "no attribute named %s", argv[0]);
  }
  Asn1Value v;
  std::string error;
  if (!parse_attribute(attribute, argv[1], v, &error)) {
    return logmapper::fail("value", "not a value of %s: %s", argv[0], error.c_str());
  }
  std::string_view encoding = v.encoding_view();
  if (std::fwrite(encoding.data(), 1, encoding.size(), stdout) != encoding.size() ||
      std::fflush(stdout) != 0) {
    return logmapper::fail("value", "cannot write the output");
  }
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"value", "NAME TEXT", "read TEXT as a value of attribute NAME, write its BER encoding", &run}};

}  // namespace
