#include "platform/value/asn1_type.h"

#include <cstring>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/exception.h"
#include "platform/value/oid_text.h"
#include "platform/value/value_notation.h"

const char* Asn1Type::number_name(long v) const {
  for (const NamedNumber& n : numbers_) {
    if (n.value == v) return n.name;
  }
  return nullptr;
}

bool Asn1Type::number_value(std::string_view name, long& out) const {
  for (const NamedNumber& n : numbers_) {
    if (name == n.name) {
      out = n.value;
      return true;
    }
  }
  return false;
}

bool Asn1Type::may_have_tag(Asn1Tag t) const {
  if (tagged_) return tag_ == t;
  if (kind_ == Kind::kAny) return true;
  for (const Component& c : components_) {
    if (c.type->may_have_tag(t)) return true;
  }
  return false;
}

const Asn1Type* Asn1Type::lookup_type(const DataUnit& field, const DataUnit& key_field,
                                      const Asn1Value& key) {
  if (field.view() != "attributeValue" || key_field.view() != "attributeId") return nullptr;
  if (!key || key.constructed()) return nullptr;
  std::string_view contents = key.contents();
  if (!qx::oid_text::valid_contents(contents)) return nullptr;
  return qx::AttributeTypeRegistry::instance().find_or_generic(contents);
}

const Asn1Type* Asn1Type::generic() { return qx::AttributeTypeRegistry::instance().generic(); }

bool Asn1Type::format_value(const Asn1Value& value, char*& cursor, size_t capacity,
                            unsigned long reserved, Asn1Tagging tagging, const DataUnit& context,
                            unsigned flags) const {
  if (reserved != 0 || tagging != ASN1_TAGGING_MODULE || !context.empty() || cursor == nullptr) {
    InvalidX::raise("format_value: unsupported arguments");
    return false;
  }
  if (!value) return false;
  // The printer appends to a string; one kept per thread spares the
  // allocation on every call.
  static thread_local std::string text;
  text.clear();
  append_value(value, flags, text);
  size_t n = text.size() <= capacity ? text.size() : capacity;
  std::memcpy(cursor, text.data(), n);
  cursor += n;
  if (n < capacity) *cursor = '\0';
  return n == text.size();
}

std::string Asn1Type::format_value(const Asn1Value& value, unsigned flags) const {
  std::string out;
  append_value(value, flags, out);
  return out;
}

void Asn1Type::append_value(const Asn1Value& value, unsigned flags, std::string& out) const {
  if (!value) return;
  qx::format_element(this, value.encoding_view(), flags, out);
}

bool Asn1Type::parse_value(std::string_view text, Asn1Value& out, std::string* error) const {
  std::string encoding;
  qx::ParseError e;
  if (!qx::parse_element(this, text, encoding, &e)) {
    if (error) *error = e.message();
    return false;
  }
  return qx::make_value(encoding, out, error);
}
