// logmapper asn1 [--json] [--attr NAME] [FILE]: decodes one BER element from
// FILE or standard input and prints its structure (see qx::ber::print_text
// and print_json for the formats); with --attr, the element as a value of the
// attribute NAME in the value notation (with --json as a JSON string).
// Malformed input, or octets after the element: exit 1 with one line on
// stderr giving the offset and what is wrong.

#include <iostream>
#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/ber_decoder.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/command.h"

namespace {

int run(const logmapper::Context&, int argc, char** argv) {
  bool json = false;
  std::string path;
  bool have_path = false;
  const char* attr = nullptr;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--attr") {
      if (++i == argc) return logmapper::usage("asn1", "--attr needs an attribute NAME");
      attr = argv[i];
    } else if (a == "-" || a.empty() || a[0] != '-') {
      if (have_path) return logmapper::usage("asn1", "more than one FILE");
      path = a;
      have_path = true;
    } else {
      return logmapper::usage("asn1", "unknown option %s", a.c_str());
    }
  }
  Oid attr_oid;
  if (attr && !Platform::def_platform.find_attribute(attr, attr_oid))
    return logmapper::fail("asn1", "no attribute named %s", attr);
  std::string input, error;
  if (!logmapper::read_input(path, input, error))
    return logmapper::fail("asn1", "%s", error.c_str());

  ExceptionScope scope;
  Asn1Value v;
  qx::ber::DecodeError err;
  if (!Asn1Value::decode(input.data(), input.size(), v, nullptr, &err))
    return logmapper::fail("asn1", "offset %zu: %s", err.offset, err.what.c_str());
  if (attr) {
    std::string text = format_attribute(attr_oid, v);
    std::cout << (json ? logmapper::json_string(text) : text) << '\n';
  } else if (json) {
    qx::ber::print_json(std::cout, v);
    std::cout << '\n';
  } else {
    qx::ber::print_text(std::cout, v);
  }
  std::cout.flush();
  if (!std::cout) return logmapper::fail("asn1", "cannot write the output");
  return logmapper::kOk;
}

logmapper::RegisterCommand reg{
    {"asn1", "[--json] [--attr NAME] [FILE]",
     "decode one BER element (FILE or standard input), print its structure, or with --attr "
     "its value notation as attribute NAME",
     &run}};

}  // namespace
