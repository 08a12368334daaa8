#include "platform/value/oi2fdn.h"

#include "platform/value/attribute_type_registry.h"
#include "platform/value/value_notation.h"

std::string oi2fdn(const Asn1Value& object_instance) {
  std::string out;
  if (!object_instance) return out;
  std::string_view element = object_instance.encoding_view();
  if (object_instance.tag() == TAG_CTX2 &&
      qx::format_distinguished_name(element, FORMAT_NAMES, out)) {
    return out;
  }
  qx::format_element(qx::AttributeTypeRegistry::instance().object_instance(), element, FORMAT_NAMES,
                     out);
  return out;
}

bool fdn2oi(std::string_view text, Asn1Value& out, std::string* error) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string encoding;
  qx::ParseError e;
  bool ok = i < text.size() && text[i] == '/'
                ? qx::parse_distinguished_name(text, TAG_CTX2, encoding, &e)
                : qx::parse_element(qx::AttributeTypeRegistry::instance().object_instance(), text,
                                    encoding, &e);
  if (!ok) {
    if (error) *error = e.message();
    return false;
  }
  return qx::make_value(encoding, out, error);
}
