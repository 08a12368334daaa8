#include "tools/logmapper/attribute_args.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <regex>

#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/platform.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/command.h"

namespace logmapper {

Asn1Value log_identifier(const std::string& text) {
  Asn1Value v;
  bool digits = !text.empty() && text.size() < 19 &&
                text.find_first_not_of("0123456789") == std::string::npos;
  if (digits) {
    v.encode_int(std::strtol(text.c_str(), nullptr, 10));
  } else {
    v.encode_octets(text, TAG_GRAPHSTR);
  }
  return v;
}

bool record_id(const std::string& text, int& id) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  unsigned long n = std::strtoul(text.c_str(), nullptr, 10);
  if (errno != 0 || n > 0x7fffffffUL) return false;
  id = static_cast<int>(n);
  return true;
}

bool record_class(const std::string& text, Oid& cls) {
  return OidNameRegistry::find_oid_by_name(text.c_str(), cls) || Oid::parse(text, cls);
}

bool time_argument(std::string text, GeneralizedTime& time) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  static const std::regex iso(
      R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(\.\d+)?)?)?(Z|[+-]\d{2}:?\d{2})?)");
  std::smatch m;
  if (std::regex_match(text, m, iso)) {
    std::string zone = m[8].str();
    zone.erase(std::remove(zone.begin(), zone.end(), ':'), zone.end());
    text = m[1].str() + m[2].str() + m[3].str() + (m[4].matched ? m[4].str() : "00") + m[5].str() +
           m[6].str() + m[7].str() + zone;
  }
  time = GeneralizedTime(text);
  return time.valid();
}

std::string name_of(const Oid& oid) {
  const char* n = OidNameRegistry::find_name_by_oid(oid);
  return n != nullptr ? std::string(n) : oid.format();
}

Asn1Value attribute_pair(const Oid& id, const Asn1Value& value) {
  Asn1Value oid;
  Asn1Value pair;
  if (!oid.encode_oid(id) || !pair.start_construct(TAG_SEQ) || !pair.add_component(oid) ||
      !pair.add_component(value)) {
    return Asn1Value();
  }
  return pair;
}

bool attribute_list(const char* command, const std::vector<std::string>& args, Asn1Value& list,
                    std::vector<Oid>* ids, int& status) {
  list.start_construct(TAG_SET);
  for (const std::string& arg : args) {
    size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
      status = usage(command, "expected NAME=VALUE, got %s", arg.c_str());
      return false;
    }
    std::string name = arg.substr(0, eq);
    Oid attr;
    if (!Platform::def_platform.find_attribute(name, attr)) {
      status = fail(command, "no attribute named %s", name.c_str());
      return false;
    }
    Asn1Value value;
    std::string error;
    ExceptionScope scope;
    if (!parse_attribute(attr, arg.substr(eq + 1), value, &error)) {
      status = fail(command, "not a value of %s: %s", name.c_str(), error.c_str());
      return false;
    }
    Asn1Value pair = attribute_pair(attr, value);
    if (!pair || !list.add_component(pair)) {
      // A value nested too deeply for the list that carries it.
      const Exception* x = scope.caught();
      status = fail(command, "%s cannot be stored: %s", name.c_str(),
                    x != nullptr ? x->reason().c_str() : "no attribute pair");
      return false;
    }
    if (ids != nullptr) ids->push_back(attr);
  }
  return true;
}

}  // namespace logmapper
