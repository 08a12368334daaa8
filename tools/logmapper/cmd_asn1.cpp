// logmapper asn1 [--json] [--attr NAME] [FILE]: decodes one BER element from
// FILE or standard input and prints its structure (see qx::ber::print_text
// and print_json for the formats); with --attr, the element as a value of the
// attribute NAME in the value notation (with --json as a JSON string).
// Malformed input, or octets after the element: exit 1 with one line on
// stderr giving the offset and what is wrong. Input larger than kMaxInput is a
// usage error.

#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/ber_decoder.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/command.h"

namespace {

int run(const logmapper::Args& args) {
  const std::string* attr = args.value("--attr");
  bool json = args.flag("--json");
  Oid attr_oid;
  if (attr && !Platform::def_platform.find_attribute(*attr, attr_oid))
    return logmapper::fail("asn1", "no attribute named %s", attr->c_str());
  std::string input, error;
  bool too_large = false;
  if (!logmapper::read_input(args.size() > 0 ? args[0] : "", logmapper::kMaxInput, input, error,
                             too_large)) {
    return too_large ? logmapper::usage("asn1", "%s", error.c_str())
                     : logmapper::fail("asn1", "%s", error.c_str());
  }

  ExceptionScope scope;
  Asn1Value v;
  qx::ber::DecodeError err;
  if (!Asn1Value::decode(input.data(), input.size(), v, nullptr, &err))
    return logmapper::fail("asn1", "offset %zu: %s", err.offset, err.what.c_str());
  std::ostream& out = logmapper::out();
  if (attr) {
    std::string text = format_attribute(attr_oid, v);
    out << (json ? logmapper::json_string(text) : text) << '\n';
  } else if (json) {
    qx::ber::print_json(out, v);
    out << '\n';
  } else {
    qx::ber::print_text(out, v);
  }
  out.flush();
  if (!out) return logmapper::fail("asn1", "cannot write the output");
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"asn1",
     "[FILE]",
     "decode one BER element (FILE or standard input), print its structure, or with --attr its "
     "value notation as attribute NAME",
     0,
     1,
     {{"--json", nullptr, "print one JSON document"},
      {"--attr", "NAME", "print the element as a value of attribute NAME, in the value notation"}},
     &run,
     "Prints one line per element, indented two spaces per depth: class, tag number,\n"
     "constructed or primitive, the contents length, and for a primitive its contents in\n"
     "hex and, where the universal tag says what they are, their text. Input in any BER\n"
     "form is accepted; input larger than 64 MiB is refused (exit 2).\n"}};

}  // namespace
